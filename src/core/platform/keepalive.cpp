#include "core/platform/keepalive.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace quillark {

std::optional<SupervisionRecord> ParseSupervisionRecord(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  SupervisionRecord record;
  std::string_view number;
  if (text.rfind("running ", 0) == 0) {
    record.running = true;
    number = text.substr(8);
  } else if (text.rfind("stopped ", 0) == 0) {
    number = text.substr(8);
  } else {
    return std::nullopt;
  }
  // Seconds since the epoch, digits only and no more than fit comfortably.
  if (number.empty() || number.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (char c : number) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  record.when = static_cast<std::time_t>(value);
  return record;
}

std::string FormatSupervisionRecord(const SupervisionRecord& record) {
  return std::string(record.running ? "running " : "stopped ") +
         std::to_string(static_cast<std::int64_t>(record.when)) + "\n";
}

std::string InterruptionNote(const std::optional<SupervisionRecord>& last, std::time_t now) {
  if (!last || !last->running) return {};
  // A clock set back since then gives no length worth stating.
  if (now < last->when) return "supervision was interrupted (the previous run did not shut down)";
  const std::int64_t gap = static_cast<std::int64_t>(now - last->when);
  const std::int64_t hours = gap / 3600, minutes = gap / 60 % 60, seconds = gap % 60;
  char text[96];
  if (hours > 0)
    std::snprintf(text, sizeof text, "%lld h %02lld min %02lld s", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(seconds));
  else if (minutes > 0)
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(minutes),
                  static_cast<long long>(seconds));
  else
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
  return std::string("supervision was interrupted for ") + text +
         " (the previous run did not shut down)";
}

KeepAlive::KeepAlive(EventLoop& e, std::filesystem::path f, std::uint32_t ms,
                     std::function<void()> p)
    : events(e), file(std::move(f)), intervalms(ms == 0 ? 1 : ms), ping(std::move(p)) {}

std::optional<SupervisionRecord> KeepAlive::ReadPrevious() const {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  char buf[64];
  in.read(buf, sizeof buf);
  return ParseSupervisionRecord(std::string_view(buf, static_cast<std::size_t>(in.gcount())));
}

void KeepAlive::Start() {
  Beat();
  timer = events.Repeating(intervalms, [this] { Beat(); });
}

void KeepAlive::Stop() {
  timer.Cancel();
  Write({false, events.Now()});
}

std::uint32_t KeepAlive::IntervalFor(std::uint32_t watchdogms) {
  constexpr std::uint32_t DEFAULT = 5000;
  if (watchdogms == 0) return DEFAULT;
  return std::max<std::uint32_t>(1, std::min(DEFAULT, watchdogms / 2));
}

void KeepAlive::Beat() {
  if (ping) ping();
  Write({true, events.Now()});
}

void KeepAlive::Write(const SupervisionRecord& record) const {
  // Written beside and renamed over, so that a power cut mid-write leaves
  // the old record rather than half a line.
  std::filesystem::path temp = file;
  temp += ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << FormatSupervisionRecord(record);
    if (!out.flush()) return;
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
}

}  // namespace quillark
