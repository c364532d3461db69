#include "core/events/syslog.h"

#include <gtest/gtest.h>

#include <ctime>

#include "core/access/translator.h"
#include "core/views/eventlog.h"
#include "support/fakelogfiles.h"
#include "support/recorders.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark {
namespace {

using E = SysLog::eventtype;

// 31 December 2026, 23:45 (tests run with TZ=UTC).
std::time_t NewYearsEve2026() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 31;
  tm.tm_hour = 23;
  tm.tm_min = 45;
  return timegm(&tm);
}

class SysLogFile : public ::testing::Test {
 protected:
  test::TempDir home;
  test::VirtualEventLoop clock{0, NewYearsEve2026()};
  SysLog syslog{home / "system.ev2", clock};
};

TEST_F(SysLogFile, HeaderOnANewFileThenOneRecordPerEvent) {
  EXPECT_EQ(syslog.GetLogFilename(), home / "system.ev2");
  ASSERT_TRUE(syslog.WriteEvent(0x105, SysLog::FIRE2ALARM, 255, 0, 0));
  EXPECT_EQ(home.Read("system.ev2"), "1fc7ea172d1fc7ea172d0105006fff0000");

  clock.Advance(60 * 1000);
  ASSERT_TRUE(syslog.WriteEvent(0, SysLog::RESET, 0, 0, 0));
  std::string text = home.Read("system.ev2");
  ASSERT_EQ(text.size(), 10u + 24 + 24);
  EXPECT_EQ(text.substr(34), "1fc7ea172e00000034000000");

  // Out-of-range fields are cut to their width: every record stays 24 long.
  ASSERT_TRUE(syslog.WriteEvent(0x10105, SysLog::ISOLATE, 0x1ff, 0x100, 0x2ab));
  text = home.Read("system.ev2");
  ASSERT_EQ(text.size(), 10u + 3 * 24);
  EXPECT_EQ(text.substr(58 + 10), "01050041ff00ab");
}

TEST_F(SysLogFile, UnwritableLogIsReportedOnceNotSilently) {
  test::RecordingEventWriter events;
  SysLog nowhere(home / "missing" / "system.ev2", clock, &events);
  EXPECT_FALSE(nowhere.WriteEvent(1, SysLog::RESET, 0, 0, 0));
  EXPECT_FALSE(nowhere.WriteEvent(1, SysLog::RESET, 0, 0, 0));
  EXPECT_FALSE(std::filesystem::exists(home / "missing"));
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_EQ(events.events[0].category, WE_SYSLOG);
  EXPECT_NE(events.events[0].text.find("cannot be written"), std::string::npos);
}

// Whatever happened to the file between two records, the next record lands
// on a record boundary of a file that starts with a header.
class DamagedSysLog : public SysLogFile {
 protected:
  test::RecordingEventWriter events;
  test::FillingDisk disk;
  SysLog guarded{home / "system.ev2", clock, &events, &disk};

  std::size_t Records() {
    Translator tr(nullptr, nullptr);
    EventLog log(nullptr, 1, 0, tr);
    EXPECT_TRUE(log.Load((home / "system.ev2").string()));
    for (std::size_t i = 0; i < log.EventCount(); ++i)
      EXPECT_EQ(log.GetEvent(i).year, 2026) << log.GetEventLine(i);
    return log.EventCount();
  }
};

TEST_F(DamagedSysLog, EmptiedFileGetsItsHeaderBack) {
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::FIRE2ALARM, 255, 0, 0));
  home.Write("system.ev2", "");  // log rotation with copytruncate
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::RESET, 0, 0, 0));
  EXPECT_EQ(home.Read("system.ev2").size(), 10u + 24);
  EXPECT_EQ(Records(), 1u);
  EXPECT_TRUE(events.events.empty());
}

TEST_F(DamagedSysLog, FileCutMidRecordIsKeptAsideAndANewOneBegun) {
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::FIRE2ALARM, 255, 0, 0));
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::ISOLATE, 255, 0, 0));
  const std::string cut = home.Read("system.ev2").substr(0, 10 + 24 + 13);
  home.Write("system.ev2", cut);

  ASSERT_TRUE(guarded.WriteEvent(0x106, SysLog::RESET, 0, 0, 0));
  EXPECT_EQ(home.Read("system.ev2").size(), 10u + 24);
  EXPECT_EQ(Records(), 1u);
  const std::filesystem::path aside = guarded.DamagedName();
  EXPECT_EQ(aside.filename(), "system.ev2.damaged-20261231-234500");
  EXPECT_EQ(home.Read(aside.filename().string()), cut);
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_NE(events.events[0].text.find(aside.string()), std::string::npos);

  // A second damage in the same second never overwrites the first copy.
  home.Write("system.ev2", "1fc7ea172d1fc7");
  ASSERT_TRUE(guarded.WriteEvent(0x106, SysLog::RESET, 0, 0, 0));
  EXPECT_EQ(home.Read(aside.filename().string()), cut);
  EXPECT_EQ(home.Read(aside.filename().string() + "-2"), "1fc7ea172d1fc7");
}

TEST_F(DamagedSysLog, FullDiskCutsTheRecordBackAndSaysSoOnce) {
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::FIRE2ALARM, 255, 0, 0));
  disk.space = 7;  // room for part of one record only
  EXPECT_FALSE(guarded.WriteEvent(0x105, SysLog::FIRE1ALARM, 255, 0, 0));
  EXPECT_EQ(home.Read("system.ev2").size(), 10u + 24);
  disk.space = 0;
  EXPECT_FALSE(guarded.WriteEvent(0x105, SysLog::PREALARM, 255, 0, 0));
  ASSERT_EQ(events.events.size(), 1u);

  disk.space = 1000;
  ASSERT_TRUE(guarded.WriteEvent(0x105, SysLog::RESET, 0, 0, 0));
  EXPECT_EQ(home.Read("system.ev2").size(), 10u + 2 * 24);
  EXPECT_EQ(Records(), 2u);
  ASSERT_EQ(events.events.size(), 2u);
  EXPECT_NE(events.events[1].text.find("written again"), std::string::npos);

  // A header and record cut short on a new file leave no half header behind.
  home.Write("system.ev2", "");
  disk.space = 12;
  EXPECT_FALSE(guarded.WriteEvent(0x105, SysLog::RESET, 0, 0, 0));
  EXPECT_EQ(home.Read("system.ev2"), "");
}

TEST_F(SysLogFile, ChangesAreReadBackByTheEventLog) {
  syslog.WriteStatusChange(0x105, 0x00, 0x0e, 0x00, 0x00);  // aux, pre-alarm, fire 1
  syslog.WriteStatusChange(0x105, 0x0e, 0x0e, 0x00, 0x20);  // isolated
  syslog.WriteReset(0);
  Translator tr(nullptr, nullptr);
  EventLog log(nullptr, 1, 0, tr);
  ASSERT_TRUE(log.Load((home / "system.ev2").string()));
  ASSERT_EQ(log.EventCount(), 5u);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < log.EventCount(); ++i) texts.push_back(log.GetEventLine(i));
  auto padded = [](std::string s) {
    s.resize(45, ' ');
    return s;
  };
  EXPECT_EQ(texts[0], padded("31/12/2026  23:45  2-005  Aux"));
  EXPECT_EQ(texts[2], padded("31/12/2026  23:45  2-005  Fire 1"));
  EXPECT_EQ(texts[3], padded("31/12/2026  23:45  2-005  Isolate"));
  EXPECT_EQ(texts[4], padded("31/12/2026  23:45  1-000  Bus Reset"));
}

TEST(SysLogChanges, StatusBitsGiveNewAlarmsOnly) {
  using V = std::vector<E>;
  EXPECT_EQ(SysLog::ChangeEvents(0x08, 0x18, 0, 0), V{SysLog::FIRE2ALARM});
  EXPECT_EQ(SysLog::ChangeEvents(0x00, 0x1e, 0, 0),
            (V{SysLog::AUXALARM, SysLog::PREALARM, SysLog::FIRE1ALARM, SysLog::FIRE2ALARM}));
  EXPECT_EQ(SysLog::ChangeEvents(0x1e, 0x00, 0, 0), V{});  // clearing writes nothing
  // A fault flag with no fault named: the device stopped answering.
  EXPECT_EQ(SysLog::ChangeEvents(0x00, 0x01, 0, 0), V{SysLog::COMMSFAIL});
  EXPECT_EQ(SysLog::ChangeEvents(0x00, 0x01, 0, 0x04), V{SysLog::DETECTORFAULT});
  EXPECT_EQ(SysLog::ChangeEvents(0x01, 0x01, 0, 0), V{});  // not newly set
  // A device out of touch from start-up: its first answer is the failure.
  EXPECT_EQ(SysLog::ChangeEvents(0x8001, 0x01, 0x100, 0), V{SysLog::COMMSFAIL});
  EXPECT_EQ(SysLog::ChangeEvents(0x8001, 0x00, 0x100, 0), V{});
}

TEST(SysLogChanges, FaultBitsGiveNewFaultsAndEveryIsolationChange) {
  using V = std::vector<E>;
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x00, 0x03), V{SysLog::FLOWFAIL});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x01, 0x03), V{SysLog::FLOWHIGH});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x00, 0x01), V{SysLog::FLOWLOW});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x20, 0x00), V{SysLog::DEISOLATE});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x00, 0x20), V{SysLog::ISOLATE});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x04, 0x00), V{});
  EXPECT_EQ(SysLog::ChangeEvents(1, 1, 0x00, 0x7c),
            (V{SysLog::DETECTORFAULT, SysLog::MAINSFAULT, SysLog::BATTERYFAULT, SysLog::ISOLATE,
               SysLog::SEPARATORFAULT}));
  // Alarms come before faults.
  EXPECT_EQ(SysLog::ChangeEvents(0x00, 0x09, 0x00, 0x08),
            (V{SysLog::FIRE1ALARM, SysLog::MAINSFAULT}));
}

}  // namespace
}  // namespace quillark
