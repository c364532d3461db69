#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

namespace quillark {

// True when more than `ms` milliseconds lie between `since` and `now` on the
// wrapping 32-bit tick counter. Unsigned subtraction keeps it right across the
// wrap at 0xFFFFFFFF (every 49.7 days).
inline bool TicksElapsed(std::uint32_t now, std::uint32_t since, std::uint32_t ms) {
  return static_cast<std::uint32_t>(now - since) > ms;
}

class EventLoop;

// Owns one timer: the timer stops when the handle is destroyed, cancelled or
// overwritten, so an object can never be called back after it is gone.
class TimerHandle {
 public:
  TimerHandle() = default;
  TimerHandle(EventLoop* loop, std::uint64_t id) : loop_(loop), id_(id) {}
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  TimerHandle(TimerHandle&& other) noexcept : loop_(other.loop_), id_(other.id_) {
    other.loop_ = nullptr;
    other.id_ = 0;
  }
  TimerHandle& operator=(TimerHandle&& other) noexcept;
  ~TimerHandle() { Cancel(); }

  void Cancel();
  // A single-shot timer stops being active once it has fired.
  bool Active() const;

 private:
  EventLoop* loop_ = nullptr;
  std::uint64_t id_ = 0;
};

// The program's one thread of work: timers, posted calls and port events all
// run here. Qt provides the real one, tests a virtual clock.
class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // Milliseconds, wrapping at 32 bits; compare with TicksElapsed.
  virtual std::uint32_t TickCount() const = 0;
  // Wall-clock seconds since the epoch.
  virtual std::time_t Now() const = 0;

  [[nodiscard]] TimerHandle SingleShot(std::uint32_t ms, std::function<void()> fn) {
    return TimerHandle(this, AddTimer(ms, false, std::move(fn)));
  }
  [[nodiscard]] TimerHandle Repeating(std::uint32_t ms, std::function<void()> fn) {
    return TimerHandle(this, AddTimer(ms, true, std::move(fn)));
  }

  // Runs `fn` later on the loop, after the current work has finished.
  virtual void Post(std::function<void()> fn) = 0;

  // Waits `ms` milliseconds while timers, posted calls and port events keep
  // running (user input does not). Returns early when shutdown begins.
  virtual void Wait(std::uint32_t ms) = 0;

  // Runs the loop until `done` returns true or shutdown begins; used for modal
  // operations.
  virtual void RunUntil(const std::function<bool()>& done) = 0;

  virtual bool ShuttingDown() const = 0;

 protected:
  friend class TimerHandle;
  virtual std::uint64_t AddTimer(std::uint32_t ms, bool repeating, std::function<void()> fn) = 0;
  virtual void RemoveTimer(std::uint64_t id) = 0;
  virtual bool IsTimerActive(std::uint64_t id) const = 0;
};

inline TimerHandle& TimerHandle::operator=(TimerHandle&& other) noexcept {
  if (this != &other) {
    Cancel();
    loop_ = other.loop_;
    id_ = other.id_;
    other.loop_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

inline void TimerHandle::Cancel() {
  if (loop_ != nullptr && id_ != 0) loop_->RemoveTimer(id_);
  loop_ = nullptr;
  id_ = 0;
}

inline bool TimerHandle::Active() const {
  return loop_ != nullptr && id_ != 0 && loop_->IsTimerActive(id_);
}

}  // namespace quillark
