#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillark {

// What became of a program the launcher was asked to run.
struct LaunchResult {
  bool started = false;   // the program could be started
  bool finished = false;  // it ended by itself (not stopped at the time limit)
  int exitcode = -1;      // its exit status; 128 + signal when a signal ended it
  int error = 0;          // errno-style reason when it could not be started

  bool Succeeded() const { return started && finished && exitcode == 0; }
  // The number an operator is shown: the exit status, or why it did not start.
  int Code() const { return started ? exitcode : error; }
};

// Runs external programs (the mail transfer agent, the pager program, a print
// command). Arguments are handed over as they are: no shell sees them, so the
// text of an event can never turn into a command.
class ProgramLauncher {
 public:
  // A program that hangs must not hold the program for ever.
  static constexpr std::uint32_t DEFAULT_TIMEOUT_MS = 60000;

  virtual ~ProgramLauncher() = default;

  // True when `program` is a file that may be executed.
  virtual bool CanRun(const std::filesystem::path& program) = 0;

  using Completion = std::function<void(const LaunchResult&)>;

  // Starts `program` with `arguments`, feeds it `input` on standard input
  // (none: standard input is empty) and returns at once. `done` gets the
  // result later from the event loop, never before Launch returns, and never
  // once the launcher is gone. A program still running after `timeoutms` is
  // killed and reported as not finished.
  virtual void Launch(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, std::optional<std::string> input,
                      Completion done, std::uint32_t timeoutms = DEFAULT_TIMEOUT_MS) = 0;

  // Starts `program` and returns at once; it runs on by itself with empty
  // standard input. Only `started` and `error` of the result mean anything.
  virtual LaunchResult Start(const std::filesystem::path& program,
                             const std::vector<std::string>& arguments) = 0;
};

}  // namespace quillark
