#include "core/events/floodgate.h"

#include <algorithm>

#include "core/common/textutil.h"
#include "core/platform/eventloop.h"
#include "core/platform/eventwriter.h"

namespace quillark {

int FloodGate::LoopOf(std::string_view text) {
  constexpr std::string_view PREFIX = "Detector ";
  if (text.substr(0, PREFIX.size()) != PREFIX) return -1;
  std::size_t i = PREFIX.size();
  int loop = 0;
  const std::size_t start = i;
  while (i < text.size() && i - start < 2 && text[i] >= '0' && text[i] <= '9')
    loop = loop * 10 + (text[i++] - '0');
  if (i == start || i >= text.size() || text[i] != '-' || loop < 1) return -1;
  return loop - 1;
}

std::string FloodGate::WhatOf(std::string_view text) {
  // "Detector L-AAA[  (location)  ]  Alarms: ...  Faults: ..."
  std::size_t at = text.find(' ', 9);
  std::string_view rest = at == std::string_view::npos ? std::string_view() : text.substr(at);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (!rest.empty() && rest.front() == '(') {
    const std::size_t close = rest.rfind(")  ");
    if (close != std::string_view::npos) rest.remove_prefix(close + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  }
  for (std::string_view word : {std::string_view("Alarms: "), std::string_view("Faults: ")})
    if (rest.substr(0, word.size()) == word && rest.find("  ") == std::string_view::npos)
      rest.remove_prefix(word.size());
  return std::string(rest);
}

bool FloodGate::Offer(int category, const std::string& text, const std::string& block,
                      std::uint32_t now) {
  const int loop = LoopOf(text);
  if (loop < 0) return true;
  auto [it, first] = loops.try_emplace(loop);
  LoopState& state = it->second;
  if (first || (state.held.empty() && TicksElapsed(now, state.lastsent, interval))) {
    state.lastsent = now;
    return true;
  }
  state.held.push_back({category, text, block});
  return false;
}

std::vector<FloodGate::Batch> FloodGate::TakeDue(std::uint32_t now) {
  return Take(now, false);
}

std::vector<FloodGate::Batch> FloodGate::TakeAll(std::uint32_t now) {
  return Take(now, true);
}

std::vector<FloodGate::Batch> FloodGate::Take(std::uint32_t now, bool all) {
  std::vector<Batch> due;
  for (auto& [loop, state] : loops) {
    if (state.held.empty() || (!all && !TicksElapsed(now, state.lastsent, interval))) continue;
    Batch batch{loop, Summary(loop, state.held), std::move(state.held)};
    state.held.clear();
    state.lastsent = now;
    due.push_back(std::move(batch));
  }
  return due;
}

std::uint32_t FloodGate::NextDue(std::uint32_t now) const {
  std::uint32_t next = 0;
  for (const auto& [loop, state] : loops) {
    if (state.held.empty()) continue;
    const std::uint32_t gone = now - state.lastsent;
    const std::uint32_t left = gone > interval ? 1 : interval - gone + 1;
    if (next == 0 || left < next) next = left;
  }
  return next;
}

std::size_t FloodGate::HeldCount() const {
  std::size_t n = 0;
  for (const auto& [loop, state] : loops) n += state.held.size();
  return n;
}

std::string FloodGate::Summary(int loop, const std::vector<Held>& events) {
  std::size_t alarms = 0, faults = 0, others = 0;
  std::map<std::string, std::size_t> what;
  for (const Held& h : events) {
    (h.category == WE_ALARM ? alarms : h.category == WE_FAULT ? faults : others)++;
    ++what[WhatOf(h.text)];
  }
  // The commonest state names the flood; a tie goes to the first in order.
  std::string commonest;
  std::size_t most = 0;
  for (const Held& h : events) {
    const std::string w = WhatOf(h.text);
    if (what[w] > most) most = what[w], commonest = w;
  }
  std::string counts;
  auto add = [&](std::size_t n, const char* one, const char* many) {
    if (n == 0) return;
    if (!counts.empty()) counts += ", ";
    counts += std::to_string(n) + " " + (n == 1 ? one : many);
  };
  add(alarms, "alarm", "alarms");
  add(faults, "fault", "faults");
  add(others, "event", "events");
  return counts + Format(", loop %d: ", loop + 1) + commonest;
}

}  // namespace quillark
