#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/site/devcnfig.h"
#include "core/site/devicetypes.h"

namespace quillark {

class EventInfo;
class Translator;

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
