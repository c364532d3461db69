#include "core/status/alrmdisp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/events/syslog.h"
#include "core/platform/soundplayer.h"
#include "core/site/config.h"
#include "core/views/eventlog.h"
#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

struct RecordingSound : SoundPlayer {
  explicit RecordingSound(const VirtualEventLoop& clock) : clock(clock) {}
  void Play(const std::filesystem::path& file, bool synchronous) override {
    EXPECT_FALSE(synchronous);
    played.push_back(file.string());
    ticks.push_back(clock.TickCount());
  }
  void Stop() override { ++stops; }
  const VirtualEventLoop& clock;
  std::vector<std::string> played;
  std::vector<std::uint32_t> ticks;
  int stops = 0;
};

struct RecordingView : AlarmDispObserver {
  void LineRemoved(std::size_t i) override { log.push_back("-" + std::to_string(i)); }
  void LineAppended(std::size_t i) override { log.push_back("+" + std::to_string(i)); }
  void LinesCleared() override { log.push_back("clear"); }
  void SelectionChanged(int, bool on) override { enabled = on; }
  void ShowRequested() override { ++shows; }
  std::vector<std::string> log;
  bool enabled = false;
  int shows = 0;
};

// 14/11/2023 22:13:20 UTC is where the virtual clock starts.
constexpr const char* START = "14/11/2023  22:13:20  ";

// Detectors 1, 2, 3, 5 and 6 of the first loop have sounds; 5 also has a
// location and a fire 1 text.
class AlarmDispTest : public ::testing::Test {
 protected:
  AlarmDispTest() {
    host.Start(16);
    host.app->GetBus().SetBusViewer(&viewer);
    for (int a : {1, 2, 3, 5, 6}) {
      DeviceConfig d(static_cast<std::uint32_t>(a), DETECTOR, PELORINVANTOR);
      for (int bit : {0x01, 0x08, 0x10, 0x20})
        d.SetEventSound(bit, bit == 0x01 ? "fault.wav" : Format("bit%02x.wav", bit));
      if (a == 5) {
        d.SetLocation("Plant room");
        d.SetEventText(0x08, "Evacuate");
      }
      site.InsertDevice(d);
    }
    disp.SetObserver(&view);
    disp.SetActions({[this](int d, bool on) { isolated.push_back(on ? d : -d); },
                     [this](int d) { resets.push_back(d); }, [this](int d) { zones.push_back(d); },
                     [this](int d) { maps.push_back(d); }});
    host.app->SetDeviceStatusSource(&disp);
  }
  ~AlarmDispTest() override {
    host.app->SetDeviceStatusSource(nullptr);
    host.app->GetBus().SetBusViewer(nullptr);
  }

  void Frame(int loop, const std::string& f) {
    host.app->DespatchRxMessage(loop, f.c_str(), static_cast<int>(f.size()), false);
  }
  void Answer(int loop, int address, const std::string& digits) {
    Frame(loop, WithSum(std::string("@") + static_cast<char>(address | 0x80) + digits));
  }
  std::string Line(std::size_t i) const { return disp.GetLines().at(i).text.substr(22); }
  EventInfo::colour Colour(std::size_t i) const { return disp.GetLines().at(i).colour; }
  // Event codes of the system log records, in order.
  std::vector<int> Records() const {
    std::vector<int> codes;
    if (!std::filesystem::exists(host.home / "system.ev2")) return codes;
    const std::string text = host.home.Read("system.ev2");
    for (std::size_t at = 10; at + 24 <= text.size(); at += 24)
      codes.push_back(std::stoi(text.substr(at + 14, 4), nullptr, 16));
    return codes;
  }

  AppHost host;
  RecordingReceiver viewer{&host.Bus()};
  RecordingSound sound{host.events};
  RecordingView view;
  EventInfo info;
  TSiteConfig site;
  SysLog syslog{host.home / "system.ev2", host.events};
  AlarmDisp disp{host.Bus(), sound, info, &syslog, &site, 16, 3};
  std::vector<int> isolated, resets, zones, maps;
};

TEST_F(AlarmDispTest, LineLayoutColoursEventsAndRecords) {
  info.SetShowFF(false);
  Answer(0, 12, "000000");
  Answer(0, 12, "090000");  // fire 1 with a fault bit and no fault flags
  ASSERT_EQ(disp.GetLines().size(), 1u);
  EXPECT_EQ(disp.GetLines()[0].text,
            std::string(START) + "1-012  Alarms: Fire 1  Faults: Comms failure");
  EXPECT_EQ(Colour(0), info.GetFire1Colour());
  EXPECT_EQ(Records(), (std::vector<int>{SysLog::FIRE1ALARM, SysLog::COMMSFAIL}));
  ASSERT_EQ(host.writer.events.size(), 1u);
  EXPECT_EQ(host.writer.events[0].category, WE_ALARM);
  EXPECT_EQ(host.writer.events[0].text, "Detector 1-012  Alarms: Fire 1  Faults: Comms failure");
  EXPECT_EQ(view.shows, 1);

  // Location, and the text of the highest alarm; a fire keeps its own sound
  // even with a communications failure on the line.
  Answer(0, 5, "190000");
  EXPECT_EQ(Line(1), "1-005  (Plant room)    Alarms: Fire 1,Fire 2  Faults: Comms failure");
  EXPECT_EQ(Colour(1), info.GetFire2Colour());
  EXPECT_EQ(sound.played.back(), "bit10.wav");
  Answer(0, 5, "080000");
  EXPECT_EQ(Line(1), "1-005  (Plant room)    Alarms: Fire 1    Evacuate");

  // Both flow bits are one fault; isolation has its own colour; inputs
  // alone are information in the normal colour.
  Answer(1, 7, "010300");
  EXPECT_EQ(Line(2), "2-007  Faults: Flow sensor fail");
  EXPECT_EQ(Colour(2), info.GetFaultColour());
  EXPECT_EQ(host.writer.events.back().category, WE_FAULT);
  Answer(1, 8, "01c500");
  EXPECT_EQ(Line(3), "2-008  Faults: Low flow,Detector,Dust separator,Watchdog reset");
  Answer(1, 9, "012000");
  EXPECT_EQ(Colour(4), info.GetIsolatedColour());
  Answer(1, 10, "600000");
  EXPECT_EQ(Line(5), "2-010  Alarms: Input 1,Input 2");
  EXPECT_EQ(Colour(5), info.GetNormalColour());
  EXPECT_EQ(host.writer.events.back().category, WE_INFORMATION);
}

TEST(AlarmColumnsTest, TheDisplaysOwnLinesSplitIntoColumnsAndAnyOtherStaysWhole) {
  AlarmColumns c = AlarmColumns::Split(
      "09/12/2026  03:04:05  1-005  (Plant (east) room)    Alarms: Fire 1    Evacuate");
  EXPECT_EQ(c.date, "09/12/2026");
  EXPECT_EQ(c.time, "03:04:05");
  EXPECT_EQ(c.device, "1-005");
  EXPECT_EQ(c.location, "Plant (east) room");
  EXPECT_EQ(c.state, "Alarms: Fire 1    Evacuate");

  c = AlarmColumns::Split("09/12/2026  03:04:05  2-010  Alarms: Input 1,Input 2");
  EXPECT_EQ(c.device, "2-010");
  EXPECT_EQ(c.location, "");
  EXPECT_EQ(c.state, "Alarms: Input 1,Input 2");

  c = AlarmColumns::Split("09/12/2026  03:04:05  1-001");  // nothing after the device
  EXPECT_EQ(c.device, "1-001");
  EXPECT_EQ(c.state, "");

  for (const char* other : {"", "Demonstration line", "09/12/2026 03:04:05 1-005 x",
                            "xx/12/2026  03:04:05  1-005  state"}) {
    c = AlarmColumns::Split(other);
    EXPECT_EQ(c.state, other);
    EXPECT_EQ(c.date + c.time + c.device + c.location, "");
  }
}

TEST_F(AlarmDispTest, SystemLogRecordsOfEachChange) {
  Answer(0, 1, "000000");
  Answer(0, 1, "010300");  // both flow bits at once
  EXPECT_EQ(Records(), std::vector<int>{SysLog::FLOWFAIL});
  Answer(0, 1, "012300");
  Answer(0, 1, "010400");  // isolation ends, flow faults clear silently
  Answer(0, 1, "080000");
  Answer(0, 1, "180000");
  EXPECT_EQ(Records(),
            (std::vector<int>{SysLog::FLOWFAIL, SysLog::ISOLATE, SysLog::DETECTORFAULT,
                              SysLog::DEISOLATE, SysLog::FIRE1ALARM, SysLog::FIRE2ALARM}));
  EXPECT_EQ(host.app->GetDeviceStatus(1), 0x18u);
  EXPECT_EQ(host.app->GetDeviceFaultStatus(1), 0u);
}

TEST_F(AlarmDispTest, UnchangedAnswersOnlyRepeatTheSoundUntilSilenced) {
  Answer(0, 5, "080000");
  const auto records = Records().size();
  const auto events = host.writer.events.size();
  view.log.clear();
  for (int i = 0; i < 10; ++i) {
    host.events.Advance(500);
    Answer(0, 5, i % 2 ? "880000" : "080011");  // loop-error bit and level are not status
  }
  EXPECT_EQ(Records().size(), records);
  EXPECT_EQ(host.writer.events.size(), events);
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(sound.played, (std::vector<std::string>{"bit08.wav", "bit08.wav"}));
  EXPECT_EQ(sound.ticks, (std::vector<std::uint32_t>{0, 3000}));

  // Silence stops the sound and the repetition and tells the device; the
  // next added line brings the sound back.
  disp.Select(0);
  disp.Silence();
  EXPECT_EQ(sound.stops, 1);
  ASSERT_EQ(viewer.frames.size(), 1u);
  EXPECT_EQ(viewer.loops[0], 0);
  EXPECT_EQ(viewer.frames[0], WithSum(std::string(">\x85") + "B000") + "\r");
  host.events.Advance(10000);
  Answer(0, 5, "080000");
  EXPECT_EQ(sound.played.size(), 2u);
  Answer(0, 6, "100000");
  host.events.Advance(3000);
  Answer(0, 5, "080000");
  EXPECT_EQ(sound.played,
            (std::vector<std::string>{"bit08.wav", "bit08.wav", "bit10.wav", "bit10.wav"}));
}

TEST_F(AlarmDispTest, LowerStatusAddsSilentlyAndRepetitionPicksTheMostImportantSound) {
  Answer(0, 1, "100000");  // fire 2, then faults on two later detectors
  Answer(0, 2, "010400");
  Answer(0, 3, "010400");
  EXPECT_EQ(sound.played.size(), 1u);
  EXPECT_EQ(disp.GetLastEvent(), 0x10u);
  host.events.Advance(3000);
  Answer(0, 3, "010400");
  EXPECT_EQ(sound.played.back(), "bit10.wav");
  Answer(0, 1, "000000");  // only the faults left
  host.events.Advance(3000);
  Answer(0, 3, "010400");
  EXPECT_EQ(sound.played.back(), "fault.wav");
  Answer(0, 2, "000000");  // nothing left to repeat
  Answer(0, 3, "000000");
  host.events.Advance(3000);
  Answer(0, 3, "000000");
  EXPECT_EQ(sound.played.size(), 3u);
  EXPECT_TRUE(disp.GetLastSound().empty());
}

TEST_F(AlarmDispTest, AlarmsWhileIsolatedFollowTheLevel) {
  info.SetAlarmsInIsolate(0x0E);
  Answer(0, 5, "012009");
  EXPECT_EQ(Line(0),
            "1-005  (Plant room)    Alarms: Pre-Alarm,Fire 1  Faults: Isolated    Evacuate");
  Answer(0, 5, "01200a");
  EXPECT_NE(Line(0).find("Alarms: Aux,Pre-Alarm,Fire 1"), std::string::npos);
  info.SetAlarmsInIsolate(0);
  Answer(0, 6, "01200a");
  EXPECT_EQ(Line(1), "1-006  Faults: Isolated");
}

TEST_F(AlarmDispTest, LoopErrorIsLookedAtOnEveryAnswer) {
  Answer(2, 0, "000000");
  Answer(2, 0, "810708");
  EXPECT_EQ(Line(0), "3-000  Faults:  Loop error between detectors 7 and 8");
  EXPECT_EQ(Colour(0), info.GetFaultColour());
  // The detector numbers are no fault flags: nothing is logged for them and
  // the device's fault record is left alone.
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(disp.GetDeviceFaultStatus(512), 0u);
  const auto events = host.writer.events.size();
  host.events.Advance(2000);
  Answer(2, 0, "810708");
  EXPECT_EQ(host.writer.events.size(), events);
  Answer(2, 0, "810709");  // the break moves: only the level byte differs
  EXPECT_EQ(Line(0), "3-000  Faults:  Loop error between detectors 7 and 9");
  EXPECT_EQ(host.writer.events.size(), events + 1);
  Answer(2, 0, "812109");  // detector 33 is not "isolated"
  EXPECT_EQ(Colour(0), info.GetFaultColour());
  Answer(2, 0, "000000");
  EXPECT_TRUE(disp.IsEmpty());
}

TEST_F(AlarmDispTest, EachDeviceOwnsOneLineWhateverTheTextsContain) {
  DeviceConfig d(0x10c, DETECTOR, PELORINVANTOR);  // 2-012
  d.SetLocation("Next to 12-012");
  site.InsertDevice(d);
  Answer(11, 12, "010400");  // 12-012
  Answer(1, 12, "010400");   // 2-012
  Answer(0, 12, "010400");   // 1-012
  Answer(1, 12, "080000");
  Answer(0, 12, "000000");
  ASSERT_EQ(disp.GetLines().size(), 2u);
  EXPECT_EQ(Line(0), "12-012  Faults: Detector");
  EXPECT_EQ(disp.GetLines()[1].device, 256 + 12);
  EXPECT_EQ(disp.FindSubString("2-012"), 0);  // a plain search still finds text
  EXPECT_EQ(view.log, (std::vector<std::string>{"+0", "+1", "+2", "-1", "+2", "-1"}));
}

TEST_F(AlarmDispTest, FirstFireMarkStaysWithTheFirstAlarmUntilTheListEmpties) {
  Answer(0, 2, "010400");  // a fault line uses no mark
  Answer(0, 2, "080000");  // the same device's alarm replaces its only line
  EXPECT_EQ(Colour(0), info.GetFirstFireColour());
  Answer(0, 3, "080000");
  EXPECT_EQ(Colour(1), info.GetFire1Colour());
  Answer(0, 2, "100000");  // still the first fire
  EXPECT_EQ(Colour(1), info.GetFirstFireColour());
  Answer(0, 2, "000000");
  Answer(0, 3, "000000");
  Answer(0, 6, "100000");
  EXPECT_EQ(Colour(0), info.GetFirstFireColour());
  disp.Clear();  // the command module of the first loop never takes the mark
  Answer(0, 0, "100000");
  EXPECT_EQ(Colour(0), info.GetFire2Colour());
}

TEST_F(AlarmDispTest, DeviceOutOfTouchFromStartUpIsLoggedAsCommsFailure) {
  // Never heard from: the poller's made-up failure answer is the first.
  Answer(0, 9, "010000");
  EXPECT_EQ(Records(), (std::vector<int>{SysLog::COMMSFAIL}));
  // A device that starts normal logs nothing, and its later failure once.
  Answer(0, 10, "000000");
  Answer(0, 10, "010000");
  Answer(0, 10, "010000");
  EXPECT_EQ(Records(), (std::vector<int>{SysLog::COMMSFAIL, SysLog::COMMSFAIL}));
  // After Clear every device is unknown again, and failing is news again.
  disp.Clear();
  Answer(0, 9, "010000");
  EXPECT_EQ(Records().size(), 3u);
}

TEST_F(AlarmDispTest, StatusRecordAndFramesItIgnores) {
  EXPECT_EQ(host.app->GetDeviceStatus(5), AlarmDisp::UNKNOWNSTATUS);
  EXPECT_EQ(host.app->GetDeviceFaultStatus(5), AlarmDisp::UNKNOWNFAULT);
  EXPECT_EQ(disp.GetDeviceStatus(16 * 256), 1u);
  EXPECT_EQ(disp.GetDeviceFaultStatus(-1), 0u);
  // A power supply's short answer, a cut-off answer and an answer from a
  // loop beyond the record change nothing.
  Frame(0, WithSum(std::string("*\x85") + "080000"));
  Frame(0, WithSum(std::string("@\x85") + "08"));
  disp.SetLoops(2);
  Answer(2, 5, "080000");
  EXPECT_TRUE(disp.IsEmpty());
  EXPECT_EQ(disp.GetDeviceStatus(5), AlarmDisp::UNKNOWNSTATUS);
  Answer(1, 5, "010400");
  disp.SetLoops(1);  // its loop goes, and the line with it
  EXPECT_TRUE(disp.IsEmpty());
  Answer(0, 5, "010400");
  disp.Clear();
  EXPECT_TRUE(disp.IsEmpty());
  EXPECT_EQ(disp.GetDeviceStatus(5), AlarmDisp::UNKNOWNSTATUS);
}

TEST_F(AlarmDispTest, ActionsOnTheSelectedDeviceAndTheConfiguredInputReset) {
  Answer(0, 5, "010400");
  Answer(1, 9, "012000");
  disp.Isolate();  // nothing selected
  EXPECT_FALSE(view.enabled);
  disp.Select(0);
  EXPECT_TRUE(view.enabled);
  disp.Isolate();
  disp.Zone();
  disp.Select(1);
  disp.Isolate();
  disp.Reset();
  disp.Zone();  // 2-009 is not configured
  disp.Map();
  EXPECT_EQ(isolated, (std::vector<int>{5, -(256 + 9)}));
  EXPECT_EQ(resets, std::vector<int>{256 + 9});
  EXPECT_EQ(zones, std::vector<int>{5});
  EXPECT_EQ(maps, std::vector<int>{256 + 9});
  // The selected line goes back to normal: nothing is announced, and the
  // buttons have nothing to act on.
  const auto events = host.writer.events.size();
  Answer(1, 9, "000000");
  EXPECT_EQ(host.writer.events.size(), events);
  int device = -1;
  EXPECT_FALSE(disp.GetSelectedDevice(device));
  EXPECT_FALSE(view.enabled);

  // An input set to reset the site does so once as it becomes active.
  DeviceConfig d(1, DETECTOR, PELORINVANTOR);
  d.SetInput1Mask(0x01);
  site.InsertDevice(d);
  resets.clear();
  for (const char* a : {"200000", "210400", "000000", "200000"}) Answer(0, 1, a);
  EXPECT_EQ(resets, (std::vector<int>{0, 0}));
}

TEST_F(AlarmDispTest, ButtonsSayWhatTheyCanDoForTheSelectedLine) {
  // Device 5 is in a zone the site defines, with a picture; device 6 has a
  // zone number the site does not know and no picture; 2-009 is not
  // configured at all.
  DeviceConfig zone(1, ZONE, PELORINVANTOR);
  zone.SetMap("zone1.bmp");
  site.InsertDevice(zone);
  site.GetDevice(5)->SetZone(1);
  site.GetDevice(6)->SetZone(7);
  Answer(0, 5, "010400");
  Answer(0, 6, "012000");
  Answer(1, 9, "012000");

  EXPECT_FALSE(disp.CanShowZone());  // nothing selected
  disp.Select(0);
  EXPECT_FALSE(disp.SelectedIsIsolated());
  EXPECT_TRUE(disp.CanShowZone());
  EXPECT_TRUE(disp.CanShowMap());
  disp.Select(1);
  EXPECT_TRUE(disp.SelectedIsIsolated());
  EXPECT_FALSE(disp.CanShowZone());
  EXPECT_FALSE(disp.CanShowMap());
  site.GetDevice(6)->SetMap("own.bmp");
  EXPECT_TRUE(disp.CanShowMap());
  disp.Select(2);
  EXPECT_FALSE(disp.CanShowZone());
  EXPECT_FALSE(disp.CanShowMap());

  // Without a view to show them in, neither is offered.
  disp.Select(0);
  disp.SetActions({});
  EXPECT_FALSE(disp.CanShowZone());
  EXPECT_FALSE(disp.CanShowMap());
}

// --- Acknowledgement ---------------------------------------------------------------

class AcknowledgeTest : public AlarmDispTest {
 protected:
  AcknowledgeTest() { disp.SetAcknowledgeModel(true); }

  // One step of a scenario: "A:SSFFLL" an answer from detector A of the
  // first loop, "ack:A", "ackall", "silence", "wait" (past the repetition).
  void Step(const std::string& step) {
    if (step == "ackall") {
      disp.AcknowledgeAll("Operator");
    } else if (step == "silence") {
      disp.Silence();
    } else if (step == "wait") {
      host.events.Advance(4000);
    } else if (step.rfind("ack:", 0) == 0) {
      disp.Acknowledge(std::stoi(step.substr(4)), "Operator");
    } else {
      const auto colon = step.find(':');
      Answer(0, std::stoi(step.substr(0, colon)), step.substr(colon + 1));
    }
  }
  std::string State(int device) const {
    const int i = disp.FindDevice(device);
    return i < 0 ? "gone" : disp.GetLines()[static_cast<std::size_t>(i)].StateName();
  }
};

TEST_F(AcknowledgeTest, EveryTransitionOfALine) {
  struct Row {
    const char* name;
    std::vector<std::string> steps;
    std::string state;  // of detector 1 after the last step
    bool soundedlast;   // the last step started a sound
  };
  const Row rows[] = {
      {"appears unacknowledged and sounds", {"1:080000"}, "unacknowledged", true},
      {"clears before it is seen and stays",
       {"1:080000", "1:000000"},
       "cleared, unacknowledged",
       false},
      {"cleared and acknowledged is gone", {"1:080000", "1:000000", "ack:1"}, "gone", false},
      {"acknowledged stays while active", {"1:080000", "ack:1"}, "acknowledged", false},
      {"acknowledged then cleared is gone", {"1:080000", "ack:1", "1:000000"}, "gone", false},
      {"acknowledged returns unacknowledged",
       {"1:080000", "ack:1", "1:000000", "1:080000"},
       "unacknowledged",
       true},
      {"cleared returns with the same text",
       {"1:080000", "1:000000", "1:080000"},
       "unacknowledged",
       true},
      {"a higher alarm undoes the acknowledgement",
       {"1:080000", "ack:1", "1:180000"},
       "unacknowledged",
       true},
      {"a lower alarm keeps it", {"1:180000", "ack:1", "1:080000"}, "acknowledged", false},
      {"a new fault flag undoes it", {"1:010400", "ack:1", "1:010c00"}, "unacknowledged", true},
      {"a fault flag going keeps it", {"1:010c00", "ack:1", "1:010400"}, "acknowledged", false},
      {"silence does not acknowledge", {"1:080000", "silence"}, "unacknowledged", false},
      {"acknowledge all", {"1:080000", "2:010400", "ackall"}, "acknowledged", false},
      {"a lower alarm after a silenced fire 2 sounds",
       {"2:100000", "silence", "1:010400"},
       "unacknowledged",
       true},
      {"an acknowledged alarm is not repeated",
       {"1:080000", "ack:1", "wait", "1:080000"},
       "acknowledged",
       false},
      {"an unacknowledged one is", {"1:080000", "wait", "1:080000"}, "unacknowledged", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    disp.Clear();
    host.events.Advance(60000);  // every row starts past any repetition
    std::size_t played = 0;
    for (const std::string& step : row.steps) {
      played = sound.played.size();
      Step(step);
    }
    EXPECT_EQ(State(1), row.state);
    EXPECT_EQ(sound.played.size() > played, row.soundedlast);
  }
}

TEST_F(AcknowledgeTest, AcknowledgementIsRecordedWithUserDeviceAndState) {
  Answer(0, 5, "080000");
  Answer(0, 5, "000000");
  Answer(0, 6, "100000");
  const std::size_t events = host.writer.events.size();
  EXPECT_EQ(disp.UnacknowledgedCount(), 2u);
  EXPECT_FALSE(disp.Acknowledge(7, "Operator"));  // no line
  EXPECT_EQ(disp.AcknowledgeAll("Operator"), 2u);
  EXPECT_EQ(disp.AcknowledgeAll("Operator"), 0u);  // nothing left waiting
  ASSERT_EQ(host.writer.events.size(), events + 2);
  EXPECT_EQ(host.writer.events[events].text,
            "Acknowledged by user 'Operator': Detector 1-005  (Plant room)    Alarms: Fire 1    "
            "Evacuate (cleared)");
  EXPECT_EQ(host.writer.events[events + 1].text,
            "Acknowledged by user 'Operator': Detector 1-006  Alarms: Fire 2");
  // The system log has both, after the alarms they acknowledge, with the
  // status bits and whether the line had cleared.
  const std::string log = host.home.Read("system.ev2");
  ASSERT_GE(log.size(), 10u + 2 * 24);
  EXPECT_EQ(log.substr(log.size() - 48 + 10, 14), "000500fe080100");
  EXPECT_EQ(log.substr(log.size() - 24 + 10, 14), "000600fe100000");
  EXPECT_EQ(Records().back(), SysLog::ACKNOWLEDGE);
  // The event log window reads them as records, not as damage.
  EventLog reader(nullptr, 16, 0, host.app->GetServices().translator);
  ASSERT_TRUE(reader.Load((host.home / "system.ev2").string()));
  EXPECT_EQ(reader.DamageCount(), 0u);
  ASSERT_GE(reader.EventCount(), 2u);
  EXPECT_NE(reader.GetEventLine(reader.EventCount() - 2).find("1-005  Acknowledged"),
            std::string::npos);
}

TEST_F(AcknowledgeTest, SwitchedOffNothingWaitsAndNothingIsAcknowledged) {
  host.ini.WriteString("AlarmViewer", "Acknowledge", "1");
  EXPECT_TRUE(AlarmDisp::ReadAcknowledge(host.ini));
  host.ini.WriteString("AlarmViewer", "Acknowledge", "0");
  EXPECT_FALSE(AlarmDisp::ReadAcknowledge(host.ini));

  Answer(0, 1, "080000");
  Answer(0, 2, "080000");
  Answer(0, 2, "000000");
  ASSERT_EQ(disp.GetLines().size(), 2u);
  // Switching off drops what was kept only to be seen.
  disp.SetAcknowledgeModel(false);
  ASSERT_EQ(disp.GetLines().size(), 1u);
  EXPECT_EQ(disp.GetLines()[0].device, 1);
  EXPECT_FALSE(disp.Acknowledge(1, "Operator"));
  EXPECT_EQ(disp.AcknowledgeAll("Operator"), 0u);
  EXPECT_EQ(disp.UnacknowledgedCount(), 0u);
  Answer(0, 1, "000000");
  EXPECT_TRUE(disp.IsEmpty());
}

// A loop fails while two others report alarms: 500 changes in 10 s.
TEST_F(AcknowledgeTest, FloodOfFiveHundredChangesIsRecordedInOrderAndBannered) {
  EXPECT_EQ(disp.FloodBanner(), "");
  std::vector<int> expected;
  auto change = [&](int loop, int address, const char* digits, int code) {
    Answer(loop, address, digits);
    expected.push_back(code);
    host.events.Advance(20);
  };
  // Loop 3 was heard from before it failed.
  for (int a = 1; a <= 127; ++a) Answer(2, a, "000000");
  for (int a = 1; a <= 127; ++a) {
    change(2, a, "010000", SysLog::COMMSFAIL);
    change(0, a, "080000", SysLog::FIRE1ALARM);
    change(1, a, "040000", SysLog::PREALARM);
  }
  for (int a = 1; a <= 119; ++a) change(0, a, "180000", SysLog::FIRE2ALARM);
  ASSERT_EQ(expected.size(), 500u);
  EXPECT_EQ(Records(), expected);
  EXPECT_EQ(disp.GetLines().size(), 381u);
  EXPECT_EQ(disp.UnacknowledgedCount(), 381u);
  EXPECT_TRUE(disp.InFlood());
  // Lines in the last 10 minutes: every new one, the fire 2s included.
  EXPECT_EQ(disp.FloodBanner(), "Alarm flood: 500 new alarms and faults in the last 10 minutes");
  // The viewer: the first fire on top, then the loops by their worst line.
  std::vector<std::string> headings;
  const std::vector<AlarmRow> rows = disp.ShownRows();
  for (const AlarmRow& r : rows)
    if (r.heading) headings.push_back(disp.GroupHeading(r.group));
  EXPECT_TRUE(rows.front().pinned);
  EXPECT_EQ(disp.GetLines()[rows.front().line].device, 1);
  EXPECT_EQ(headings, (std::vector<std::string>{"Loop 1: 126 lines: 126 fire alarms",
                                                "Loop 2: 127 lines: 127 pre-alarms",
                                                "Loop 3: 127 lines: 127 faults"}));

  // Ten minutes after the eleventh-newest line the flood is over.
  host.events.Advance(600 * 1000);
  EXPECT_FALSE(disp.InFlood());
  EXPECT_EQ(disp.FloodBanner().rfind("Alarm flood ended at 22:23:", 0), 0u) << disp.FloodBanner();
  // The banner speaks the operator's language, the date written the German way.
  host.app->GetServices().translator.SetLanguage(4);
  EXPECT_EQ(disp.FloodBanner().rfind("Alarmflut beendet um 22:23:", 0), 0u) << disp.FloodBanner();
  EXPECT_NE(disp.FloodBanner().find('.'), std::string::npos) << disp.FloodBanner();
  host.app->GetServices().translator.SetLanguage(0);
  // Ten lines are no flood.
  disp.Clear();
  for (int a = 1; a <= 10; ++a) Answer(3, a, "010000");
  EXPECT_FALSE(disp.InFlood());
  EXPECT_EQ(disp.FloodBanner(), "");
  Answer(3, 11, "010000");
  EXPECT_TRUE(disp.InFlood());
}

TEST_F(AcknowledgeTest, ViewerOrderFollowsTheLinesAsTheyChange) {
  auto shown = [&] {
    std::vector<std::string> out;
    for (const AlarmRow& r : disp.ShownRows()) {
      const AlarmLine& l = disp.GetLines()[r.line];
      out.push_back((r.pinned ? "*" : "") + l.text.substr(22, 5));
    }
    return out;
  };
  Answer(0, 1, "010400");  // detector fault
  Answer(0, 2, "040000");  // pre-alarm
  Answer(0, 3, "080000");  // the first fire
  Answer(0, 6, "100000");  // a fire 2 after it
  EXPECT_EQ(shown(), (std::vector<std::string>{"*1-003", "1-006", "1-002", "1-001"}));
  // The first fire gains a fault: its line is replaced at the bottom of the
  // list, and stays pinned on top of the viewer.
  Answer(0, 3, "090400");
  EXPECT_EQ(disp.GetLines().back().device, 3);
  EXPECT_EQ(shown(), (std::vector<std::string>{"*1-003", "1-006", "1-002", "1-001"}));
  // The pre-alarm becomes a fire: among the fires, after those before it.
  Answer(0, 2, "080000");
  EXPECT_EQ(shown(), (std::vector<std::string>{"*1-003", "1-006", "1-002", "1-001"}));
  // Cleared before it was seen, the fire 2 drops below what is going on.
  Answer(0, 6, "000000");
  EXPECT_EQ(shown(), (std::vector<std::string>{"*1-003", "1-002", "1-001", "1-006"}));
  // Without acknowledgement the viewer shows the lines as they came.
  disp.SetAcknowledgeModel(false);
  EXPECT_EQ(shown(), (std::vector<std::string>{"1-001", "1-003", "1-002"}));
}

}  // namespace
}  // namespace quillark::test
