#include "platform/sdnotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace quillark {

bool NotifyServiceManager(const std::string& state) {
  const char* name = std::getenv("NOTIFY_SOCKET");
  if (name == nullptr) return false;
  const std::string_view path(name);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  // A path, or a name in the abstract namespace written with a leading '@'.
  if (path.size() < 2 || path.size() >= sizeof addr.sun_path || (path[0] != '/' && path[0] != '@'))
    return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  if (path[0] == '@') addr.sun_path[0] = '\0';
  const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                               (path[0] == '@' ? 0 : 1));
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const ssize_t sent = sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&addr), len);
  close(fd);
  return sent == static_cast<ssize_t>(state.size());
}

std::uint32_t ServiceWatchdogMs() {
  const char* usec = std::getenv("WATCHDOG_USEC");
  if (usec == nullptr || *usec == '\0') return 0;
  // The period is meant for the process the manager started; a program this
  // one launched must not inherit it.
  if (const char* pid = std::getenv("WATCHDOG_PID"); pid != nullptr && *pid != '\0') {
    char* end = nullptr;
    const long long value = std::strtoll(pid, &end, 10);
    if (*end != '\0' || value != static_cast<long long>(getpid())) return 0;
  }
  char* end = nullptr;
  const unsigned long long value = std::strtoull(usec, &end, 10);
  if (*end != '\0' || usec[0] == '-' || value == 0) return 0;
  const unsigned long long ms = value / 1000;
  if (ms == 0) return 1;
  return ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(ms);
}

}  // namespace quillark
