#include "core/events/eventinfo.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/common/ini.h"

namespace quillark {

namespace {

double Linear(unsigned channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(EventInfo::colour c) {
  return 0.2126 * Linear(c & 0xFF) + 0.7152 * Linear((c >> 8) & 0xFF) +
         0.0722 * Linear((c >> 16) & 0xFF);
}

}  // namespace

double EventInfo::ContrastRatio(colour a, colour b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

EventInfo::colour EventInfo::ReadableTextOn(colour background) {
  const colour black = RGB(0, 0, 0), white = RGB(255, 255, 255);
  return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}
namespace {

// Three decimal numbers "red,green,blue" the way "%d,%d,%d" reads them; false
// unless all three are there.
bool ReadColour(const std::string& text, EventInfo::colour& out) {
  const char* p = text.c_str();
  long part[3];
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (*p != ',') return false;
      ++p;
    }
    char* end = nullptr;
    part[i] = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
  }
  // Each part is taken as one byte, whatever was written.
  out = EventInfo::RGB(static_cast<int>(part[0] & 0xFF), static_cast<int>(part[1] & 0xFF),
                       static_cast<int>(part[2] & 0xFF));
  return true;
}

}  // namespace

void EventInfo::LoadOptions(INI& ini) {
  showcoverage = ini.ReadInt("Options", "ShowCoverage", "1") != 0;
  showfaultcoverage = ini.ReadInt("Options", "ShowFaultAsCoverage", "1") != 0;
  showff = ini.ReadInt("Options", "ShowFirstFireIndication", "1") != 0;
  for (int i = 0; i < EC_COUNT; ++i) {
    std::string value = ini.ReadString("Options", "colour" + std::to_string(i), "");
    colour c;
    if (!value.empty() && ReadColour(value, c)) SetEventColour(i, c);
  }
  mapsmaximised = ini.ReadInt("Options", "MapsMaximised", "0") != 0;
  alarmsinisolate = static_cast<int>(ini.ReadInt("Options", "AlarmsInIsolate", "0"));
}

EventInfo::colour EventInfo::GetEventColour(int index) const {
  switch (index) {
    case EC_AUX:
      return auxcolour;
    case EC_PREALARM:
      return prealarmcolour;
    case EC_FIRE1:
      return fire1colour;
    case EC_FIRE2:
      return fire2colour;
    case EC_NORMAL:
      return normalcolour;
    case EC_FIRSTFIRE:
      return firstfirecolour;
    case EC_ISOLATED:
      return isolatedcolour;
    default:
      return faultcolour;
  }
}

void EventInfo::SetEventColour(int index, colour c) {
  switch (index) {
    case EC_AUX:
      auxcolour = c;
      break;
    case EC_PREALARM:
      prealarmcolour = c;
      break;
    case EC_FIRE1:
      fire1colour = c;
      break;
    case EC_FIRE2:
      fire2colour = c;
      break;
    case EC_FAULT:
      faultcolour = c;
      break;
    case EC_NORMAL:
      normalcolour = c;
      break;
    case EC_FIRSTFIRE:
      firstfirecolour = c;
      break;
    case EC_ISOLATED:
      isolatedcolour = c;
      break;
    default:
      break;
  }
}

}  // namespace quillark
