#include "core/comms/hliport.h"

#include <gtest/gtest.h>

#include <random>

#include "support/busfixture.h"
#include "support/fakeserialline.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

using Bytes = std::string;
constexpr char DLE = 0x10, STX = 0x02, ETX = 0x03, ACK = 0x06, NAK = 0x15;

// An HLI frame as it goes on the line, before any stuffing.
Bytes Frame(int command, int net, int zone, int sector, const Bytes& data) {
  Bytes f{DLE, STX, char(command), char(net), char(zone), char(sector), char(data.size())};
  f += data;
  f += {DLE, ETX};
  auto crc = HLIPort::CalcCRC(reinterpret_cast<const unsigned char*>(f.data()),
                              static_cast<int>(f.size()));
  f += char(crc >> 8);
  f += char(crc & 0xFF);
  return f;
}

// What goes on the line for `frame`.
Bytes Stuffed(const Bytes& frame) {
  return HLIPort::Stuff(reinterpret_cast<const unsigned char*>(frame.data()),
                        static_cast<int>(frame.size()));
}

class Hli : public ::testing::Test {
 protected:
  Hli() : rx(&host.bus) {
    host.services.seriallines = [this] { return std::make_unique<FakeSerialLine>(line); };
    host.StartComms(1);
    rx.Register(&rx, MSG_SHORT | MSG_LONG | MSG_INVALID);
    host.Set("Comm", "Loop1Port", "2,5");
    port = std::make_unique<HLIPort>(&host.bus, &host.services.translator, 0, host.ini);
    host.events.RunPending();
    startup = line->writes;
    line->writes.clear();
    line->Drain();
    host.events.RunPending();
  }
  // A bus frame written by the program: check sum and CR added unless a poll.
  bool Bus(const std::string& body) {
    std::string f = body[0] == '?' ? body : WithSum(body) + "\r";
    return port->Write(f.data(), static_cast<int>(f.size()));
  }
  // Bytes from the unit, handled as the port event would.
  void FromUnit(const Bytes& bytes) {
    line->Arrive(bytes);
    port->Notify(0, 0x2);
    host.events.RunPending();
  }
  std::vector<std::string> Sent() {
    host.events.RunPending();
    return line->writes;
  }

  BusFixture host;
  std::shared_ptr<FakeSerialLine::State> line = std::make_shared<FakeSerialLine::State>();
  RecordingReceiver rx;
  std::unique_ptr<HLIPort> port;
  std::vector<std::string> startup;
};

TEST(HliCheckValue, KermitOfTheStandardTextAndOfFrames) {
  const unsigned char text[] = "123456789";
  EXPECT_EQ(HLIPort::CalcCRC(text, 9), 0x2189);
  EXPECT_EQ(HLIPort::CalcCRC(text, 0), 0);
  // Byte by byte gives the same as over the buffer.
  std::uint16_t crc = 0;
  for (int i = 0; i < 9; ++i) crc = HLIPort::CalcCRC(crc, text[i]);
  EXPECT_EQ(crc, 0x2189);
}

TEST(HliStuffing, EveryDleNotBeforeStxOrEtxIsDoubled) {
  auto stuff = [](const Bytes& b) {
    return HLIPort::Stuff(reinterpret_cast<const unsigned char*>(b.data()),
                          static_cast<int>(b.size()));
  };
  EXPECT_EQ(stuff({DLE, STX, 6, DLE, 5, DLE, ETX}), Bytes({DLE, STX, 6, DLE, DLE, 5, DLE, ETX}));
  // A check value of 0x10 0x03 is not stuffed between its bytes.
  EXPECT_EQ(stuff({DLE, ETX, DLE, ETX}), Bytes({DLE, ETX, DLE, ETX}));
  // A DLE as the very last byte stays single.
  EXPECT_EQ(stuff({DLE, ETX, 0x22, DLE}), Bytes({DLE, ETX, 0x22, DLE}));
  EXPECT_EQ(stuff({DLE, DLE, 7}), Bytes({DLE, DLE, DLE, DLE, 7}));
}

TEST_F(Hli, StartsAt19200BaudAndTellsTheUnitItsOperationOnce) {
  EXPECT_EQ(line->device, "/dev/ttyS1");
  EXPECT_EQ(line->settings.baud, 19200);
  EXPECT_EQ(port->GetNetId(), 5);
  EXPECT_EQ(port->GetDeviceTimeout(), 10000);
  EXPECT_EQ(startup, std::vector<std::string>{Frame(1, 0, 0, 0, "H")});
}

TEST_F(Hli, NetworkIdIsTheLastNumberOfThePortSetting) {
  for (const auto& [value, id] : std::vector<std::pair<std::string, int>>{
           {"/dev/pts/3,12", 12}, {"3", 3}, {"4, 7 ", 7}, {"none", 0}}) {
    host.Set("Comm", "Loop1Port", value);
    HLIPort p(&host.bus, nullptr, 0, host.ini);
    EXPECT_EQ(p.GetNetId(), id) << value;
  }
}

TEST_F(Hli, SilenceResetAndIsolateBecomeRemoteInputsFollowedByAZoneUpdate) {
  EXPECT_TRUE(
      Bus(">\x85"
          "B000"));
  EXPECT_EQ(Sent(), (std::vector<std::string>{Frame(6, 5, 5, 0, "\x08"), Frame(4, 5, 5, 0, "")}));
  line->writes.clear();
  EXPECT_TRUE(Bus(">\x80R000"));  // global reset
  EXPECT_EQ(Sent(), (std::vector<std::string>{Frame(6, 5, 255, 0, "\x40"), Frame(4, 5, 0, 0, "")}));
  line->writes.clear();
  EXPECT_TRUE(Bus(">\x8aI0011"));
  EXPECT_TRUE(Bus(">\x8aI0010"));
  EXPECT_EQ(Sent(), (std::vector<std::string>{Frame(6, 5, 10, 0, " "), Frame(4, 5, 10, 0, ""),
                                              Stuffed(Frame(6, 5, 10, 0, "\x10")),
                                              Frame(4, 5, 10, 0, "")}));
}

TEST_F(Hli, FramesThatAreNotTranslatedAreDroppedAsSent) {
  EXPECT_TRUE(Bus("?\x85\r"));
  EXPECT_TRUE(Bus("?\x80\r"));
  EXPECT_TRUE(
      Bus(">\x85"
          "A000"));
  EXPECT_TRUE(Bus("#\x85R000"));
  EXPECT_TRUE(Bus(">\x85"));
  EXPECT_TRUE(Bus(">\x05R000"));  // no address bit
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(rx.frames.empty());
}

TEST_F(Hli, FunctionReadOfAZoneAsksForItsDetectorTypeAndTheCommandModuleAnswersAtOnce) {
  EXPECT_TRUE(Bus(">\x87G0040010"));
  EXPECT_EQ(Sent(), std::vector<std::string>{Frame(22, 5, 7, 0, "")});
  EXPECT_TRUE(rx.frames.empty());

  // The unit itself: functions 0x2a..0x2f, 44 carrying its own model code.
  EXPECT_TRUE(Bus(":\x81G0042a30"));
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0], WithSum("/\x81G00affff12ffffff"));
  EXPECT_EQ(Message::GetMessageFlags(rx.frames[0].data(), int(rx.frames[0].size())), MSG_LONG);
}

TEST_F(Hli, ZoneStatusBecomesAFastPollAnswerAndIsAcknowledged) {
  FromUnit(Frame(5, 5, 3, 0, Bytes{char(0x80), 0}));
  ASSERT_EQ(rx.frames.size(), 1u);
  EXPECT_EQ(rx.frames[0], WithSum("@\x83"
                                  "020000"));
  EXPECT_EQ(Sent(), std::vector<std::string>{Bytes(1, ACK)});
  EXPECT_TRUE(port->GetZone(3).GetConnected());
  EXPECT_EQ(port->GetZone(3).GetStatus(), 0x02u);
  // From now on a poll of the zone is answered from its record, at once and
  // without troubling the unit; a zone never reported stays unanswered.
  line->writes.clear();
  EXPECT_TRUE(Bus("?\x83\r"));
  EXPECT_TRUE(Bus("?\x86\r"));
  EXPECT_EQ(rx.frames.size(), 2u);
  EXPECT_EQ(rx.frames.back(), rx.frames.front());
  EXPECT_TRUE(Sent().empty());

  // Alarm levels and every fault bit.
  FromUnit(Frame(5, 5, 4, 0, Bytes{0x70, 0}));
  EXPECT_EQ(rx.frames.back(), WithSum("@\x84"
                                      "1c0000"));
  FromUnit(Frame(5, 5, 4, 0, Bytes{0x0f, char(0xf0)}));
  EXPECT_EQ(rx.frames.back(), WithSum("@\x84"
                                      "017600"));
  FromUnit(Frame(5, 5, 4, 0, Bytes{0x02, 0}));
  EXPECT_EQ(rx.frames.back(), WithSum("@\x84"
                                      "010400"));
  EXPECT_EQ(port->GetZone(4).GetFaults(), 0x04u);
}

TEST_F(Hli, DetectorTypeBringsTheFunctionAnswerWithTheModel) {
  FromUnit(Frame(23, 5, 7, 0, "\x04"));
  EXPECT_EQ(Sent(), std::vector<std::string>{Bytes(1, ACK)});
  ASSERT_EQ(rx.frames.size(), 1u);
  std::string expect = "<\x87G16a";
  for (int f = 0; f < 182; ++f) expect += f == 44 ? "10" : "ff";
  EXPECT_EQ(rx.frames[0], WithSum(expect));
  EXPECT_EQ(port->GetZone(7).GetModel(), ORVALEPETITE);

  FromUnit(Frame(23, 5, 8, 0, "\x02"));
  EXPECT_EQ(port->GetZone(8).GetModel(), ORVALEPRIME);
  // An unknown type is acknowledged and goes no further.
  FromUnit(Frame(23, 5, 9, 0, "\x09"));
  EXPECT_EQ(rx.frames.size(), 2u);
  EXPECT_FALSE(port->GetZone(9).GetConnected());
  EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(Hli, FramesSplitOrJoinedInReadsAreEachHandled) {
  const Bytes a = Frame(5, 5, 1, 0, Bytes{0x20, 0}), b = Frame(5, 5, 2, 0, Bytes{0x40, 0});
  const Bytes both = "junk" + a + b;
  for (std::size_t i = 0; i < both.size(); i += 3) FromUnit(both.substr(i, 3));
  FromUnit(a + b);
  EXPECT_EQ(rx.frames.size(), 4u);
  EXPECT_EQ(Sent(), std::vector<std::string>(4, Bytes(1, ACK)));
}

TEST_F(Hli, BadFramesAreRefusedOrIgnoredAndTheNextGoodOneCounts) {
  Bytes corrupt = Frame(5, 5, 3, 0, Bytes{char(0x80), 0});
  corrupt[8] ^= 0x01;
  FromUnit(corrupt);
  EXPECT_EQ(Sent(), std::vector<std::string>{Bytes(1, NAK)});
  line->writes.clear();

  // Not ours, outside the zones, not a report, or a report without its bytes:
  // no answer and no acknowledgement.
  FromUnit(Frame(5, 6, 3, 0, Bytes{char(0x80), 0}));
  FromUnit(Frame(5, 5, 0, 0, Bytes{char(0x80), 0}));
  FromUnit(Frame(5, 5, 200, 0, Bytes{char(0x80), 0}));
  FromUnit(Frame(4, 5, 3, 0, Bytes{char(0x80), 0}));
  FromUnit(Frame(5, 5, 3, 0, ""));
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(rx.frames.empty());

  // A data length beyond what a frame holds: one refusal, the rest of that
  // frame (its DLE ETX and check value included) is skipped.
  Bytes huge{DLE, STX, 5, 5, 3, 0, char(200)};
  huge += Bytes(20, 'x') + Bytes{DLE, ETX, 0x12, 0x34};
  FromUnit(huge);
  EXPECT_EQ(Sent(), std::vector<std::string>{Bytes(1, NAK)});
  EXPECT_EQ(port->GetState(), HLIPort::PSC_NORMAL);
  FromUnit(Frame(5, 5, 3, 0, Bytes{char(0x80), 0}));
  EXPECT_EQ(rx.frames.size(), 1u);
}

TEST_F(Hli, AnyByteStreamLeavesTheReceiverWorking) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Bytes noise(static_cast<std::size_t>(random() % 300), '\0');
    for (char& c : noise) {
      // Mostly framing bytes, to reach every state.
      const unsigned r = random() % 8;
      c = r == 0 ? DLE : r == 1 ? STX : r == 2 ? ETX : char(random());
    }
    FromUnit(noise);
    line->Drain();
  }
  // Whatever state the noise left, more filler than a frame holds, a DLE ETX
  // and two check bytes end it; then a good frame counts.
  rx.frames.clear();
  FromUnit(Bytes(140, '\0') + Bytes{DLE, ETX, 0, 0});
  FromUnit(Frame(5, 5, 3, 0, Bytes{char(0x80), 0}));
  EXPECT_EQ(rx.frames.size(), 1u);
}

}  // namespace
}  // namespace quillark::test
