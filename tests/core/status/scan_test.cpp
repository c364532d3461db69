// The bus scanner over demonstration loops: what it asks, in which order,
// when it moves on, and what it hands its owner.
#include "core/status/scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/busfixture.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// Takes every answer handed to it, and accepts those it is told to.
class Owner : public MsgClass {
 public:
  explicit Owner(BusHost* host) : MsgClass(host) {}
  void MsgRx(int loop, const char* msg) override {
    handed.push_back(std::to_string(loop) + ":" + msg);
    if (accept && scanner != nullptr)
      scanner->MessageReceived(loop << 8 | (static_cast<unsigned char>(msg[1]) & 0x7F));
  }
  Scanner* scanner = nullptr;
  bool accept = true;
  std::vector<std::string> handed;
};

class ScannerTest : public ::testing::Test {
 protected:
  ScannerTest() : wire(&host.bus), owner(&host.bus) {}
  void Start(int loops) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.StartComms(loops);
    host.bus.SetBusViewer(&wire);
  }
  // The requests sent, as kind, address byte and letter.
  std::vector<std::string> Requests() const {
    std::vector<std::string> out;
    for (const std::string& f : wire.frames)
      if (f[0] == '>' || f[0] == ':' || f[0] == '#')
        out.push_back(std::string(1, f[0]) +
                      std::to_string(static_cast<unsigned char>(f[1]) & 0x7F));
    return out;
  }
  BusFixture host;
  RecordingReceiver wire;
  Owner owner;
};

TEST_F(ScannerTest, EveryPositionOnEveryLoopAnsweredStepsAtOnceAndSkips128) {
  Start(2);
  ScanRequest r{2, 126, 130, "xxE000", 4010};
  Scanner scan(&host.bus, owner, r);
  owner.scanner = &scan;
  std::vector<std::string> captions;
  scan.SetOnChange([&] { captions.push_back(scan.GetCaption() + " " + scan.GetStatusText()); });
  EXPECT_EQ(scan.GetStatusText(), "Scanning devices...");
  scan.SetupWindow();
  // The demonstration detectors answer at once on both loops; the power
  // supplies do not, and each costs one time-out.
  EXPECT_EQ(Requests(), (std::vector<std::string>{">126", ">126", ">127", ">127", "#1", "#1"}));
  EXPECT_EQ(owner.handed.size(), 4u);
  EXPECT_EQ(owner.handed[1].substr(0, 2), "1:");
  EXPECT_EQ(scan.GetResult(), Scanner::SCAN_RUNNING);
  host.events.Advance(3000 + 4010 - 1);
  EXPECT_EQ(Requests().size(), 6u);
  host.events.Advance(1);
  EXPECT_EQ(Requests().size(), 8u);
  EXPECT_EQ(Requests().back(), "#2");
  host.events.Advance(3000 + 4010);
  EXPECT_EQ(scan.GetResult(), Scanner::SCAN_COMPLETE);
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Scanning 0% Detector 126", "Scanning 25% Detector 127",
                                      "Scanning 75% Power supply 1", "Scanning 100% Power supply 2",
                                      "Scanning 100% Power supply 2"}));
}

TEST_F(ScannerTest, CommandModulePositionWaitsForEveryLoopAndCancelEndsTheScan) {
  Start(2);
  ScanRequest r{2, 0, 3, "xxQ000", 500};
  Scanner scan(&host.bus, owner, r);
  owner.scanner = &scan;
  scan.SetupWindow();
  // The demonstration modules keep quiet: the scan asks both loops and waits.
  EXPECT_EQ(Requests(), (std::vector<std::string>{":1", ":1"}));
  EXPECT_EQ(scan.GetStatusText(), "Command module");
  EXPECT_EQ(scan.GetCaption(), "Scanning 0%");

  // A module's answer comes under address 1 and is handed on; answers of
  // other addresses are not. One loop's answer is not enough to move on.
  const std::string module = WithSum(std::string("/\x81Q0001"));
  const std::string other = WithSum(std::string("<\x85Q0001"));
  host.bus.DespatchRxMessage(0, other.c_str(), static_cast<int>(other.size()), true);
  host.bus.DespatchRxMessage(0, module.c_str(), static_cast<int>(module.size()), true);
  ASSERT_EQ(owner.handed.size(), 1u);
  EXPECT_EQ(owner.handed[0], "0:" + module);
  EXPECT_EQ(scan.GetDevice(), 0);
  // An answer the owner does not take does not count either.
  owner.accept = false;
  host.bus.DespatchRxMessage(1, module.c_str(), static_cast<int>(module.size()), true);
  EXPECT_EQ(scan.GetDevice(), 0);
  owner.accept = true;
  host.bus.DespatchRxMessage(1, module.c_str(), static_cast<int>(module.size()), true);
  // On to the detectors, which the demonstration loops answer at once.
  EXPECT_EQ(scan.GetResult(), Scanner::SCAN_COMPLETE);
  EXPECT_EQ(Requests().size(), 2u + 3 * 2);

  // Cancel ends a scan where it stands: nothing more is asked or handed on.
  Scanner again(&host.bus, owner, r);
  owner.scanner = &again;
  again.SetupWindow();
  again.AbortScan();
  EXPECT_EQ(again.GetResult(), Scanner::SCAN_CANCELLED);
  const std::size_t sent = Requests().size();
  host.events.Advance(20000);
  EXPECT_EQ(Requests().size(), sent);
  owner.handed.clear();
  host.bus.DespatchRxMessage(0, module.c_str(), static_cast<int>(module.size()), true);
  EXPECT_TRUE(owner.handed.empty());
}

TEST_F(ScannerTest, RunReturnsWhenTheLastPositionIsDone) {
  Start(1);
  ScanRequest r{1, 5, 5, "xxE000", 4010};
  Scanner scan(&host.bus, owner, r);
  owner.scanner = &scan;
  EXPECT_EQ(scan.Run(), Scanner::SCAN_COMPLETE);
  EXPECT_EQ(Requests(), (std::vector<std::string>{">5"}));
  EXPECT_EQ(scan.GetCaption(), "Scanning 100%");  // one position: no division by nought
}

}  // namespace
}  // namespace quillark::test

namespace quillark::test {
namespace {

TEST_F(ScannerTest, FirstLoopLeavesTheLoopsBelowItUnaskedAndStepsOnItsAnswersAlone) {
  Start(3);
  ScanRequest r{3, 4, 5, "xxQ000", 500, 1};
  Scanner scan(&host.bus, owner, r);
  owner.scanner = &scan;
  scan.SetupWindow();
  // Two loops answer each position at once: the scan is done without a time-out.
  EXPECT_EQ(scan.GetResult(), Scanner::SCAN_COMPLETE);
  EXPECT_EQ(Requests(), (std::vector<std::string>{">4", ">4", ">5", ">5"}));
  for (std::size_t i = 0; i < wire.frames.size(); ++i)
    if (wire.frames[i][0] == '>') {
      EXPECT_NE(wire.loops[i], 0) << i;
    }
  EXPECT_EQ(owner.handed.size(), 4u);
}

}  // namespace
}  // namespace quillark::test
