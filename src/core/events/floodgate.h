#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillark {

// Keeps one output (e-mail, pager, printer) from carrying hundreds of
// messages when a loop fails or a whole loop reports at once. The first
// event of a loop goes out at once; whatever that loop reports in the next
// `interval` is held and goes out as one message when the interval is up,
// with how many of what and the whole list, and the interval starts again.
// Events that name no loop are never held. Nothing is dropped: every held
// event is in the next message.
class FloodGate {
 public:
  struct Held {
    int category;
    std::string text;   // as announced: "Detector L-AAA ..."
    std::string block;  // as the output would have carried it alone
  };
  struct Batch {
    int loop;             // from 0
    std::string summary;  // "127 faults, loop 3: Comms failure"
    std::vector<Held> events;
  };

  explicit FloodGate(std::uint32_t intervalms = 30000) : interval(intervalms) {}

  // The loop an announcement names ("Detector 3-012 ..." is loop index 2),
  // or -1.
  static int LoopOf(std::string_view text);
  // What a line says after its device and location ("Comms failure").
  static std::string WhatOf(std::string_view text);

  // True when the event is to go out now on its own; false when it is held.
  bool Offer(int category, const std::string& text, const std::string& block, std::uint32_t now);
  // The batches whose interval is up at `now`, each loop's events in order.
  std::vector<Batch> TakeDue(std::uint32_t now);
  // Every batch held, due or not: nothing may stay behind when the program
  // stops.
  std::vector<Batch> TakeAll(std::uint32_t now);
  // Milliseconds from `now` until the next batch is due; 0 when none is held.
  std::uint32_t NextDue(std::uint32_t now) const;
  std::size_t HeldCount() const;

 private:
  struct LoopState {
    std::uint32_t lastsent = 0;
    std::vector<Held> held;
  };
  static std::string Summary(int loop, const std::vector<Held>& events);
  std::vector<Batch> Take(std::uint32_t now, bool all);

  std::uint32_t interval;
  std::map<int, LoopState> loops;
};

}  // namespace quillark
