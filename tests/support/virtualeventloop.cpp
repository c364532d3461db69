#include "support/virtualeventloop.h"

#include <stdexcept>

namespace quillark::test {

std::uint64_t VirtualEventLoop::AddTimer(std::uint32_t ms, bool repeating,
                                         std::function<void()> fn) {
  std::uint64_t id = nextid++;
  timers[id] = Entry{elapsed + ms, ms, repeating, std::move(fn)};
  return id;
}

void VirtualEventLoop::RunPending() {
  while (!posted.empty()) {
    auto fn = std::move(posted.front());
    posted.pop_front();
    fn();
  }
}

bool VirtualEventLoop::FireNext(std::uint64_t until) {
  auto best = timers.end();
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->second.due <= until && (best == timers.end() || it->second.due < best->second.due))
      best = it;
  }
  if (best == timers.end()) return false;
  if (best->second.due > elapsed) elapsed = best->second.due;
  std::uint64_t id = best->first;
  std::function<void()> fn = best->second.fn;  // copy: the callback may cancel itself
  if (best->second.repeating) {
    // A zero interval would fire forever at one instant.
    best->second.due = elapsed + (best->second.interval ? best->second.interval : 1);
  } else {
    timers.erase(best);
  }
  (void)id;
  fn();
  return true;
}

void VirtualEventLoop::Advance(std::uint64_t ms) {
  const std::uint64_t until = elapsed + ms;
  RunPending();
  while (FireNext(until)) RunPending();
  if (until > elapsed) elapsed = until;
  RunPending();
}

void VirtualEventLoop::Wait(std::uint32_t ms) {
  if (shuttingdown) return;
  const std::uint64_t until = elapsed + ms;
  RunPending();
  while (!shuttingdown && FireNext(until)) RunPending();
  if (!shuttingdown && until > elapsed) elapsed = until;
}

void VirtualEventLoop::RunUntil(const std::function<bool()>& done) {
  // Bounded so that a test whose condition never comes fails instead of hanging.
  for (int step = 0; step < 10'000'000; ++step) {
    RunPending();
    if (shuttingdown || done()) return;
    Advance(1);
  }
  throw std::runtime_error("VirtualEventLoop::RunUntil: condition never became true");
}

}  // namespace quillark::test
