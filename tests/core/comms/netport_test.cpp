#include "core/comms/netport.h"

#include <gtest/gtest.h>

#include "core/common/textutil.h"
#include "core/comms/netphndl.h"
#include "core/comms/netpserv.h"
#include "core/comms/remoteaudit.h"
#include "core/platform/eventwriter.h"
#include "support/busfixture.h"
#include "support/faketcp.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// A demonstration site of `loops` loops served on ports 3001 and up.
class Monitoring : public ::testing::Test {
 protected:
  void Start(int loops = 1) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.Set("NetworkMonitoring", "Enable", "1");
    host.services.tcp = &net;
    host.bus.SetNetMirrorFactory([this](int n, INI& ini) {
      auto h = std::make_unique<NetPortHandler>(host.Bus(), n, ini, net);
      handler = h.get();
      return h;
    });
    host.StartComms(loops);
  }
  std::unique_ptr<FakeClient> Connect(std::uint16_t port = 3001) {
    auto c = std::make_unique<FakeClient>(net, port);
    host.events.RunPending();
    return c;
  }
  void Send(int loop, const std::string& frame) {
    char buf[FRAMEBUFFER];
    frame.copy(buf, frame.size());
    host.bus.SendBusMessage(loop, buf, static_cast<int>(frame.size()));
  }
  // The ports go before the network they used.
  ~Monitoring() override { host.StopComms(); }
  std::vector<std::string> EventsOf(int category) const {
    std::vector<std::string> out;
    for (const auto& e : host.writer.events)
      if (e.category == category) out.push_back(e.text);
    return out;
  }

  BusFixture host;
  FakeTcpNetwork net{host.events};
  NetPortHandler* handler = nullptr;
};

TEST_F(Monitoring, ListensOnePortPerLoopAndOnlyWhenEnabled) {
  Start(3);
  EXPECT_EQ(net.listeners.size(), 3u);
  for (std::uint16_t p : {3001, 3002, 3003}) EXPECT_EQ(net.listeners.count(p), 1u) << p;
  EXPECT_EQ(handler->GetServer(0)->GetPortNumber(), 3001);
  EXPECT_EQ(handler->GetServer(2)->GetPortNumber(), 3003);
  // Loops opened again after a settings change: the old ports are given up
  // before the new ones are taken, so the same base works again too.
  host.Set("NetworkMonitoring", "PortBase", "4001");
  host.StartComms(host.bus.GetLoops());
  host.Set("NetworkMonitoring", "PortBase", "3001");
  host.StartComms(host.bus.GetLoops());
  EXPECT_EQ(net.listeners.size(), 3u);
  EXPECT_EQ(net.listeners.count(3001), 1u);
  EXPECT_TRUE(host.prompter.prompts.empty());

  BusFixture off;
  FakeTcpNetwork quiet{off.events};
  off.services.tcp = &quiet;
  off.StartComms();
  EXPECT_TRUE(quiet.listeners.empty());
  off.StopComms();
}

TEST_F(Monitoring, PortThatCannotBeHadIsReportedAndOtherLoopsAreServed) {
  net.busy.insert(3001);
  Start(2);
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].text, "bind() fail: code 8");
  EXPECT_EQ(host.prompter.prompts[0].caption, "");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(net.listeners.count(3002), 1u);
}

TEST_F(Monitoring, PollsAndAnswersAreBatchedOtherItemsGoAtOnce) {
  Start(2);
  auto a = Connect(3001);
  auto b = Connect(3002);
  // The first relay finds the batch due: the demonstration loop's answer
  // goes out at once; the poll, mirrored after it, starts the next batch.
  Send(0, "?\x85\r");
  host.events.RunPending();
  const std::string first = a->Take();
  EXPECT_EQ(first.find("@\x85"), 0u) << first;
  EXPECT_EQ(first.find("?\x85"), std::string::npos) << first;

  // Within 500 ms polls and answers are held, on every loop.
  host.events.Advance(100);
  Send(0, "?\x86\r");
  Send(1, "?\x87\r");
  host.events.RunPending();
  EXPECT_EQ(a->Take(), "");
  EXPECT_EQ(b->Take(), "");
  // Any other item releases what its loop collected, in order, in one send.
  handler->SendMessageA(0, "<\x86W00", 5);
  host.events.RunPending();
  const std::string released = a->Take();
  EXPECT_EQ(released.find("?\x85\r\r"), 0u) << released;
  EXPECT_NE(released.find("?\x86\r\r"), std::string::npos) << released;
  EXPECT_EQ(released.substr(released.size() - 6), std::string("<\x86W00\r"));
  EXPECT_EQ(b->Take(), "");  // loop 2's poll is still held

  // With the bus quiet, held items go out when their batch falls due, even
  // though loop 1's send has since moved the shared time on.
  host.events.Advance(399);
  EXPECT_EQ(b->Take(), "");
  host.events.Advance(1);
  EXPECT_NE(b->Take().find("?\x87\r\r"), std::string::npos);
}

TEST_F(Monitoring, CollectedPollsGoOutPastFourKilobytesAndNeverOverrunTheBuffer) {
  Start();
  auto a = Connect();
  handler->SendMessageA(0, "x", 1);  // starts a batch period
  host.events.RunPending();
  a->Take();
  const std::string answer = FastPollAnswer(5, 0, 0, 0);
  int sent = 0;
  while (a->received.empty()) {
    handler->SendMessageA(0, answer.data(), static_cast<int>(answer.size()));
    ++sent;
    host.events.RunPending();
  }
  // 11 bytes an item: the 373rd passes 4096.
  EXPECT_EQ(sent, 373);
  EXPECT_EQ(a->Take().size(), 373u * 11);

  // Items longer than what is left, or than the whole buffer, arrive whole.
  std::string big(4000, 'a');
  big[0] = '@';
  std::string huge(9000, 'b');
  huge[0] = '@';
  handler->SendMessageA(0, big.data(), static_cast<int>(big.size()));
  handler->SendMessageA(0, big.data(), static_cast<int>(big.size()));
  handler->SendMessageA(0, huge.data(), static_cast<int>(huge.size()));
  host.events.Advance(500);
  EXPECT_EQ(a->Take(), big + "\r" + big + "\r" + huge + "\r");
}

TEST_F(Monitoring, EleventhConnectionIsRefusedAndLogged) {
  Start();
  std::vector<std::unique_ptr<FakeClient>> clients;
  for (int i = 0; i < 11; ++i) clients.push_back(Connect());
  host.events.RunPending();
  EXPECT_EQ(handler->GetServer(0)->Connections(), 10u);
  EXPECT_FALSE(clients[9]->closed);
  EXPECT_TRUE(clients[10]->closed);
  EXPECT_EQ(EventsOf(WE_INFORMATION).size(), 10u);
  EXPECT_EQ(EventsOf(WE_INFORMATION)[0], "Remote port connect loop 1");
  EXPECT_EQ(EventsOf(WE_SYSLOG), (std::vector<std::string>{"Too many connections loop 1"}));
}

TEST_F(Monitoring, FailedClientsAreDroppedAtTheNextRelay) {
  host.Set("NetworkMonitoring", "MaxLoopConnections", "2");
  Start();
  auto a = Connect();
  auto b = Connect();
  auto c = Connect();
  host.events.RunPending();
  EXPECT_TRUE(c->closed);  // the limit holds
  a->stream->Close();      // the remote computer went away
  host.events.RunPending();
  EXPECT_EQ(handler->GetServer(0)->Connections(), 2u);
  handler->SendMessageA(0, "x", 1);
  handler->SendMessageA(0, "y", 1);
  host.events.RunPending();
  EXPECT_EQ(handler->GetServer(0)->Connections(), 1u);
  EXPECT_EQ(b->Take(), "x\ry\r");
  // The freed place takes a new client.
  auto d = Connect();
  host.events.RunPending();
  EXPECT_FALSE(d->closed);
  EXPECT_EQ(handler->GetServer(0)->Connections(), 2u);
  ASSERT_EQ(EventsOf(WE_INFORMATION).back(), "Remote port connect loop 1");
  int disconnects = 0;
  for (const auto& e : EventsOf(WE_INFORMATION))
    if (e == "Remote port disconnect loop 1") ++disconnects;
  EXPECT_EQ(disconnects, 1);
}

TEST_F(Monitoring, ClientItemsAreWrittenToTheLoopAndEchoedToEveryClient) {
  Start(2);
  auto a = Connect();
  auto b = Connect();
  auto other = Connect(3002);
  // One item split over two segments, then two in one segment.
  a->Send("AB");
  host.events.RunPending();
  EXPECT_EQ(b->Take(), "");
  a->Send("C\rDE\r");
  host.events.RunPending();
  EXPECT_EQ(a->Take(), "ABC\r\rDE\r\r");
  EXPECT_EQ(b->Take(), "ABC\r\rDE\r\r");
  EXPECT_EQ(other->Take(), "");
  // A poll from a client reaches the demonstration loop, which answers it.
  host.events.Advance(600);
  b->Send("?\x85\r");
  host.events.Advance(600);
  const std::string got = a->Take();
  EXPECT_NE(got.find("?\x85\r\r"), std::string::npos) << got;
  EXPECT_NE(got.find("@\x85"), std::string::npos) << got;
}

TEST_F(Monitoring, ReadOnlyClientsWatchButTheirItemsAreDiscarded) {
  host.Set("NetworkMonitoring", "ReadOnly", "1");
  Start();
  auto a = Connect();
  a->Send("ABC\r?\x85\r");
  host.events.Advance(1000);
  EXPECT_EQ(a->Take(), "");
  handler->SendMessageA(0, "x", 1);
  host.events.RunPending();
  EXPECT_EQ(a->Take(), "x\r");
}

TEST_F(Monitoring, OnlyAllowedHostsMayConnect) {
  host.Set("NetworkMonitoring", "AllowedHosts", " 192.168.1.20 , 127.0.0.1");
  Start();
  auto ok = Connect();
  net.clientaddress = "10.0.0.9";
  auto stranger = Connect();
  host.events.RunPending();
  EXPECT_FALSE(ok->closed);
  EXPECT_TRUE(stranger->closed);
  EXPECT_EQ(handler->GetServer(0)->Connections(), 1u);
  EXPECT_EQ(EventsOf(WE_SYSLOG),
            (std::vector<std::string>{"Remote connection from 10.0.0.9 refused loop 1"}));
  EXPECT_TRUE(handler->IsAllowedHost("192.168.1.20"));
  EXPECT_FALSE(handler->IsAllowedHost("192.168.1.2"));
}

// A host that keeps trying is logged once, then counted once a minute; a
// host quiet for a minute is logged afresh.
TEST_F(Monitoring, RefusedHostsAreLoggedOnceThenSummarisedPerMinute) {
  host.Set("NetworkMonitoring", "AllowedHosts", "192.168.1.20");
  Start();
  std::vector<std::unique_ptr<FakeClient>> tries;
  auto attempt = [&](const std::string& from, int times) {
    net.clientaddress = from;
    for (int i = 0; i < times; ++i) tries.push_back(Connect());
  };
  attempt("10.0.0.9", 90);
  attempt("10.0.0.8", 1);
  EXPECT_EQ(EventsOf(WE_SYSLOG),
            (std::vector<std::string>{"Remote connection from 10.0.0.9 refused loop 1",
                                      "Remote connection from 10.0.0.8 refused loop 1"}));
  host.events.Advance(NetPortServer::REFUSALSUMMARYMS);
  attempt("10.0.0.9", 3);
  host.events.Advance(NetPortServer::REFUSALSUMMARYMS);
  host.events.Advance(NetPortServer::REFUSALSUMMARYMS);  // a quiet minute
  attempt("10.0.0.9", 1);
  EXPECT_EQ(EventsOf(WE_SYSLOG), (std::vector<std::string>{
                                     "Remote connection from 10.0.0.9 refused loop 1",
                                     "Remote connection from 10.0.0.8 refused loop 1",
                                     "Remote connection from 10.0.0.9 refused 89 more times loop 1",
                                     "Remote connection from 10.0.0.9 refused 3 more times loop 1",
                                     "Remote connection from 10.0.0.9 refused loop 1"}));
  for (const auto& c : tries) EXPECT_TRUE(c->closed);
}

// Items reach the audit after they were written, with the client's address.
TEST_F(Monitoring, ClientOperationsReachTheAuditWithTheClientsAddress) {
  struct Recorder : RemoteAudit {
    void RecordRemote(const RemoteOperation& op, int loop, const std::string& client) override {
      seen.push_back(
          Format("%d %d %d %s", static_cast<int>(op.kind), op.device, loop, client.c_str()));
    }
    std::vector<std::string> seen;
  } audit;
  host.Bus().SetRemoteAudit(&audit);
  Start(2);
  net.clientaddress = "192.0.2.7";
  auto a = Connect(3002);
  a->Send(WithSum(">\x85I0011") + "\r" + WithSum("?\x85") + "\r" + WithSum(">\x80R000") + "\r");
  host.events.RunPending();
  EXPECT_EQ(audit.seen, (std::vector<std::string>{"0 261 1 192.0.2.7", "3 256 1 192.0.2.7"}));
  host.Bus().SetRemoteAudit(nullptr);
}

TEST(NetItemRing, ItemsAreCutAtEveryCrAndOverlongLinesAreDropped) {
  NetItemRing ring;
  std::vector<std::string> items;
  auto collect = [&](const char* d, int n) { items.emplace_back(d, static_cast<std::size_t>(n)); };
  ring.AddToBuffer("\r", 1, collect);
  ring.AddToBuffer("ab", 2, collect);
  ring.AddToBuffer("c\rde\r", 5, collect);
  EXPECT_EQ(items, (std::vector<std::string>{"\r", "abc\r", "de\r"}));

  // A line that does not fit the 4095 positions is lost; the ring recovers.
  items.clear();
  std::string longline(5000, 'z');
  ring.AddToBuffer(longline.data(), static_cast<int>(longline.size()), collect);
  ring.AddToBuffer("\rok\r", 4, collect);
  EXPECT_EQ(items, (std::vector<std::string>{"ok\r"}));

  // The longest line that fits: 4093 characters and its CR, across the wrap.
  items.clear();
  std::string fits(4093, 'y');
  fits += '\r';
  ring.AddToBuffer(fits.data(), static_cast<int>(fits.size()), collect);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], fits);
  EXPECT_EQ(ring.Start(), ring.End());
}

}  // namespace
}  // namespace quillark::test
