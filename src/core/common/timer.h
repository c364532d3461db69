#pragma once

#include <ctime>
#include <functional>

namespace quillark {

// A stopwatch counting whole seconds of wall-clock time.
class Timer {
 public:
  enum State { STARTED, STOPPED };
  using Clock = std::function<std::time_t()>;

  // Created stopped at 0; `clock` defaults to the system's time.
  explicit Timer(Clock clock = nullptr);

  // Restarts from 0.
  void Start();
  // Freezes the elapsed time; does nothing when already stopped.
  void Stop();
  State GetState() const { return state; }
  // Seconds since Start, or the time frozen by Stop.
  unsigned long GetTime() const;

 private:
  std::time_t Current() const;

  Clock clock;
  std::time_t starttime = 0;
  unsigned long elapsed = 0;
  State state = STOPPED;
};

}  // namespace quillark
