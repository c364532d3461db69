#include "core/status/alrmdisporder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/status/alrmdisp.h"

namespace quillark {
namespace {

// A line as the order sees it: "L-AAA status" with "c" for cleared, the
// arrival and the first fire (0: none).
struct In {
  int loop, address;
  unsigned status;
  bool cleared;
  std::uint64_t since, firesince;
};

std::vector<AlarmLine> Lines(const std::vector<In>& in) {
  std::vector<AlarmLine> out;
  for (const In& i : in) {
    AlarmLine l;
    l.device = i.loop * AlarmDisp::SLOTS + i.address;
    l.status = i.status;
    l.cleared = i.cleared;
    l.since = i.since;
    l.firesince = i.firesince;
    out.push_back(l);
  }
  return out;
}

// Rows as "*1-001" (pinned), "1-002", "[loop 2: 3]" (a heading and its count).
std::vector<std::string> Shown(const std::vector<AlarmLine>& lines) {
  std::vector<std::string> out;
  for (const AlarmRow& r : OrderAlarmLines(lines)) {
    if (r.heading) {
      out.push_back(Format("[loop %d: %zu]", r.group.loop + 1, r.group.lines));
      continue;
    }
    const AlarmLine& l = lines[r.line];
    out.push_back(Format("%s%d-%03d", r.pinned ? "*" : "", l.device / 256 + 1, l.device % 256));
  }
  return out;
}

TEST(AlarmOrderTest, RankPinAndArrival) {
  struct Row {
    const char* name;
    std::vector<In> lines;
    std::vector<std::string> shown;
  };
  const Row rows[] = {
      {"nothing", {}, {}},
      {"fires above pre-alarms above faults, whatever came first",
       {{0, 1, 0x01, false, 1, 0}, {0, 2, 0x04, false, 2, 0}, {0, 3, 0x08, false, 3, 3}},
       {"*1-003", "1-002", "1-001"}},
      {"the first fire is pinned even below a later fire 2",
       {{0, 1, 0x08, false, 1, 1}, {0, 2, 0x10, false, 2, 2}, {0, 3, 0x10, false, 3, 3}},
       {"*1-001", "1-002", "1-003"}},
      {"the pin follows the earliest fire, not the earliest line",
       {{0, 1, 0x04, false, 1, 0}, {0, 2, 0x08, false, 2, 5}, {0, 3, 0x08, false, 3, 4}},
       {"*1-003", "1-002", "1-001"}},
      {"equal rank keeps arrival, not list position",
       {{0, 9, 0x01, false, 7, 0}, {0, 8, 0x01, false, 2, 0}, {1, 1, 0x01, false, 5, 0}},
       {"1-008", "2-001", "1-009"}},
      {"aux and inputs between pre-alarms and faults",
       {{0, 1, 0x01, false, 1, 0},
        {0, 2, 0x20, false, 2, 0},
        {0, 3, 0x02, false, 3, 0},
        {0, 4, 0x05, false, 4, 0}},
       {"1-004", "1-003", "1-002", "1-001"}},
      {"cleared lines below everything still going on; a cleared first fire keeps its pin",
       {{0, 1, 0x08, true, 1, 1}, {0, 2, 0x04, true, 2, 0}, {0, 3, 0x01, false, 3, 0}},
       {"*1-001", "1-003", "1-002"}},
  };
  for (const Row& r : rows) EXPECT_EQ(Shown(Lines(r.lines)), r.shown) << r.name;
}

TEST(AlarmOrderTest, MoreThanTwentyLinesAreGroupedByLoopMostImportantLoopFirst) {
  std::vector<In> in;
  std::uint64_t t = 0;
  // A whole loop fails first, then a pre-alarm on loop 2 and fires on loop 1.
  for (int a = 1; a <= 20; ++a) in.push_back({2, a, 0x01, false, ++t, 0});
  in.push_back({1, 7, 0x04, false, ++t, 0});
  in.push_back({0, 4, 0x08, false, ++t, t});
  in.push_back({0, 5, 0x10, false, ++t, t});
  in.push_back({0, 6, 0x01, false, ++t, 0});
  const std::vector<std::string> shown = Shown(Lines(in));
  std::vector<std::string> expected{"*1-004",      "[loop 1: 2]", "1-005",       "1-006",
                                    "[loop 2: 1]", "2-007",       "[loop 3: 20]"};
  for (int a = 1; a <= 20; ++a) expected.push_back(Format("3-%03d", a));
  EXPECT_EQ(shown, expected);

  // Twenty lines are not grouped yet.
  in.resize(20);
  EXPECT_EQ(Shown(Lines(in)).size(), 20u);
  EXPECT_EQ(Shown(Lines(in)).front(), "3-001");
}

TEST(AlarmOrderTest, HeadingCountsWhatTheGroupHolds) {
  Translator translator(nullptr, nullptr);
  AlarmGroup g;
  g.loop = 2;
  g.lines = 130;
  g.fires = 2;
  g.faults = 127;
  g.cleared = 1;
  EXPECT_EQ(GroupHeading(g, translator), "Loop 3: 130 lines: 2 fire alarms, 127 faults, 1 cleared");
  // One line is a line, in the operator's language too.
  AlarmGroup one;
  one.loop = 1;
  one.lines = 1;
  one.faults = 1;
  EXPECT_EQ(GroupHeading(one, translator), "Loop 2: 1 line: 1 fault");
  translator.SetLanguage(4);
  EXPECT_EQ(GroupHeading(one, translator), "Ring 2: 1 Zeile: 1 Störung");
  EXPECT_EQ(GroupHeading(g, translator),
            "Ring 3: 130 Zeilen: 2 Feueralarme, 127 Störungen, 1 wieder normal");
}

// Every count in the heading takes the form its number asks for: Russian has
// three (1 and 21, 2-4, 5-20), French counts one as nothing more than zero.
TEST(AlarmOrderTest, HeadingCountsInTheFormsOfEachLanguage) {
  Translator translator(nullptr, nullptr);
  translator.SetLanguage(17);
  auto group = [](std::size_t each) {
    AlarmGroup g;
    g.loop = 0;
    g.lines = g.fires = g.prealarms = g.others = g.faults = g.cleared = each;
    return g;
  };
  EXPECT_EQ(GroupHeading(group(1), translator),
            "Шлейф 1: 1 строка: 1 пожарная тревога, 1 предтревога, 1 другая тревога, "
            "1 неисправность, 1 восстановленная");
  EXPECT_EQ(GroupHeading(group(3), translator),
            "Шлейф 1: 3 строки: 3 пожарные тревоги, 3 предтревоги, 3 другие тревоги, "
            "3 неисправности, 3 восстановленные");
  EXPECT_EQ(GroupHeading(group(5), translator),
            "Шлейф 1: 5 строк: 5 пожарных тревог, 5 предтревог, 5 других тревог, "
            "5 неисправностей, 5 восстановленных");
  AlarmGroup mixed;
  mixed.loop = 3;
  mixed.lines = 22;
  mixed.fires = 21;
  mixed.faults = 1;
  EXPECT_EQ(GroupHeading(mixed, translator),
            "Шлейф 4: 22 строки: 21 пожарная тревога, 1 неисправность");

  translator.SetLanguage(3);
  EXPECT_EQ(GroupHeading(group(1), translator),
            "Boucle 1: 1 ligne: 1 alarme feu, 1 préalarme, 1 autre alarme, 1 défaut, 1 rétablie");
  EXPECT_EQ(GroupHeading(group(2), translator),
            "Boucle 1: 2 lignes: 2 alarmes feu, 2 préalarmes, 2 autres alarmes, 2 défauts, "
            "2 rétablies");
  // A kind the group lacks is left out, not counted as "0".
  AlarmGroup one;
  one.loop = 0;
  one.lines = 1;
  one.faults = 1;
  EXPECT_EQ(GroupHeading(one, translator), "Boucle 1: 1 ligne: 1 défaut");
}

TEST(AlarmOrderTest, GroupCountsWhatItsLinesHold) {
  std::vector<In> in;
  for (int a = 1; a <= 21; ++a) in.push_back({0, a, a == 3 ? 0x08u : 0x01u, a == 4, 1, 0});
  const auto rows = OrderAlarmLines(Lines(in));
  ASSERT_TRUE(rows[0].heading);  // no fire time: nothing pinned
  EXPECT_EQ(rows[0].group.lines, 21u);
  EXPECT_EQ(rows[0].group.fires, 1u);
  EXPECT_EQ(rows[0].group.faults, 19u);
  EXPECT_EQ(rows[0].group.cleared, 1u);
  EXPECT_EQ(rows[0].group.best, AR_FIRE1);
}

}  // namespace
}  // namespace quillark
