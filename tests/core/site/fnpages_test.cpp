#include "core/site/fnpages.h"

#include <gtest/gtest.h>

#include <string>

#include "core/access/translator.h"
#include "core/site/detector.h"

namespace quillark {
namespace {

// One page of a model over a set whose every value is `fill`.
struct PageFixture {
  PageFixture(int bit, int model, int fill = 5, int version = 30) {
    set.SetType(model);
    set.SetVersion(version);
    for (int i = 0; i < FunctionSet::COUNT; ++i) set.SetFunction(i, fill);
    page = FnMakePage(bit, model, version);
    entries = FnLoadPage(page, set);
  }
  FnEntry& Entry(const std::string& label) {
    for (std::size_t i = 0; i < page.controls.size(); ++i)
      if (page.controls[i].label == label) return entries[i];
    ADD_FAILURE() << "no control " << label;
    static FnEntry none;
    return none;
  }
  const FnControl& Control(const std::string& label) {
    for (const FnControl& c : page.controls)
      if (c.label == label) return c;
    static FnControl none;
    return none;
  }
  void Enter(const std::string& label, const std::string& text) {
    std::string why;
    ASSERT_TRUE(FnEnterText(Control(label), text, Entry(label), why)) << why;
  }
  std::string Show(const std::string& label) {
    return FnShowEntry(Control(label), Entry(label), set);
  }
  std::vector<std::string> Apply() { return FnApplyPage(page, entries, set); }
  std::vector<int> Marked() const {
    std::vector<int> out;
    for (int i = 0; i < FunctionSet::COUNT; ++i)
      if (set.GetModFlag(i)) out.push_back(i);
    return out;
  }

  FunctionSet set;
  FnPage page;
  std::vector<FnEntry> entries;
};

TEST(FnPages, EachModelGetsItsPagesInTabOrderAfterTheInformation) {
  auto bits = [](int model, int version) {
    std::vector<int> out;
    for (const FnPage& p : FnPagesForModel(model, version)) out.push_back(p.bit);
    return out;
  };
  EXPECT_EQ(bits(PELORIN2000DETECTOR, 0),
            (std::vector<int>{FP_INFO2K, FP_DAYNIGHT, FP_FLOW2K, FP_ACTIONS2K, FP_LEVELS2K, FP_TIME,
                              FP_POWER2K, FP_PANEL, FP_REFERENCING2K, FP_MISCELLANEOUS}));
  EXPECT_EQ(bits(PELORIN2000BUSMASTER, 16),
            (std::vector<int>{FP_INFO2K, FP_PAGER, FP_ACTIONS2K, FP_TIME, FP_POWER2K, FP_PANEL,
                              FP_ARRAY}));
  EXPECT_EQ(bits(PELORIN2000BUSMASTER, 17).back(), FP_BUSSETUP);
  EXPECT_EQ(bits(PELORINTINDLE, 0),
            (std::vector<int>{FP_INFO2K, FP_FLOWTINDLE, FP_LEVELSTINDLE, FP_TIME, FP_MISCTINDLE}));
  EXPECT_EQ(bits(ORVALER7, 0), std::vector<int>{FP_INFO2K});
  for (const FnPage& p : FnPagesForModel(PELORINVANTOR, 0)) EXPECT_FALSE(p.controls.empty());
}

TEST(FnPages, LevelsWriteTheirGroupsAndSwitchesFromClicks) {
  PageFixture f(FP_LEVELS, PELORINVANTOR);
  f.set.SetFunction(52, FN_ON);
  f.entries = FnLoadPage(f.page, f.set);
  EXPECT_EQ(f.Show("Fire level"), "8");
  EXPECT_EQ(f.Show("Varn enable"), "on");
  f.Enter("Varn enable", "off");
  f.Enter("Aux level", "7");
  EXPECT_TRUE(f.Apply().empty());
  EXPECT_EQ(f.set.GetFunction(52), FN_OFF);
  EXPECT_EQ(f.set.GetFunction(10), 7);
  EXPECT_EQ(f.Marked(), (std::vector<int>{9, 10, 52}));
  // An untouched box over an unset value stays unset.
  PageFixture g(FP_LEVELS, PELORINVANTOR, FN_NOTSET);
  g.Apply();
  EXPECT_EQ(g.set.GetFunction(8), FN_NOTSET);
  EXPECT_TRUE(g.Marked().empty());
  std::string why;
  EXPECT_FALSE(FnEnterText(f.Control("Aux level"), "11", f.Entry("Aux level"), why));
  EXPECT_FALSE(FnEnterText(f.Control("Fire level"), "9", f.Entry("Fire level"), why));
}

TEST(FnPages, LevelsOfTheNewerModels) {
  PageFixture f(FP_LEVELS2K, PELORIN2000DETECTOR, 9);
  f.Enter("Fire 1 delay", "30");
  f.Apply();
  EXPECT_EQ(f.Marked(), (std::vector<int>{11, 12, 13, 94}));
  // Demo mode only where the device has it.
  EXPECT_FALSE(f.Entry("Demo mode").enabled);
  std::string why;
  EXPECT_FALSE(FnEnterText(f.Control("Demo mode"), "on", f.Entry("Demo mode"), why));
  PageFixture g(FP_LEVELS2K, PELORIN2000DETECTOR, FN_OFF);
  EXPECT_TRUE(g.Entry("Demo mode").enabled);
}

TEST(FnPages, TimeStoresTwoDigitYearsAndSetsFromThePc) {
  PageFixture f(FP_TIME, PELORIN2000DETECTOR, 69);
  EXPECT_EQ(f.Show("Year"), "2069");
  f.set.SetFunction(20, 70);
  f.entries = FnLoadPage(f.page, f.set);
  EXPECT_EQ(f.Show("Year"), "1970");
  f.Enter("Year", "2005");
  f.Apply();
  EXPECT_EQ(f.set.GetFunction(20), 5);
  EXPECT_EQ(f.Marked(), (std::vector<int>{16, 17, 18, 19, 20}));
  FunctionSet set;
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 5;
  now.tm_min = 42;
  FnSetClock(set, now);
  EXPECT_EQ(set.GetFunction(20), 26);
  EXPECT_EQ(set.GetFunction(19), 12);
  EXPECT_EQ(set.GetFunction(18), 9);
  EXPECT_EQ(set.GetFunction(16), 5);
  EXPECT_EQ(set.GetFunction(17), 42);
  EXPECT_TRUE(set.GetModFlag(16) && set.GetModFlag(20));
}

TEST(FnPages, MiscellaneousSplitsTheAccessCodeAndGuardsTheSeparatorDate) {
  PageFixture f(FP_MISCELLANEOUS, PELORIN2000DETECTOR, FN_OFF);
  EXPECT_EQ(f.Show("Separator expiry year"), "--");
  f.Enter("Access code", "1234");
  f.Enter("Separator expiry month", "3");
  f.Enter("Separator expiry year", "2031");
  f.Apply();
  EXPECT_EQ(f.set.GetFunction(30), 12);
  EXPECT_EQ(f.set.GetFunction(31), 34);
  EXPECT_EQ(f.set.GetFunction(55), 3);
  EXPECT_EQ(f.set.GetFunction(56), 31);
  // Models 1 and 3 keep no separator date.
  PageFixture old(FP_MISCELLANEOUS, PELORINVANTOR, FN_OFF);
  std::string why;
  EXPECT_FALSE(FnEnterText(old.Control("Separator expiry month"), "3",
                           old.Entry("Separator expiry month"), why));
  old.Entry("Separator expiry month").value = 3;
  old.Entry("Separator expiry month").changed = true;
  old.Apply();
  EXPECT_EQ(old.set.GetFunction(55), FN_OFF);
}

TEST(FnPages, FlowRefusesLowAboveHigh) {
  PageFixture f(FP_FLOW, PELORINLUMO);
  f.Enter("Flow low limit", "50");
  f.Enter("Flow high limit", "40");
  auto messages = f.Apply();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "The flow low limit is set higher than the flow high limit. The entered values will "
            "be ignored");
  EXPECT_FALSE(f.set.GetModFlag(80));
  EXPECT_FALSE(f.set.GetModFlag(81));
  // Models 1 and 3 keep their limits in 23 and 24, and have aspirator speeds.
  PageFixture old(FP_FLOW, PELORINVANTOR);
  old.Enter("Flow low limit", "20");
  old.Enter("Flow high limit", "30");
  old.Enter("Aspirator speed", "10");
  old.Apply();
  EXPECT_EQ(old.set.GetFunction(23), 20);
  EXPECT_EQ(old.set.GetFunction(41), 10);
  EXPECT_EQ(old.Marked(), (std::vector<int>{23, 24, 41}));
  // Fault delay from version 22 on model 11.
  EXPECT_EQ(PageFixture(FP_FLOW, PELORINLUMO, 5, 21).Control("Fault delay").label, "");
  EXPECT_EQ(PageFixture(FP_FLOW, PELORINLUMO, 5, 22).Control("Fault delay").index, 25);
}

TEST(FnPages, FlowOfFourPipes) {
  PageFixture f(FP_FLOW2K, PELORIN2000DETECTOR, 0x0F);
  for (const char* pipe : {"Pipe 1: Enable sensor", "Pipe 2: Enable sensor",
                           "Pipe 3: Enable sensor", "Pipe 4: Enable sensor"})
    f.Enter(pipe, "off");
  f.Enter("Pipe 3: Flow low limit", "60");
  f.Enter("Pipe 3: Flow high limit", "30");
  auto messages = f.Apply();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind("One or more flow low limits", 0), 0u);
  EXPECT_EQ(messages[1].rfind("All flow sensors have been disabled", 0), 0u);
  EXPECT_EQ(f.set.GetFunction(23), 0);
  EXPECT_TRUE(f.set.GetModFlag(23));
  EXPECT_FALSE(f.set.GetModFlag(86));
}

TEST(FnPages, DayNightSwitchedOffStartsTheDayAtNight) {
  PageFixture f(FP_DAYNIGHT, PELORIN2000DETECTOR, 7);
  EXPECT_EQ(f.Show("Disable day/night switching"), "on");
  f.Enter("Night start", "20");
  f.Apply();
  EXPECT_EQ(f.set.GetFunction(32), 20);
  EXPECT_EQ(f.set.GetFunction(33), 20);
}

TEST(FnPages, InputNumbersTextsAndBitMaps) {
  PageFixture a(FP_ACTIONS2K, PELORIN2000DETECTOR, FN_OFF);
  EXPECT_EQ(a.Show("Remote reset"), "off");
  a.Enter("Remote reset", "2");
  a.Apply();
  EXPECT_EQ(a.set.GetFunction(27), 111);
  EXPECT_FALSE(PageFixture(FP_ACTIONS2K, PELORINLUMO).Control("Remote reset").enabled);

  PageFixture info(FP_INFO2K, PELORIN2000DETECTOR, 'x');
  info.Enter("Device text", "Hall");
  info.Apply();
  EXPECT_EQ(info.set.GetFunction(63), 'H');
  EXPECT_EQ(info.set.GetFunction(67), ' ');
  EXPECT_EQ(info.set.GetFunction(78), ' ');
  EXPECT_EQ(info.Marked().size(), 16u);

  PageFixture pager(FP_PAGER, PELORIN2000BUSMASTER, 'y');
  pager.Enter("Password", "abc");
  pager.Apply();
  EXPECT_EQ(pager.set.GetFunction(113), 'c');
  EXPECT_EQ(pager.set.GetFunction(114), 0);
  EXPECT_EQ(pager.set.GetFunction(115), 'y');
  EXPECT_EQ(pager.Marked(), (std::vector<int>{111, 112, 113, 114}));
  std::string why;
  EXPECT_FALSE(FnEnterText(pager.Control("Password"), "0123456789", pager.Entry("Password"), why));
  EXPECT_FALSE(PageFixture(FP_PAGER, PELORIN2000BUSMASTER, FN_NOTSET).Entry("Format").enabled);

  PageFixture array(FP_ARRAY, PELORIN2000BUSMASTER, 0);
  array.Entry("Cells").bits[9] = true;
  array.Entry("Cells").changed = true;
  array.Apply();
  EXPECT_EQ(array.set.GetFunction(144), 2);
  for (int i = 143; i <= 156; ++i) EXPECT_TRUE(array.set.GetModFlag(i)) << i;

  PageFixture bus(FP_BUSSETUP, PELORIN2000BUSMASTER, 4, 17);
  EXPECT_EQ(bus.Show("ms poll timeout"), "64");
  EXPECT_EQ(bus.Show("Interface address"), "004");
  bus.Enter("ms poll timeout", "320");
  bus.Enter("CM mode", "Secondary");
  bus.Apply();
  EXPECT_EQ(bus.set.GetFunction(158), 20);
  EXPECT_EQ(bus.set.GetFunction(179), 2);
}

}  // namespace
}  // namespace quillark

namespace quillark {
namespace {

// Labels, titles, list items and refusals in the operator's language; the
// two-part labels put the alarm's name where the language wants it.
TEST(FnPageWords, PagesSpeakTheTranslatorsLanguageAndEnglishWithoutOne) {
  Translator translator(nullptr, nullptr);
  translator.SetLanguage(4);
  const FnPage levels = FnMakePage(FP_LEVELS2K, PELORIN2000DETECTOR, 30, &translator);
  EXPECT_EQ(levels.title, "Schwellen");
  EXPECT_EQ(levels.titleid, 70850);
  EXPECT_STREQ(levels.english, "Levels");
  ASSERT_GE(levels.controls.size(), 6u);
  EXPECT_EQ(levels.controls[0].label, "Schwelle Feuer 2");
  EXPECT_EQ(levels.controls[5].label, "Verzögerung Feuer 1");
  const FnPage flow = FnMakePage(FP_FLOW2K, PELORIN2000DETECTOR, 30, &translator);
  EXPECT_EQ(flow.controls[1].label, "Rohr 1: Untere Luftstromgrenze");
  EXPECT_EQ(flow.controls[15].label, "Rohr 4: Sensor einschalten");
  const FnPage bus = FnMakePage(FP_BUSSETUP, PELORIN2000BUSMASTER, 17, &translator);
  EXPECT_EQ(bus.controls[0].items, (std::vector<std::string>{"Primär", "Sekundär"}));
  const FnPage old = FnMakePage(FP_MISCELLANEOUS, PELORINVANTOR, 0, &translator);
  EXPECT_EQ(old.controls.back().items.front(), "Keine Aufz.");

  // The same pages without a translator are English, in the same order.
  const FnPage english = FnMakePage(FP_LEVELS2K, PELORIN2000DETECTOR, 30);
  EXPECT_EQ(english.title, "Levels");
  EXPECT_EQ(english.controls[0].label, "Fire 2 level");
  EXPECT_EQ(english.controls[5].label, "Fire 1 delay");
  EXPECT_EQ(english.controls.size(), levels.controls.size());
  EXPECT_EQ(FnMakePage(FP_MISCELLANEOUS, PELORINVANTOR, 0).controls.back().items.front(), "No rec");

  // A refusal is said in the language too.
  FunctionSet set;
  set.SetType(PELORIN2000DETECTOR);
  FnPage page = flow;
  std::vector<FnEntry> entries = FnLoadPage(page, set);
  for (std::size_t i = 0; i < page.controls.size(); ++i)
    if (page.controls[i].kind == FnKind::BIT) entries[i] = FnEntry{0, {}, {}, true, true};
  const std::vector<std::string> said = FnApplyPage(page, entries, set, &translator);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].rfind("Alle Luftstromsensoren sind ausgeschaltet.", 0), 0u) << said[0];
}

}  // namespace
}  // namespace quillark
