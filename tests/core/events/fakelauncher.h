#pragma once

#include <deque>
#include <functional>
#include <set>

#include "core/platform/eventloop.h"
#include "core/platform/programlauncher.h"

namespace quillark::test {

// Records every program run or started; only the programs in `runnable`
// exist. A launch ends with `result` (as it was at launch time) from the
// event loop, or, while `hold` is set, stays running until Complete.
class FakeLauncher : public ProgramLauncher {
 public:
  struct Call {
    std::string program;
    std::vector<std::string> arguments;
    std::optional<std::string> input;
    bool detached;
  };

  explicit FakeLauncher(EventLoop& l) : loop(l) {}

  bool CanRun(const std::filesystem::path& p) override { return runnable.count(p.string()) != 0; }
  void Launch(const std::filesystem::path& p, const std::vector<std::string>& a,
              std::optional<std::string> input, Completion done, std::uint32_t) override {
    Record({p.string(), a, std::move(input), false});
    running.push_back(std::move(done));
    if (!hold) loop.Post([this, r = result] { Complete(r); });
  }
  LaunchResult Start(const std::filesystem::path& p, const std::vector<std::string>& a) override {
    return Record({p.string(), a, std::nullopt, true});
  }

  // Ends the oldest launch still running with `r`.
  void Complete(const LaunchResult& r) {
    if (running.empty()) return;
    Completion done = std::move(running.front());
    running.pop_front();
    if (done) done(r);
  }
  std::size_t Running() const { return running.size(); }

  std::set<std::string> runnable;
  std::vector<Call> calls;
  LaunchResult result{true, true, 0, 0};
  bool hold = false;
  std::function<void(const Call&)> onlaunch;

 private:
  LaunchResult Record(Call call) {
    calls.push_back(call);
    if (onlaunch) onlaunch(call);
    return result;
  }

  EventLoop& loop;
  std::deque<Completion> running;
};

}  // namespace quillark::test
