#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/site/devcnfig.h"
#include "core/site/devicetypes.h"

namespace quillark {

class EventInfo;
class Translator;
class TSiteConfig;

// The rules of the site maps, apart from any drawing: which devices a map
// shows and where, which get a coverage area, how a status ranks and which
// colour and picture it gets, and the texts of titles and tool tips.
namespace SiteMap {

// Map keys: a zone number above 0; 0 down to -9999 a loop by its magnitude;
// below that the whole site.
constexpr int SITEKEY = -10000;
inline int LoopKey(int loop) {
  return -loop;
}

// What a status ranks as: 0 fire 2, 1 fire 1, 2 pre-alarm, 3 aux, 4 fault,
// 5 normal, 6 isolated.
enum Rank { FIRE2, FIRE1, PREALARM, AUX, FAULT, NORMAL, ISOLATED, RANKS };
Rank StatusRank(unsigned status, unsigned fault);
// The event colour index a device is drawn in.
int ColourIndex(unsigned status, unsigned fault);
// The colour itself; on a zone map being edited the selected device is green
// and every other grey.
std::uint32_t StatusColour(const EventInfo& info, unsigned status, unsigned fault,
                           bool zoneediting = false, bool selected = false);

// Whether a map with `key` draws `device`: only command modules, power
// supplies and detectors, never the PC standing in as command module, and
// only those of the key's zone or loop.
bool Shows(int key, const DeviceConfig& device);
// Whether `device` gets `area` drawn on a map with `key`.
bool HasCoverage(int key, const DeviceConfig& device, const DeviceConfig::Rect& area);

// Where a device sits on a map of `kind` (SITE, LOOP, ZONE, or its own map
// for BUSCONTROLLER and DETECTOR), and its coverage rectangle there.
DeviceConfig::Point Position(devicetype kind, const DeviceConfig& device);
DeviceConfig::Rect Coverage(devicetype kind, const DeviceConfig& device);
// Store them where Position and Coverage read them back, so that what the
// map setup places is what every map of that kind shows.
void SetPosition(devicetype kind, DeviceConfig& device, DeviceConfig::Point at);
void SetCoverage(devicetype kind, DeviceConfig& device, const DeviceConfig::Rect& area);

// The picture file of a device kind at a rank; power supplies have no alarm
// pictures and show their fault picture instead.
const char* PictureFile(devicetype kind, Rank rank);

// "1-005": the loop from 1 and the address.
std::string Label(int deviceid);
// The selection frame: a fifth of the smaller side, 1 to 4 pixels.
int FrameThickness(int width, int height);
std::string TipText(const DeviceConfig& device, Translator& translator);
// "Device map for command module 1 - Plant room" and the like.
std::string Title(devicetype kind, int id, const std::string& location, Translator& translator);

// --- Which map, with which devices where

// One map: its kind (SITE, LOOP, ZONE, or BUSCONTROLLER and DETECTOR for a
// device's own map), whose it is (the device or zone, the loop for a loop
// map, -1 for the site), its key and its picture file.
struct MapRef {
  devicetype kind = SITE;
  int id = -1;
  int key = SITEKEY;
  std::string file;
  bool operator==(const MapRef&) const = default;
};
MapRef SiteRef(std::string file);
// A loop's map is its command module's picture, with the devices at their
// loop positions.
MapRef LoopRef(const TSiteConfig& site, int loop);
// The map of zone `zone`, when the site defines the zone.
std::optional<MapRef> ZoneRef(const TSiteConfig& site, int zone);
// The zone map of a device's zone (ViewZone), when it has one.
std::optional<MapRef> ZoneRefOf(const TSiteConfig& site, int device);
// The map ViewMap shows for a device: the device's own picture (a command
// module's shows its loop, a detector's its array cells), else its zone's.
std::optional<MapRef> DeviceRef(const TSiteConfig& site, int device);
// Whether any map of the site has a picture to show, or `sitefile` is set.
bool HasMaps(const TSiteConfig& site, const std::string& sitefile);

// A device drawn on a map: its device number, its entry, where its icon
// goes and, when it gets one there, its coverage area (map coordinates).
struct Item {
  int device = 0;
  const DeviceConfig* config = nullptr;
  DeviceConfig::Point at;
  DeviceConfig::Rect area;
  bool coverage = false;
};
std::vector<Item> Items(const TSiteConfig& site, const MapRef& ref);
// The window title of a map: the device or zone titles, "Site map",
// "Loop %d map".
std::string RefTitle(const TSiteConfig& site, const MapRef& ref, Translator& translator);

// --- Pictures

// Map pictures are checked before they are loaded: a damaged or hostile
// file must not make the program allocate gigabytes.
constexpr int MAXBITMAPSIDE = 10000;
struct BitmapSize {
  int width = 0, height = 0;
};
// Empty when `head` (the file's first bytes) is a bitmap of a sane size;
// otherwise why it is refused, naming `name`.
std::string CheckBitmapHeader(std::string_view head, const std::string& name,
                              BitmapSize* size = nullptr);
std::string CheckBitmapFile(const std::filesystem::path& file, BitmapSize* size = nullptr);

// --- Geometry: the picture is scaled into the window keeping its
// proportions, centred; map coordinates are picture pixels.
class MapScale {
 public:
  MapScale(int bitmapwidth, int bitmapheight, const DeviceConfig::Rect& window);
  DeviceConfig::Point MapToScreen(DeviceConfig::Point p) const;
  DeviceConfig::Point ScreenToMap(DeviceConfig::Point p) const;
  DeviceConfig::Rect MapToScreen(const DeviceConfig::Rect& r) const;
  // Where the picture itself lands.
  const DeviceConfig::Rect& Picture() const { return picture; }
  double Scale() const { return scale; }

 private:
  DeviceConfig::Rect picture;
  double scale = 1.0;
};
// A device's icon on the screen: `iconsize` map pixels from its position,
// at least 6 pixels whatever the scale.
DeviceConfig::Rect IconRect(const MapScale& scale, DeviceConfig::Point at, int iconsize);

}  // namespace SiteMap

// The status and fault bits each device was last drawn with, so a map redraws
// only the devices whose bits changed.
class MapStatusMemory {
 public:
  // True (and the new bits are kept) when `device` now has other bits than
  // it was drawn with.
  bool DeviceSfsHasChanged(int device, unsigned status, unsigned fault);
  void Forget() { drawn.clear(); }

 private:
  std::unordered_map<int, std::uint32_t> drawn;
};

}  // namespace quillark
