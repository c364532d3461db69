#include "core/events/filter.h"

#include <algorithm>
#include <cstring>

namespace quillark {

logcategory GetLogCategory(unsigned code) {
  switch (code) {
    case 1:
    case 2:
    case 102:
      return LC_ACCESSCODE;
    case 52:
    case 89:
    case 90:
      return LC_RESET;
    case 56:
    case 101:
      return LC_POWERUP;
    case 65:
    case 66:
    case 88:
    case 92:
    case 116:
    case 122:
    case 123:
    case 124:
      return LC_ISOLATE;
    case 91:
      return LC_TEST;
    case 96:
    case 97:
    case 126:
    case 127:
      return LC_DAYNIGHT;
    case 99:
    case 128:
      return LC_FASTLEARN;
    case 100:
      return LC_DEMOMODE;
    case 111:
    case 112:
    case 113:
    case 114:
    case 131:
    case 254:  // the operator's acknowledgement of an alarm or fault line
      return LC_ALARM;
    case 129:
      return LC_FUNCTIONCHANGE;
    case 130:
      return LC_FUNCTIONDOWNLOAD;
    case 43:
    case 125:
    case 184:
      return LC_FLOWSETUP;
    default:
      return LC_FAULT;
  }
}

std::uint16_t& EventFilterStruct::Box(filterbox box) {
  switch (box) {
    case FB_RESET:
      return reset;
    case FB_ISOLATE:
      return isolate;
    case FB_TEST:
      return test;
    case FB_ALARM:
      return alarm;
    case FB_FAULT:
      return fault;
    case FB_DAYNIGHT:
      return daynight;
    case FB_FASTLEARN:
      return fastlearn;
    case FB_FUNCTIONCHANGE:
      return functionchange;
    case FB_FLOWSETUPS:
      return flowsetups;
    case FB_DEMOMODE:
      return demomode;
    case FB_ACCESSCODE:
      return accesscode;
    case FB_FUNCTIONDOWNLOADS:
      return functiondownloads;
    case FB_POWERUPS:
      return powerups;
    case FB_ALL:
      return all;
    case FB_NONE:
      return none;
    case FB_DATE:
    case FB_COUNT:
      break;
  }
  return date;
}

std::uint16_t EventFilterStruct::Box(filterbox box) const {
  return const_cast<EventFilterStruct*>(this)->Box(box);
}

bool EventFilterStruct::Shows(logcategory category) const {
  // Categories and the first thirteen boxes share their order.
  return Box(static_cast<filterbox>(category)) == 1;
}

namespace {

void CopyDate(char (&to)[EventFilterStruct::DATETEXT], std::string_view text) {
  std::size_t n = std::min(text.size(), sizeof to - 1);
  std::memcpy(to, text.data(), n);
  std::memset(to + n, 0, sizeof to - n);
}

}  // namespace

void EventFilterStruct::SetStart(std::string_view text) {
  CopyDate(start, text);
}
void EventFilterStruct::SetEnd(std::string_view text) {
  CopyDate(end, text);
}

void SetFilterBox(EventFilterStruct& filter, filterbox box, bool on) {
  if (box < 0 || box >= FB_COUNT) return;
  filter.Box(box) = on ? 1 : 0;
  if (!on) return;
  switch (box) {
    case FB_ALL:
      for (int b = FB_RESET; b <= FB_POWERUPS; ++b) filter.Box(static_cast<filterbox>(b)) = 1;
      filter.none = 0;
      break;
    case FB_NONE:
      for (int b = FB_RESET; b <= FB_ALL; ++b) filter.Box(static_cast<filterbox>(b)) = 0;
      break;
    case FB_FAULT:
      filter.all = 0;
      filter.none = 0;
      filter.isolate = 1;
      break;
    default:
      break;
  }
}

std::string EventFilterStruct::Summary() const {
  if (none != 0) return "Filter: nothing shown";
  std::string shown;
  bool every = true;
  for (int b = FB_RESET; b <= FB_POWERUPS; ++b) {
    if (Box(static_cast<filterbox>(b)) == 0) {
      every = false;
      continue;
    }
    if (!shown.empty()) shown += ", ";
    shown += FILTERBOXNAMES[b];
  }
  if (every && date == 0) return {};
  std::string text = "Filter: " + (every           ? std::string("all events")
                                   : shown.empty() ? std::string("no category")
                                                   : shown);
  if (date != 0)
    text += " between " + std::string(start, strnlen(start, DATETEXT)) + " and " +
            std::string(end, strnlen(end, DATETEXT));
  return text;
}

}  // namespace quillark
