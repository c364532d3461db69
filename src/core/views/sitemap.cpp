#include "core/views/sitemap.h"

#include <algorithm>

#include "core/access/translator.h"
#include "core/common/statusbits.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"

namespace quillark {
namespace SiteMap {

Rank StatusRank(unsigned status, unsigned fault) {
  if ((status & 0x10) != 0) return FIRE2;
  if ((status & 0x08) != 0) return FIRE1;
  if ((status & 0x04) != 0) return PREALARM;
  if ((status & 0x02) != 0) return AUX;
  if ((status & 0x01) == 0) return NORMAL;
  if ((fault & 0x20) != 0) return ISOLATED;
  return FAULT;
}

int ColourIndex(unsigned status, unsigned fault) {
  switch (StatusRank(status, fault)) {
    case FIRE2:
      return EventInfo::EC_FIRE2;
    case FIRE1:
      return EventInfo::EC_FIRE1;
    case PREALARM:
      return EventInfo::EC_PREALARM;
    case AUX:
      return EventInfo::EC_AUX;
    case ISOLATED:
      return EventInfo::EC_ISOLATED;
    case FAULT:
      return EventInfo::EC_FAULT;
    case NORMAL:
    case RANKS:
      break;
  }
  return EventInfo::EC_NORMAL;
}

std::uint32_t StatusColour(const EventInfo& info, unsigned status, unsigned fault, bool zoneediting,
                           bool selected) {
  if (zoneediting) return selected ? 8716164u : 12632256u;
  return info.GetEventColour(ColourIndex(status, fault));
}

bool Shows(int key, const DeviceConfig& d) {
  const devicetype type = d.GetType();
  if (type != BUSCONTROLLER && type != POWERSUPPLY && type != DETECTOR) return false;
  if (type == BUSCONTROLLER && d.GetModel() == PCBUSMASTER) return false;
  if (key > 0) return d.GetZone() == key;
  if (key >= -9999) return static_cast<int>(d.GetLoop()) == -key;
  return true;
}

bool HasCoverage(int key, const DeviceConfig& d, const DeviceConfig::Rect& area) {
  if (area.right - area.left == 0 || area.bottom - area.top == 0) return false;
  if (key > 0 && d.GetZone() != key) return false;
  if (d.GetType() == BUSCONTROLLER) return key < -9999;
  return (d.GetType() == DETECTOR || d.GetType() == POWERSUPPLY) && key >= -9999;
}

DeviceConfig::Point Position(devicetype kind, const DeviceConfig& d) {
  switch (kind) {
    case SITE:
      return d.GetSiteXY();
    case LOOP:
      return d.GetLoopXY();
    case ZONE:
      return d.GetZoneXY();
    default:
      return d.GetMapXY();
  }
}

DeviceConfig::Rect Coverage(devicetype kind, const DeviceConfig& d) {
  switch (kind) {
    case SITE:
    case LOOP:
      return d.GetSiteorLoopCoverageArea();
    case ZONE:
      return d.GetZoneCoverageArea();
    default:
      return d.GetDeviceCoverageArea();
  }
}

const char* PictureFile(devicetype kind, Rank rank) {
  static const char* const commandmodule[RANKS] = {
      "cfire2.bmp", "cfire1.bmp", "cprealrm.bmp", "caux.bmp", "cfault.bmp", "cok.bmp", "cisol.bmp"};
  static const char* const powersupply[RANKS] = {
      "pfault.bmp", "pfault.bmp", "pfault.bmp", "pfault.bmp", "pfault.bmp", "pok.bmp", "pisol.bmp"};
  static const char* const detector[RANKS] = {
      "dfire2.bmp", "dfire1.bmp", "dprealrm.bmp", "daux.bmp", "dfault.bmp", "dok.bmp", "disol.bmp"};
  const int r = std::clamp(static_cast<int>(rank), 0, RANKS - 1);
  if (kind == BUSCONTROLLER) return commandmodule[r];
  if (kind == POWERSUPPLY) return powersupply[r];
  return detector[r];
}

std::string Label(int deviceid) {
  return Format("%d-%03d", (deviceid >> 8) + 1, deviceid & 0xFF);
}

int FrameThickness(int width, int height) {
  return std::clamp(std::min(width, height) / 5, 1, 4);
}

std::string TipText(const DeviceConfig& d, Translator& translator) {
  const std::uint32_t address = d.GetAddress();
  if (d.GetType() == BUSCONTROLLER) {
    const std::string name = translator.Text(16800);
    return Format("%s %03u", name.empty() ? "Command module" : name.c_str(),
                  static_cast<unsigned>((address >> 8) + 1));
  }
  const std::string name = translator.Text(16900);
  return Format("%s %u-%03u", name.empty() ? "Detector" : name.c_str(),
                static_cast<unsigned>((address >> 8) + 1), static_cast<unsigned>(address & 0xFF));
}

std::string Title(devicetype kind, int id, const std::string& location, Translator& translator) {
  std::string title;
  auto text = [&](int n, const char* english) {
    const std::string t = translator.Text(n);
    return t.empty() ? std::string(english) : t;
  };
  if (kind == BUSCONTROLLER)
    title = Format(text(7900, "Device map for command module %u").c_str(),
                   static_cast<unsigned>((id >> 8) + 1));
  else if (kind == ZONE)
    title = Format(text(8100, "Zone map for zone %u").c_str(), static_cast<unsigned>(id));
  else
    title =
        Format(text(8000, "Device map for detector %u").c_str(), static_cast<unsigned>(id & 0xFF));
  if (!location.empty()) title += " - " + location;
  return title;
}

}  // namespace SiteMap

bool MapStatusMemory::DeviceSfsHasChanged(int device, unsigned status, unsigned fault) {
  const std::uint32_t bits = ((status & 0xFFFFu) << 16) | (fault & 0xFFFFu);
  auto [it, added] = drawn.try_emplace(device, bits);
  if (added) return true;
  if (it->second == bits) return false;
  it->second = bits;
  return true;
}

}  // namespace quillark
