#pragma once

#include <functional>
#include <set>

#include "core/platform/programlauncher.h"

namespace quillark::test {

// Records every program run or started and answers with `result`; only the
// programs in `runnable` exist.
class FakeLauncher : public ProgramLauncher {
 public:
  struct Call {
    std::string program;
    std::vector<std::string> arguments;
    std::optional<std::string> input;
    bool detached;
  };

  bool CanRun(const std::filesystem::path& p) override { return runnable.count(p.string()) != 0; }
  LaunchResult Run(const std::filesystem::path& p, const std::vector<std::string>& a,
                   const std::optional<std::string>& input, std::uint32_t) override {
    return Record({p.string(), a, input, false});
  }
  LaunchResult Start(const std::filesystem::path& p, const std::vector<std::string>& a) override {
    return Record({p.string(), a, std::nullopt, true});
  }

  std::set<std::string> runnable;
  std::vector<Call> calls;
  LaunchResult result{true, true, 0, 0};
  std::function<void(const Call&)> onlaunch;

 private:
  LaunchResult Record(Call call) {
    calls.push_back(call);
    if (onlaunch) onlaunch(call);
    return result;
  }
};

}  // namespace quillark::test
