#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace quillark::test {

Process::Process(const std::vector<std::string>& argv, const std::string& stderrfile) {
  int inpipe[2], outpipe[2];
  if (pipe(inpipe) != 0 || pipe(outpipe) != 0) throw std::runtime_error("pipe failed");
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(inpipe[0], 0);
    dup2(outpipe[1], 1);
    int err = open(stderrfile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    close(inpipe[1]);
    close(outpipe[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(inpipe[0]);
  close(outpipe[1]);
  in = inpipe[1];
  out = outpipe[0];
  signal(SIGPIPE, SIG_IGN);
}

Process::~Process() {
  if (!exited && pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
}

void Process::Send(const std::string& line) {
  std::string data = line + "\n";
  [[maybe_unused]] auto n = write(in, data.data(), data.size());
}

void Process::CloseInput() {
  if (in >= 0) close(in);
  in = -1;
}

void Process::CloseOutput() {
  if (out >= 0) close(out);
  out = -1;
}

void Process::Signal(int sig) {
  if (!exited) kill(pid, sig);
}

bool Process::ReadSome(int timeoutms) {
  if (out < 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutms));
    return false;
  }
  pollfd p{out, POLLIN, 0};
  if (poll(&p, 1, timeoutms) <= 0) return false;
  char buf[4096];
  ssize_t n = read(out, buf, sizeof buf);
  if (n <= 0) return false;
  partial.append(buf, static_cast<std::size_t>(n));
  for (auto nl = partial.find('\n'); nl != std::string::npos; nl = partial.find('\n')) {
    lines.push_back(partial.substr(0, nl));
    partial.erase(0, nl + 1);
  }
  return true;
}

std::string Process::WaitFor(const std::string& text, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    for (; consumed < lines.size(); ++consumed)
      if (lines[consumed].find(text) != std::string::npos) return lines[consumed++];
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    ReadSome(static_cast<int>(std::min<long>(left.count(), 100)));
  }
}

int Process::Wait(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    ReadSome(10);
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      while (ReadSome(0)) {
      }
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
  }
  return -1;
}

}  // namespace quillark::test
