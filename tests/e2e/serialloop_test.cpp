// The real program, headless and live, with loop 1 on a pseudo-terminal: a
// bus of detectors (the loop simulator), then an HLI unit, simulated at the
// other end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "console.h"
#include "core/common/inifile.h"
#include "core/comms/hliport.h"
#include "process.h"
#include "support/frames.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

// The far end of a serial line: a thread that hands every byte from the
// program to `handle` and can write back.
class FarEnd {
 public:
  FarEnd() {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios t{};
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
    path = name;
  }
  virtual ~FarEnd() {
    Stop();
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
  void Start() {
    worker = std::thread([this] {
      while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0) continue;
        char buf[512];
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) {
          std::this_thread::sleep_for(10ms);  // nobody on the other end yet
          continue;
        }
        std::lock_guard<std::mutex> lock(mutex);
        for (ssize_t i = 0; i < n; ++i) Handle(static_cast<unsigned char>(buf[i]));
      }
    });
  }
  void Stop() {
    stop = true;
    if (worker.joinable()) worker.join();
  }
  void Send(const std::string& bytes) {
    [[maybe_unused]] auto n = write(master, bytes.data(), bytes.size());
  }

  std::string path;
  std::mutex mutex;

 protected:
  virtual void Handle(unsigned char b) = 0;

 private:
  int master = -1, slave = -1;
  std::thread worker;
  std::atomic<bool> stop{false};
};

// An HLI unit: reports every known zone once it has been told to operate,
// and again whenever a zone is asked for; remote inputs isolate and reset.
class HliSimulator : public FarEnd {
 public:
  explicit HliSimulator(int netid) : netid(netid) {}
  std::set<int> zones;
  std::map<int, std::pair<unsigned char, unsigned char>> state;  // d0, d1
  std::vector<std::pair<int, int>> inputs;                       // zone, data byte
  int acks = 0, naks = 0, operations = 0;

  static std::string Frame(int command, int net, int zone, const std::string& data) {
    std::string f{HLIPort::DLE,     HLIPort::STX, char(command), char(net), char(zone), 0,
                  char(data.size())};
    f += data;
    f += {HLIPort::DLE, HLIPort::ETX};
    auto crc = HLIPort::CalcCRC(reinterpret_cast<const unsigned char*>(f.data()),
                                static_cast<int>(f.size()));
    return f + char(crc >> 8) + char(crc & 0xFF);
  }
  void Report(int zone) {
    auto [d0, d1] = state[zone];
    Send(Frame(HLIPort::CurrentZoneStatus, netid, zone, std::string{char(d0), char(d1)}));
  }

 protected:
  void Handle(unsigned char b) override {
    if (frame.empty()) {
      if (b == HLIPort::ACK) ++acks;
      if (b == HLIPort::NAK) ++naks;
      if (b != HLIPort::DLE) return;
    }
    // The program doubles every DLE that is not followed by STX or ETX.
    if (pendingdle) {
      pendingdle = false;
      if (b == HLIPort::DLE) return;  // the doubled one
    } else if (b == HLIPort::DLE && frame.size() > 1) {
      pendingdle = true;
    }
    frame += static_cast<char>(b);
    if (frame.size() >= 7 && frame.size() == 7u + static_cast<unsigned char>(frame[6]) + 4) {
      Take(frame);
      frame.clear();
      pendingdle = false;
    }
  }

 private:
  void Take(const std::string& f) {
    const int command = f[2], zone = static_cast<unsigned char>(f[4]);
    const auto crc = HLIPort::CalcCRC(reinterpret_cast<const unsigned char*>(f.data()),
                                      static_cast<int>(f.size() - 2));
    if ((static_cast<unsigned char>(f[f.size() - 2]) << 8 |
         static_cast<unsigned char>(f[f.size() - 1])) != crc)
      return;
    if (command == HLIPort::SetOperation) {
      ++operations;
      for (int z : zones) Report(z);
    } else if (command == HLIPort::RemoteInput && f[6] == 1) {
      const int data = static_cast<unsigned char>(f[7]);
      inputs.emplace_back(zone, data);
      auto apply = [&](int z) {
        if (data == 0x20) state[z].second |= 0x10;
        if (data == 0x10) state[z].second &= ~0x10;
        if (data == 0x40) state[z] = {0, 0};
      };
      if (zone == 255)
        for (int z : zones) apply(z);
      else
        apply(zone);
    } else if (command == HLIPort::ZoneUpdate && zones.count(zone)) {
      Report(zone);
    }
  }
  int netid;
  std::string frame;
  bool pendingdle = false;
};

class SerialLoop : public ::testing::Test {
 protected:
  SerialLoop() {
    CopyDemoHome(home.Path());
    Set("Product", "Edition", "live");
    Set("Comm", "Loops", "1");
  }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    INIfile ini(home / "quillark.ini");
    ini.WriteString(section, key, value);
  }
  std::unique_ptr<Process> Start() { return StartHeadless(home.Path()); }
  // Logs on as Engineer and isolates `device`, which must come back isolated.
  static void IsolateAsEngineer(Process& p, const std::string& device) {
    EXPECT_TRUE(Answers(p, "logon Engineer", "logged on as Engineer"));
    EXPECT_TRUE(Answers(p, "select " + device, "selected " + device));
    p.Send("isolate");
    EXPECT_TRUE(StatusBecomes(p, device, device + " status 0x01 faults 0x20"));
  }
  TempDir home;
};

TEST_F(SerialLoop, DetectorsAnswerPollsAndAnIsolateGoesRoundTheBus) {
  // The demonstration site's first loop on the loop simulator: detector 7
  // never answers, detector 5 is in fire 1.
  Process bus({QUILLARK_LOOPSIM, "--site", (home / "demo.cfg").string(), "--loops", "1"},
              (home / "loopsim-stderr.txt").string());
  const std::string loop = bus.WaitFor("loop 1: ", 10s);
  ASSERT_NE(loop, "");
  ASSERT_NE(bus.WaitFor("ready", 10s), "");
  bus.Send("remove 1-007");
  bus.Send("fire1 1-005");
  ASSERT_NE(bus.WaitFor("ok fire1", 10s), "");
  Set("Comm", "Loop1PortType", "0");
  Set("Comm", "Loop1Port", loop.substr(loop.find(": ") + 2));

  auto p = Start();
  EXPECT_TRUE(StatusBecomes(*p, "1-005", "1-005 status 0x0e faults 0x00"));
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x00 faults 0x00"));
  // The detector that never answers is lost, though its polls come back.
  EXPECT_TRUE(StatusBecomes(*p, "1-007", "1-007 status 0x01 faults 0x00"));

  IsolateAsEngineer(*p, "1-003");
  EXPECT_TRUE(Quit(*p));

  // The isolate went round the bus to the device.
  bus.Send("show 1-003");
  EXPECT_NE(bus.WaitFor("1-003 status 0x01 faults 0x20", 10s), "");
  bus.Send("stats");
  const std::string stats = bus.WaitFor("loop 1 frames", 10s);
  unsigned long long frames = 0;
  EXPECT_EQ(std::sscanf(stats.c_str(), "loop 1 frames %llu", &frames), 1);
  EXPECT_GT(frames, 20u);
  const std::string err = home.Read("stderr.txt");
  EXPECT_EQ(err.find("COM port"), std::string::npos) << err;
  EXPECT_EQ(err.find("Demo version"), std::string::npos) << err;
}

TEST_F(SerialLoop, MissingDeviceIsReportedAndTheSettingForgotten) {
  Set("Comm", "Loop1PortType", "0");
  Set("Comm", "Loop1Port", (home / "no-such-tty").string());
  auto p = Start();
  EXPECT_NE(p->WaitFor("- The COM port identifier is invalid.", 10s), "");
  p->Send("quit");
  EXPECT_EQ(p->Wait(15s), 0);
  EXPECT_NE(home.Read("stderr.txt").find("The COM port identifier is invalid."), std::string::npos);
  INIfile ini(home / "quillark.ini");
  EXPECT_EQ(ini.ReadString("Comm", "Loop1Port", ""), "none");
  EXPECT_EQ(ini.ReadString("Comm", "AutoSet", ""), "1");
}

TEST_F(SerialLoop, HliZonesShowAsDetectorsAndAnIsolateReachesTheUnit) {
  HliSimulator unit(5);
  ASSERT_FALSE(unit.path.empty());
  for (int z = 1; z <= 12; ++z)
    if (z != 7) unit.zones.insert(z);
  unit.state[5] = {0x20, 0};  // fire 1 in the unit's terms
  unit.Start();
  Set("Comm", "Loop1PortType", "3");
  Set("Comm", "Loop1Port", unit.path + ",5");

  auto p = Start();
  EXPECT_TRUE(StatusBecomes(*p, "1-005", "1-005 status 0x08 faults 0x00"));
  EXPECT_TRUE(StatusBecomes(*p, "1-003", "1-003 status 0x00 faults 0x00"));
  EXPECT_TRUE(StatusBecomes(*p, "1-007", "1-007 status 0x01 faults 0x00"));

  IsolateAsEngineer(*p, "1-003");
  EXPECT_TRUE(Quit(*p));
  unit.Stop();

  EXPECT_EQ(unit.operations, 1);
  EXPECT_GE(unit.acks, 12);  // every report acknowledged
  EXPECT_EQ(unit.naks, 0);
  bool isolated = false;
  for (const auto& [zone, data] : unit.inputs) isolated |= zone == 3 && data == 0x20;
  EXPECT_TRUE(isolated);
}

}  // namespace
}  // namespace quillark::test
