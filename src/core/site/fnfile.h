#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/site/devicetypes.h"
#include "core/site/functionset.h"

namespace quillark {

// Function settings files: one per kind of device beside the site file
// (.dfs detectors, .pfs power supplies, .cfs command modules). A header
// "!<model>\"<devices>", then one "%06u:%03u:%03u" line per value (device,
// function, value) and the end line "255:255:255", each ending CR LF.

inline constexpr char FN_LINEEND[] = "\r\n";
inline constexpr char FN_ENDLINE[] = "255:255:255\r\n";
// Bigger files are not function settings files; they are refused rather
// than read into memory.
inline constexpr std::size_t FN_MAXFILE = 64u * 1024u * 1024u;

struct FnFileHeader {
  int model = 0;
  int devices = 0;
};
// "!", a model character "0" to ":", a double quote, the device count.
bool ParseFnHeader(std::string_view text, FnFileHeader& header);

struct FnLine {
  unsigned address = 0;
  unsigned function = 0;
  unsigned value = 0;
  std::size_t offset = 0;  // where the line starts in the text
  std::size_t valueoffset = 0;
  std::size_t valuelength = 0;
};

// Walks the value lines after the header. Blank and malformed lines are
// passed over; the walk ends at the end line (any line whose device or
// function is 255) or at the end of the text. CR LF and LF both end a line.
class FnLineReader {
 public:
  explicit FnLineReader(std::string_view text);
  bool Next(FnLine& line);
  // After the walk: where the end line starts, or the text's size when it
  // has none; and whether it had one.
  std::size_t EndOffset() const { return endoffset; }
  bool SawEndLine() const { return sawend; }

 private:
  std::string_view text;
  std::size_t pos;
  std::size_t endoffset;
  bool sawend = false;
};

// The site file's name with the kind's extension; empty for other kinds.
std::string FnFileName(const std::string& sitefile, devicetype kind);
// The header line of a new file of the kind.
std::string FnNewFileText(devicetype kind);
// "%06u:%03u:%03u" and the line end.
std::string FnValueLine(unsigned address, unsigned function, unsigned value);
// The lines a save writes for one device's answer: functions 4 to 181, the
// clock (17 to 21) and 94 left out, since they mean nothing on another day
// or another device.
std::string FnAnswerLines(unsigned address, const std::array<int, FunctionSet::READCOUNT>& values);

// The file addresses that have lines, in the order of their first line.
std::vector<unsigned> FnFileDevices(std::string_view text);
// What a restore sends to the device at `address`: its lines' values that
// are set, function 15, 16 and empty text characters (64 to 79 holding 0)
// left out; stored in `set` and marked. False when the text has no header or
// ends before its end line.
bool FnRestoreValues(std::string_view text, unsigned address, FunctionSet& set);
// The write frame (without check sum) of the marked functions 3 to 180 but
// 56 and 57 for `device`; empty when none is marked.
std::string FnRestoreFrame(int device, const FunctionSet& set);

// Reads a whole file; false when it cannot be read or is too big.
bool ReadFnFile(const std::string& path, std::string& text);
// Writes under a temporary name beside the file and renames it over: a
// failure or a crash leaves the old file as it was.
bool WriteFileAtomic(const std::string& path, std::string_view text);

// One value of a function file's text: -1 when the text has no header or
// no line for it.
int FnTextValue(std::string_view text, unsigned address, int index);
// Puts one value into a file's text: overwrites the line of (address,
// index + 1) or adds one before the end line, then a new end line. False
// when the text has no valid header; `changed` says whether the text changed.
bool FnTextSetValue(std::string& text, unsigned address, int index, int value,
                    bool* changed = nullptr);

}  // namespace quillark
