#include "core/status/deviceoperations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/access/security.h"
#include "core/comms/demoport.h"
#include "core/events/syslog.h"
#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// Watches the frames the program sends (as the bus viewer does) and whether
// polling was paused at the moment each went out.
class SentLog : public MsgClass {
 public:
  explicit SentLog(BusHost* host) : MsgClass(host), bus(*host) {}
  void MsgRx(int loop, const char* msg) override {
    const char kind = msg[0];
    if (kind != '>' && kind != '#' && kind != ':') return;  // answers from the loop
    sent.push_back(std::to_string(loop) + ":" + msg);
    paused.push_back(bus.IsPollPaused());
  }
  BusHost& bus;
  std::vector<std::string> sent;
  std::vector<bool> paused;
};

// A frame body as it appears on loop `loop`: check sum and CR appended.
std::string OnLoop(int loop, char kind, int addrbyte, const std::string& rest) {
  return std::to_string(loop) + ":" +
         WithSum(std::string{kind, static_cast<char>(addrbyte)} + rest) + "\r";
}

class Operations : public ::testing::Test {
 protected:
  Operations() {
    host.Set("Comm", "Loops", "3");
    host.Start(3);
    host.app->GetBus().SetBusViewer(&log);
    LogOn("Operator");
  }
  ~Operations() override { host.app->GetBus().SetBusViewer(nullptr); }

  // Log-on starts the access time-out; the level change it announces is
  // not what these tests look at.
  void LogOn(const std::string& name) {
    ASSERT_TRUE(security.LogOn(name, ""));
    host.writer.events.clear();
  }
  DemoPort& Port(int loop) { return dynamic_cast<DemoPort&>(*host.Comms().GetPort(loop)); }
  std::vector<std::string> Events() const {
    std::vector<std::string> out;
    for (const auto& e : host.writer.events) {
      EXPECT_EQ(e.category, WE_INFORMATION) << e.text;
      out.push_back(e.text);
    }
    return out;
  }
  std::string SysLogText() const {
    std::ifstream in(host.home / "system.ev2", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  AppHost host;
  SentLog log{&host.Bus()};
  Security security{host.writer, host.ini,      host.app->GetServices().translator,
                    host.events, host.prompter, host.home / "dovetree.ini"};
  SysLog syslog{host.home / "system.ev2", host.events};
  DeviceOperations ops{host.Bus(), &syslog, &security};
};

TEST_F(Operations, IsolateFramesAndTextsByKindOfDevice) {
  EXPECT_TRUE(ops.Isolate(2 * 256 + 5, true));
  EXPECT_EQ(log.paused, (std::vector<bool>{true}));
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  EXPECT_EQ(Port(2).GetDetFault(5), 0x20);  // the demonstration detector took it
  ops.Isolate(2 * 256 + 5, false);
  ops.Isolate(0, true);
  ops.Isolate(512, false);
  // Slot 130 is power supply 3: its command must not reach detector 2 or 3.
  ops.Isolate(256 + 130, true);
  EXPECT_EQ(log.sent,
            (std::vector<std::string>{OnLoop(2, '>', 0x85, "I0011"), OnLoop(2, '>', 0x85, "I0010"),
                                      OnLoop(0, ':', 0x81, "I0011"), OnLoop(2, ':', 0x81, "I0010"),
                                      OnLoop(1, '#', 0x83, "I0011")}));
  EXPECT_EQ(Port(2).GetDetFault(5), 0);
  for (int addr = 0; addr < 128; ++addr) ASSERT_EQ(Port(1).GetDetFault(addr), 0) << addr;
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"Isolate on detector 3-005 by user 'Operator'",
                                      "Isolate off detector 3-005 by user 'Operator'",
                                      "Isolate on command module 1-000 by user 'Operator'",
                                      "Isolate off command module 3-000 by user 'Operator'",
                                      "Isolate on power supply 2-130 by user 'Operator'"}));
}

TEST_F(Operations, NothingHappensWithoutPermissionOrForAnUnaddressableDevice) {
  LogOn("Read only");
  EXPECT_FALSE(ops.Isolate(5, true));
  EXPECT_FALSE(ops.Reset(0));
  LogOn("Operator");
  for (int device : {-1, 16 * 256 + 5, 255}) {
    EXPECT_FALSE(ops.Isolate(device, true)) << device;
    EXPECT_FALSE(ops.Reset(device)) << device;
  }
  EXPECT_TRUE(log.sent.empty());
  EXPECT_TRUE(host.writer.events.empty());
  EXPECT_TRUE(SysLogText().empty());
}

TEST_F(Operations, GlobalResetSendsEachKindToEveryLoopInTurn) {
  host.app->GetMainWindow()->SetLoops(2);
  ops.Isolate(5, true);
  host.app->GetBus().SetEvent(256 + 10, DEMO_FIRE1);
  log.sent.clear();
  log.paused.clear();
  EXPECT_TRUE(ops.Reset(0));
  EXPECT_EQ(log.sent,
            (std::vector<std::string>{OnLoop(0, '>', 0x80, "R000"), OnLoop(1, '>', 0x80, "R000"),
                                      OnLoop(0, '#', 0x80, "R000"), OnLoop(1, '#', 0x80, "R000"),
                                      OnLoop(0, ':', 0x80, "R000"), OnLoop(1, ':', 0x80, "R000")}));
  EXPECT_EQ(log.paused, std::vector<bool>(6, true));
  EXPECT_EQ(Port(1).GetDetStat(10), 0);  // the detectors took it

  // A command module's reset is the global one too, and recorded as such.
  ops.Reset(256 + 7);
  ops.Reset(256 + 254);  // power supply 127
  ops.Reset(256);
  EXPECT_EQ(log.sent.size(), 6u + 2 + 6);
  EXPECT_EQ(log.sent[6], OnLoop(1, '>', 0x87, "R000"));
  EXPECT_EQ(log.sent[7], OnLoop(1, '#', 0xFF, "R000"));
  EXPECT_EQ(Events(),
            (std::vector<std::string>{
                "Isolate on detector 1-005 by user 'Operator'", "Global reset by user 'Operator'",
                "Reset detector 2-007 by user 'Operator'",
                "Reset power supply 2-254 by user 'Operator'", "Global reset by user 'Operator'"}));
  // Header (10), then a record (24) per reset: address, event 52, data 0 0 0.
  const std::string text = SysLogText();
  ASSERT_EQ(text.size(), 10u + 4 * 24);
  EXPECT_EQ(text.substr(20, 14), "00000034000000");
  EXPECT_EQ(text.substr(44, 8), "01070034");
  EXPECT_EQ(text.substr(92, 8), "00000034");
}

// What a network monitoring client writes onto a loop is recorded as the
// same operation typed here would be, naming the client and its loop.
TEST_F(Operations, RemoteItemsAreRecordedLikeLocalOperations) {
  auto record = [&](int loop, const std::string& item) {
    const std::string withsum = WithSum(item) + "\r";
    if (auto op = DecodeRemoteOperation(loop, withsum.data(), static_cast<int>(withsum.size())))
      ops.RecordRemote(*op, loop, "192.0.2.7");
  };
  record(0, ">\x85I0011");
  record(0, ">\x85I1");  // short form: the devices take it as an isolate too
  record(1, ">\x85I0010");
  record(0, ":\x81I0011");
  record(0, ">\x80R000");
  record(0, "#\x80R000");  // the rest of a global reset: no second record
  record(2, ">\x87R000");
  record(1, ">\x86P0102");
  // Polls, reads, answers and malformed items are no operations.
  for (const std::string item : {"?\x85",
                                 ">\x85"
                                 "A000",
                                 "<\x85I0011", ">\x05I0011", ">\x85", ">\x80I0011", "", "\x85I"})
    record(0, item);
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "Isolate on detector 5 by remote client 192.0.2.7 on loop 1",
                          "Isolate on detector 5 by remote client 192.0.2.7 on loop 1",
                          "Isolate off detector 261 by remote client 192.0.2.7 on loop 2",
                          "Isolate on command module 0 by remote client 192.0.2.7 on loop 1",
                          "Reset of all detectors by remote client 192.0.2.7 on loop 1",
                          "Reset of all power supplies by remote client 192.0.2.7 on loop 1",
                          "Reset detector 519 by remote client 192.0.2.7 on loop 3",
                          "Function write to detector 262 by remote client 192.0.2.7 on loop 2"}));
  const std::string text = SysLogText();
  ASSERT_EQ(text.size(), 10u + 2 * 24);
  EXPECT_EQ(text.substr(20, 8), "00000034");  // the loop's reset
  EXPECT_EQ(text.substr(44, 8), "02070034");  // detector 3-007
  EXPECT_TRUE(log.sent.empty());              // recorded, never sent again
}

TEST_F(Operations, SingleResetAlsoClearsTheSimulatedDevice) {
  host.app->GetBus().SetEvent(256 + 5, DEMO_DETFAULT);
  ops.Isolate(256 + 5, true);
  log.sent.clear();
  EXPECT_FALSE(ops.SingleReset(host.app->GetSelDetector()));  // nothing selected
  host.app->SetSelDetector(256 + 5);
  EXPECT_TRUE(ops.SingleReset(host.app->GetSelDetector()));
  EXPECT_EQ(log.sent, (std::vector<std::string>{OnLoop(1, '>', 0x85, "R000")}));
  // The reset frame alone leaves the detector fault; the simulated reset
  // clears it.
  EXPECT_EQ(Port(1).GetDetFault(5), 0);
  EXPECT_EQ(Port(1).GetDetStat(5), 0);
}

}  // namespace
}  // namespace quillark::test
