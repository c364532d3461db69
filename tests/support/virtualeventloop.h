#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>

#include "core/platform/eventloop.h"

namespace quillark::test {

// A deterministic event loop: time moves only when a test (or code under test
// through Wait) advances it. Timers fire in due order at their exact tick.
class VirtualEventLoop : public EventLoop {
 public:
  explicit VirtualEventLoop(std::uint32_t starttick = 0, std::time_t startclock = 1700000000)
      : tick0(starttick), clock0(startclock) {}

  std::uint32_t TickCount() const override { return tick0 + static_cast<std::uint32_t>(elapsed); }
  std::time_t Now() const override { return clock0 + static_cast<std::time_t>(elapsed / 1000); }

  void Post(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
  void Wait(std::uint32_t ms) override;
  void RunUntil(const std::function<bool()>& done) override;
  bool ShuttingDown() const override { return shuttingdown; }

  // Moves virtual time forward by `ms`, firing timers and posted calls on the way.
  void Advance(std::uint64_t ms);
  // Runs posted calls (and calls they post) without moving time.
  void RunPending();

  void SetShuttingDown(bool on) { shuttingdown = on; }
  std::uint64_t Elapsed() const { return elapsed; }
  std::size_t ActiveTimers() const { return timers.size(); }
  std::size_t PendingPosts() const { return posted.size(); }

 protected:
  std::uint64_t AddTimer(std::uint32_t ms, bool repeating, std::function<void()> fn) override;
  void RemoveTimer(std::uint64_t id) override { timers.erase(id); }
  bool IsTimerActive(std::uint64_t id) const override { return timers.count(id) != 0; }

 private:
  struct Entry {
    std::uint64_t due;
    std::uint32_t interval;
    bool repeating;
    std::function<void()> fn;
  };
  // Fires the earliest timer due at or before `until`; false when none is.
  bool FireNext(std::uint64_t until);

  std::uint32_t tick0;
  std::time_t clock0;
  std::uint64_t elapsed = 0;
  std::uint64_t nextid = 1;
  std::map<std::uint64_t, Entry> timers;
  std::deque<std::function<void()>> posted;
  bool shuttingdown = false;
};

}  // namespace quillark::test
