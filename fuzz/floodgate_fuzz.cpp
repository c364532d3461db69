// Arbitrary text as announced events (a location is the site's own text and
// may hold anything): the loop and the state are read without leaving the
// text, a loop is always one of the sixteen or none, and every event offered
// is sent or held, never lost, whatever the order of texts and times.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/events/floodgate.h"
#include "core/platform/eventwriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillark;
  FloodGate gate(1000);
  const std::string all(reinterpret_cast<const char*>(data), size);
  std::size_t sent = 0, offered = 0, batched = 0;
  std::uint32_t now = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= all.size(); ++i) {
    if (i < all.size() && all[i] != '\n') continue;
    std::string text = all.substr(start, i - start);
    start = i + 1;
    if (!text.empty() && (text[0] & 1) != 0) text = "Detector " + text.substr(1);
    const int loop = FloodGate::LoopOf(text);
    if (loop < -1 || loop > 98) __builtin_trap();
    if (FloodGate::WhatOf(text).size() > text.size()) __builtin_trap();
    now += text.empty() ? 0u : static_cast<unsigned char>(text.back()) * 10u;
    ++offered;
    if (gate.Offer(text.size() % 2 ? WE_ALARM : WE_FAULT, text, text, now)) ++sent;
    for (const auto& b : gate.TakeDue(now)) batched += b.events.size();
  }
  for (const auto& b : gate.TakeDue(now + 2000)) batched += b.events.size();
  if (sent + batched != offered || gate.HeldCount() != 0) __builtin_trap();
  return 0;
}
