#include "core/status/isolate.h"

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
  SentLog(TDockingApp* app) : MsgClass(app), app(*app) {}
  void MsgRx(int loop, const char* msg) override {
    const char kind = msg[0];
    if (kind != '>' && kind != '#' && kind != ':') return;  // answers from the loop
    sent.push_back(std::to_string(loop) + ":" + msg);
    paused.push_back(app.IsPollPaused());
  }
  TDockingApp& app;
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
  explicit Operations(int loops = 3) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.Start(loops);
    host.app->SetBusViewer(&log);
    LogOn("Operator");
  }
  ~Operations() override { host.app->SetBusViewer(nullptr); }

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
  SentLog log{host.app.get()};
  Security security{host.writer, host.ini,      host.app->GetTranslator(),
                    host.events, host.prompter, host.home / "dovetree.ini"};
  SysLog syslog{host.home / "system.ev2", host.events};
  DeviceOperations ops{*host.app, &syslog, &security};
};

TEST_F(Operations, IsolateSendsTheAddressedFrameWhilePollingIsPaused) {
  EXPECT_TRUE(ops.Isolate(2 * 256 + 5, true));
  EXPECT_EQ(log.sent, (std::vector<std::string>{OnLoop(2, '>', 0x85, "I0011")}));
  EXPECT_EQ(log.paused, (std::vector<bool>{true}));
  EXPECT_FALSE(host.app->IsPollPaused());
  // The demonstration detector took it: isolated, reported as a fault.
  EXPECT_EQ(Port(2).GetDetFault(5), 0x20);
  EXPECT_EQ(Port(2).GetDetStat(5), 0x01);

  EXPECT_TRUE(ops.Isolate(2 * 256 + 5, false));
  EXPECT_EQ(log.sent.back(), OnLoop(2, '>', 0x85, "I0010"));
  EXPECT_EQ(Port(2).GetDetFault(5), 0);
  EXPECT_EQ(Port(2).GetDetStat(5), 0);

  EXPECT_EQ(Events(), (std::vector<std::string>{"Isolate on detector 517 by user 'Operator'",
                                                "Isolate off detector 517 by user 'Operator'"}));
}

TEST_F(Operations, CommandModulesAreIsolatedUnderBusAddressOneAndNamedAsSuch) {
  ops.Isolate(0, true);
  ops.Isolate(0, false);
  ops.Isolate(512, true);
  EXPECT_EQ(log.sent,
            (std::vector<std::string>{OnLoop(0, ':', 0x81, "I0011"), OnLoop(0, ':', 0x81, "I0010"),
                                      OnLoop(2, ':', 0x81, "I0011")}));
  EXPECT_EQ(Events(),
            (std::vector<std::string>{"Isolate on command module 0 by user 'Operator'",
                                      "Isolate off command module 0 by user 'Operator'",
                                      "Isolate on command module 512 by user 'Operator'"}));
}

TEST_F(Operations, PowerSuppliesAreAddressedByTheirOwnBusAddress) {
  // Slot 130 is power supply 3; its command must not reach detector 2 or 3.
  ops.Isolate(256 + 130, true);
  ops.Reset(256 + 254);
  EXPECT_EQ(log.sent, (std::vector<std::string>{OnLoop(1, '#', 0x83, "I0011"),
                                                OnLoop(1, '#', 0xFF, "R000")}));
  for (int addr = 0; addr < 128; ++addr) ASSERT_EQ(Port(1).GetDetFault(addr), 0) << addr;
}

TEST_F(Operations, NothingHappensWithoutPermissionMainWindowOrValidDevice) {
  LogOn("Read only");
  EXPECT_FALSE(ops.Isolate(5, true));
  EXPECT_FALSE(ops.Reset(0));
  // The refused log-on prompt (no dialog: cancelled) leaves the level alone.
  EXPECT_EQ(security.GetAccessLevel(), 0u);
  EXPECT_TRUE(host.writer.events.empty());

  LogOn("Operator");
  DeviceOperations nosecurity(*host.app, &syslog, nullptr);
  EXPECT_FALSE(nosecurity.Isolate(5, true));
  EXPECT_FALSE(nosecurity.Reset(5));

  for (int device : {-1, -256, 16 * 256 + 5, 0x7FFFFFFF, 255}) {
    EXPECT_FALSE(ops.Isolate(device, true)) << device;
    EXPECT_FALSE(ops.Reset(device)) << device;
  }
  EXPECT_TRUE(log.sent.empty());
  EXPECT_TRUE(host.writer.events.empty());
  EXPECT_TRUE(SysLogText().empty());

  host.app->SetBusViewer(nullptr);
  host.app->DestroyMainWindow();
  EXPECT_FALSE(ops.Isolate(5, true));
  EXPECT_FALSE(ops.Reset(0));
  EXPECT_TRUE(SysLogText().empty());
}

class TwoLoops : public Operations {
 protected:
  TwoLoops() : Operations(2) {}
};

TEST_F(TwoLoops, GlobalResetSendsEachKindToEveryLoopInTurn) {
  ops.Isolate(5, true);
  ops.Isolate(256 + 9, true);
  host.app->SetEvent(256 + 10, DEMO_FIRE1);
  log.sent.clear();
  log.paused.clear();
  host.writer.events.clear();

  EXPECT_TRUE(ops.Reset(0));
  EXPECT_EQ(log.sent,
            (std::vector<std::string>{OnLoop(0, '>', 0x80, "R000"), OnLoop(1, '>', 0x80, "R000"),
                                      OnLoop(0, '#', 0x80, "R000"), OnLoop(1, '#', 0x80, "R000"),
                                      OnLoop(0, ':', 0x80, "R000"), OnLoop(1, ':', 0x80, "R000")}));
  EXPECT_EQ(log.paused, std::vector<bool>(6, true));
  EXPECT_FALSE(host.app->IsPollPaused());
  EXPECT_EQ(Events(), (std::vector<std::string>{"Global reset by user 'Operator'"}));
  // Every detector of both loops is back to quiet.
  EXPECT_EQ(Port(0).GetDetFault(5), 0);
  EXPECT_EQ(Port(1).GetDetFault(9), 0);
  EXPECT_EQ(Port(1).GetDetStat(10), 0);

  // One record: header (10) + record (24), site address 0, event 52.
  const std::string text = SysLogText();
  ASSERT_EQ(text.size(), 34u);
  EXPECT_EQ(text.substr(20, 8), "00000034");
  EXPECT_EQ(text.substr(28), "000000");
}

TEST_F(TwoLoops, ResetOfOneDeviceOrOfACommandModule) {
  EXPECT_TRUE(ops.Reset(256 + 7));
  EXPECT_EQ(log.sent, (std::vector<std::string>{OnLoop(1, '>', 0x87, "R000")}));

  // A command module's reset is the global one, and is recorded as such.
  log.sent.clear();
  EXPECT_TRUE(ops.Reset(256));
  EXPECT_EQ(log.sent.size(), 6u);
  EXPECT_EQ(Events(), (std::vector<std::string>{"Reset detector 263 by user 'Operator'",
                                                "Global reset by user 'Operator'"}));
  const std::string text = SysLogText();
  ASSERT_EQ(text.size(), 10u + 2 * 24);
  EXPECT_EQ(text.substr(20, 8), "01070034");
  EXPECT_EQ(text.substr(44, 8), "00000034");

  // Without a system log the reset still goes out.
  DeviceOperations nolog(*host.app, nullptr, &security);
  EXPECT_TRUE(nolog.Reset(5));
  EXPECT_EQ(SysLogText().size(), 10u + 2 * 24);
}

TEST_F(TwoLoops, SingleResetAlsoClearsTheSimulatedDevice) {
  host.app->SetSelDetector(256 + 5);
  host.app->SetEvent(256 + 5, DEMO_FIRE1);
  host.app->SetEvent(256 + 5, DEMO_DETFAULT);
  ops.Isolate(256 + 5, true);

  // Refused: neither the frame nor the simulated reset.
  LogOn("Read only");
  log.sent.clear();
  EXPECT_FALSE(ops.SingleReset());
  EXPECT_TRUE(log.sent.empty());
  EXPECT_EQ(Port(1).GetDetFault(5), 0x24);

  LogOn("Operator");
  EXPECT_TRUE(ops.SingleReset());
  EXPECT_EQ(log.sent, (std::vector<std::string>{OnLoop(1, '>', 0x85, "R000")}));
  // The reset frame alone would leave the detector fault; the simulated
  // reset clears everything.
  EXPECT_EQ(Port(1).GetDetFault(5), 0);
  EXPECT_EQ(Port(1).GetDetStat(5), 0);

  host.app->SetSelDetector(-1);
  log.sent.clear();
  EXPECT_FALSE(ops.SingleReset());
  EXPECT_TRUE(log.sent.empty());
}

}  // namespace
}  // namespace quillark::test
