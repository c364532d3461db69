#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/events/date.h"

namespace quillark {

class TSiteConfig;
class Translator;

// What the event log's filter sorts an event code into.
enum logcategory : int {
  LC_RESET,
  LC_ISOLATE,
  LC_TEST,
  LC_ALARM,
  LC_FAULT,
  LC_DAYNIGHT,
  LC_FASTLEARN,
  LC_FUNCTIONCHANGE,
  LC_FLOWSETUP,
  LC_DEMOMODE,
  LC_ACCESSCODE,
  LC_FUNCTIONDOWNLOAD,
  LC_POWERUP,
};

// The category of an event code; codes without one of their own are faults.
logcategory GetLogCategory(unsigned code);

// The boxes of the filter dialog, in its transfer order.
enum filterbox : int {
  FB_RESET,
  FB_ISOLATE,
  FB_TEST,
  FB_ALARM,
  FB_FAULT,
  FB_DAYNIGHT,
  FB_FASTLEARN,
  FB_FUNCTIONCHANGE,
  FB_FLOWSETUPS,
  FB_DEMOMODE,
  FB_ACCESSCODE,
  FB_FUNCTIONDOWNLOADS,
  FB_POWERUPS,
  FB_ALL,
  FB_NONE,
  FB_DATE,
  FB_COUNT,
};

// What each box is called, in the dialog and in the summary of a filter.
inline constexpr const char* FILTERBOXNAMES[FB_COUNT] = {"Resets",
                                                         "Isolates",
                                                         "Tests",
                                                         "Alarms",
                                                         "Faults",
                                                         "Day/Night switches",
                                                         "FastLearn start/end",
                                                         "Function changes",
                                                         "Flow setups",
                                                         "Demonstration mode",
                                                         "Access code entries",
                                                         "Function downloads",
                                                         "Power ups",
                                                         "All",
                                                         "None",
                                                         "Between dates"};

// Where the boxes' names start in the text table, one every 50.
inline constexpr int FILTERBOXTEXTS = 64000;

// A box's name in the operator's language; English without a translator.
std::string FilterBoxName(filterbox box, Translator* translator);

// The event log's filter, the record the filter dialog edits. Each flag is 1
// or 0; `start` and `end` are "day/month/year" texts for the date filter.
struct EventFilterStruct {
  static constexpr int DATETEXT = 12;

  std::uint16_t reset = 1;
  std::uint16_t isolate = 1;
  std::uint16_t test = 1;
  std::uint16_t alarm = 1;
  std::uint16_t fault = 1;
  std::uint16_t daynight = 1;
  std::uint16_t fastlearn = 1;
  std::uint16_t functionchange = 1;
  std::uint16_t flowsetups = 1;
  std::uint16_t demomode = 1;
  std::uint16_t accesscode = 1;
  std::uint16_t functiondownloads = 1;
  std::uint16_t powerups = 1;
  std::uint16_t all = 1;
  std::uint16_t none = 0;
  std::uint16_t date = 0;
  char start[DATETEXT] = {};
  char end[DATETEXT] = {};

  // The flag of one dialog box.
  std::uint16_t& Box(filterbox box);
  std::uint16_t Box(filterbox box) const;
  // Whether events of a category pass (the "None" box is checked separately).
  bool Shows(logcategory category) const;
  // Date texts are cut to what the record holds.
  void SetStart(std::string_view text);
  void SetEnd(std::string_view text);
  // What the filter leaves out, for the window to show: "" when every
  // event is shown, else "Filter: Alarms, Faults between 1/1/2024 and
  // 31/1/2024" or "Filter: nothing shown".
  // Without a translator the texts are English (the console's answers).
  std::string Summary(Translator* translator = nullptr) const;
};

// The dialog's rules for one click on a box, which is set to `on` first:
// ticking "All" ticks every category and clears "None"; ticking "None" clears
// every category and "All"; ticking "Faults" clears "All" and "None" and
// ticks "Isolates" too. Clearing a box touches nothing else.
void SetFilterBox(EventFilterStruct& filter, filterbox box, bool on);

// What an investigator asks of a log on top of the filter's boxes: one
// device, the devices of a zone, one category, a period and words. The
// event log window's search box and the console's `search` read the same
// text:
//
//   device:2-005 zone:3 category:alarms from:2026-12-01 to:2026-12-09 words
//
// The other words, joined by single blanks, are text the event's line must
// hold (any case): "comms failure" finds that phrase. A date is 2026-12-09
// or 9/12/2026 and both ends of a period are included.
struct EventSearch {
  int device = -1;  // packed, loop << 8 | address
  int zone = 0;     // 0: any
  // The devices of `zone`, packed and sorted, as the site had them.
  std::vector<std::uint16_t> zonedevices;
  int category = -1;  // a logcategory, or -1 for any
  bool hasfrom = false, hasto = false;
  dovetree::Date from{1, 1, 2000}, to{1, 1, 2000};
  std::string text;  // lower case

  bool Empty() const {
    return device < 0 && zone == 0 && category < 0 && !hasfrom && !hasto && text.empty();
  }
  // Everything but the text, which needs the event's line.
  bool Matches(unsigned address, unsigned code, unsigned day, unsigned month, unsigned year) const;
  // Whether a line (as shown) holds the text.
  bool MatchesText(std::string_view line) const;
};

// Reads a search; false, with `error` saying what could not be read, on a
// bad date, a device that is not L-AAA, a category or zone nobody has.
// `site` names the zones' devices; without one, a zone cannot be searched.
// The reason is in `translator`'s language (English without one).
bool ParseEventSearch(std::string_view text, const TSiteConfig* site, EventSearch& out,
                      std::string& error, Translator* translator = nullptr);
// "2026-12-09" or "9/12/2026", with day and month in range.
bool ParseSearchDate(std::string_view text, dovetree::Date& out);
// "2-005": loop from 1 to 16, address 0 to 255.
bool ParseSearchDevice(std::string_view text, int& out);

}  // namespace quillark
