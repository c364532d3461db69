#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/eventloop.h"

namespace quillark {

// What the keep-alive file of a program home says about the last run: still
// running at `when` (it never shut down in order: a crash, a hang killed by
// the service manager, a power cut), or stopped in order at `when`.
struct SupervisionRecord {
  bool running = false;
  std::time_t when = 0;
};

// The file holds one line, "running <seconds since the epoch>" or
// "stopped <seconds>". Anything else (a file cut short by a power cut,
// edited by hand) reads as no record.
std::optional<SupervisionRecord> ParseSupervisionRecord(std::string_view text);
std::string FormatSupervisionRecord(const SupervisionRecord& record);

// What the start-up event adds when the last run ended without shutting
// down: how long nothing was supervised, counted from its last keep-alive.
// Empty after an orderly stop or with no record.
std::string InterruptionNote(const std::optional<SupervisionRecord>& last, std::time_t now);

// A sign of life from the event loop itself: a repeating timer that records
// the time in the keep-alive file of the program home and calls `ping` (the
// service manager's watchdog). A thread stuck anywhere stops both, so the
// service manager restarts the program and the next start knows since when
// it was gone.
class KeepAlive {
 public:
  KeepAlive(EventLoop& events, std::filesystem::path file, std::uint32_t intervalms,
            std::function<void()> ping);

  // The record the previous run left; read it before Start overwrites it.
  std::optional<SupervisionRecord> ReadPrevious() const;
  // The first beat now, then one every interval.
  void Start();
  // Orderly shutdown: the timer stops and the file says so.
  void Stop();

  // Half the watchdog period, so one late beat is not yet a missed one;
  // without a watchdog, often enough to date an interruption closely.
  static std::uint32_t IntervalFor(std::uint32_t watchdogms);

  static constexpr const char* FILENAME = "keepalive";

 private:
  void Beat();
  void Write(const SupervisionRecord& record) const;

  EventLoop& events;
  std::filesystem::path file;
  std::uint32_t intervalms;
  std::function<void()> ping;
  TimerHandle timer;
};

}  // namespace quillark
