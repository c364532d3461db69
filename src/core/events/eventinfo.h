#pragma once

#include <cstdint>

namespace quillark {

class INI;

// Event colours and display options shared by the alarm viewer, the device
// displays and the maps. A colour is red + 256 x green + 65536 x blue.
class EventInfo {
 public:
  using colour = std::uint32_t;

  // Indexes of GetEventColour / SetEventColour and of the "colour%d" settings.
  enum : int {
    EC_AUX = 0,
    EC_PREALARM = 1,
    EC_FIRE1 = 2,
    EC_FIRE2 = 3,
    EC_FAULT = 4,
    EC_NORMAL = 5,
    EC_FIRSTFIRE = 6,
    EC_ISOLATED = 7,
    EC_COUNT = 8,
  };

  static constexpr colour RGB(int r, int g, int b) {
    return static_cast<colour>(r & 0xFF) | (static_cast<colour>(g & 0xFF) << 8) |
           (static_cast<colour>(b & 0xFF) << 16);
  }

  // The contrast ratio of two colours as the accessibility guidelines
  // compute it from their relative luminance: 1 (same) to 21 (black on white).
  static double ContrastRatio(colour a, colour b);
  // Black or white, whichever reads better on `background`; either way at
  // least 4.5:1, so a dark configured colour (isolated lines) keeps its
  // text readable without the colour being changed.
  static colour ReadableTextOn(colour background);

  // Reads the "Options" section: the switches and the colours "colour0" to
  // "colour7" ("red,green,blue"); an absent or unreadable colour keeps the
  // built-in one.
  void LoadOptions(INI& ini);

  // Any other index reads as the fault colour, so a bad index still shows
  // something that catches the eye; setting one does nothing.
  colour GetEventColour(int index) const;
  void SetEventColour(int index, colour c);

  bool GetShowCoverage() const { return showcoverage; }
  void SetShowCoverage(bool on) { showcoverage = on; }
  bool GetShowFaultCoverage() const { return showfaultcoverage; }
  void SetShowFaultCoverage(bool on) { showfaultcoverage = on; }
  bool GetMapsMaximised() const { return mapsmaximised; }
  void SetMapsMaximised(bool on) { mapsmaximised = on; }
  bool GetShowFF() const { return showff; }
  void SetShowFF(bool on) { showff = on; }
  int GetAlarmsInIsolate() const { return alarmsinisolate; }
  void SetAlarmsInIsolate(int on) { alarmsinisolate = on; }

  colour GetAuxColour() const { return auxcolour; }
  void SetAuxColour(colour c) { auxcolour = c; }
  colour GetPreAlarmColour() const { return prealarmcolour; }
  void SetPreAlarmColour(colour c) { prealarmcolour = c; }
  colour GetFire1Colour() const { return fire1colour; }
  void SetFire1Colour(colour c) { fire1colour = c; }
  colour GetFire2Colour() const { return fire2colour; }
  void SetFire2Colour(colour c) { fire2colour = c; }
  colour GetFaultColour() const { return faultcolour; }
  void SetFaultColour(colour c) { faultcolour = c; }
  colour GetNormalColour() const { return normalcolour; }
  void SetNormalColour(colour c) { normalcolour = c; }
  colour GetFirstFireColour() const { return firstfirecolour; }
  void SetFirstFireColour(colour c) { firstfirecolour = c; }
  colour GetIsolatedColour() const { return isolatedcolour; }
  void SetIsolatedColour(colour c) { isolatedcolour = c; }

 private:
  bool showcoverage = true;
  bool showfaultcoverage = true;
  bool mapsmaximised = false;
  bool showff = true;
  colour auxcolour = RGB(255, 221, 227);
  colour prealarmcolour = RGB(255, 196, 206);
  colour fire1colour = RGB(255, 132, 153);
  colour fire2colour = RGB(255, 70, 102);
  colour faultcolour = RGB(255, 255, 0);
  colour normalcolour = RGB(255, 255, 255);
  colour firstfirecolour = RGB(255, 221, 226);
  colour isolatedcolour = RGB(64, 64, 255);
  int alarmsinisolate = 0;
};

}  // namespace quillark
