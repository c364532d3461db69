#include "core/views/sitemap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "core/access/translator.h"
#include "core/common/statusbits.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"

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

void SetPosition(devicetype kind, DeviceConfig& d, DeviceConfig::Point at) {
  switch (kind) {
    case SITE:
      d.SetSiteXY(at);
      break;
    case LOOP:
      d.SetLoopXY(at);
      break;
    case ZONE:
      d.SetZoneXY(at);
      break;
    default:
      d.SetMapXY(at);
      break;
  }
}

void SetCoverage(devicetype kind, DeviceConfig& d, const DeviceConfig::Rect& area) {
  switch (kind) {
    case SITE:
    case LOOP:
      d.SetSiteorLoopCoverageArea(area);
      break;
    case ZONE:
      d.SetZoneCoverageArea(area);
      break;
    default:
      d.SetDeviceCoverageArea(area);
      break;
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
  if (d.GetType() == BUSCONTROLLER)
    return Format("%s %03u", translator.TextOr(16800, "Command module").c_str(),
                  static_cast<unsigned>((address >> 8) + 1));
  return Format("%s %u-%03u", translator.TextOr(16900, "Detector").c_str(),
                static_cast<unsigned>((address >> 8) + 1), static_cast<unsigned>(address & 0xFF));
}

std::string Title(devicetype kind, int id, const std::string& location, Translator& translator) {
  std::string title;
  auto text = [&](int n, const char* english) { return translator.TextOr(n, english); };
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

MapRef SiteRef(std::string file) {
  return MapRef{SITE, -1, SITEKEY, std::move(file)};
}

MapRef LoopRef(const TSiteConfig& site, int loop) {
  const DeviceConfig* module = site.GetDevice(static_cast<std::uint32_t>(loop) << 8);
  return MapRef{LOOP, loop, LoopKey(loop), module != nullptr ? module->GetMap() : std::string()};
}

std::optional<MapRef> ZoneRef(const TSiteConfig& site, int zone) {
  if (zone <= 0) return std::nullopt;
  const DeviceConfig* z = site.GetDevice(static_cast<std::uint32_t>(zone), ZONE);
  if (z == nullptr) return std::nullopt;
  return MapRef{ZONE, zone, zone, z->GetMap()};
}

std::optional<MapRef> ZoneRefOf(const TSiteConfig& site, int device) {
  if (device < 0) return std::nullopt;
  const DeviceConfig* d = site.GetDevice(static_cast<std::uint32_t>(device));
  if (d == nullptr) return std::nullopt;
  return ZoneRef(site, d->GetZone());
}

std::optional<MapRef> DeviceRef(const TSiteConfig& site, int device) {
  if (device < 0) return std::nullopt;
  const DeviceConfig* d = site.GetDevice(static_cast<std::uint32_t>(device));
  if (d == nullptr) return std::nullopt;
  if (!d->GetMap().empty()) {
    const devicetype kind = d->GetType() == BUSCONTROLLER ? BUSCONTROLLER : DETECTOR;
    return MapRef{kind, device, LoopKey(device >> 8), d->GetMap()};
  }
  std::optional<MapRef> zone = ZoneRefOf(site, device);
  if (zone && !zone->file.empty()) return zone;
  return std::nullopt;
}

bool HasMaps(const TSiteConfig& site, const std::string& sitefile) {
  if (!sitefile.empty()) return true;
  return std::any_of(site.begin(), site.end(), [](const DeviceConfig& d) {
    return d.GetType() == BUSCONTROLLER && !d.GetMap().empty();
  });
}

std::vector<Item> Items(const TSiteConfig& site, const MapRef& ref) {
  std::vector<Item> items;
  int first = 0, last = 16 * 256 - 1;
  if (ref.key <= 0 && ref.key >= -9999) {
    first = -ref.key * 256;
    last = first + 255;
  }
  const DeviceConfig* owner = nullptr;
  if (ref.kind == DETECTOR || ref.kind == BUSCONTROLLER)
    owner = site.GetDevice(static_cast<std::uint32_t>(ref.id));
  for (int id = first; id <= last && id < 16 * 256; ++id) {
    const DeviceConfig* d = site.GetDevice(static_cast<std::uint32_t>(id));
    if (d == nullptr || !Shows(ref.key, *d)) continue;
    if (owner != nullptr) {
      // A device's own map shows what it contains, not the device itself;
      // a detector contains its array cells.
      if (d == owner) continue;
      if (ref.kind == DETECTOR &&
          (d->GetParentAddress() != owner->GetAddress() || d->GetParentType() != owner->GetType()))
        continue;
    }
    Item item;
    item.device = id;
    item.config = d;
    item.at = Position(ref.kind, *d);
    item.area = Coverage(ref.kind, *d);
    item.coverage = HasCoverage(ref.key, *d, item.area);
    items.push_back(item);
  }
  return items;
}

std::string RefTitle(const TSiteConfig& site, const MapRef& ref, Translator& translator) {
  if (ref.kind == SITE) return "Site map";
  if (ref.kind == LOOP) return Format("Loop %d map", ref.id + 1);
  std::string location;
  if (ref.kind == ZONE) {
    if (const DeviceConfig* z = site.GetDevice(static_cast<std::uint32_t>(ref.id), ZONE))
      location = z->GetLocation();
  } else if (const DeviceConfig* d = site.GetDevice(static_cast<std::uint32_t>(ref.id))) {
    location = d->GetLocation();
  }
  return Title(ref.kind, ref.id, location, translator);
}

namespace {

std::int32_t Le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return static_cast<std::int32_t>(v);
}
int Le16(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

std::string CheckBitmapHeader(std::string_view head, const std::string& name, BitmapSize* size) {
  const std::string notbitmap = name + " is not a bitmap.";
  // The file header (14 bytes) and at least the old 12-byte information
  // header.
  if (head.size() < 26 || head[0] != 'B' || head[1] != 'M') return notbitmap;
  const std::int32_t infosize = Le32(head, 14);
  std::int64_t width = 0, height = 0;
  int bits = 0;
  if (infosize == 12) {
    width = Le16(head, 18);
    height = Le16(head, 20);
    bits = Le16(head, 24);
  } else if (infosize >= 40 && head.size() >= 30) {
    width = Le32(head, 18);
    height = Le32(head, 22);  // negative: stored top down
    bits = Le16(head, 28);
  } else {
    return notbitmap;
  }
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return notbitmap;
  if (width > MAXBITMAPSIDE || height > MAXBITMAPSIDE)
    return Format(
        "%s is %lld x %lld pixels: map pictures larger than %d x %d pixels are not shown.",
        name.c_str(), static_cast<long long>(width), static_cast<long long>(height), MAXBITMAPSIDE,
        MAXBITMAPSIDE);
  if (size != nullptr) *size = {static_cast<int>(width), static_cast<int>(height)};
  return {};
}

std::string CheckBitmapFile(const std::filesystem::path& file, BitmapSize* size) {
  const std::string name = file.filename().string();
  std::ifstream in(file, std::ios::binary);
  if (!in) return "The map picture " + name + " is missing or cannot be read.";
  std::string head(64, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return CheckBitmapHeader(head, name, size);
}

namespace {

// Far enough outside any screen to be clipped, near enough that no sum
// of such values overflows.
constexpr double FAR = 1.0e6;
std::int32_t Clip(double v) {
  return static_cast<std::int32_t>(std::lround(std::clamp(v, -FAR, FAR)));
}

}  // namespace

MapScale::MapScale(int bw, int bh, const DeviceConfig::Rect& window) {
  const double ww = std::max(1, window.right - window.left);
  const double wh = std::max(1, window.bottom - window.top);
  const double w = std::max(1, bw), h = std::max(1, bh);
  scale = std::min(ww / w, wh / h);
  const std::int32_t pw = Clip(w * scale), ph = Clip(h * scale);
  const std::int32_t left = window.left + static_cast<std::int32_t>((ww - pw) / 2);
  const std::int32_t top = window.top + static_cast<std::int32_t>((wh - ph) / 2);
  picture = {left, top, left + pw, top + ph};
}

DeviceConfig::Point MapScale::MapToScreen(DeviceConfig::Point p) const {
  return {Clip(picture.left + p.x * scale), Clip(picture.top + p.y * scale)};
}

DeviceConfig::Point MapScale::ScreenToMap(DeviceConfig::Point p) const {
  return {Clip((p.x - picture.left) / scale), Clip((p.y - picture.top) / scale)};
}

DeviceConfig::Rect MapScale::MapToScreen(const DeviceConfig::Rect& r) const {
  const DeviceConfig::Point a = MapToScreen(DeviceConfig::Point{r.left, r.top});
  const DeviceConfig::Point b = MapToScreen(DeviceConfig::Point{r.right, r.bottom});
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

DeviceConfig::Rect IconRect(const MapScale& scale, DeviceConfig::Point at, int iconsize) {
  const DeviceConfig::Point a = scale.MapToScreen(at);
  const int side =
      std::max(6, static_cast<int>(std::lround(std::max(1, iconsize) * scale.Scale())));
  return {a.x, a.y, a.x + side, a.y + side};
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
