#include "core/site/functionset.h"

#include <algorithm>
#include <cstdio>

#include "core/site/detector.h"
#include "core/site/fnfile.h"

namespace quillark {

devicetype FnDeviceKind(int device) {
  const int byte = device & 0xFF;
  if (byte == 0) return BUSCONTROLLER;
  return byte >= 128 ? POWERSUPPLY : DETECTOR;
}

int FnBusAddress(int device) {
  const int byte = device & 0xFF;
  if (byte == 0) return 1;
  return byte >= 128 ? byte - 127 : byte;
}

int FnFileAddress(int device) {
  return (device & ~0xFF) | FnBusAddress(device);
}

int FnAnswerDevice(int loop, char kind, char addressbyte) {
  const int address = static_cast<unsigned char>(addressbyte) & 0x7F;
  switch (kind) {
    case '/':
      return loop << 8;
    case '<':
      return loop << 8 | address;
    case '+':
      return address == 0 ? -1 : (loop << 8 | (address + 127));
    default:
      return -1;
  }
}

int FunctionSet::GetFunction(int index) const {
  if (index < 0 || index >= COUNT) return FN_NOTSET;
  return funcvalue[static_cast<std::size_t>(index)];
}

void FunctionSet::SetFunction(int index, int value) {
  // A function is one byte on the wire and in the files.
  if (index < 0 || index >= COUNT || value < 0 || value > 255) return;
  funcvalue[static_cast<std::size_t>(index)] = value;
}

bool FunctionSet::GetModFlag(int index) const {
  if (index < 0 || index >= COUNT) return false;
  return funcmodflag[static_cast<std::size_t>(index)];
}

void FunctionSet::SetModFlag(int index, bool modified) {
  if (index < 0 || index >= COUNT) return;
  funcmodflag[static_cast<std::size_t>(index)] = modified;
}

void FunctionSet::ClearFns() {
  funcvalue.fill(0);
  funcmodflag.fill(false);
}

bool FunctionSet::AnyModified() const {
  return std::find(funcmodflag.begin(), funcmodflag.end(), true) != funcmodflag.end();
}

bool FunctionSet::IsMultiple(int function) const {
  if (type != PELORINVANTOR && type != PELORINFERROW) return true;
  switch (function) {
    case 7:
    case 8:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 24:
    case 25:
    case 26:
    case 33:
    case 34:
    case 38:
    case 39:
    case 51:
    case 53:
      return true;
    case 42:
      return type == PELORINVANTOR;
    default:
      return false;
  }
}

bool FunctionSet::LoadFns(std::string_view text, int device) {
  ClearFns();
  editdevice = device;
  FnFileHeader header;
  if (!ParseFnHeader(text, header)) return false;
  devices = header.devices;
  const unsigned self = static_cast<unsigned>(FnFileAddress(device));
  FnLineReader reader(text);
  for (FnLine line; reader.Next(line);) {
    if (line.address != self && IsMultiple(static_cast<int>(line.function))) continue;
    if (line.function >= 1 && line.function <= static_cast<unsigned>(COUNT) && line.value <= 255)
      SetFunction(static_cast<int>(line.function) - 1, static_cast<int>(line.value));
  }
  const int model = GetFunction(MODELINDEX);
  if (model < Detector::GetNumberOfDetectorTypes()) {
    type = model;
    version = GetFunction(VERSIONINDEX);
  }
  return true;
}

void FunctionSet::SaveFns(std::string& text) const {
  FnFileHeader header;
  if (!ParseFnHeader(text, header)) return;
  const unsigned self = static_cast<unsigned>(FnFileAddress(editdevice));
  FnLineReader reader(text);
  for (FnLine line; reader.Next(line);) {
    if (line.address != self && !global && IsMultiple(static_cast<int>(line.function))) continue;
    if (line.function < 1 || line.function > static_cast<unsigned>(COUNT)) continue;
    const int index = static_cast<int>(line.function) - 1;
    if (mod && !GetModFlag(index)) continue;
    // Only a value field of three digits is overwritten: the text keeps
    // its length and a hand-written line of another width stays whole.
    if (line.valuelength != 3) continue;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(GetFunction(index)));
    text.replace(line.valueoffset, 3, digits, 3);
  }
}

namespace {

char RequestKind(int device) {
  switch (FnDeviceKind(device)) {
    case BUSCONTROLLER:
      return ':';
    case POWERSUPPLY:
      return '#';
    default:
      return '>';
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string FunctionSet::ReadRequest(int device) {
  std::string frame;
  frame += RequestKind(device);
  frame += static_cast<char>(FnBusAddress(device) | 0x80);
  char payload[16];
  std::snprintf(payload, sizeof payload, "G004%02x%02x", 1u, static_cast<unsigned>(READCOUNT));
  return frame + payload;
}

bool FunctionSet::ParseAnswer(std::string_view frame, std::array<int, READCOUNT>& values) {
  if (frame.size() < 6 || (frame[0] != '/' && frame[0] != '<' && frame[0] != '+') ||
      frame[2] != 'G')
    return false;
  int length = 0;
  for (int i = 3; i < 6; ++i) {
    const int d = HexDigit(frame[static_cast<std::size_t>(i)]);
    if (d < 0) return false;
    length = length * 16 + d;
  }
  // 181 values of two digits; devices of one firmware count one more.
  if (length != 0x16a && length != 0x16b) return false;
  if (frame.size() < 6 + 2 * static_cast<std::size_t>(READCOUNT)) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int hi = HexDigit(frame[6 + 2 * i]);
    const int lo = HexDigit(frame[7 + 2 * i]);
    if (hi < 0 || lo < 0) return false;
    values[i] = hi * 16 + lo;
  }
  return true;
}

FunctionSet::Answer FunctionSet::TakeAnswer(int loop, std::string_view frame) {
  Answer answer;
  if (frame.size() < 2 || FnAnswerDevice(loop, frame[0], frame[1]) != editdevice) return answer;
  std::array<int, READCOUNT> values{};
  if (!ParseAnswer(frame, values)) return answer;
  answer.taken = true;
  for (int i = 0; i < READCOUNT; ++i) SetFunction(i, values[static_cast<std::size_t>(i)]);
  const int received = GetFunction(MODELINDEX);
  answer.receivedmodel = received;
  answer.previousmodel = type;
  answer.modelchanged = received != 0 && received != type;
  if (type <= DEFAULT_DETECTOR) {
    const int newtype = Detector::IntToModel(received);
    const int newversion = GetFunction(VERSIONINDEX);
    answer.pageschanged = newtype != type || newversion != version;
    type = newtype;
    version = newversion;
  }
  return answer;
}

std::string FunctionSet::WriteFrame() {
  std::string frame;
  frame += RequestKind(editdevice);
  frame += static_cast<char>(global ? 0x80 : (FnBusAddress(editdevice) | 0x80));
  frame += "P000";
  std::size_t count = 0;
  // Functions 1 and 2 are the device's own; 94 is never written.
  for (int index = 2; index < READCOUNT; ++index) {
    if (index == 93) continue;
    const bool flagged = GetModFlag(index);
    const int value = GetFunction(index);
    if ((!mod || flagged) && (value != FN_NOTSET || flagged)) {
      char pair[8];
      std::snprintf(pair, sizeof pair, "%02x%02x", static_cast<unsigned>(index + 1),
                    static_cast<unsigned>(value));
      frame += pair;
      ++count;
    }
    SetModFlag(index, false);
  }
  if (count == 0) return {};
  char length[8];
  std::snprintf(length, sizeof length, "%03x", static_cast<unsigned>(count * 4));
  frame.replace(3, 3, length, 3);
  return frame;
}

}  // namespace quillark
