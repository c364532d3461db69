#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "core/site/devicetypes.h"

namespace quillark {

// One configured entry of a site: a command module, power supply, detector or
// zone, with its place in the site tree, its pictures and its alarm actions.
//
// Texts are owned copies; an empty text means "none". Site files store texts
// raw between commas, so every setter keeps commas and line ends out of them
// and cuts them to what a reader takes back (see StorableText).
class DeviceConfig {
 public:
  struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
  };
  struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const Rect&) const = default;
  };

  static constexpr std::uint32_t NOADDRESS = 0xFFFFFFFFu;
  // The longest text a site file line gives back.
  static constexpr std::size_t MAXTEXT = 511;

  // All other fields take their defaults: no parent, no texts, points and
  // masks 0, coverage areas (50,0,0,0), (50,0,0,0) and (0,0,0,0).
  explicit DeviceConfig(std::uint32_t address = NOADDRESS, devicetype type = BUSCONTROLLER,
                        devicemodel model = UNKNOWN);

  // (loop << 8) + number within the loop; a zone's number for zones.
  std::uint32_t GetAddress() const { return address; }
  devicetype GetType() const { return type; }
  devicemodel GetModel() const { return model; }
  void SetModel(devicemodel m) { model = m; }
  // Loop index (0-based) of a bus device.
  std::uint32_t GetLoop() const { return address >> 8; }
  // The run-time device number: a command module is configured under bus
  // address 1 but answers polls as slot 0.
  std::int32_t GetDeviceNumber() const {
    return static_cast<std::int32_t>(type == BUSCONTROLLER ? address - 1 : address);
  }

  std::uint32_t GetParentAddress() const { return parentaddress; }
  void SetParentAddress(std::uint32_t a) { parentaddress = a; }
  devicetype GetParentType() const { return parenttype; }
  void SetParentType(devicetype t) { parenttype = t; }

  const std::string& GetLocation() const { return location; }
  void SetLocation(std::string_view text) { SetPtr(location, text); }
  void SetLocation(const char* text) { SetPtr(location, text); }
  const std::string& GetMap() const { return map; }
  void SetMap(std::string_view text) { SetPtr(map, text); }
  void SetMap(const char* text) { SetPtr(map, text); }

  Point GetMapXY() const { return deviceXY; }
  void SetMapXY(Point p) { deviceXY = p; }
  Point GetSiteXY() const { return siteXY; }
  void SetSiteXY(Point p) { siteXY = p; }
  Point GetLoopXY() const { return loopXY; }
  void SetLoopXY(Point p) { loopXY = p; }
  std::int32_t GetZone() const { return zone; }
  void SetZone(std::int32_t z) { zone = z; }
  Point GetZoneXY() const { return zoneXY; }
  void SetZoneXY(Point p) { zoneXY = p; }

  // A set bit makes that fault non-critical (bits of the device fault byte).
  std::uint32_t GetFaultMask() const { return faultmask; }
  void SetFaultMask(std::uint32_t m) { faultmask = m; }
  std::uint32_t GetInput1Mask() const { return input1mask; }
  void SetInput1Mask(std::uint32_t m) { input1mask = m; }
  std::uint32_t GetInput2Mask() const { return input2mask; }
  void SetInput2Mask(std::uint32_t m) { input2mask = m; }

  Rect GetSiteorLoopCoverageArea() const { return siteorlooparea; }
  void SetSiteorLoopCoverageArea(Rect r) { siteorlooparea = r; }
  Rect GetZoneCoverageArea() const { return zonearea; }
  void SetZoneCoverageArea(Rect r) { zonearea = r; }
  Rect GetDeviceCoverageArea() const { return devicearea; }
  void SetDeviceCoverageArea(Rect r) { devicearea = r; }
  // The radius of a round coverage area (top == bottom), else 50.
  std::int32_t GetSamplingRadius() const {
    return siteorlooparea.top == siteorlooparea.bottom ? siteorlooparea.left : 50;
  }

  // Alarm actions, keyed by the capability bit of the event: 0x40 input 2,
  // 0x20 input 1, 0x10 fire 2, 0x08 fire 1, 0x04 pre-alarm, 0x02 aux,
  // 0x01 critical fault, 0x800 non-critical fault. Other keys read as none
  // and are ignored when set.
  static constexpr std::int32_t EVENTBITS[8] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x800, 0x01};
  const std::string& GetEventSound(std::int32_t bit) const;
  void SetEventSound(std::int32_t bit, std::string_view text);
  void SetEventSound(std::int32_t bit, const char* text);
  const std::string& GetEventText(std::int32_t bit) const;
  void SetEventText(std::int32_t bit, std::string_view text);
  void SetEventText(std::int32_t bit, const char* text);

  // Every field equal; texts compare as written (none equals only none).
  bool Equ(const DeviceConfig& other) const;
  bool operator==(const DeviceConfig& other) const { return Equ(other); }

  // One line of a site file, without its line end.
  std::ostream& Put(std::ostream& os) const;
  // Reads one line of a site file. True when the line was accepted: the entry
  // then holds its fields. A rejected line leaves the entry unchanged and puts
  // the stream into the failed state. A line that is accepted but whose
  // optional last two areas cannot be read also fails the stream, so that a
  // reader stops after it.
  bool Read(std::istream& is);
  std::istream& Get(std::istream& is) {
    Read(is);
    return is;
  }

  // The text a setter stores for `text`: commas become semicolons, line ends
  // and NULs become blanks, and it is cut to MAXTEXT bytes (never inside a
  // UTF-8 character).
  static std::string StorableText(std::string_view text);

 private:
  static void SetPtr(std::string& field, std::string_view text);
  static void SetPtr(std::string& field, const char* text) {
    SetPtr(field, text ? std::string_view(text) : std::string_view());
  }
  std::string* EventSound(std::int32_t bit);
  std::string* EventText(std::int32_t bit);

  std::uint32_t address;
  devicetype type;
  devicemodel model;
  std::uint32_t parentaddress = NOADDRESS;
  devicetype parenttype = static_cast<devicetype>(-1);
  std::string location;
  std::string map;
  Point deviceXY;
  Point siteXY;
  Point loopXY;
  std::int32_t zone = 0;
  Point zoneXY;
  std::uint32_t faultmask = 0;
  std::string input2sound, input1sound, fire2sound, fire1sound, prealarmsound, auxsound,
      criticalfaultsound, faultsound;
  std::string input2text, input1text, fire2text, fire1text, prealarmtext, auxtext,
      criticalfaulttext, faulttext;
  std::uint32_t input1mask = 0;
  std::uint32_t input2mask = 0;
  Rect siteorlooparea{50, 0, 0, 0};
  Rect zonearea{50, 0, 0, 0};
  Rect devicearea{0, 0, 0, 0};
};

inline std::ostream& operator<<(std::ostream& os, const DeviceConfig& d) {
  return d.Put(os);
}
inline std::istream& operator>>(std::istream& is, DeviceConfig& d) {
  return d.Get(is);
}

}  // namespace quillark
