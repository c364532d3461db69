#include "core/platform/posixlauncher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quillark {

namespace {

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
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
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
// pipe closes on exec without a word), and also 0 when exec has not happened
// yet on a non-blocking pipe.
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

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

// A program started by Launch, until it is reaped.
struct PosixLauncher::Child {
  pid_t pid = -1;
  Fd input;           // our end of its standard input; closed once all is written
  std::string bytes;  // its input
  std::size_t written = 0;
  Fd execerror;  // closes on exec, or carries the errno of a failed exec
  std::uint32_t startedtick = 0;
  std::uint32_t timeoutms = 0;
  bool timedout = false;
  std::uint32_t termtick = 0;
  bool killed = false;
  Completion done;

  // Writes as much input as the socket takes now; the rest waits for a later
  // look. Closing our end when all is written is the end of input.
  void Feed() {
    if (input.Get() < 0) return;
    while (written < bytes.size()) {
      const ssize_t n = ::send(input.Get(), bytes.data() + written, bytes.size() - written,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      break;  // the program closed its end: it makes do with what it got
    }
    input.Close();
    bytes = std::string();
  }
};

PosixLauncher::PosixLauncher(EventLoop& e) : events(e) {}

PosixLauncher::~PosixLauncher() {
  alive.reset();
  watcher.Cancel();
  // Nobody is left to report to, and no program of ours may outlive us as a
  // zombie or hold on to a message half handed over.
  for (const auto& child : children) {
    ::kill(-child->pid, SIGKILL);
    WaitBlocking(child->pid);
  }
}

bool PosixLauncher::CanRun(const std::filesystem::path& program) {
  struct stat st {};
  if (::stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::access(program.c_str(), X_OK) == 0;
}

void PosixLauncher::Deliver(Completion done, const LaunchResult& result) {
  if (!done) return;
  // Posted, so that the caller's code never runs inside Launch or Watch, and
  // guarded, since a posted call cannot be taken back.
  events.Post([guard = std::weak_ptr<char>(alive), done = std::move(done), result] {
    if (!guard.expired()) done(result);
  });
}

void PosixLauncher::Launch(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           std::optional<std::string> input, Completion done,
                           std::uint32_t timeoutms) {
  LaunchResult result;
  const Argv argv(program, arguments);
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    result.error = errno;
    return Deliver(std::move(done), result);
  }
  Fd ours(sv[0]), theirs(sv[1]);
  int ep[2];
  if (::pipe2(ep, O_CLOEXEC) != 0) {
    result.error = errno;
    return Deliver(std::move(done), result);
  }
  Fd errread(ep[0]), errwrite(ep[1]);
  // Only our ends: the program gets an ordinary blocking standard input.
  if (!SetNonBlocking(ours.Get()) || !SetNonBlocking(errread.Get())) {
    result.error = errno;
    return Deliver(std::move(done), result);
  }

  const pid_t pid = ::fork();
  if (pid < 0) {
    result.error = errno;
    return Deliver(std::move(done), result);
  }
  if (pid == 0) {
    // Its own process group, so that a time-out stops whatever it started too.
    ::setpgid(0, 0);
    ExecChild(argv, theirs.Get(), errwrite.Get());
  }
  ::setpgid(pid, pid);
  theirs.Close();
  errwrite.Close();

  auto child = std::make_unique<Child>();
  child->pid = pid;
  child->execerror.Reset(errread.Release());
  child->startedtick = events.TickCount();
  child->timeoutms = timeoutms;
  child->done = std::move(done);
  if (input.has_value()) {
    child->bytes = std::move(*input);
    child->input.Reset(ours.Release());
    child->Feed();
  }
  children.push_back(std::move(child));
  if (!watcher.Active()) watcher = events.Repeating(WATCH_INTERVAL_MS, [this] { Watch(); });
}

void PosixLauncher::Watch() {
  const std::uint32_t now = events.TickCount();
  for (auto it = children.begin(); it != children.end();) {
    Child& child = **it;
    child.Feed();

    int status = 0;
    const pid_t r = ::waitpid(child.pid, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) {
      if (!child.timedout && TicksElapsed(now, child.startedtick, child.timeoutms)) {
        // A polite request first: a mail program may still tidy its queue.
        child.timedout = true;
        child.termtick = now;
        child.input.Close();
        ::kill(-child.pid, SIGTERM);
      } else if (child.timedout && !child.killed &&
                 TicksElapsed(now, child.termtick, KILL_GRACE_MS)) {
        child.killed = true;
        ::kill(-child.pid, SIGKILL);
      }
      ++it;
      continue;
    }

    // Gone: after reaping, its end of the exec pipe is closed, so the pipe
    // says for certain whether exec failed.
    LaunchResult result;
    result.error = ReadExecError(child.execerror.Get());
    result.started = result.error == 0;
    if (result.started && r == child.pid) {
      result.finished = !child.timedout;
      result.exitcode = ExitCodeOf(status);
    }
    // r < 0: somebody else reaped it; its end is unknown.
    Deliver(std::move(child.done), result);
    it = children.erase(it);
  }
  if (children.empty()) watcher.Cancel();
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
