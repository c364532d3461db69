#include "core/views/eventlog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/site/config.h"
#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

std::string Head(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute) {
  return Format("%02x%01x%03x%02x%02x", day, month, year, hour, minute);
}

std::string Rec(unsigned day, unsigned month, unsigned year, unsigned address, unsigned code,
                unsigned d1 = 0xff, unsigned d2 = 0, unsigned d3 = 0, unsigned hour = 12,
                unsigned minute = 0) {
  return Head(day, month, year, hour, minute) +
         Format("%04x%04x%02x%02x%02x", address, code, d1, d2, d3);
}

// A frame of `kind` to or from bus address `addr`; `rest` starts with the letter.
std::string Frame(char kind, int addr, const std::string& rest) {
  return std::string{kind, static_cast<char>(addr | 0x80)} + rest;
}

std::string Padded(std::string s) {
  if (s.size() < 45) s.resize(45, ' ');
  return s;
}

std::vector<std::string> Lines(const EventLog& log) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < log.EventCount(); ++i) out.push_back(log.GetEventLine(i));
  return out;
}

// Counts what a view would be told.
class CountingObserver : public EventLogObserver {
 public:
  void EventsCleared() override {
    ++cleared;
    total = 0;
  }
  void EventsAdded(std::size_t first, std::size_t count) override {
    EXPECT_EQ(first, total);
    total = first + count;
    ++batches;
  }
  void RecentDocument(const std::string& path) override { recent.push_back(path); }
  int cleared = 0, batches = 0;
  std::size_t total = 0;
  std::vector<std::string> recent;
};

class Decoding : public ::testing::Test {
 protected:
  Translator tr{nullptr, nullptr};
  EventLog log{nullptr, 1, 0, tr};
};

TEST_F(Decoding, HeaderGivesTheReadDateAndTime) {
  log.DisplayEventLog("1fc7d0172d");
  EXPECT_EQ(log.GetReadDate(), "31/12/2000");
  EXPECT_EQ(log.GetReadTime(), "23:45");
  EXPECT_EQ(log.EventCount(), 0u);
}

TEST_F(Decoding, LinesShowDateTimeDeviceAndText) {
  log.DisplayEventLog(Head(1, 2, 2003, 4, 5) + Rec(9, 8, 2001, 0x205, 93, 0xff, 0, 0, 7, 6) +
                      Rec(9, 8, 2001, 0x205, 0x00ff) +  // empty record
                      Rec(1, 1, 2001, 0x000, 117, 7) +  // loop break at the module
                      Rec(1, 1, 2001, 0x105, 117) +     // 117 elsewhere: its table text
                      Rec(1, 1, 2001, 0x001, 0x1234) +  // no text
                      Rec(1, 1, 2001, 0x001, 86));
  EXPECT_EQ(Lines(log),
            (std::vector<std::string>{Padded("09/08/2001  07:06  3-005  Battery fault"),
                                      Padded("01/01/2001  12:00  1-000  Loop break 000<--x-->007"),
                                      Padded("01/01/2001  12:00  2-005  Unknown event: 117"),
                                      Padded("01/01/2001  12:00  1-001  Unknown event: 4660"),
                                      Padded("01/01/2001  12:00  1-001  Separator renew")}));
}

TEST_F(Decoding, ExtraTextsFollowThePaddedLineWhenDataIsGiven) {
  const struct {
    unsigned code, d1, d2, d3;
    const char* text;
    const char* extra;
  } cases[] = {
      {0, 3, 0, 0, "Watchdog reset", "Count: 3"},
      {59, 2, 0, 0, "Flow sensor fail", "Code: 2"},
      {94, 5, 1, 0, "Low flow", "Flow: 05% Pipe: 1"},
      {111, 7, 1, 2, "Fire 2", "Level: 07% Time: 0258 sec."},
      {113, 0, 0, 0, "Pre-Alarm", "Level: 00% Time: 0000 sec."},
      {120, 4, 1, 2, "Process error", "Error: 04"},
      {120, 9, 0xab, 0xcd, "Process error", "Error: 09 XOR: abcd"},
      {129, 12, 34, 56, "Function change", "Fn: 012 New: 034 Old: 056"},
      {184, 0, 10, 200, "Flow calibration", "Pipe: 1 Lo: 0080 Hi: 1600"},
      {65, 1, 2, 3, "Isolate", ""},
      // The program's own acknowledgement record: the status bits of the
      // line, and whether it had cleared.
      {254, 0x08, 1, 0, "Acknowledged", "Status: 08 (cleared)"},
      {254, 0x10, 0, 0, "Acknowledged", "Status: 10"},
  };
  std::string text = Head(1, 1, 2001, 0, 0);
  for (const auto& c : cases) text += Rec(2, 3, 2004, 0x010, c.code, c.d1, c.d2, c.d3, 5, 6);
  text += Rec(2, 3, 2004, 0x010, 111, 0xff, 1, 2, 5, 6);  // no data: no extra text
  log.DisplayEventLog(text);
  ASSERT_EQ(log.EventCount(), std::size(cases) + 1);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(log.GetEventLine(i),
              Padded(std::string("02/03/2004  05:06  1-016  ") + cases[i].text) + cases[i].extra);
  EXPECT_EQ(log.GetEventLine(std::size(cases)), Padded("02/03/2004  05:06  1-016  Fire 2"));

  // A text that fills the padding is not padded further.
  log.ClearEvents();
  log.AddEvent(1, 1, 2001, 0, 0, 0x010, 167, 0xff, 0, 0);  // a long text, cut to 63
  EXPECT_EQ(log.GetEventLine(0).size(), 26u + 63u);
}

TEST_F(Decoding, CsvHasOneColumnPerFieldIsoTimesAndQuotesWhatNeedsIt) {
  EXPECT_EQ(EventLog::CsvField("Fire 1"), "Fire 1");
  EXPECT_EQ(EventLog::CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(EventLog::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(EventLog::CsvField("two\nlines"), "\"two\nlines\"");
  log.DisplayEventLog(Head(1, 1, 2001, 0, 0) + Rec(2, 3, 2004, 0x10a, 112, 40, 0, 3, 5, 6) +
                      Rec(31, 12, 2026, 0x000, 52, 0xff, 0, 0, 23, 59) +
                      Rec(1, 1, 2027, 0x0f05, 94, 5, 1, 0, 0, 0));
  ASSERT_EQ(log.EventCount(), 3u);
  EXPECT_EQ(log.GetCsvLine(0), "2004-03-02T05:06,2-010,112,Fire 1,Level: 40% Time: 0003 sec.");
  EXPECT_EQ(log.GetCsvLine(1), "2026-12-31T23:59,1-000,52,Bus Reset,");
  EXPECT_EQ(log.GetCsvLine(2), "2027-01-01T00:00,16-005,94,Low flow,Flow: 05% Pipe: 1");

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(log.WriteCsv(file));
  std::rewind(file);
  char buffer[512] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  const std::string csv(buffer, n);
  EXPECT_EQ(csv.rfind("time,device,code,event,detail\r\n2004-03-02T05:06,", 0), 0u) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
  EXPECT_FALSE(log.WriteCsv(nullptr));
}

TEST_F(Decoding, OnlyCompleteRecordsUpToCrOrNul) {
  const std::string head = Head(1, 1, 2001, 0, 0);
  const std::string one = Rec(1, 1, 2001, 1, 52);
  log.DisplayEventLog(head + one + "5a");  // a check sum after the last record
  EXPECT_EQ(log.EventCount(), 1u);
  log.DisplayEventLog(head + one + one.substr(0, 23));
  EXPECT_EQ(log.EventCount(), 2u);
  log.DisplayEventLog(head + one + "\r" + one);
  EXPECT_EQ(log.EventCount(), 3u);
  log.DisplayEventLog(head + one + std::string(1, '\0') + one);
  EXPECT_EQ(log.EventCount(), 4u);
  log.ClearEvents();
  log.DisplayEventLog("\r" + head + one);
  log.DisplayEventLog("1fc7d");  // no complete header
  EXPECT_EQ(log.EventCount(), 0u);
  EXPECT_EQ(log.GetReadDate(), "");
}

TEST_F(Decoding, CategoriesFollowTheFilter) {
  const std::string text = Head(1, 1, 2001, 0, 0) + Rec(5, 1, 2001, 1, 94) +
                           Rec(5, 1, 2001, 1, 112, 40, 0, 3) + Rec(5, 1, 2001, 1, 66) +
                           Rec(5, 1, 2001, 1, 148) + Rec(5, 1, 2001, 1, 254, 8, 0, 0);
  EventFilterStruct alarms;
  for (int b = FB_RESET; b <= FB_NONE; ++b) alarms.Box(static_cast<filterbox>(b)) = 0;
  alarms.alarm = 1;
  log.SetFilter(alarms);
  log.DisplayEventLog(text);
  ASSERT_EQ(log.EventCount(), 2u);  // low flow without data stays hidden
  EXPECT_NE(log.GetEventLine(0).find("Fire 1"), std::string::npos);
  EXPECT_NE(log.GetEventLine(1).find("Acknowledged"), std::string::npos);

  EventFilterStruct none;
  none.none = 1;  // wins over every ticked category
  log.ClearEvents();
  log.SetFilter(none);
  log.DisplayEventLog(text);
  EXPECT_EQ(log.EventCount(), 0u);
}

TEST_F(Decoding, DateFilterIncludesBothEnds) {
  EventFilterStruct f;
  f.date = 1;
  f.SetStart("01/01/2001");
  f.SetEnd("31/01/2001");
  log.SetFilter(f);
  log.DisplayEventLog(Head(1, 1, 2001, 0, 0) + Rec(31, 12, 2000, 1, 52) + Rec(1, 1, 2001, 1, 52) +
                      Rec(31, 1, 2001, 1, 52) + Rec(1, 2, 2001, 1, 52));
  ASSERT_EQ(log.EventCount(), 2u);
  EXPECT_EQ(log.GetEventLine(0).substr(0, 10), "01/01/2001");
  EXPECT_EQ(log.GetEventLine(1).substr(0, 10), "31/01/2001");
}

TEST_F(Decoding, SearchByDeviceZoneCategoryPeriodAndTextOnTopOfTheFilter) {
  const std::string text = Head(1, 1, 2026, 0, 0) +
                           Rec(5, 1, 2026, 0x105, 112, 40, 0, 3) +  // 2-005 fire 1
                           Rec(6, 1, 2026, 0x105, 148) +            // 2-005 comms failure
                           Rec(7, 1, 2026, 0x007, 113) +            // 1-007 pre-alarm
                           Rec(8, 1, 2026, 0x20a, 148) +            // 3-010 comms failure
                           Rec(9, 2, 2026, 0x105, 65);              // 2-005 isolate
  log.DisplayEventLog(text);
  ASSERT_EQ(log.EventCount(), 5u);
  CountingObserver view;
  log.SetObserver(&view);

  TSiteConfig site;
  site.InsertDevice(DeviceConfig(3, ZONE));
  for (std::uint32_t a : {0x007u, 0x20Au}) {
    DeviceConfig d(a, DETECTOR);
    d.SetZone(3);
    site.InsertDevice(d);
  }
  auto found = [&](const std::string& query) {
    EventSearch search;
    std::string error;
    EXPECT_TRUE(ParseEventSearch(query, &site, search, error)) << error;
    log.SetSearch(search);
    std::vector<std::string> days;
    for (std::size_t i = 0; i < log.EventCount(); ++i)
      days.push_back(log.GetEventLine(i).substr(0, 5));
    return days;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(found("device:2-005"), (V{"05/01", "06/01", "09/02"}));
  EXPECT_EQ(found("zone:3"), (V{"07/01", "08/01"}));
  EXPECT_EQ(found("category:alarms"), (V{"05/01", "07/01"}));
  EXPECT_EQ(found("from:2026-01-06 to:7/1/2026"), (V{"06/01", "07/01"}));
  EXPECT_EQ(found("comms FAILURE"), (V{"06/01", "08/01"}));
  // The extra text of a record is part of its line.
  EXPECT_EQ(found("level: 40%"), (V{"05/01"}));
  EXPECT_EQ(found("device:2-005 category:faults from:2026-01-06"), (V{"06/01"}));
  EXPECT_EQ(found("zone:3 comms"), (V{"08/01"}));
  EXPECT_EQ(found("device:9-001"), V{});
  EXPECT_EQ(view.total, 0u);  // the view was told of the empty list
  // The filter's boxes still apply under a search, and both survive the
  // other being changed.
  found("device:2-005");
  EventFilterStruct isolates;
  for (int b = FB_RESET; b <= FB_NONE; ++b) isolates.Box(static_cast<filterbox>(b)) = 0;
  isolates.isolate = 1;
  log.SetFilter(isolates);
  EXPECT_EQ(log.EventCount(), 1u);
  EXPECT_EQ(found(""), (V{"09/02"}));
  log.SetFilter(EventFilterStruct{});
  EXPECT_EQ(log.EventCount(), 5u);
  // Records that arrive later pass through the same search.
  found("category:isolates");
  log.DisplayEventLog(Head(1, 1, 2026, 0, 0) + Rec(10, 2, 2026, 0x105, 66) +
                      Rec(10, 2, 2026, 0x105, 111));
  EXPECT_EQ(log.EventCount(), 2u);
  EXPECT_EQ(view.total, 2u);
  log.SetObserver(nullptr);
}

TEST(EventFilter, NewFilterShowsEverythingAndDialogRules) {
  EventFilterStruct f;
  for (int b = FB_RESET; b <= FB_ALL; ++b) EXPECT_EQ(f.Box(static_cast<filterbox>(b)), 1) << b;
  EXPECT_EQ(f.none, 0);
  EXPECT_EQ(f.date, 0);
  EXPECT_STREQ(f.start, "");

  SetFilterBox(f, FB_NONE, true);
  for (int b = FB_RESET; b <= FB_ALL; ++b) EXPECT_EQ(f.Box(static_cast<filterbox>(b)), 0) << b;
  EXPECT_EQ(f.none, 1);

  SetFilterBox(f, FB_FAULT, true);
  EXPECT_EQ(f.fault, 1);
  EXPECT_EQ(f.isolate, 1);
  EXPECT_EQ(f.none, 0);
  EXPECT_EQ(f.all, 0);
  EXPECT_EQ(f.reset, 0);

  SetFilterBox(f, FB_ALL, true);
  for (int b = FB_RESET; b <= FB_ALL; ++b) EXPECT_EQ(f.Box(static_cast<filterbox>(b)), 1) << b;
  EXPECT_EQ(f.none, 0);

  SetFilterBox(f, FB_ISOLATE, false);  // clearing a box touches nothing else
  EXPECT_EQ(f.isolate, 0);
  EXPECT_EQ(f.all, 1);

  f.SetEnd("31/01/2001 and far too much");
  EXPECT_STREQ(f.end, "31/01/2001 ");
}

TEST(EventFilter, SummaryAndBoxNamesFollowTheLanguageButStayEnglishForTheConsole) {
  Translator tr(nullptr, nullptr);
  EventFilterStruct f;
  EXPECT_EQ(f.Summary(&tr), "");  // everything shown: nothing to say
  SetFilterBox(f, FB_NONE, true);
  SetFilterBox(f, FB_ALARM, true);
  SetFilterBox(f, FB_FAULT, true);
  f.date = 1;
  f.SetStart("1/1/2024");
  f.SetEnd("31/1/2024");
  const std::string english = "Filter: Isolates, Alarms, Faults between 1/1/2024 and 31/1/2024";
  EXPECT_EQ(f.Summary(), english);
  EXPECT_EQ(f.Summary(&tr), english);

  tr.SetLanguage(4);
  EXPECT_EQ(f.Summary(&tr),
            "Filter: Abschaltungen, Alarme, Störungen zwischen 1/1/2024 und 31/1/2024");
  EXPECT_EQ(f.Summary(), english);  // the console's answer is pinned to English
  EXPECT_EQ(FilterBoxName(FB_FAULT, &tr), "Störungen");
  EXPECT_EQ(FilterBoxName(FB_FAULT, nullptr), "Faults");
  SetFilterBox(f, FB_NONE, true);
  EXPECT_EQ(f.Summary(&tr), "Filter: nichts angezeigt");

  // Every box has a name of its own in every offered language.
  for (int language : {0, 2, 3, 4, 6, 8, 9, 11, 17}) {
    tr.SetLanguage(language);
    std::set<std::string> names;
    for (int b = 0; b < FB_COUNT; ++b) names.insert(FilterBoxName(static_cast<filterbox>(b), &tr));
    EXPECT_EQ(names.size(), static_cast<std::size_t>(FB_COUNT)) << language;
  }
}

TEST(EventAnswer, WideningInsertsTheLoopAndWidensTheCode) {
  const std::string frame = WithSum(Frame(
      '<', 0x12, "E0460f37d00e120f37d00e1112660000000b37d0010312760000000917cf0a1112650000ff"));
  // Header, then each record with loop 02 before and 00 after its device byte.
  const std::string widened = std::string("0f37d00e12") + "0f37d00e11021200660000" + "00" +
                              "0b37d00103021200760000" + "00" + "0917cf0a11021200650000" + "ff";
  EXPECT_EQ(EventLog::WidenAnswer(frame, 2), widened);
  // A record cut short is left out, and so is a frame without a header.
  EXPECT_EQ(EventLog::WidenAnswer(frame.substr(0, 54) + "ab", 0).size(), 10u + 24);
  EXPECT_EQ(EventLog::WidenAnswer(Frame('<', 0x12, "E0460f37d"), 0), "");
  EXPECT_EQ(EventLog::WidenAnswer(WithSum(Frame('<', 0x12, "E0460f37d00e12")), 15), "0f37d00e12");
}

TEST(EventLogDevices, SelectorListsTheModuleTheLoopsDetectorsAndAll) {
  Translator tr(nullptr, nullptr);
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(0x105, DETECTOR));
  site.InsertDevice(DeviceConfig(0x203, DETECTOR));
  site.InsertDevice(DeviceConfig(0x10c, DETECTOR));
  site.InsertDevice(DeviceConfig(0x102, POWERSUPPLY));
  auto choices = EventLog::DeviceChoices(&site, 1, tr);
  ASSERT_EQ(choices.size(), 4u);
  const std::pair<std::string, int> expected[] = {{"Command module", 0x100},
                                                  {"Detector 005", 0x105},
                                                  {"Detector 012", 0x10c},
                                                  {"All detectors", EventLog::ALLDETECTORS}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(choices[i].label, expected[i].first);
    EXPECT_EQ(choices[i].device, expected[i].second);
  }
}

class EventLogFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (host.home / name).string(); }
  AppHost host;
  Translator& tr = host.app->GetServices().translator;
  CountingObserver seen;
  const std::string text = Head(1, 1, 2001, 0, 0) + Rec(5, 1, 2001, 0x105, 112, 40, 0, 3) +
                           Rec(6, 1, 2001, 0x105, 94) + Rec(7, 1, 2001, 0x105, 0x00ff) +
                           Rec(8, 1, 2001, 0x206, 65);
};

TEST_F(EventLogFiles, SavedLogLoadsBackToTheSameList) {
  host.home.Write("in.ev2", text + "\r\n");  // an editor's line end is no damage
  EventLog log(&host.Bus(), 1, 0, tr, Path("in.ev2"));
  log.SetObserver(&seen);
  log.SetupWindow();
  ASSERT_EQ(log.EventCount(), 3u);
  EXPECT_EQ(seen.total, 3u);
  EXPECT_EQ(log.GetLogText(), text);
  EXPECT_TRUE(host.prompter.prompts.empty());

  ASSERT_TRUE(log.Save(Path("out.EV2")));
  EXPECT_EQ(host.home.Read("out.EV2"), text);
  // A .csv name gets the filtered view as CSV: here the alarms only.
  EventFilterStruct alarms = log.GetFilter();
  alarms.isolate = alarms.reset = alarms.fault = alarms.powerups = 0;
  log.SetFilter(alarms);
  ASSERT_TRUE(log.Save(Path("out.csv")));
  const std::string csv = host.home.Read("out.csv");
  EXPECT_EQ(csv.rfind("time,device,code,event,detail\r\n2001-01-05T12:00,2-005,", 0), 0u) << csv;
  std::size_t rows = 0;
  for (char c : csv) rows += c == '\n';
  EXPECT_EQ(log.EventCount(), 1u);
  EXPECT_EQ(rows, 2u);
  log.SetFilter(EventFilterStruct{});
  ASSERT_TRUE(log.Save(Path("out.txt")));
  std::string exported;
  for (const std::string& line : Lines(log)) exported += line + "\r\n";
  EXPECT_EQ(host.home.Read("out.txt"), exported);
  EXPECT_EQ(exported.substr(0, 47 + 24),
            Padded("05/01/2001  12:00  2-005  Fire 1") + "Level: 40% Time: 0003 sec.");

  EventLog again(&host.Bus(), 1, 0, tr);
  ASSERT_TRUE(again.Load(Path("out.EV2")));
  EXPECT_EQ(Lines(again), Lines(log));
  EXPECT_EQ(seen.recent,
            (std::vector<std::string>{Path("in.ev2"), Path("out.EV2"), Path("out.txt")}));
  EXPECT_FALSE(std::filesystem::exists(host.home / "out.txt.part"));
}

// Whatever damaged the log, every record that can still be decoded is shown,
// and each place where text was skipped is marked in the list.
TEST_F(EventLogFiles, DamageIsMarkedAndEveryRecordAfterItShown) {
  const std::string head = Head(1, 1, 2001, 0, 0);
  const std::string a = Rec(5, 1, 2001, 0x105, 112, 40, 0, 3), b = Rec(6, 1, 2001, 0x105, 94),
                    c = Rec(8, 1, 2001, 0x206, 65), d = Rec(9, 1, 2001, 0x207, 52, 0, 0, 0);
  const std::string mark3 = "---- damaged log: 3 characters skipped here ----";
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> lines;  // "" for each good record, else the mark
  } cases[] = {
      {"foreign character",
       head + a + b.substr(0, 5) + "D" + b.substr(6) + c + d,
       {"", "---- damaged log: 24 characters skipped here ----", "", ""}},
      {"line end inside a record",
       head + a + b.substr(0, 12) + "\r\n" + b.substr(12) + c + d,
       {"", "---- damaged log: 26 characters skipped here ----", "", ""}},
      {"cut record then a new file glued on",
       head + a + b.substr(0, 13) + head + c + d,
       {"", "---- damaged log: 23 characters skipped here ----", "", ""}},
      {"NULs in the middle", head + a + b + std::string(3, '\0') + c + d, {"", "", mark3, "", ""}},
      {"cut at the end", head + a + b + c.substr(0, 3), {"", "", mark3}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    host.home.Write("bad.ev2", k.file);
    EventLog log(&host.Bus(), 1, 0, tr);
    EXPECT_TRUE(log.Load(Path("bad.ev2")));
    std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), k.lines.size());
    std::string kept = head;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (k.lines[i].empty())
        EXPECT_EQ(lines[i].substr(0, 10), Format("%02u/01/2001", log.GetEvent(i).day));
      else
        EXPECT_EQ(lines[i], k.lines[i]);
    }
    EXPECT_EQ(log.DamageCount(), 1u);
    // What is kept (and saved) is the log without the damage.
    EXPECT_EQ(log.GetLogText().size(), 10 + 24 * (lines.size() - 1));
    EXPECT_EQ(log.GetLogText().find_first_not_of("0123456789abcdef"), std::string::npos);
  }
  // Damage is no failure to read: nothing to acknowledge.
  EXPECT_TRUE(host.prompter.prompts.empty());

  // A mark passes any filter that shows something.
  host.home.Write("bad.ev2", head + a + "\r" + c);
  EventLog log(&host.Bus(), 1, 0, tr);
  EventFilterStruct isolates;
  SetFilterBox(isolates, FB_NONE, true);
  SetFilterBox(isolates, FB_ISOLATE, true);
  isolates.none = 0;
  log.SetFilter(isolates);
  ASSERT_TRUE(log.Load(Path("bad.ev2")));
  ASSERT_EQ(Lines(log).size(), 2u);
  EXPECT_EQ(Lines(log)[0], "---- damaged log: 1 characters skipped here ----");
}

TEST_F(EventLogFiles, OnlyTheNewestRecordsOfALongLogAreRead) {
  std::string file = Head(1, 1, 2001, 0, 0);
  for (unsigned day = 1; day <= 10; ++day) file += Rec(day, 2, 2001, 0x105, 112);
  file += Rec(11, 2, 2001, 0x105, EventLog::EMPTYRECORD);
  host.home.Write("long.ev2", file);

  EventLog log(&host.Bus(), 1, 0, tr);
  ASSERT_TRUE(log.LoadNewest(Path("long.ev2"), 4));
  ASSERT_EQ(log.EventCount(), 3u);  // the empty record takes a place
  EXPECT_EQ(log.GetEvent(0).day, 8);
  EXPECT_EQ(log.OlderRecordsNotRead(), 7u);
  EXPECT_EQ(log.GetReadDate(), "01/01/2001");

  // Enough is read for the lines asked for, empty records or not.
  ASSERT_TRUE(log.LoadLast(Path("long.ev2"), 10));
  ASSERT_EQ(log.EventCount(), 10u);
  EXPECT_EQ(log.GetEvent(0).day, 1);
  EXPECT_EQ(log.OlderRecordsNotRead(), 0u);

  // Out of step after older damage, the tail finds the records again.
  file.insert(10 + 24 + 7, "\r");
  host.home.Write("long.ev2", file);
  ASSERT_TRUE(log.LoadNewest(Path("long.ev2"), 4));
  ASSERT_GE(log.EventCount(), 2u);
  EXPECT_EQ(log.GetEvent(log.EventCount() - 1).day, 10);
  EXPECT_EQ(log.GetEvent(log.EventCount() - 2).day, 9);
}

TEST_F(EventLogFiles, MissingFileKeepsTheListAndUnwritableSaveSaysSo) {
  EventLog log(&host.Bus(), 1, 0, tr);
  log.DisplayEventLog(text);
  ASSERT_EQ(log.EventCount(), 3u);
  EXPECT_FALSE(log.Load(Path("absent.ev2")));
  EXPECT_EQ(log.EventCount(), 3u);
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  EXPECT_EQ(host.prompter.prompts[0].text, "Cannot open file.");
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);

  EXPECT_FALSE(log.Save(Path("no/such/dir/out.ev2")));
  ASSERT_EQ(host.prompter.prompts.size(), 2u);
  EXPECT_EQ(host.prompter.prompts[1].caption, "error");
  EXPECT_EQ(host.prompter.prompts[1].text, "Cannot open file.");
  EXPECT_EQ(host.prompter.prompts[1].icon, PromptIcon::INFORMATION);

  // A folder opens but cannot be read: a failed load, not an empty log.
  EXPECT_FALSE(log.Load(host.home.Path().string()));
  EXPECT_EQ(host.prompter.prompts.size(), 3u);
}

// Reads over the demonstration loops, which answer ">" "E000" at once.
class EventLogBus : public ::testing::Test {
 protected:
  EventLogBus() : wire(&host.Bus()) {}
  void Start(int loops = 1) {
    host.Set("Comm", "Loops", std::to_string(loops));
    host.Start(loops);
    host.app->GetBus().SetBusViewer(&wire);
  }
  AppHost host;
  RecordingReceiver wire;  // sees every frame sent and received
  Translator& tr = host.app->GetServices().translator;
};

TEST_F(EventLogBus, SingleDetectorReadShowsTheDemonstrationLog) {
  Start();
  const std::size_t timers = host.events.ActiveTimers();
  EventLog log(&host.Bus(), 1, 0x12, tr);
  log.SetupWindow();
  ASSERT_GE(wire.frames.size(), 2u);
  EXPECT_EQ(wire.frames[0], WithSum(Frame('>', 0x12, "E000")) + "\r");
  EXPECT_EQ(log.GetReadDate(), "15/03/2000");
  EXPECT_EQ(log.GetReadTime(), "14:18");
  EXPECT_EQ(Lines(log), (std::vector<std::string>{
                            Padded("15/03/2000  14:17  1-018  Access code"),
                            Padded("11/03/2000  01:03  1-018  Mains fault"),
                            Padded("09/01/1999  10:17  1-018  Power-up"),
                        }));
  EXPECT_EQ(log.GetLogText().size(), 10u + 3 * 24);
  EXPECT_FALSE(log.IsReading());
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  EXPECT_EQ(host.events.ActiveTimers(), timers);  // the answer time-out is gone

  // Reload reads again rather than adding to the list.
  log.DetectorChanged(0x12);
  EXPECT_EQ(log.EventCount(), 3u);
}

TEST_F(EventLogBus, SilentDeviceReleasesPollingAfterTheAnswerTime) {
  Start();
  {
    EventLog log(&host.Bus(), 1, 0x000, tr);  // the demonstration module keeps quiet
    log.SetupWindow();
    ASSERT_FALSE(wire.frames.empty());
    EXPECT_EQ(wire.frames[0], WithSum(Frame(':', 1, "E000")) + "\r");
    EXPECT_TRUE(log.IsReading());
    EXPECT_TRUE(host.app->GetBus().IsPollPaused());
    host.events.Advance(3000 + 4010 - 1);
    EXPECT_TRUE(host.app->GetBus().IsPollPaused());
    host.events.Advance(1);
    EXPECT_FALSE(host.app->GetBus().IsPollPaused());

    // A power supply is asked as one, by its bus address; closing the
    // window before any answer releases polling as well.
    wire.frames.clear();
    log.GetEvents(128 + 2);
    ASSERT_FALSE(wire.frames.empty());
    EXPECT_EQ(wire.frames[0], WithSum(Frame('#', 3, "E000")) + "\r");
    EXPECT_TRUE(host.app->GetBus().IsPollPaused());
  }
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  host.events.Advance(10000);  // the closed log's time-out must not fire
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
}

TEST_F(EventLogBus, OtherFramesAndOverdueAnswersAreHandledSafely) {
  Start();
  EventLog log(&host.Bus(), 1, 0x12, tr);
  log.SetupWindow();
  ASSERT_EQ(log.EventCount(), 3u);
  // Not an event log answer: ignored.
  const std::string other = WithSum(Frame('<', 0x12, "G000"));
  host.app->DespatchRxMessage(0, other.c_str(), static_cast<int>(other.size()), true);
  EXPECT_EQ(log.EventCount(), 3u);
  // A later answer replaces the list and the log instead of mixing with them.
  const std::string late = WithSum(Frame('<', 5, "E0460f37d00e120f37d00e1105660000ff"));
  host.app->DespatchRxMessage(1, late.c_str(), static_cast<int>(late.size()), true);
  ASSERT_EQ(log.EventCount(), 1u);
  EXPECT_EQ(log.GetLogText(), std::string("0f37d00e12") + "0f37d00e11010500660000" + "ff");
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
}

// Stands in for the bus scanner: walks the positions on every loop, forwards
// the answers of the position being asked, and counts what it is told.
class FakeScanner : public MsgClass, public ScanProgress {
 public:
  FakeScanner(BusHost* host, MsgClass& owner) : MsgClass(host), owner(owner) {}
  ~FakeScanner() override { DeRegister(); }
  int Run(const ScanRequest& r) {
    request = r;
    Register(this, MSG_LONG);
    for (device = r.startdevice; device <= r.enddevice; ++device) {
      for (int loop = 0; loop < r.loops; ++loop) {
        char buf[FRAMEBUFFER];
        std::memcpy(buf, r.msg.data(), r.msg.size());
        buf[0] = '>';
        buf[1] = static_cast<char>(device | 0x80);
        SendBusMessage(loop, buf, static_cast<int>(r.msg.size()));
      }
    }
    DeRegister();
    return 1;
  }
  void MsgRx(int loop, const char* msg) override {
    if ((msg[1] & 0x7F) == device) owner.MsgRx(loop, msg);
  }
  void MessageReceived(int dev) override { received.push_back(dev); }

  MsgClass& owner;
  ScanRequest request;
  int device = 0;
  std::vector<int> received;
};

TEST_F(EventLogBus, AllDetectorsGivesOneHeaderAndEveryDevicesRecords) {
  Start(2);
  EventLog log(&host.Bus(), 2, EventLog::ALLDETECTORS, tr);
  std::unique_ptr<FakeScanner> scanner;
  bool pausedduringscan = false;
  log.SetScanRunner([&](MsgClass& owner, const ScanRequest& r, ScanProgress*& running) {
    scanner = std::make_unique<FakeScanner>(&host.Bus(), owner);
    running = scanner.get();
    pausedduringscan = host.app->GetBus().IsPollPaused();
    return scanner->Run(r);
  });
  CountingObserver seen;
  log.SetObserver(&seen);
  const std::size_t receivers = host.app->GetBus().RegisteredReceivers();
  log.SetupWindow();

  ASSERT_NE(scanner, nullptr);
  EXPECT_TRUE(pausedduringscan);
  const ScanRequest& r = scanner->request;
  EXPECT_EQ(std::make_tuple(r.loops, r.startdevice, r.enddevice, r.msg, r.extratimeout),
            std::make_tuple(2, 1, 127, std::string("xxE000"), 4010u));

  // Each answer once, whichever way it came.
  const std::size_t records = 127 * 2 * 3;
  ASSERT_EQ(log.EventCount(), records);
  EXPECT_EQ(seen.total, records);
  EXPECT_EQ(log.GetLogText().size(), 10 + records * 24);
  EXPECT_EQ(log.GetLogText().substr(0, 10), "0f37d00e12");
  EXPECT_EQ(log.GetLogText().substr(10 + 3 * 24 + 10, 4), "0101");
  EXPECT_EQ(log.GetEventLine(0).substr(19, 5), "1-001");
  EXPECT_EQ(log.GetEventLine(3).substr(19, 5), "2-001");
  EXPECT_EQ(log.GetEventLine(records - 1).substr(19, 5), "2-127");
  ASSERT_EQ(scanner->received.size(), 254u);
  EXPECT_EQ(scanner->received[1], 0x101);
  EXPECT_EQ(scanner->received[253], 0x17f);

  // Afterwards: polling runs, the log listens again, and the whole log shows
  // again through a new filter.
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
  EXPECT_TRUE(log.IsRegistered());
  EXPECT_EQ(host.app->GetBus().RegisteredReceivers(), receivers + 1);
  EventFilterStruct powerups;
  SetFilterBox(powerups, FB_NONE, true);
  SetFilterBox(powerups, FB_POWERUPS, true);
  powerups.none = 0;
  log.SetFilter(powerups);
  EXPECT_EQ(log.EventCount(), 127u * 2);

  // Without a scanner nothing is read and polling goes on.
  log.SetScanRunner(nullptr);
  log.GetEvents(EventLog::ALLDETECTORS);
  EXPECT_EQ(log.EventCount(), 0u);
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
}

}  // namespace
}  // namespace quillark::test
