#include "core/events/filter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "core/access/translator.h"
#include "core/common/loops.h"
#include "core/common/textutil.h"
#include "core/site/config.h"

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

std::string FilterBoxName(filterbox box, Translator* translator) {
  const char* english = FILTERBOXNAMES[box];
  return translator != nullptr ? translator->TextOr(FILTERBOXTEXTS + 50 * box, english)
                               : std::string(english);
}

std::string EventFilterStruct::Summary(Translator* translator) const {
  const auto text = [translator](int id, const char* english) {
    return TextOr(translator, id, english);
  };
  if (none != 0) return text(64800, "Filter: nothing shown");
  std::string shown;
  bool every = true;
  for (int b = FB_RESET; b <= FB_POWERUPS; ++b) {
    if (Box(static_cast<filterbox>(b)) == 0) {
      every = false;
      continue;
    }
    if (!shown.empty()) shown += ", ";
    shown += FilterBoxName(static_cast<filterbox>(b), translator);
  }
  if (every && date == 0) return {};
  std::string what = every           ? text(64850, "all events")
                     : shown.empty() ? text(64900, "no category")
                                     : shown;
  if (date != 0) {
    const std::string from(start, strnlen(start, DATETEXT));
    const std::string to(end, strnlen(end, DATETEXT));
    what =
        Format(text(75000, "%s between %s and %s").c_str(), what.c_str(), from.c_str(), to.c_str());
  }
  return Format(text(75100, "Filter: %s").c_str(), what.c_str());
}

namespace {

// Digits only, at most `most` of them, the whole of `text`.
bool Number(std::string_view text, std::size_t most, unsigned& out) {
  if (text.empty() || text.size() > most) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// Lower case letters and digits only: "Day/Night switches" and "daynight"
// name the same box.
std::string Squeeze(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (std::isalnum(static_cast<unsigned char>(c)))
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int Category(std::string_view text) {
  static constexpr logcategory CATEGORY[] = {
      LC_RESET,      LC_ISOLATE,          LC_TEST,           LC_ALARM,     LC_FAULT,
      LC_DAYNIGHT,   LC_FASTLEARN,        LC_FUNCTIONCHANGE, LC_FLOWSETUP, LC_DEMOMODE,
      LC_ACCESSCODE, LC_FUNCTIONDOWNLOAD, LC_POWERUP};
  const std::string want = Squeeze(text);
  if (want.empty()) return -1;
  // A box's name, its singular, or the start of only one name ("daynight"
  // for "Day/Night switches"; "function" could be two boxes).
  int found = -1, prefixes = 0;
  for (int box = 0; box <= FB_POWERUPS; ++box) {
    const std::string name = Squeeze(FILTERBOXNAMES[box]);
    if (name == want || name == want + "s") return CATEGORY[box];
    if (name.rfind(want, 0) == 0) {
      found = CATEGORY[box];
      ++prefixes;
    }
  }
  return prefixes == 1 ? found : -1;
}

}  // namespace

bool ParseSearchDate(std::string_view text, dovetree::Date& out) {
  unsigned a = 0, b = 0, c = 0;
  const auto parts = [&](char sep, std::size_t la, std::size_t lb, std::size_t lc) {
    const std::size_t p1 = text.find(sep);
    if (p1 == std::string_view::npos) return false;
    const std::size_t p2 = text.find(sep, p1 + 1);
    if (p2 == std::string_view::npos) return false;
    return Number(text.substr(0, p1), la, a) && Number(text.substr(p1 + 1, p2 - p1 - 1), lb, b) &&
           Number(text.substr(p2 + 1), lc, c);
  };
  unsigned day, month, year;
  if (parts('-', 4, 2, 2)) {
    year = a, month = b, day = c;
  } else if (parts('/', 2, 2, 4)) {
    day = a, month = b, year = c;
  } else {
    return false;
  }
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  out = dovetree::Date(static_cast<std::int32_t>(day), static_cast<std::int32_t>(month),
                       static_cast<std::int32_t>(year));
  return true;
}

bool ParseSearchDevice(std::string_view text, int& out) {
  const std::size_t dash = text.find('-');
  unsigned loop = 0, address = 0;
  if (dash == std::string_view::npos || !Number(text.substr(0, dash), 2, loop) ||
      !Number(text.substr(dash + 1), 3, address) || loop < 1 || loop > MAXLOOPS || address > 255)
    return false;
  out = static_cast<int>((loop - 1) << 8 | address);
  return true;
}

bool ParseEventSearch(std::string_view text, const TSiteConfig* site, EventSearch& out,
                      std::string& error, Translator* translator) {
  // The reason is the operator's language; the keywords in it stay as typed.
  const auto refuse = [&](int id, const char* english, const std::string& what) {
    error = Format(TextOr(translator, id, english).c_str(), what.c_str());
    return false;
  };
  EventSearch s;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    std::size_t end = at;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    const std::string_view word = text.substr(at, end - at);
    at = end;
    if (word.empty()) continue;
    const std::size_t colon = word.find(':');
    const std::string key =
        colon == std::string_view::npos ? std::string() : ToLower(word.substr(0, colon));
    const std::string_view value =
        colon == std::string_view::npos ? std::string_view() : word.substr(colon + 1);
    if (key == "device") {
      if (!ParseSearchDevice(value, s.device)) {
        return refuse(89340, "device: takes a device as 2-005 (loop, address), not '%s'",
                      std::string(value));
      }
    } else if (key == "zone") {
      unsigned zone = 0;
      if (!Number(value, 5, zone) || zone == 0) {
        return refuse(89360, "zone: takes a zone number, not '%s'", std::string(value));
      }
      if (site == nullptr || site->GetDevice(zone, ZONE) == nullptr) {
        return refuse(89380, "there is no zone %s in the site", std::to_string(zone));
      }
      s.zone = static_cast<int>(zone);
      s.zonedevices.clear();
      for (const DeviceConfig& d : *site)
        if (d.GetType() != ZONE && d.GetZone() == s.zone && d.GetAddress() <= 0xFFFF)
          s.zonedevices.push_back(static_cast<std::uint16_t>(d.GetAddress()));
      std::sort(s.zonedevices.begin(), s.zonedevices.end());
    } else if (key == "category") {
      s.category = Category(value);
      if (s.category < 0) {
        return refuse(89400,
                      "category: takes one of alarms, faults, isolates, resets, tests, daynight, "
                      "fastlearn, functionchanges, flowsetups, demo, accesscode, "
                      "functiondownloads, powerups; not '%s'",
                      std::string(value));
      }
    } else if (key == "from" || key == "to") {
      dovetree::Date d{1, 1, 2000};
      if (!ParseSearchDate(value, d)) {
        error = Format(
            TextOr(translator, 89420, "%s: takes a date as 2026-12-09 or 9/12/2026, not '%s'")
                .c_str(),
            key.c_str(), std::string(value).c_str());
        return false;
      }
      (key == "from" ? s.from : s.to) = d;
      (key == "from" ? s.hasfrom : s.hasto) = true;
    } else {
      if (!s.text.empty()) s.text += ' ';
      s.text += ToLower(word);
    }
  }
  if (s.hasfrom && s.hasto && s.from > s.to) {
    error = TextOr(translator, 89440, "from: is after to:");
    return false;
  }
  out = std::move(s);
  return true;
}

bool EventSearch::Matches(unsigned address, unsigned code, unsigned day, unsigned month,
                          unsigned year) const {
  if (device >= 0 && address != static_cast<unsigned>(device)) return false;
  if (zone != 0 && !std::binary_search(zonedevices.begin(), zonedevices.end(), address))
    return false;
  if (category >= 0 && GetLogCategory(code) != category) return false;
  if (hasfrom || hasto) {
    const dovetree::Date d(static_cast<std::int32_t>(day), static_cast<std::int32_t>(month),
                           static_cast<std::int32_t>(year));
    if (hasfrom && d < from) return false;
    if (hasto && d > to) return false;
  }
  return true;
}

bool EventSearch::MatchesText(std::string_view line) const {
  return text.empty() || ToLower(line).find(text) != std::string::npos;
}

}  // namespace quillark
