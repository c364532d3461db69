#include "core/status/alrmdisp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/events/syslog.h"
#include "core/platform/soundplayer.h"
#include "core/site/config.h"
#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

using C = EventInfo;

class RecordingSound : public SoundPlayer {
 public:
  explicit RecordingSound(const VirtualEventLoop& clock) : clock(clock) {}
  void Play(const std::filesystem::path& file, bool synchronous) override {
    EXPECT_FALSE(synchronous);
    played.push_back({file.string(), clock.TickCount()});
  }
  void Stop() override { ++stops; }
  struct Played {
    std::string file;
    std::uint32_t tick;
  };
  std::vector<Played> played;
  int stops = 0;
  const VirtualEventLoop& clock;
};

class RecordingView : public AlarmDispObserver {
 public:
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

class AlarmDispTest : public ::testing::Test {
 protected:
  AlarmDispTest() {
    host.Start(16);
    host.app->SetBusViewer(&viewer);
    DeviceConfig d5(5, DETECTOR, PELORINVANTOR);
    d5.SetLocation("Plant room");
    d5.SetEventSound(0x08, "fire1.wav");
    d5.SetEventText(0x08, "Evacuate");
    d5.SetEventSound(0x10, "fire2.wav");
    d5.SetEventSound(0x01, "fault.wav");
    for (int a : {1, 2, 3, 6}) {
      DeviceConfig d(static_cast<std::uint32_t>(a), DETECTOR, PELORINVANTOR);
      d.SetEventSound(0x10, "fire2.wav");
      d.SetEventSound(0x08, "fire1.wav");
      d.SetEventSound(0x01, "fault.wav");
      d.SetEventSound(0x20, "input1.wav");
      site.InsertDevice(d);
    }
    site.InsertDevice(d5);
    disp.SetObserver(&view);
    disp.SetActions({[this](int d, bool on) { isolated.push_back(on ? d : -d); },
                     [this](int d) { resets.push_back(d); }, [this](int d) { zones.push_back(d); },
                     [this](int d) { maps.push_back(d); }});
    host.app->SetDeviceStatusSource(&disp);
  }
  ~AlarmDispTest() override {
    host.app->SetDeviceStatusSource(nullptr);
    host.app->SetBusViewer(nullptr);
  }

  void Answer(int loop, int address, const std::string& digits) {
    std::string f = WithSum(std::string("@") + static_cast<char>(address | 0x80) + digits);
    host.app->DespatchRxMessage(loop, f.c_str(), static_cast<int>(f.size()), false);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const AlarmLine& l : disp.GetLines()) out.push_back(l.text);
    return out;
  }
  // Event codes of the system log records, in order.
  std::vector<int> Records() const {
    std::string text = std::filesystem::exists(host.home / "system.ev2")
                           ? host.home.Read("system.ev2")
                           : std::string();
    std::vector<int> codes;
    for (std::size_t at = 10; at + 24 <= text.size(); at += 24)
      codes.push_back(std::stoi(text.substr(at + 14, 4), nullptr, 16));
    return codes;
  }
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < viewer.frames.size(); ++i)
      out.push_back(std::to_string(viewer.loops[i]) + ":" + viewer.frames[i]);
    viewer.frames.clear();
    viewer.loops.clear();
    return out;
  }

  AppHost host;
  RecordingReceiver viewer{host.app.get()};
  RecordingSound sound{host.events};
  RecordingView view;
  EventInfo info;
  TSiteConfig site;
  SysLog syslog{host.home / "system.ev2", host.events};
  AlarmDisp disp{*host.app, sound, info, &syslog, &site, 16, 3};
  std::vector<int> isolated, resets, zones, maps;
};

TEST_F(AlarmDispTest, LineLayoutColoursEventsAndRecords) {
  info.SetShowFF(false);
  Answer(0, 12, "000000");
  EXPECT_TRUE(disp.IsEmpty());
  Answer(0, 12, "090000");  // fire 1 with a fault bit and no fault flags
  ASSERT_EQ(disp.GetLines().size(), 1u);
  const AlarmLine& l = disp.GetLines()[0];
  EXPECT_EQ(l.text, std::string(START) + "1-012  Alarms: Fire 1  Faults: Comms failure");
  EXPECT_EQ(l.colour, info.GetFire1Colour());
  EXPECT_EQ(Records(), (std::vector<int>{SysLog::FIRE1ALARM, SysLog::COMMSFAIL}));
  ASSERT_EQ(host.writer.events.size(), 1u);
  EXPECT_EQ(host.writer.events[0].category, WE_ALARM);
  EXPECT_EQ(host.writer.events[0].text, "Detector 1-012  Alarms: Fire 1  Faults: Comms failure");
  EXPECT_EQ(view.shows, 1);

  // Location and the event text of the highest alarm; the fire keeps its
  // own sound and text even with a communications failure on the line.
  Answer(0, 5, "190000");
  EXPECT_EQ(disp.GetLines()[1].text, std::string(START) +
                                         "1-005  (Plant room)    Alarms: Fire 1,Fire 2  Faults: "
                                         "Comms failure");
  EXPECT_EQ(disp.GetLines()[1].colour, info.GetFire2Colour());
  EXPECT_EQ(sound.played.back().file, "fire2.wav");
  Answer(0, 5, "080000");
  EXPECT_EQ(disp.GetLines()[1].text.substr(22),
            "1-005  (Plant room)    Alarms: Fire 1    Evacuate");

  // Faults: both flow bits are one fault; isolation has its own colour;
  // inputs alone are information in the normal colour.
  Answer(1, 7, "010300");
  EXPECT_EQ(disp.GetLines()[2].text.substr(22), "2-007  Faults: Flow sensor fail");
  EXPECT_EQ(disp.GetLines()[2].colour, info.GetFaultColour());
  Answer(1, 8, "01c500");
  EXPECT_EQ(disp.GetLines()[3].text.substr(22),
            "2-008  Faults: Low flow,Detector,Dust separator,Watchdog reset");
  Answer(1, 9, "012000");
  EXPECT_EQ(disp.GetLines()[4].colour, info.GetIsolatedColour());
  Answer(1, 10, "600000");
  EXPECT_EQ(disp.GetLines()[5].text.substr(22), "2-010  Alarms: Input 1,Input 2");
  EXPECT_EQ(disp.GetLines()[5].colour, info.GetNormalColour());
  EXPECT_EQ(host.writer.events.back().category, WE_INFORMATION);
  EXPECT_EQ(host.writer.events[5].category, WE_FAULT);
}

TEST_F(AlarmDispTest, SystemLogRecordsOfEachChange) {
  using V = std::vector<int>;
  Answer(0, 1, "000000");
  Answer(0, 1, "010300");  // both flow bits at once
  EXPECT_EQ(Records(), V{SysLog::FLOWFAIL});
  Answer(0, 1, "012300");
  Answer(0, 1, "010400");  // isolation ends, flow faults clear silently
  Answer(0, 1, "080000");
  Answer(0, 1, "180000");
  EXPECT_EQ(Records(), (V{SysLog::FLOWFAIL, SysLog::ISOLATE, SysLog::DETECTORFAULT,
                          SysLog::DEISOLATE, SysLog::FIRE1ALARM, SysLog::FIRE2ALARM}));
  EXPECT_EQ(disp.GetDeviceStatus(1), 0x18u);
  EXPECT_EQ(host.app->GetDeviceFaultStatus(1), 0u);
}

TEST_F(AlarmDispTest, UnchangedAnswersOnlyRepeatTheSound) {
  Answer(0, 5, "080000");
  ASSERT_EQ(sound.played.size(), 1u);
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
  // Repeated every 3 s on the virtual clock: at 3000 and 4500 ms... only once.
  ASSERT_EQ(sound.played.size(), 2u);
  EXPECT_EQ(sound.played[1].tick, 3000u);
  EXPECT_EQ(sound.played[1].file, "fire1.wav");

  // Silence stops the repetition and tells the device; the next line
  // brings the sound back.
  disp.Select(0);
  disp.Silence();
  EXPECT_EQ(sound.stops, 1);
  const std::string silence = WithSum(std::string(">\x85") + "B000") + "\r";
  EXPECT_EQ(Sent(), std::vector<std::string>{"0:" + silence});
  host.events.Advance(10000);
  Answer(0, 5, "080000");
  EXPECT_EQ(sound.played.size(), 2u);
  Answer(0, 6, "100000");
  Answer(0, 5, "080000");
  EXPECT_EQ(sound.played.size(), 3u);  // the new fire 2 line
  host.events.Advance(3000);
  Answer(0, 5, "080000");
  EXPECT_EQ(sound.played.back().file, "fire2.wav");
}

TEST_F(AlarmDispTest, LowerStatusAddsSilentlyAndRepetitionPicksTheMostImportantSound) {
  Answer(0, 1, "100000");  // fire 2 on detector 1
  Answer(0, 2, "010400");  // then faults on 2 and 3: added without a sound
  Answer(0, 3, "010400");
  ASSERT_EQ(sound.played.size(), 1u);
  EXPECT_EQ(disp.GetLastEvent(), 0x10u);
  host.events.Advance(3000);
  Answer(0, 3, "010400");
  ASSERT_EQ(sound.played.size(), 2u);
  EXPECT_EQ(sound.played[1].file, "fire2.wav");
  // Only the faults left: their sound is repeated.
  Answer(0, 1, "000000");
  host.events.Advance(3000);
  Answer(0, 3, "010400");
  EXPECT_EQ(sound.played.back().file, "fault.wav");
  // Nothing left: nothing repeated.
  Answer(0, 2, "000000");
  Answer(0, 3, "000000");
  host.events.Advance(3000);
  Answer(0, 3, "000000");
  EXPECT_EQ(sound.played.size(), 3u);
  EXPECT_TRUE(disp.GetLastSound().empty());
}

TEST_F(AlarmDispTest, ReturnToNormalRemovesTheLineSilently) {
  Answer(0, 5, "010400");
  disp.Select(0);
  EXPECT_TRUE(view.enabled);
  const auto events = host.writer.events.size();
  Answer(0, 5, "000000");
  EXPECT_TRUE(disp.IsEmpty());
  EXPECT_EQ(host.writer.events.size(), events);
  EXPECT_FALSE(view.enabled);
  EXPECT_EQ(disp.GetSelectedIndex(), -1);
}

TEST_F(AlarmDispTest, AlarmsWhileIsolatedFollowTheLevel) {
  info.SetAlarmsInIsolate(0x0E);
  Answer(0, 5, "012009");
  EXPECT_EQ(disp.GetLines()[0].text.substr(22),
            "1-005  (Plant room)    Alarms: Pre-Alarm,Fire 1  Faults: Isolated    Evacuate");
  Answer(0, 5, "01200a");
  EXPECT_NE(disp.GetLines()[0].text.find("Alarms: Aux,Pre-Alarm,Fire 1"), std::string::npos);
  info.SetAlarmsInIsolate(0);
  Answer(0, 6, "01200a");
  EXPECT_EQ(disp.GetLines()[1].text.substr(22), "1-006  Faults: Isolated");
}

TEST_F(AlarmDispTest, LoopErrorIsLookedAtOnEveryAnswer) {
  Answer(2, 0, "000000");
  Answer(2, 0, "810708");
  ASSERT_EQ(disp.GetLines().size(), 1u);
  EXPECT_EQ(disp.GetLines()[0].text.substr(22),
            "3-000  Faults:  Loop error between detectors 7 and 8");
  EXPECT_EQ(disp.GetLines()[0].colour, info.GetFaultColour());
  // The detector numbers are no fault flags: nothing is logged for them and
  // the device's fault record is left alone.
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(disp.GetDeviceFaultStatus(512), 0u);
  const auto events = host.writer.events.size();
  host.events.Advance(2000);
  Answer(2, 0, "810708");
  EXPECT_EQ(host.writer.events.size(), events);
  // The break moves: only the level byte changed, and the line follows it.
  Answer(2, 0, "810709");
  EXPECT_EQ(disp.GetLines()[0].text.substr(22),
            "3-000  Faults:  Loop error between detectors 7 and 9");
  EXPECT_EQ(host.writer.events.size(), events + 1);
  Answer(2, 0, "812109");  // detector 33: not "isolated"
  EXPECT_EQ(disp.GetLines()[0].colour, info.GetFaultColour());
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
  ASSERT_EQ(disp.GetLines().size(), 3u);
  Answer(1, 12, "080000");
  Answer(0, 12, "000000");
  ASSERT_EQ(disp.GetLines().size(), 2u);
  EXPECT_EQ(disp.GetLines()[0].device, 11 * 256 + 12);
  EXPECT_EQ(disp.GetLines()[0].text.substr(22), "12-012  Faults: Detector");
  EXPECT_EQ(disp.GetLines()[1].device, 256 + 12);
  EXPECT_EQ(disp.FindSubString("2-012"), 0);  // a plain search still finds text
  EXPECT_EQ(view.log, (std::vector<std::string>{"+0", "+1", "+2", "-1", "+2", "-1"}));
}

TEST_F(AlarmDispTest, FirstFireMarkStaysWithTheFirstAlarmUntilTheListEmpties) {
  Answer(0, 2, "010400");  // a fault line uses no mark
  Answer(0, 2, "080000");  // the same device's alarm replaces its only line
  EXPECT_EQ(disp.GetLines()[0].colour, info.GetFirstFireColour());
  Answer(0, 3, "080000");
  EXPECT_EQ(disp.GetLines()[1].colour, info.GetFire1Colour());
  Answer(0, 2, "100000");  // still the first fire
  EXPECT_EQ(disp.GetLines()[1].colour, info.GetFirstFireColour());
  Answer(0, 2, "000000");
  Answer(0, 3, "000000");
  EXPECT_TRUE(disp.IsFirstFire());
  Answer(0, 6, "100000");
  EXPECT_EQ(disp.GetLines()[0].colour, info.GetFirstFireColour());
  // The command module of the first loop never takes the mark.
  disp.Clear();
  Answer(0, 0, "100000");
  EXPECT_EQ(disp.GetLines()[0].colour, info.GetFire2Colour());
}

TEST_F(AlarmDispTest, StatusRecordAndFramesItIgnores) {
  EXPECT_EQ(host.app->GetDeviceStatus(5), AlarmDisp::UNKNOWNSTATUS);
  EXPECT_EQ(host.app->GetDeviceFaultStatus(5), AlarmDisp::UNKNOWNFAULT);
  EXPECT_EQ(disp.GetDeviceStatus(16 * 256), 1u);
  EXPECT_EQ(disp.GetDeviceFaultStatus(-1), 0u);
  // A power supply's short answer, a cut-off answer and an answer from a
  // loop beyond the record change nothing.
  std::string psu = WithSum(
      "*\x85"
      "080000");
  host.app->DespatchRxMessage(0, psu.c_str(), static_cast<int>(psu.size()), false);
  std::string cut = WithSum(
      "@\x85"
      "08");
  host.app->DespatchRxMessage(0, cut.c_str(), static_cast<int>(cut.size()), false);
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
  EXPECT_EQ(view.log.back(), "clear");
}

TEST_F(AlarmDispTest, ButtonsActOnTheSelectedDevice) {
  Answer(0, 5, "010400");
  Answer(1, 9, "012000");
  disp.Isolate();  // nothing selected
  EXPECT_TRUE(isolated.empty());
  disp.Select(0);
  disp.Isolate();
  disp.Select(1);
  disp.Isolate();
  EXPECT_EQ(isolated, (std::vector<int>{5, -(256 + 9)}));
  disp.Reset();
  EXPECT_EQ(resets, std::vector<int>{256 + 9});
  disp.Zone();  // 2-009 is not configured
  disp.Map();
  disp.Select(0);
  disp.Zone();
  EXPECT_EQ(zones, std::vector<int>{5});
  EXPECT_EQ(maps, std::vector<int>{256 + 9});
  int device = -1;
  ASSERT_TRUE(disp.GetSelectedDevice(device));
  EXPECT_EQ(device, 5);
  disp.Select(7);
  EXPECT_FALSE(disp.GetSelectedDevice(device));
}

TEST_F(AlarmDispTest, ConfiguredInputResetsTheSiteOnceAsItRises) {
  DeviceConfig d(1, DETECTOR, PELORINVANTOR);
  d.SetInput1Mask(0x01);
  site.InsertDevice(d);
  Answer(0, 1, "200000");
  Answer(0, 1, "210400");  // a later change of the same device
  Answer(0, 1, "000000");
  Answer(0, 1, "200000");
  EXPECT_EQ(resets, (std::vector<int>{0, 0}));
}

}  // namespace
}  // namespace quillark::test
