#include "core/platform/posixlauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>

namespace quillark {

namespace {

using Clock = std::chrono::steady_clock;

// A descriptor that closes itself.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int Get() const { return fd; }
  void Reset(int f) {
    Close();
    fd = f;
  }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

 private:
  int fd = -1;
};

// argv for exec, built before fork: the child may not allocate.
struct Argv {
  Argv(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    strings.push_back(program.string());
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
  }
  std::vector<std::string> strings;
  std::vector<char*> pointers;
};

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// In a forked child, between fork and exec, only async-signal-safe calls are
// allowed. Makes `stdinfd` the standard input, drops inherited descriptors,
// restores default signal handling and executes the program; tells the parent
// through `errfd` why it could not.
[[noreturn]] void ExecChild(const Argv& argv, int stdinfd, int errfd) {
  if (stdinfd == STDIN_FILENO) {
    ::fcntl(STDIN_FILENO, F_SETFD, 0);
  } else {
    ::dup2(stdinfd, STDIN_FILENO);
  }
#ifdef CLOSE_RANGE_CLOEXEC
  // Serial lines, sockets and log files of ours are none of the program's business.
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &dfl, nullptr);
  ::execv(argv.pointers[0], argv.pointers.data());
  int e = errno;
  [[maybe_unused]] ssize_t n = ::write(errfd, &e, sizeof e);
  ::_exit(127);
}

// Reads the errno a child sends when exec fails; 0 when exec succeeded (the
// pipe closes on exec without a word).
int ReadExecError(int fd) {
  int e = 0;
  for (;;) {
    ssize_t n = ::read(fd, &e, sizeof e);
    if (n < 0 && errno == EINTR) continue;
    return n == static_cast<ssize_t>(sizeof e) ? (e != 0 ? e : ENOEXEC) : 0;
  }
}

int WaitBlocking(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Feeds `input` to the child until it is all written, the child stops
// reading, or the deadline passes.
void Feed(int fd, const std::string& input, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < input.size()) {
    ssize_t n = ::send(fd, input.data() + done, input.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int left = MillisecondsLeft(deadline);
      if (left == 0) return;
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, left);
      continue;
    }
    return;  // the child closed its end
  }
}

}  // namespace

bool PosixLauncher::CanRun(const std::filesystem::path& program) {
  struct stat st {};
  if (::stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::access(program.c_str(), X_OK) == 0;
}

LaunchResult PosixLauncher::Run(const std::filesystem::path& program,
                                const std::vector<std::string>& arguments,
                                const std::optional<std::string>& input, std::uint32_t timeoutms) {
  LaunchResult result;
  const Argv argv(program, arguments);
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    result.error = errno;
    return result;
  }
  Fd ours(sv[0]), theirs(sv[1]);
  int ep[2];
  if (::pipe2(ep, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  Fd errread(ep[0]), errwrite(ep[1]);

  const pid_t pid = ::fork();
  if (pid < 0) {
    result.error = errno;
    return result;
  }
  if (pid == 0) {
    // Its own process group, so that a time-out stops whatever it started too.
    ::setpgid(0, 0);
    ExecChild(argv, theirs.Get(), errwrite.Get());
  }
  ::setpgid(pid, pid);

  theirs.Close();
  errwrite.Close();
  if (int e = ReadExecError(errread.Get()); e != 0) {
    WaitBlocking(pid);
    result.error = e;
    return result;
  }
  result.started = true;

  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutms);
  if (input.has_value()) Feed(ours.Get(), *input, deadline);
  ours.Close();  // end of input

  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      result.finished = true;
      result.exitcode = ExitCodeOf(status);
      return result;
    }
    if (r < 0 && errno != EINTR) return result;  // somebody else reaped it
    if (Clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      result.exitcode = ExitCodeOf(WaitBlocking(pid));
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

LaunchResult PosixLauncher::Start(const std::filesystem::path& program,
                                  const std::vector<std::string>& arguments) {
  LaunchResult result;
  const Argv argv(program, arguments);
  Fd devnull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (devnull.Get() < 0) {
    result.error = errno;
    return result;
  }
  int ep[2];
  if (::pipe2(ep, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  Fd errread(ep[0]), errwrite(ep[1]);

  // Fork twice so that the program belongs to nobody here and needs no reaping.
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.error = errno;
    return result;
  }
  if (pid == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) ExecChild(argv, devnull.Get(), errwrite.Get());
    if (grandchild < 0) {
      int e = errno;
      [[maybe_unused]] ssize_t n = ::write(errwrite.Get(), &e, sizeof e);
    }
    ::_exit(0);
  }
  errwrite.Close();
  WaitBlocking(pid);
  result.error = ReadExecError(errread.Get());
  result.started = result.error == 0;
  return result;
}

}  // namespace quillark
