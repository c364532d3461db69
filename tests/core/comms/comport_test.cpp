#include "core/comms/comport.h"

#include "core/comms/commhndl.h"
#include "core/comms/hliport.h"

#include <gtest/gtest.h>

#include "core/access/translator.h"
#include "core/platform/eventwriter.h"
#include "support/busfixture.h"
#include "support/fakeserialline.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

class SerialPort : public ::testing::Test {
 protected:
  SerialPort() : rx(&host.bus) {
    host.services.seriallines = [this] { return std::make_unique<FakeSerialLine>(line); };
    // One demonstration loop carries the port events of loop 0 to the
    // receivers, so a transmitter-empty event shows as a TxEmpty call.
    host.StartComms(1);
    rx.Register(&rx, MSG_SHORT | MSG_LONG | MSG_INVALID | MSG_TXEMPTY);
  }
  std::unique_ptr<COMPort> Open(const std::string& port, bool ctsignore = false, int baud = 9600) {
    host.Set("Comm", "Loop1Port", port);
    return std::make_unique<COMPort>(&host.bus, &host.services.translator, 0, host.ini, baud,
                                     ctsignore);
  }
  std::string Setting(const std::string& key) { return host.ini.ReadString("Comm", key, "-"); }
  std::string Text(int id) { return host.services.translator.Text(id); }

  BusFixture host;
  std::shared_ptr<FakeSerialLine::State> line = std::make_shared<FakeSerialLine::State>();
  RecordingReceiver rx;
};

TEST_F(SerialPort, NumberedPortsArePlatformDevicesAndPathsAreTakenAsTheyAre) {
  auto port = Open("3", false, 19200);
  EXPECT_TRUE(port->GetOnlineState());
  EXPECT_EQ(line->device, "/dev/ttyS2");
  EXPECT_EQ(line->settings.baud, 19200);
  EXPECT_TRUE(line->settings.cts);  // "CTSflow" defaults to 1
  EXPECT_EQ(line->settings.rxqueue, 5000);
  EXPECT_EQ(line->settings.txqueue, 128);

  port = Open("/dev/pts/7");
  EXPECT_EQ(line->device, "/dev/pts/7");
  port = Open(" 2,5");  // an HLI loop's port and network id
  EXPECT_EQ(line->device, "/dev/ttyS1");

  port = Open("1", true);
  EXPECT_FALSE(line->settings.cts);
  host.Set("Comm", "CTSflow", "2");  // only bit 0 counts
  port = Open("1");
  EXPECT_FALSE(line->settings.cts);
  EXPECT_TRUE(host.prompter.prompts.empty());
}

TEST_F(SerialPort, PortAbove99OpensNothingAndSaysNothing) {
  auto port = Open("100");
  EXPECT_EQ(line->device, "");
  EXPECT_FALSE(port->GetOnlineState());
  EXPECT_EQ(port->GetLoop(), 0);  // the loop stays enabled and silent
  EXPECT_TRUE(host.prompter.prompts.empty());
  EXPECT_TRUE(host.writer.events.empty());
  EXPECT_FALSE(port->Write("?\x85\r", 3));
  EXPECT_TRUE(port->IsTxEmpty());
  EXPECT_EQ(Setting("Loop1Port"), "100");
}

TEST_F(SerialPort, MissingPortIsReportedLoggedAndForgotten) {
  line->openerror = SerialError::NOTFOUND;
  auto port = Open("3");
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "COM3");
  EXPECT_EQ(host.prompter.prompts[0].text, Text(16100));
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(Text(16100).rfind("The COM port identifier is invalid.", 0), 0u);
  ASSERT_EQ(host.writer.events.size(), 1u);
  EXPECT_EQ(host.writer.events[0].category, WE_SYSLOG);
  EXPECT_EQ(host.writer.events[0].text, "loop 1/COM3 - " + Text(16100));
  EXPECT_EQ(Setting("Loop1Port"), "none");
  EXPECT_EQ(Setting("AutoSet"), "1");
  EXPECT_FALSE(port->GetOnlineState());
  // Writes are refused at once, and the loop never holds up the others' pacing.
  EXPECT_FALSE(port->Write("?\x85\r", 3));
  EXPECT_TRUE(port->IsTxEmpty());

  // "none" names no device: the same message, without trying to open.
  line->openerror = SerialError::NONE;
  line->device.clear();
  port = std::make_unique<COMPort>(&host.bus, &host.services.translator, 0, host.ini, 9600);
  EXPECT_EQ(line->device, "");
  ASSERT_EQ(host.prompter.prompts.size(), 2u);
  EXPECT_EQ(host.prompter.prompts[1].caption, "COM0");
  EXPECT_EQ(host.prompter.prompts[1].text, Text(16100));
}

TEST_F(SerialPort, PortInUseOrOtherOpenFailureRewritesOnlyWhatIsMissing) {
  line->openerror = SerialError::ACCESS;
  auto port = Open("/dev/ttyUSB0");
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].caption, "/dev/ttyUSB0");
  EXPECT_EQ(host.prompter.prompts[0].text, Text(16300));
  EXPECT_EQ(host.writer.events.at(0).text, "loop 1//dev/ttyUSB0 - " + Text(16300));
  EXPECT_EQ(Setting("Loop1Port"), "/dev/ttyUSB0");
  EXPECT_EQ(Setting("AutoSet"), "-");

  // Any other failure is told in the platform's words and handled like a
  // missing port.
  line->openerror = SerialError::OPENFAILED;
  line->errortext = "Input/output error";
  port = Open("4");
  EXPECT_EQ(host.prompter.prompts.at(1).text, "Input/output error");
  EXPECT_EQ(host.writer.events.at(1).text, "loop 1/COM4 - Input/output error");
  EXPECT_EQ(Setting("Loop1Port"), "none");
}

TEST_F(SerialPort, ConfigurationFailuresNameTheStepTheErrorAndThePort) {
  const std::pair<SerialError, std::string> cases[] = {
      {SerialError::GETSTATE, "GetCommState error 22 on COM port 3."},
      {SerialError::SETSTATE, "SetCommState error 22 on COM port 3."},
      {SerialError::GETTIMEOUTS, "GetCommTimeouts error 22 on COM port 3."},
      {SerialError::SETUPQUEUES, "SetupComm error 22 on COM port 3."},
  };
  line->code = 22;
  for (const auto& [error, text] : cases) {
    line->openerror = error;
    auto port = Open("3");
    ASSERT_FALSE(host.prompter.prompts.empty());
    EXPECT_EQ(host.prompter.prompts.back().caption, "");
    EXPECT_EQ(host.prompter.prompts.back().text, text);
    EXPECT_EQ(host.prompter.prompts.back().icon, PromptIcon::STOP);
    EXPECT_TRUE(line->open);  // the device stays open but takes no frames
    EXPECT_FALSE(port->Write("?\x85\r", 3));
  }
  EXPECT_EQ(host.prompter.prompts.size(), 4u);
  EXPECT_TRUE(host.writer.events.empty());
  EXPECT_EQ(Setting("Loop1Port"), "3");

  line->openerror = SerialError::SETSTATE;
  auto port = Open("/dev/pts/4");
  EXPECT_EQ(host.prompter.prompts.back().text, "SetCommState error 22 on COM port /dev/pts/4.");
}

TEST_F(SerialPort, OneFrameIsQueuedAndTheNextWaitsForIt) {
  auto port = Open("1");
  EXPECT_TRUE(port->Write("?\x85\r", 3));
  EXPECT_FALSE(port->IsTxEmpty());
  EXPECT_TRUE(line->writes.empty());  // goes to the line once the current work is done
  host.events.RunPending();
  ASSERT_EQ(line->writes.size(), 1u);
  EXPECT_EQ(line->writes[0], "?\x85\r");

  // The line drains within the wait: the second frame follows the first.
  EXPECT_TRUE(port->Write("?\x86\r", 3));
  host.events.RunPending();
  EXPECT_EQ(line->writes.size(), 2u);
  EXPECT_EQ(rx.txempty, 1);

  // The line stays busy: the third frame is refused and lost.
  line->drainonwait = false;
  EXPECT_FALSE(port->Write("?\x87\r", 3));
  host.events.RunPending();
  EXPECT_EQ(line->Written(), "?\x85\r?\x86\r");
  line->Drain();
  EXPECT_TRUE(port->IsTxEmpty());
  host.events.RunPending();
  EXPECT_EQ(rx.txempty, 2);

  // A frame still waiting for the line goes out first when the next comes.
  EXPECT_TRUE(port->Write("?\x88\r", 3));
  line->drainonwait = true;
  EXPECT_TRUE(port->Write("?\x89\r", 3));
  host.events.RunPending();
  EXPECT_EQ(line->Written(), "?\x85\r?\x86\r?\x88\r?\x89\r");
}

TEST_F(SerialPort, EveryFrameButTheBusResetEndsInOneTransmitterEmptyEvent) {
  auto port = Open("1");
  for (const std::string& frame : {std::string("?\x80\r"), std::string("?\x85\r"),
                                   WithSum(">\x85R000") + "\r", std::string("?\x80\r")}) {
    ASSERT_TRUE(port->Write(frame.data(), static_cast<int>(frame.size())));
    host.events.RunPending();
    line->Drain();
    host.events.RunPending();
  }
  EXPECT_EQ(line->writes.size(), 4u);
  EXPECT_EQ(rx.txempty, 2);
}

TEST_F(SerialPort, FlushAroundABusResetClearsTheLineButKeepsTheReset) {
  auto port = Open("1");
  line->Arrive("@\x85");
  port->Notify(0, 0x2);  // half a frame in the ring
  // The bus reset sequence: flush, write, flush.
  port->Flush();
  ASSERT_TRUE(port->Write("?\x80\r", 3));
  port->Flush();
  EXPECT_EQ(line->rxpurges, 2);
  EXPECT_EQ(line->txpurges, 2);
  host.events.RunPending();
  EXPECT_EQ(line->Written(), "?\x80\r");
  // The rest of the broken answer does not make a frame with the old half.
  line->Arrive("010000\r");
  port->Notify(0, 0x2);
  EXPECT_EQ(rx.frames, std::vector<std::string>{"010000\r"});  // cut frames keep their CR

  // A frame already on the line is thrown away by a flush; the queue is free.
  ASSERT_TRUE(port->Write("?\x85\r", 3));
  host.events.RunPending();
  port->Flush();
  EXPECT_TRUE(port->IsTxEmpty());
  EXPECT_EQ(line->pending, 0);
}

TEST_F(SerialPort, AFrameThatNeverLeavesIsAbandonedAfterTheWriteTimeOut) {
  auto port = Open("1");
  ASSERT_TRUE(port->Write("?\x85\r", 3));
  host.events.RunPending();
  host.events.Advance(COMPort::WRITETIMEOUT + 2);
  EXPECT_FALSE(port->IsTxEmpty());
  host.events.Advance(1);
  EXPECT_TRUE(port->IsTxEmpty());
  EXPECT_EQ(line->txpurges, 1);
  host.events.RunPending();
  EXPECT_EQ(rx.txempty, 1);

  // A line that refuses the bytes does not block the queue either.
  line->refusewrites = true;
  ASSERT_TRUE(port->Write("?\x86\r", 3));
  host.events.RunPending();
  EXPECT_TRUE(port->IsTxEmpty());
}

TEST_F(SerialPort, ReceivedBytesBecomePortEventsAndFrames) {
  auto port = Open("1");
  const std::size_t before = host.events.PendingPosts();
  const std::string answer = FastPollAnswer(5, 0x0e, 0, 0x10);
  line->Arrive(answer.substr(0, 4));
  EXPECT_EQ(host.events.PendingPosts(), before + 1);
  port->Notify(0, 0x2);
  line->Arrive(answer.substr(4) + "\r" + answer + "\r");
  port->Notify(0, 0x2);
  EXPECT_EQ(rx.frames, (std::vector<std::string>{answer + "\r", answer + "\r"}));

  // More than one read holds: the port asks to be called again for the rest.
  host.events.RunPending();
  line->Arrive(std::string(IOPort::INBUFF + 10, 'x'));
  host.events.RunPending();
  const std::size_t queued = host.events.PendingPosts();
  port->Notify(0, 0x2);
  EXPECT_EQ(host.events.PendingPosts(), queued + 1);
  EXPECT_EQ(line->incoming.size(), 10u);
}

TEST(LivePorts, TypeZeroIsASerialLoopAndTypeThreeAnHliLoop) {
  BusFixture host;
  host.Set("Product", "Edition", "live");
  host.Set("Comm", "Loops", "3");
  host.Set("Comm", "Loop1PortType", "0");
  host.Set("Comm", "Loop1Port", "/dev/pts/9");
  host.Set("Comm", "Loop1Baud", "38400");
  host.Set("Comm", "Loop2PortType", "3");
  host.Set("Comm", "Loop2Port", "2,4");
  host.Set("Comm", "Loop3Port", "5");  // type 0 by default, 9600 baud by default
  host.bus.SetLiveEdition(true);
  std::vector<std::shared_ptr<FakeSerialLine::State>> lines;
  host.services.seriallines = ([&lines] {
    lines.push_back(std::make_shared<FakeSerialLine::State>());
    return std::make_unique<FakeSerialLine>(lines.back());
  });
  host.StartComms(3);
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_NE(dynamic_cast<COMPort*>(host.Comms().GetPort(0)), nullptr);
  EXPECT_EQ(lines[0]->device, "/dev/pts/9");
  EXPECT_EQ(lines[0]->settings.baud, 38400);
  auto* hli = dynamic_cast<HLIPort*>(host.Comms().GetPort(1));
  ASSERT_NE(hli, nullptr);
  EXPECT_EQ(lines[1]->device, "/dev/ttyS1");
  EXPECT_EQ(lines[1]->settings.baud, 19200);
  EXPECT_EQ(hli->GetNetId(), 4);
  EXPECT_EQ(lines[2]->device, "/dev/ttyS4");
  EXPECT_EQ(lines[2]->settings.baud, 9600);
  for (int loop = 0; loop < 3; ++loop) EXPECT_TRUE(host.Comms().GetCommEnableState(loop));
  EXPECT_EQ(host.Comms().GetMaxDeviceTimeout(), 10000);
  EXPECT_TRUE(host.prompter.prompts.empty());
}

}  // namespace
}  // namespace quillark::test
