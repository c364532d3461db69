#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/site/devicetypes.h"

namespace quillark {

// Function values travel as one byte; these three have a meaning of their own.
inline constexpr int FN_NOTSET = 255;
inline constexpr int FN_ON = 110;
inline constexpr int FN_OFF = 109;

// Where a device number (loop << 8 | device byte) sits on its loop: byte 0 is
// the command module (bus address 1), 1 to 127 detectors, 128 to 255 power
// supplies 1 to 128.
devicetype FnDeviceKind(int device);
int FnBusAddress(int device);
// The device number its lines carry in a function settings file: the loop
// and the bus address.
int FnFileAddress(int device);
// The device number of an answer heard on `loop`, from its start character
// and address byte; -1 for a start character that is no device's answer.
int FnAnswerDevice(int loop, char kind, char addressbyte);

// The functions of one device, as the device settings window edits them:
// index i holds bus function i + 1, 201 values with a modified flag each.
// It reads them from a function settings file and from a device's "G"
// answer, and writes them back into the file text and into a "P" frame.
class FunctionSet {
 public:
  static constexpr int COUNT = 201;
  static constexpr int READCOUNT = 181;  // functions a device answers with
  static constexpr int MODELINDEX = 44;
  static constexpr int VERSIONINDEX = 45;

  FunctionSet() { ClearFns(); }

  // 255 (not set) for an index outside the table; setting one is ignored.
  int GetFunction(int index) const;
  void SetFunction(int index, int value);
  bool GetModFlag(int index) const;
  void SetModFlag(int index, bool modified = true);
  // Every value 0, no flag set.
  void ClearFns();
  bool AnyModified() const;

  int GetType() const { return type; }
  void SetType(int model) { type = model; }
  int GetVersion() const { return version; }
  void SetVersion(int v) { version = v; }
  int GetDevice() const { return editdevice; }
  void SetDevice(int device) { editdevice = device; }
  int GetDevices() const { return devices; }
  // "Save All": writes go to every detector at once.
  bool global = false;
  // "Modified": only functions the pages changed are written.
  bool mod = true;

  // False when every detector of the file shares the function: models 1
  // and 3 keep only a few functions per device.
  bool IsMultiple(int function) const;

  // Takes the values of `device` from the text of a function settings file
  // (with those shared by every device); clears everything first. False when
  // the text has no valid header (the values then stay clear). A line the
  // reader cannot use (blank, malformed, a function outside 1 to 201, a
  // value above 255) is passed over.
  bool LoadFns(std::string_view text, int device);
  // Writes the values back into the text in place: each line of the device
  // (of every device for "Save All" and for shared functions) gets its value,
  // only modified ones while `mod` is set. The text keeps its length.
  void SaveFns(std::string& text) const;

  // The request for all 181 functions of `device`, without check sum.
  static std::string ReadRequest(int device);

  struct Answer {
    bool taken = false;
    // The device reports another model than the one shown.
    bool modelchanged = false;
    int receivedmodel = 0;
    int previousmodel = 0;
    // Model or version changed: the pages have to be made again.
    bool pageschanged = false;
  };
  // Takes a "G" answer heard on `loop` when it is the edited device's and
  // carries all 181 values; anything else is ignored and changes nothing.
  Answer TakeAnswer(int loop, std::string_view frame);
  // Reads the 181 values of a "G" answer into `values`; false when the frame
  // is not one. The frame's device is not looked at.
  static bool ParseAnswer(std::string_view frame, std::array<int, READCOUNT>& values);

  // The "P" frame (without check sum) writing functions 3 to 181, 94 apart,
  // that are modified (or all set ones when `mod` is clear); clears the
  // flags. Empty when there is nothing to write.
  std::string WriteFrame();

 private:
  std::array<int, COUNT> funcvalue{};
  std::array<bool, COUNT> funcmodflag{};
  int type = DEFAULT_DETECTOR;
  int version = 0;
  int editdevice = 0;
  int devices = 127;
};

}  // namespace quillark
