#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillark {

struct AlarmLine;
class Translator;

// Where a line stands in the viewer, most important first. A line kept only
// to be acknowledged is below everything that is still going on.
enum alarmrank : int {
  AR_FIRE2,
  AR_FIRE1,
  AR_PREALARM,
  AR_AUX,
  AR_INPUT,
  AR_FAULT,
  AR_CLEARED,
  AR_COUNT,
};

alarmrank RankOf(const AlarmLine& line);

// One loop's lines when the viewer groups them, with what they are.
struct AlarmGroup {
  int loop = 0;  // from 0
  std::size_t lines = 0;
  std::size_t fires = 0, prealarms = 0, faults = 0, others = 0, cleared = 0;
  alarmrank best = AR_COUNT;
};

// One row of the viewer: a line of the display, or the heading of a loop's
// group (the lines of the group follow it).
struct AlarmRow {
  bool heading = false;
  std::size_t line = 0;  // index in AlarmDisp::GetLines() (not a heading)
  bool pinned = false;   // the first fire, above everything
  AlarmGroup group;      // (a heading)
};

// More lines than this are grouped by loop: a whole loop failing must not
// push another loop's fire out of sight.
inline constexpr std::size_t GROUPLINES = 20;

// The viewer's rows: fires above pre-alarms above the rest above faults,
// the earliest fire still listed pinned at the top, lines of equal rank in
// the order they arrived. With more than GROUPLINES lines every loop's lines
// are grouped under a heading, the groups in the order of their most
// important line (then by loop). The same lines always give the same rows.
std::vector<AlarmRow> OrderAlarmLines(const std::vector<AlarmLine>& lines);

// "Loop 3: 127 lines: 2 fire alarms, 125 faults" in the current language.
std::string GroupHeading(const AlarmGroup& group, Translator& translator);

}  // namespace quillark
