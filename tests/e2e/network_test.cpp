// Two copies of the program on loopback: A serves its demonstration loops to
// the network, B follows A's loop 1 as a loop of its own; raw TCP clients
// watch and drive A's loop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "console.h"
#include "core/common/inifile.h"
#include "process.h"
#include "support/frames.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

// Free on every address, as the server listens on all of them.
bool PortFree(int port) {
  const int s4 = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  bool ok = bind(s4, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s4);
  const int s6 = socket(AF_INET6, SOCK_STREAM, 0);
  if (s6 >= 0) {
    sockaddr_in6 a6{};
    a6.sin6_family = AF_INET6;
    a6.sin6_port = htons(static_cast<std::uint16_t>(port));
    a6.sin6_addr = in6addr_any;
    ok = ok && bind(s6, reinterpret_cast<sockaddr*>(&a6), sizeof a6) == 0;
    close(s6);
  }
  return ok;
}

// Whether something listens on `port`, read from the kernel's socket tables.
// (Probing with bind() instead could take the port at the very moment the
// program binds it, and the program would then never listen.)
bool Listening(int port) {
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      const auto colon = local.rfind(':');
      if (colon == std::string::npos || state != "0A") continue;  // 0A: listening
      if (std::stoi(local.substr(colon + 1), nullptr, 16) == port) return true;
    }
  }
  return false;
}

// A base with two free ports after it.
int FreePortBase() {
  std::mt19937 random(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
  for (;;) {
    const int base = 20000 + static_cast<int>(random() % 40000);
    if (PortFree(base) && PortFree(base + 1)) return base;
  }
}

// A plain TCP client of A's monitoring port.
class RawClient {
 public:
  explicit RawClient(int port) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawClient() { close(fd); }
  void Send(const std::string& text) {
    [[maybe_unused]] auto n = write(fd, text.data(), text.size());
  }
  // Reads for `limit`; false once the server has closed the connection.
  bool ReadFor(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buf[8192];
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) return false;
      received.append(buf, static_cast<std::size_t>(n));
      ++reads;
    }
    return true;
  }

  // Reads until `text` has arrived; false when it did not within `limit`.
  bool ReadUntil(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (received.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= end || !ReadFor(50ms)) return false;
    }
    return true;
  }

  int fd = -1;
  bool connected = false;
  std::string received;
  int reads = 0;
};

class TwoComputers : public ::testing::Test {
 protected:
  TwoComputers() : base(FreePortBase()) {
    for (TempDir* home : {&a, &b}) CopyDemoHome(home->Path());
    INIfile ini(a / "quillark.ini");
    ini.WriteString("NetworkMonitoring", "Enable", "1");
    ini.WriteString("NetworkMonitoring", "PortBase", std::to_string(base));
  }
  void SetA(const std::string& section, const std::string& key, const std::string& value) {
    INIfile(a / "quillark.ini").WriteString(section, key, value);
  }
  std::unique_ptr<Process> Start(const TempDir& home) { return StartHeadless(home.Path()); }
  // A, once it listens on both its loops' ports (the loops open after the
  // start-up banner).
  std::unique_ptr<Process> StartA() {
    auto p = Start(a);
    for (int i = 0; i < 100 && !(Listening(base) && Listening(base + 1)); ++i)
      std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(Listening(base));
    return p;
  }
  // B: the live edition, its loop 1 being loop 1 of A, through a port of `type`.
  std::unique_ptr<Process> StartB(int type) {
    INIfile ini(b / "quillark.ini");
    ini.WriteString("Product", "Edition", "live");
    ini.WriteString("Comm", "Loops", "1");
    ini.WriteString("Comm", "Loop1PortType", std::to_string(type));
    ini.WriteString("Comm", "Loop1Port", "1,127.0.0.1");
    ini.WriteString("NetworkMonitoring", "PortBase", std::to_string(base));
    return Start(b);
  }

  void FollowsTheRemoteLoop(int type) {
    auto pa = StartA();
    auto pb = StartB(type);
    EXPECT_FALSE(Mentions(*pb, "demonstration"));
    // B learns every detector's state from A's traffic.
    EXPECT_TRUE(StatusBecomes(*pb, "1-003", "1-003 status 0x00 faults 0x00"));
    EXPECT_TRUE(StatusBecomes(*pb, "1-012", "1-012 status 0x00 faults 0x00"));
    pa->Send("select 1-005");
    EXPECT_NE(pa->WaitFor("selected 1-005", 5s), "");
    pa->Send("fire1");
    EXPECT_EQ(pa->WaitFor("ok", 5s), "ok");
    EXPECT_TRUE(StatusBecomes(*pb, "1-005", "1-005 status 0x0e"));
    pb->Send("alarms");
    const std::string line = pb->WaitFor("1-005  (UPS room)", 5s);
    EXPECT_EQ(line.rfind("[firstfire]", 0), 0u) << line;
    EXPECT_NE(line.find("Alarms: Aux,Pre-Alarm,Fire 1"), std::string::npos) << line;
    if (type == 2) {
      // Through a control port B drives A's loop: an isolate from B is
      // carried out by A's device.
      EXPECT_TRUE(Answers(*pb, "logon Engineer", "logged on as Engineer"));
      EXPECT_TRUE(Answers(*pb, "select 1-006", "selected 1-006"));
      pb->Send("isolate");
      EXPECT_EQ(pb->WaitFor("ok", 10s), "ok");
      EXPECT_TRUE(StatusBecomes(*pa, "1-006", "1-006 status 0x01 faults 0x20"));
      EXPECT_TRUE(StatusBecomes(*pb, "1-006", "1-006 status 0x01 faults 0x20"));
    } else {
      pb->Send("select 1-006");
      pb->Send("isolate");
      EXPECT_NE(pb->WaitFor("refused: not available", 5s), "");
    }
    // Long enough for three missed polls of every device many times over.
    std::this_thread::sleep_for(2s);
    pb->Send("alarms");
    EXPECT_NE(pb->WaitFor("Alarms: ", 5s), "");
    EXPECT_TRUE(Quit(*pb));
    EXPECT_TRUE(Quit(*pa));
    EXPECT_FALSE(Mentions(*pb, "Comms failure"));
    EXPECT_FALSE(Mentions(*pb, "No Communications"));
    EXPECT_TRUE(Mentions(*pa, "event INFORMATION: Remote port connect loop 1"));
  }

  TempDir a, b;
  int base;
};

TEST_F(TwoComputers, WatchingPortFollowsTheRemoteLoop) {
  FollowsTheRemoteLoop(1);
}

TEST_F(TwoComputers, ControlPortFollowsTheRemoteLoop) {
  FollowsTheRemoteLoop(2);
}

TEST_F(TwoComputers, RawClientSeesBatchedTrafficAndItsItemsReachTheLoop) {
  auto pa = StartA();
  RawClient watcher(base);
  RawClient driver(base);
  ASSERT_TRUE(watcher.connected && driver.connected);
  // Polls and answers, each item followed by a line end of its own.
  EXPECT_TRUE(watcher.ReadUntil("?\x85\r\r", 15s));
  EXPECT_TRUE(watcher.ReadUntil("@\x85", 5s));
  // Two seconds of polling (some 200 polls and as many answers) come in
  // batches, not one send an item.
  watcher.reads = 0;
  watcher.received.clear();
  ASSERT_TRUE(watcher.ReadFor(2s));
  EXPECT_NE(watcher.received.find("?\x85\r\r"), std::string::npos);
  EXPECT_LT(watcher.reads, 60) << watcher.received.size();

  // An isolate written by a remote computer: echoed to every client of the
  // loop and carried out by the device.
  const std::string isolate = WithSum(">\x85I1") + "\r";
  driver.Send(isolate);
  watcher.received.clear();
  EXPECT_TRUE(watcher.ReadUntil(isolate + "\r", 5s));
  EXPECT_TRUE(StatusBecomes(*pa, "1-005", "1-005 status 0x01 faults 0x20"));
  EXPECT_TRUE(Quit(*pa));
}

TEST_F(TwoComputers, EleventhConnectionIsRefusedAndLogged) {
  auto pa = StartA();
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < 10; ++i) clients.push_back(std::make_unique<RawClient>(base));
  for (int i = 0; i < 10; ++i) EXPECT_NE(pa->WaitFor("Remote port connect loop 1", 5s), "");
  RawClient eleventh(base);
  EXPECT_FALSE(eleventh.ReadFor(3s));  // closed at once
  EXPECT_TRUE(clients[9]->ReadUntil("@", 15s));
  EXPECT_TRUE(Quit(*pa));
  EXPECT_TRUE(Mentions(*pa, "event SYSLOG: Too many connections loop 1"));
}

TEST_F(TwoComputers, ReadOnlyServerIgnoresWhatClientsSend) {
  SetA("NetworkMonitoring", "ReadOnly", "1");
  auto pa = StartA();
  RawClient client(base);
  ASSERT_TRUE(client.connected);
  client.Send(WithSum(">\x85I1") + "\r");
  EXPECT_TRUE(client.ReadUntil("@\x85", 15s));  // still watching
  ASSERT_TRUE(client.ReadFor(1s));
  EXPECT_EQ(client.received.find(">\x85I"), std::string::npos);
  EXPECT_TRUE(StatusBecomes(*pa, "1-005", "1-005 status 0x00 faults 0x00"));
  EXPECT_TRUE(Quit(*pa));
}

TEST_F(TwoComputers, OtherHostsAreTurnedAway) {
  SetA("NetworkMonitoring", "AllowedHosts", "192.0.2.7");
  auto pa = StartA();
  RawClient client(base);
  EXPECT_FALSE(client.ReadFor(3s));
  EXPECT_TRUE(client.received.empty());
  EXPECT_TRUE(Quit(*pa));
  EXPECT_TRUE(Mentions(*pa, "event SYSLOG: Remote connection from 127.0.0.1 refused loop 1"));
}

// What a client does to the loop is on record: the isolate as an event
// naming the client, the reset also as a reset record in system.ev2.
TEST_F(TwoComputers, RawClientOperationsAreAudited) {
  auto pa = StartA();
  RawClient client(base + 1);
  ASSERT_TRUE(client.connected);
  client.Send(WithSum(">\x85I1") + "\r");
  EXPECT_TRUE(StatusBecomes(*pa, "2-005", "2-005 status 0x01 faults 0x20"));
  client.Send(WithSum(">\x80R000") + "\r");
  EXPECT_TRUE(StatusBecomes(*pa, "2-005", "2-005 status 0x00 faults 0x00"));
  EXPECT_TRUE(Quit(*pa));
  EXPECT_TRUE(Mentions(
      *pa, "event INFORMATION: Isolate on detector 261 by remote client 127.0.0.1 on loop 2"));
  EXPECT_TRUE(Mentions(
      *pa, "event INFORMATION: Reset of all detectors by remote client 127.0.0.1 on loop 2"));
  // Records are 24 characters after the 10 of the header; a reset is event
  // 0x34 for loop 2's address 0x0100.
  const std::string log = a.Read("system.ev2");
  bool reset = false;
  for (std::size_t at = 10; at + 24 <= log.size(); at += 24)
    reset |= log.substr(at + 10, 8) == "01000034";
  EXPECT_TRUE(reset) << log;
}

}  // namespace
}  // namespace quillark::test
