#include "core/common/timer.h"

namespace quillark {

Timer::Timer(Clock c) : clock(std::move(c)) {}

std::time_t Timer::Current() const {
  return clock ? clock() : std::time(nullptr);
}

void Timer::Start() {
  starttime = Current();
  elapsed = 0;
  state = STARTED;
}

void Timer::Stop() {
  if (state == STOPPED) return;
  elapsed = GetTime();
  state = STOPPED;
}

unsigned long Timer::GetTime() const {
  if (state == STOPPED) return elapsed;
  std::time_t now = Current();
  // A clock set backwards never makes the time negative.
  return now > starttime ? static_cast<unsigned long>(now - starttime) : 0UL;
}

}  // namespace quillark
