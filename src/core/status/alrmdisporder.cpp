#include "core/status/alrmdisporder.h"

#include <algorithm>
#include <array>

#include "core/access/translator.h"
#include "core/status/alrmdisp.h"

namespace quillark {

namespace {

constexpr int TX_LOOP = 65000;
constexpr int TX_LINES = 65100;
constexpr int TX_LINE = 56900;
constexpr int TX_FIRES = 65200;
constexpr int TX_PREALARMS = 65300;
constexpr int TX_FAULTS = 65400;
constexpr int TX_OTHERS = 65500;
constexpr int TX_CLEARED = 65600;
constexpr int TX_FIRE = 80000;
constexpr int TX_PREALARM = 80100;
constexpr int TX_OTHER = 80200;
constexpr int TX_FAULT = 80300;
constexpr int TX_CLEAREDONE = 90100;
// The forms after 2-4 (Russian; the plural elsewhere).
constexpr int TX_LINESFEW = 90000;
constexpr int TX_FIRESFEW = 90020;
constexpr int TX_PREALARMSFEW = 90040;
constexpr int TX_OTHERSFEW = 90060;
constexpr int TX_FAULTSFEW = 90080;
constexpr int TX_CLEAREDFEW = 90120;

constexpr CountedWord LINES{TX_LINE, "line", TX_LINES, "lines", TX_LINESFEW};

// Lines of equal rank keep the order they arrived in; the index breaks ties
// between lines of the same moment so the order never wavers.
bool Before(const std::vector<AlarmLine>& lines, std::size_t a, std::size_t b) {
  const alarmrank ra = RankOf(lines[a]), rb = RankOf(lines[b]);
  if (ra != rb) return ra < rb;
  if (lines[a].since != lines[b].since) return lines[a].since < lines[b].since;
  return a < b;
}

void Count(AlarmGroup& g, alarmrank rank) {
  ++g.lines;
  g.best = std::min(g.best, rank);
  switch (rank) {
    case AR_FIRE2:
    case AR_FIRE1:
      ++g.fires;
      break;
    case AR_PREALARM:
      ++g.prealarms;
      break;
    case AR_FAULT:
      ++g.faults;
      break;
    case AR_CLEARED:
      ++g.cleared;
      break;
    default:
      ++g.others;
      break;
  }
}

}  // namespace

alarmrank RankOf(const AlarmLine& line) {
  if (line.cleared) return AR_CLEARED;
  const unsigned s = line.status;
  if (s & 0x10) return AR_FIRE2;
  if (s & 0x08) return AR_FIRE1;
  if (s & 0x04) return AR_PREALARM;
  if (s & 0x02) return AR_AUX;
  if (s & 0x60) return AR_INPUT;
  return AR_FAULT;
}

std::vector<AlarmRow> OrderAlarmLines(const std::vector<AlarmLine>& lines) {
  std::vector<std::size_t> order(lines.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return Before(lines, a, b); });

  // The first fire is the line that has shown a fire the longest, cleared
  // or not: the place the fire started is what the brigade asks for first.
  std::size_t pinned = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].firesince == 0) continue;
    if (pinned == lines.size() || lines[i].firesince < lines[pinned].firesince) pinned = i;
  }

  std::vector<AlarmRow> rows;
  rows.reserve(lines.size() + AlarmDisp::MAXLOOPS + 1);
  if (pinned < lines.size()) {
    AlarmRow r;
    r.line = pinned;
    r.pinned = true;
    rows.push_back(r);
  }
  if (lines.size() <= GROUPLINES) {
    for (const std::size_t i : order) {
      if (i == pinned) continue;
      AlarmRow r;
      r.line = i;
      rows.push_back(r);
    }
    return rows;
  }

  std::array<AlarmGroup, AlarmDisp::MAXLOOPS + 1> groups{};
  std::array<std::vector<std::size_t>, AlarmDisp::MAXLOOPS + 1> members{};
  for (const std::size_t i : order) {
    if (i == pinned) continue;
    const int loop = std::clamp(lines[i].device / AlarmDisp::SLOTS, 0, AlarmDisp::MAXLOOPS);
    groups[static_cast<std::size_t>(loop)].loop = loop;
    Count(groups[static_cast<std::size_t>(loop)], RankOf(lines[i]));
    members[static_cast<std::size_t>(loop)].push_back(i);
  }
  std::vector<std::size_t> loops;
  for (std::size_t l = 0; l < groups.size(); ++l)
    if (groups[l].lines != 0) loops.push_back(l);
  std::stable_sort(loops.begin(), loops.end(),
                   [&](std::size_t a, std::size_t b) { return groups[a].best < groups[b].best; });
  for (const std::size_t l : loops) {
    AlarmRow h;
    h.heading = true;
    h.group = groups[l];
    rows.push_back(h);
    for (const std::size_t i : members[l]) {
      AlarmRow r;
      r.line = i;
      rows.push_back(r);
    }
  }
  return rows;
}

std::string GroupHeading(const AlarmGroup& g, Translator& translator) {
  std::string out = translator.TextOr(TX_LOOP, "Loop") + " " + std::to_string(g.loop + 1) + ": " +
                    translator.Counted(g.lines, LINES);
  struct Part {
    std::size_t count;
    CountedWord word;
  };
  const Part parts[] = {
      {g.fires, {TX_FIRE, "fire alarm", TX_FIRES, "fire alarms", TX_FIRESFEW}},
      {g.prealarms, {TX_PREALARM, "pre-alarm", TX_PREALARMS, "pre-alarms", TX_PREALARMSFEW}},
      {g.others, {TX_OTHER, "other alarm", TX_OTHERS, "other alarms", TX_OTHERSFEW}},
      {g.faults, {TX_FAULT, "fault", TX_FAULTS, "faults", TX_FAULTSFEW}},
      {g.cleared, {TX_CLEAREDONE, "cleared", TX_CLEARED, "cleared", TX_CLEAREDFEW}},
  };
  const char* sep = ": ";
  for (const Part& p : parts) {
    if (p.count == 0) continue;
    out += sep + translator.Counted(p.count, p.word);
    sep = ", ";
  }
  return out;
}

}  // namespace quillark
