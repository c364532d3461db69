#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quillark::test {

// A child process with its standard input and output on pipes; standard
// error goes to a file so that nothing blocks on it.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::string& stderrfile);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Send(const std::string& line);
  void CloseInput();
  // As a reader that stops reading (`| head -1`): the program's output pipe
  // has no reader left.
  void CloseOutput();
  int Pid() const { return pid; }
  // Reads output until a line containing `text` arrives after the line that
  // the previous call returned (returned) or the time runs out (empty). Every
  // line read is kept in `lines`.
  std::string WaitFor(const std::string& text, std::chrono::milliseconds limit);
  // Waits for the exit; -1 when it did not end in time (it is then killed).
  int Wait(std::chrono::milliseconds limit);
  void Signal(int sig);

  std::vector<std::string> lines;

 private:
  bool ReadSome(int timeoutms);
  int pid = -1;
  int in = -1, out = -1;
  std::string partial;
  std::size_t consumed = 0;
  bool exited = false;
  int status = 0;
};

}  // namespace quillark::test
