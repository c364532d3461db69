#include <gtest/gtest.h>

#include "core/comms/lanctlport.h"
#include "core/status/pccommandmodule.h"
#include "support/apphost.h"
#include "support/faketcp.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class SentLog : public MsgClass {
 public:
  explicit SentLog(BusHost* host) : MsgClass(host) {}
  void MsgRx(int loop, const char* msg) override { sent.emplace_back(loop, std::string(msg, 2)); }
  std::vector<std::pair<int, std::string>> sent;
};

// Loop 1 is another computer's loop reached through a network control port,
// loop 2 a demonstration loop of our own. Both walks (per loop, and one poll
// at a time across the site) leave the network loop alone.
class NetworkLoopPolling : public ::testing::TestWithParam<bool> {
 protected:
  void Build(std::initializer_list<DeviceConfig> devices) {
    host.app->GetServices().tcp = &net;
    host.Set("Comm", "Loops", "2");
    host.Set("Comm", "Loop1Port", "1,pc-a");
    host.Set("BusMaster", "PollOneAtATime", GetParam() ? "1" : "0");
    site.DeleteAllDevices();
    for (const auto& d : devices) site.InsertDevice(d);
    host.Start(2);
    host.Comms().SetPort(0, std::make_unique<LANControlPort>(&host.Bus(), 0, host.ini));
    auto master = std::make_unique<PCcommandModule>(&host.Bus(), &site, host.ini, 2);
    bm = master.get();
    host.app->GetMainWindow()->SetCommandModule(std::move(master));
    host.app->GetBus().SetBusViewer(&sent);
    rx.Register(&rx, MSG_SHORT);
    bm->SetupWindow();
  }
  ~NetworkLoopPolling() override {
    host.app->GetBus().SetBusViewer(nullptr);
    rx.DeRegister();
    host.app.reset();
  }
  int SentOnLoop(int loop) const {
    int n = 0;
    for (const auto& s : sent.sent) n += s.first == loop;
    return n;
  }
  int FailuresOnLoop(int loop) const {
    int n = 0;
    for (std::size_t i = 0; i < rx.frames.size(); ++i)
      n += rx.loops[i] == loop && rx.frames[i].substr(2, 6) == "010000";
    return n;
  }

  AppHost host;
  FakeTcpNetwork net{host.events};
  TSiteConfig site;
  SentLog sent{&host.Bus()};
  RecordingReceiver rx{&host.Bus()};
  PCcommandModule* bm = nullptr;
};

TEST_P(NetworkLoopPolling, NetworkLoopIsLeftToItsOwnBusMasterOursAreStillPolled) {
  // Nobody answers on loop 1 (the connection is refused): it must not matter.
  Build({DeviceConfig(1, BUSCONTROLLER), DeviceConfig(5, DETECTOR), DeviceConfig(6, DETECTOR),
         DeviceConfig(256 + 1, BUSCONTROLLER), DeviceConfig(256 + 7, DETECTOR)});
  host.events.Advance(5000);
  EXPECT_EQ(SentOnLoop(0), 0);
  EXPECT_GT(SentOnLoop(1), 300);
  EXPECT_EQ(FailuresOnLoop(0), 0);
  EXPECT_EQ(bm->GetRetries(5), 0);
  // Our loop's devices answer as before.
  EXPECT_EQ(FailuresOnLoop(1), 0);
  EXPECT_EQ(bm->Statistics().polls, bm->Statistics().responses);
}

TEST_P(NetworkLoopPolling, SiteOnlyOnTheNetworkLoopSendsNothingAndReportsNothing) {
  Build({DeviceConfig(1, BUSCONTROLLER), DeviceConfig(5, DETECTOR)});
  host.events.Advance(5000);
  EXPECT_TRUE(sent.sent.empty());
  EXPECT_EQ(FailuresOnLoop(0), 0);
  // Status still comes from the traffic heard there.
  host.app->DespatchRxMessage(0, FastPollAnswer(5, 0x08, 0, 4).c_str(), 10, true);
  EXPECT_EQ(rx.frames.back(), FastPollAnswer(5, 0x08, 0, 4));
}

INSTANTIATE_TEST_SUITE_P(Walks, NetworkLoopPolling, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OneAtATime" : "PerLoop"; });

}  // namespace
}  // namespace quillark::test
