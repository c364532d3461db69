#include "core/comms/lanport.h"

#include <gtest/gtest.h>

#include "core/comms/lanctlport.h"
#include "support/apphost.h"
#include "support/faketcp.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// The far end: a monitoring server of another computer that keeps the
// connections it accepts.
class FarEnd {
 public:
  FarEnd(FakeTcpNetwork& net, std::uint16_t port) : listener(net.NewListener()) {
    listener->OnAccepted([this](std::unique_ptr<TcpStream> s) {
      auto* raw = s.get();
      s->OnReadyRead([this, raw] {
        char buf[4096];
        while (std::size_t n = raw->Read(buf, sizeof buf)) received.append(buf, n);
      });
      streams.push_back(std::move(s));
    });
    EXPECT_TRUE(listener->Listen(port));
  }
  void Send(const std::string& text) { streams.back()->Write(text.data(), text.size()); }

  std::unique_ptr<TcpListener> listener;
  std::vector<std::unique_ptr<TcpStream>> streams;
  std::string received;
};

class NetworkLoop : public ::testing::Test {
 protected:
  NetworkLoop() {
    host.app->GetServices().tcp = &net;
    host.Set("Comm", "Loop1Port", "2, pc-a");
    host.Set("NetworkMonitoring", "PortBase", "3001");
  }
  ~NetworkLoop() override {
    rx.DeRegister();
    host.app.reset();
  }
  template <class Port>
  Port& Attach() {
    host.Start();
    auto port = std::make_unique<Port>(&host.Bus(), 0, host.ini);
    Port& p = *port;
    host.Comms().SetPort(0, std::move(port));
    rx.Register(&rx, MSG_SHORT | MSG_LONG | MSG_TXEMPTY);
    host.events.RunPending();
    return p;
  }

  AppHost host;
  FakeTcpNetwork net{host.events};
  RecordingReceiver rx{&host.Bus()};
};

TEST_F(NetworkLoop, ConnectsToTheRemoteLoopsPortAndFramesWhatArrives) {
  FarEnd far(net, 3002);
  LANPort& port = Attach<LANPort>();
  EXPECT_EQ(port.GetHost(), "pc-a");
  EXPECT_EQ(port.GetPortNumber(), 3002);
  ASSERT_EQ(far.streams.size(), 1u);
  EXPECT_TRUE(port.IsConnected());
  EXPECT_TRUE(host.Comms().IsNetworkLoop(0));

  // A frame split over two segments, the server's extra CR, then two frames
  // in one segment.
  const std::string answer = FastPollAnswer(5, 0x08, 0, 3);
  const std::string reply = WithSum("<\x85W");
  far.Send("?\x85\r\r" + answer.substr(0, 4));
  host.events.RunPending();
  EXPECT_TRUE(rx.frames.empty());
  far.Send(answer.substr(4) + "\r\r" + reply + "\r\r" + answer + "\r\r");
  host.events.RunPending();
  EXPECT_EQ(rx.frames, (std::vector<std::string>{answer + "\r", reply + "\r", answer + "\r"}));
  EXPECT_EQ(rx.loops, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(port.packetsin, 2u);
  EXPECT_EQ(port.bytesin, 8u + answer.size() - 4 + 2 + reply.size() + 2 + answer.size() + 2);
}

TEST_F(NetworkLoop, WatchingPortSendsNothingAndIsAlwaysEmpty) {
  FarEnd far(net, 3002);
  LANPort& port = Attach<LANPort>();
  EXPECT_FALSE(port.Write("?\x85\r", 3));
  EXPECT_TRUE(port.IsTxEmpty());
  EXPECT_FALSE(host.Comms().IsDeviceWritable(5));
  host.events.RunPending();
  EXPECT_EQ(far.received, "");
  EXPECT_EQ(rx.txempty, 0);
}

TEST_F(NetworkLoop, ControlPortSendsAndReportsTransmissionDone) {
  FarEnd far(net, 3002);
  LANControlPort& port = Attach<LANControlPort>();
  EXPECT_TRUE(host.Comms().IsDeviceWritable(5));
  char frame[FRAMEBUFFER] = "?\x85";
  host.app->SendBusMessage(0, frame, 2);
  host.events.RunPending();
  EXPECT_EQ(far.received, "?\x85");
  EXPECT_EQ(rx.txempty, 1);
  EXPECT_EQ(port.packetsout, 1u);

  // A lost connection: the write fails, the event still comes.
  far.streams.clear();
  host.events.RunPending();
  EXPECT_FALSE(port.Write("<\x85W00\r", 6));
  host.events.RunPending();
  EXPECT_EQ(rx.txempty, 2);
}

TEST_F(NetworkLoop, RefusedConnectionIsRetriedEveryTenSecondsWithoutAMessage) {
  LANPort& port = Attach<LANPort>();
  EXPECT_EQ(port.Attempts(), 1);
  host.events.Advance(9999);
  EXPECT_EQ(port.Attempts(), 1);
  host.events.Advance(1);
  EXPECT_EQ(port.Attempts(), 2);
  host.events.Advance(10000);
  EXPECT_EQ(port.Attempts(), 3);
  // The server comes up: the next attempt holds.
  FarEnd far(net, 3002);
  host.events.Advance(10000);
  EXPECT_EQ(port.Attempts(), 4);
  EXPECT_TRUE(port.IsConnected());
  host.events.Advance(60000);
  EXPECT_EQ(port.Attempts(), 4);
  EXPECT_TRUE(host.prompter.prompts.empty());
}

TEST_F(NetworkLoop, PeerThatClosedIsGivenUpAfterThirtySecondsThenReconnected) {
  FarEnd far(net, 3002);
  LANPort& port = Attach<LANPort>();
  far.streams.clear();  // the remote program closes the connection
  host.events.RunPending();
  EXPECT_FALSE(port.IsConnected());
  host.events.Advance(LANPort::PEERCLOSEDMS + LANPort::RETRYMS - 1);
  EXPECT_EQ(port.Attempts(), 1);
  host.events.Advance(1);
  EXPECT_EQ(port.Attempts(), 2);
  EXPECT_TRUE(port.IsConnected());
  EXPECT_EQ(far.streams.size(), 1u);
}

TEST_F(NetworkLoop, UnusableSettingsNeverConnectAndNeverComplain) {
  for (const char* value : {"unknown", "x,pc-a", "2,", "70000,pc-a", "1,nowhere"}) {
    host.Set("Comm", "Loop1Port", value);
    FarEnd far(net, 3001);
    LANPort port(&host.Bus(), 0, host.ini);
    host.events.Advance(25000);
    EXPECT_FALSE(port.IsConnected()) << value;
    EXPECT_TRUE(far.streams.empty()) << value;
  }
  EXPECT_TRUE(host.prompter.prompts.empty());
}

// The live edition's loops of type 1 and 2 are network loops; without a TCP
// service they cannot be served and stay disabled.
TEST(NetworkLoopFactory, PortTypesOneAndTwoAreWatchingAndControlPorts) {
  for (bool tcp : {true, false}) {
    AppHost host;
    FakeTcpNetwork net{host.events};
    FarEnd far(net, 3001);
    host.Set("Product", "Edition", "live");
    host.Set("Comm", "Loops", "3");
    host.Set("Comm", "Loop1PortType", "1");
    host.Set("Comm", "Loop1Port", "1,localhost");
    host.Set("Comm", "Loop2PortType", "2");
    host.Set("Comm", "Loop2Port", "1,localhost");
    host.app = std::make_unique<TDockingApp>(host.events, host.prompter, host.status, host.ini,
                                             host.launcher);
    if (tcp) host.app->GetServices().tcp = &net;
    host.Start(3);
    host.events.RunPending();
    CommHandler& comms = host.Comms();
    EXPECT_EQ(comms.GetCommEnableState(0), tcp);
    EXPECT_EQ(comms.GetCommEnableState(1), tcp);
    EXPECT_EQ(comms.IsNetworkLoop(0), tcp);
    EXPECT_FALSE(comms.IsDeviceWritable(5));
    EXPECT_EQ(comms.IsDeviceWritable(256 + 5), tcp);
    EXPECT_FALSE(comms.IsNetworkLoop(2));  // a serial loop of this computer
    EXPECT_EQ(far.streams.size(), tcp ? 2u : 0u);
    host.app.reset();
  }
}

}  // namespace
}  // namespace quillark::test
