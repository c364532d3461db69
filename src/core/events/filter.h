#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillark {

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
  std::string Summary() const;
};

// The dialog's rules for one click on a box, which is set to `on` first:
// ticking "All" ticks every category and clears "None"; ticking "None" clears
// every category and "All"; ticking "Faults" clears "All" and "None" and
// ticks "Isolates" too. Clearing a box touches nothing else.
void SetFilterBox(EventFilterStruct& filter, filterbox box, bool on);

}  // namespace quillark
