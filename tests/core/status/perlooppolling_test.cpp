#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "core/app/console.h"
#include "core/comms/demoport.h"
#include "core/site/config.h"
#include "core/status/alrmdisp.h"
#include "core/status/pccommandmodule.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

constexpr int kLoops = 16;
constexpr int kDetectors = 127;
// A loop of a command module and 127 detectors, 10 ms a poll.
constexpr std::uint32_t kLoopCycle = (kDetectors + 1) * 10;

// A demonstration loop on which chosen devices have stopped answering.
class MutingPort : public DemoPort {
 public:
  using DemoPort::DemoPort;
  bool Write(const char* msg, int length) override {
    if (length >= 2 && msg[0] == '?' && muted.count(static_cast<unsigned char>(msg[1]) & 0x7F))
      return true;
    return DemoPort::Write(msg, length);
  }
  std::set<int> muted;
};

class PollCounter : public MsgClass {
 public:
  explicit PollCounter(BusHost* host) : MsgClass(host) {}
  void MsgRx(int loop, const char* msg) override {
    if (msg[0] == '?') ++sent[loop];
  }
  std::map<int, int> sent;
};

// The whole program on a full demonstration site: 16 loops of 127 detectors.
class FullSite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    TSiteConfig site;
    site.New();
    for (int loop = 0; loop < kLoops; ++loop)
      for (int a = 1; a <= kDetectors; ++a)
        site.InsertDevice(DeviceConfig(static_cast<std::uint32_t>(loop * 256 + a), DETECTOR,
                                       PELORIN2000DETECTOR));
    ASSERT_TRUE(site.Save((host.home / "full.cfg").string()));
    host.Set("Comm", "Loops", std::to_string(kLoops));
    host.Set("Site", "Site", "full.cfg");
    host.Set("BusMaster", "PollOneAtATime", GetParam() ? "1" : "0");
    host.app->InitMainWindow(host.home.Path());
    host.events.Advance(1000);  // polling starts a second after start-up
  }
  ~FullSite() override { host.app->GetBus().SetBusViewer(nullptr); }

  TMainWindow& Window() { return *host.app->GetMainWindow(); }
  PCcommandModule& Bm() { return *Window().GetBusMaster(); }
  static int Device(int loop1, int address) { return (loop1 - 1) * 256 + address; }

  // Virtual milliseconds until `done`, looked at every millisecond; -1 after a minute.
  long Until(const std::function<bool()>& done) {
    for (long ms = 0; ms <= 60'000; ++ms) {
      if (done()) return ms;
      host.events.Advance(1);
    }
    return -1;
  }
  long FireSeenAfter(int device) {
    host.app->GetBus().SetEvent(device, DEMO_FIRE1);
    return Until([&] { return Window().GetAlarmDisplay()->FindDevice(device) >= 0; });
  }

  AppHost host;
};

using PerLoop = FullSite;
using OneAtATime = FullSite;

TEST_P(PerLoop, FireOnAnyLoopIsShownWithinOneLoopCycleWhenever) {
  EXPECT_FALSE(Bm().GetOneAtATime());
  // Raised at moments spread over a cycle, on the last loop and elsewhere.
  const std::pair<int, int> devices[] = {{16, 127}, {16, 126}, {16, 64}, {1, 5}, {8, 100}};
  const long gaps[] = {0, 137, 611, 1009, 1283};
  long worst = 0;
  for (std::size_t i = 0; i < std::size(devices); ++i) {
    host.events.Advance(static_cast<std::uint64_t>(gaps[i]));
    const long latency = FireSeenAfter(Device(devices[i].first, devices[i].second));
    ASSERT_GE(latency, 0);
    worst = std::max(worst, latency);
  }
  EXPECT_LE(worst, static_cast<long>(kLoopCycle));
}

TEST_P(PerLoop, StatisticsPerLoopAddUpToTheSiteAndTheSiteCycleIsOneLoopCycle) {
  host.events.Advance(3 * kLoopCycle);
  std::uint32_t polls = 0, responses = 0;
  for (int loop = 0; loop < kLoops; ++loop) {
    const auto& c = Bm().LoopStatistics(loop);
    EXPECT_EQ(c.cycle, kLoopCycle) << "loop " << loop;
    EXPECT_GE(c.polls, 3 * (kDetectors + 1) - 1u) << "loop " << loop;
    polls += c.polls;
    responses += c.responses;
  }
  EXPECT_EQ(Bm().Statistics().polls, polls);
  EXPECT_EQ(Bm().Statistics().responses, responses);
  EXPECT_EQ(Bm().Statistics().cycle, kLoopCycle);
  EXPECT_EQ(Bm().LoopStatistics(kLoops).polls, 0u);  // beyond the loops: nothing

  Console console(*host.app);
  const auto lines = console.Execute("stats");
  ASSERT_GE(lines.size(), 2u + kLoops);
  EXPECT_NE(lines[0].find(" cycle 1280 ms"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[2].rfind("loop 1 polls ", 0), 0u) << lines[2];
  EXPECT_NE(lines[2 + 15].find(" cycle 1280 ms"), std::string::npos) << lines[2 + 15];
}

TEST_P(PerLoop, SilentDeviceIsReportedFailedWithinThreeOfItsLoopCycles) {
  auto port = std::make_unique<MutingPort>(&host.Bus(), 15, host.ini);
  MutingPort* loop16 = port.get();
  host.Comms().SetPort(15, std::move(port));
  host.events.Advance(2 * kLoopCycle);
  const int device = Device(16, 90);
  ASSERT_EQ(Bm().GetRetries(device), 0);
  loop16->muted.insert(90);
  const long reported = Until([&] { return Bm().GetRetries(device) == 3; });
  ASSERT_GE(reported, 0);
  // The third miss is known when its answer wait (one poll interval) is over.
  EXPECT_LE(reported, 3 * static_cast<long>(kLoopCycle) + 10);
  // The rest of its loop and every other loop keep answering.
  EXPECT_EQ(Bm().GetRetries(Device(16, 91)), 0);
  EXPECT_EQ(Bm().GetRetries(Device(1, 90)), 0);
  // Answering again clears it on the next poll.
  loop16->muted.clear();
  EXPECT_GE(Until([&] { return Bm().GetRetries(device) == 0; }), 0);
}

TEST_P(PerLoop, PauseStopsEveryLoopAndResumeStartsThemAll) {
  PollCounter sent(&host.Bus());
  host.app->GetBus().SetBusViewer(&sent);
  host.app->GetBus().PausePolling();
  sent.sent.clear();
  host.events.Advance(5000);
  EXPECT_TRUE(sent.sent.empty());

  host.app->GetBus().ResumePolling();
  host.events.Advance(100);
  ASSERT_EQ(sent.sent.size(), static_cast<std::size_t>(kLoops));
  for (const auto& [loop, n] : sent.sent) EXPECT_GE(n, 9) << "loop " << loop;

  // Switching to the site-wide walk takes effect at the next resume: from then
  // on one poll goes out every 10 ms for the whole site.
  host.app->GetBus().PausePolling();
  Bm().SetOneAtATime(true);
  EXPECT_EQ(host.ini.ReadInt("BusMaster", "PollOneAtATime", "0"), 1);
  host.app->GetBus().ResumePolling();
  sent.sent.clear();
  host.events.Advance(1000);
  int total = 0;
  for (const auto& [loop, n] : sent.sent) total += n;
  EXPECT_LE(total, 101);
}

TEST_P(OneAtATime, TheSiteIsWalkedOnePollAtATime) {
  EXPECT_TRUE(Bm().GetOneAtATime());
  PollCounter sent(&host.Bus());
  host.app->GetBus().SetBusViewer(&sent);
  host.events.Advance(1000);
  int total = 0;
  for (const auto& [loop, n] : sent.sent) total += n;
  EXPECT_LE(total, 101);
  // A full walk is every pollable device of the site, 10 ms each.
  host.events.Advance(2 * kLoops * kLoopCycle);
  EXPECT_EQ(Bm().Statistics().cycle, kLoops * kLoopCycle);
}

INSTANTIATE_TEST_SUITE_P(Default, PerLoop, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Switched, OneAtATime, ::testing::Values(true));

}  // namespace
}  // namespace quillark::test
