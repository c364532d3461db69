// The service manager's notification socket, played by a datagram socket of
// our own.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sdnotify.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

class ServiceManager : public ::testing::Test {
 protected:
  ~ServiceManager() override {
    if (fd >= 0) close(fd);
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
  }
  // Listens at `name` ('@' for the abstract namespace) and names it in
  // NOTIFY_SOCKET, as the manager does for the program it starts.
  void Listen(const std::string& name) {
    fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, name.data(), name.size());
    socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (name[0] == '@')
      addr.sun_path[0] = '\0';
    else
      ++len;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0) << std::strerror(errno);
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
  }
  std::string Received() {
    char buf[256];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n < 0 ? std::string("(nothing)") : std::string(buf, static_cast<std::size_t>(n));
  }
  test::TempDir dir;
  int fd = -1;
};

TEST_F(ServiceManager, MessagesReachAPathOrAnAbstractSocket) {
  Listen((dir / "notify").string());
  EXPECT_TRUE(NotifyServiceManager("READY=1\nSTATUS=Supervising"));
  EXPECT_EQ(Received(), "READY=1\nSTATUS=Supervising");
  EXPECT_TRUE(NotifyServiceManager("WATCHDOG=1"));
  EXPECT_EQ(Received(), "WATCHDOG=1");
  close(fd);
  fd = -1;

  Listen("@quillark-test-" + std::to_string(getpid()));
  EXPECT_TRUE(NotifyServiceManager("STOPPING=1"));
  EXPECT_EQ(Received(), "STOPPING=1");
}

TEST_F(ServiceManager, NoManagerOrABadNameIsNotAnError) {
  unsetenv("NOTIFY_SOCKET");
  EXPECT_FALSE(NotifyServiceManager("READY=1"));
  for (const char* bad : {"", "@", "relative/path", "/nonexistent/socket"}) {
    setenv("NOTIFY_SOCKET", bad, 1);
    EXPECT_FALSE(NotifyServiceManager("READY=1")) << bad;
  }
  setenv("NOTIFY_SOCKET", ("/" + std::string(200, 'x')).c_str(), 1);
  EXPECT_FALSE(NotifyServiceManager("READY=1"));
}

TEST_F(ServiceManager, WatchdogPeriodOnlyForTheProcessItWasMeantFor) {
  EXPECT_EQ(ServiceWatchdogMs(), 0u);
  setenv("WATCHDOG_USEC", "10000000", 1);
  EXPECT_EQ(ServiceWatchdogMs(), 10000u);
  setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
  EXPECT_EQ(ServiceWatchdogMs(), 10000u);
  setenv("WATCHDOG_PID", std::to_string(getpid() + 1).c_str(), 1);
  EXPECT_EQ(ServiceWatchdogMs(), 0u);
  unsetenv("WATCHDOG_PID");
  for (const char* bad : {"", "0", "-5", "10s", "abc"}) {
    setenv("WATCHDOG_USEC", bad, 1);
    EXPECT_EQ(ServiceWatchdogMs(), 0u) << bad;
  }
  setenv("WATCHDOG_USEC", "500", 1);
  EXPECT_EQ(ServiceWatchdogMs(), 1u);
}

}  // namespace
}  // namespace quillark
