#pragma once

#include <list>
#include <memory>

#include "core/platform/eventloop.h"
#include "core/platform/programlauncher.h"

namespace quillark {

// Runs programs with fork and exec. Standard input is fed through a socket so
// that a program that stops reading cannot kill us with SIGPIPE. Running
// programs are watched from the event loop: nothing here ever waits for one.
class PosixLauncher : public ProgramLauncher {
 public:
  // How often running programs are fed their input and asked whether they
  // have ended.
  static constexpr std::uint32_t WATCH_INTERVAL_MS = 25;
  // A program past its time limit gets SIGTERM first, and SIGKILL when it is
  // still there this much later.
  static constexpr std::uint32_t KILL_GRACE_MS = 2000;

  explicit PosixLauncher(EventLoop& events);
  // Kills and reaps every program still running; their callbacks never run.
  ~PosixLauncher() override;
  PosixLauncher(const PosixLauncher&) = delete;
  PosixLauncher& operator=(const PosixLauncher&) = delete;

  bool CanRun(const std::filesystem::path& program) override;
  void Launch(const std::filesystem::path& program, const std::vector<std::string>& arguments,
              std::optional<std::string> input, Completion done,
              std::uint32_t timeoutms = DEFAULT_TIMEOUT_MS) override;
  LaunchResult Start(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments) override;

  // Programs started by Launch and not yet reaped.
  std::size_t Running() const { return children.size(); }

 private:
  struct Child;

  // One look at every running program, on the watch timer.
  void Watch();
  // Hands `result` to `done` from the event loop, unless the launcher is gone by then.
  void Deliver(Completion done, const LaunchResult& result);

  EventLoop& events;
  std::list<std::unique_ptr<Child>> children;
  TimerHandle watcher;  // runs only while there are children
  std::shared_ptr<char> alive = std::make_shared<char>();
};

}  // namespace quillark
