#include "core/site/fnfile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include "core/site/config.h"

namespace quillark {

bool ParseFnHeader(std::string_view text, FnFileHeader& header) {
  if (text.size() < 3 || text[0] != '!' || text[1] < '0' || text[1] > ':' || text[2] != '"')
    return false;
  header.model = text[1] - '0';
  header.devices = 0;
  for (std::size_t i = 3; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (header.devices < 100000) header.devices = header.devices * 10 + (text[i] - '0');
  return true;
}

namespace {

// One decimal field as sscanf's "%u" takes it: blanks, then digits. Nine
// digits at most, so no number can overflow.
inline bool ReadNumber(const char*& p, const char* end, unsigned& value) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* first = p;
  unsigned v = 0;
  while (p < end && static_cast<unsigned char>(*p - '0') < 10) {
    if (p - first >= 9) return false;
    v = v * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  value = v;
  return p > first;
}

// Parses one line's fields; `end` is the end of the line. Offsets are
// relative to `base`.
inline bool ParseLine(const char* base, const char* p, const char* end, FnLine& out) {
  // The program's own lines: fixed fields, read without searching.
  if (end - p == 14 && p[6] == ':' && p[10] == ':') {
    unsigned f[12];
    static constexpr int at[12] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13};
    unsigned bad = 0;
    for (int i = 0; i < 12; ++i) {
      f[i] = static_cast<unsigned char>(p[at[i]] - '0');
      bad |= f[i] > 9 ? 1u : 0u;
    }
    if (bad == 0) {
      out.address = ((((f[0] * 10 + f[1]) * 10 + f[2]) * 10 + f[3]) * 10 + f[4]) * 10 + f[5];
      out.function = (f[6] * 10 + f[7]) * 10 + f[8];
      out.value = (f[9] * 10 + f[10]) * 10 + f[11];
      out.valueoffset = static_cast<std::size_t>(p + 11 - base);
      out.valuelength = 3;
      return true;
    }
  }
  if (!ReadNumber(p, end, out.address)) return false;
  if (p >= end || *p++ != ':') return false;
  if (!ReadNumber(p, end, out.function)) return false;
  // An end line may stop after its second field.
  if (out.address == 255 || out.function == 255) return true;
  if (p >= end || *p++ != ':') return false;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* start = p;
  if (!ReadNumber(p, end, out.value)) return false;
  out.valueoffset = static_cast<std::size_t>(start - base);
  out.valuelength = static_cast<std::size_t>(p - start);
  return true;
}

}  // namespace

FnLineReader::FnLineReader(std::string_view t) : text(t), pos(t.size()), endoffset(t.size()) {
  // Lines start after the header line.
  const std::size_t eol = text.find('\n');
  if (eol != std::string_view::npos) pos = eol + 1;
}

bool FnLineReader::Next(FnLine& line) {
  const char* base = text.data();
  const std::size_t size = text.size();
  while (pos < size) {
    const std::size_t start = pos;
    const void* nl = std::memchr(base + pos, '\n', size - pos);
    const std::size_t eol =
        nl != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : size;
    pos = eol < size ? eol + 1 : eol;
    std::size_t stop = eol;
    if (stop > start && base[stop - 1] == '\r') --stop;
    if (!ParseLine(base, base + start, base + stop, line)) continue;
    if (line.address == 255 || line.function == 255) {
      endoffset = start;
      sawend = true;
      pos = size;
      return false;
    }
    line.offset = start;
    return true;
  }
  return false;
}

std::string FnFileName(const std::string& sitefile, devicetype kind) {
  const char* ext = kind == BUSCONTROLLER ? ".cfs"
                    : kind == POWERSUPPLY ? ".pfs"
                    : kind == DETECTOR    ? ".dfs"
                                          : nullptr;
  if (ext == nullptr || sitefile.empty()) return {};
  return std::filesystem::path(sitefile).replace_extension(ext).string();
}

std::string FnNewFileText(devicetype kind) {
  const int model = kind == BUSCONTROLLER ? PELORIN2000BUSMASTER
                    : kind == POWERSUPPLY ? PELORIN2000POWERSUPPLY
                                          : PELORIN2000DETECTOR;
  std::string text = "!";
  text += static_cast<char>('0' + model);
  text += "\"127";
  return text + FN_LINEEND;
}

std::string FnValueLine(unsigned address, unsigned function, unsigned value) {
  char line[48];
  std::snprintf(line, sizeof line, "%06u:%03u:%03u\r\n", address, function, value);
  return line;
}

std::string FnAnswerLines(unsigned address, const std::array<int, FunctionSet::READCOUNT>& values) {
  std::string out;
  out.reserve(172 * 16);
  for (int function = 4; function <= FunctionSet::READCOUNT; ++function) {
    if ((function >= 17 && function <= 21) || function == 94) continue;
    out += FnValueLine(address, static_cast<unsigned>(function),
                       static_cast<unsigned>(values[static_cast<std::size_t>(function - 1)]));
  }
  return out;
}

std::vector<unsigned> FnFileDevices(std::string_view text) {
  std::vector<unsigned> devices;
  FnFileHeader header;
  if (!ParseFnHeader(text, header)) return devices;
  std::unordered_set<unsigned> seen;
  FnLineReader reader(text);
  for (FnLine line; reader.Next(line);)
    if (seen.insert(line.address).second) devices.push_back(line.address);
  return devices;
}

bool FnRestoreValues(std::string_view text, unsigned address, FunctionSet& set) {
  for (int i = 0; i < FunctionSet::COUNT; ++i) set.SetModFlag(i, false);
  FnFileHeader header;
  if (!ParseFnHeader(text, header)) return false;
  FnLineReader reader(text);
  for (FnLine line; reader.Next(line);) {
    if (line.address != address || line.value >= 255) continue;
    // Functions 1 to 180 can be written; the rest are not the device's to take.
    if (line.function < 1 || line.function > 180) continue;
    if (line.function == 15 || line.function == 16) continue;
    if (line.function >= 64 && line.function <= 79 && line.value == 0) continue;
    const int index = static_cast<int>(line.function) - 1;
    set.SetFunction(index, static_cast<int>(line.value));
    set.SetModFlag(index);
  }
  return reader.SawEndLine();
}

std::string FnRestoreFrame(int device, const FunctionSet& set) {
  std::string frame;
  switch (FnDeviceKind(device)) {
    case BUSCONTROLLER:
      frame += ':';
      break;
    case POWERSUPPLY:
      frame += '#';
      break;
    default:
      frame += '>';
      break;
  }
  frame += static_cast<char>(FnBusAddress(device) | 0x80);
  frame += "P000";
  std::size_t count = 0;
  for (int function = 3; function <= 180; ++function) {
    // The separator date belongs to the separator fitted now, not to the
    // one fitted when the settings were saved.
    if (function == 56 || function == 57) continue;
    if (!set.GetModFlag(function - 1)) continue;
    char pair[8];
    std::snprintf(pair, sizeof pair, "%02x%02x", static_cast<unsigned>(function),
                  static_cast<unsigned>(set.GetFunction(function - 1)));
    frame += pair;
    ++count;
  }
  if (count == 0) return {};
  char length[8];
  std::snprintf(length, sizeof length, "%03x", static_cast<unsigned>(count * 4));
  frame.replace(3, 3, length, 3);
  return frame;
}

bool ReadFnFile(const std::string& path, std::string& text) {
  text.clear();
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > FN_MAXFILE) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  text.resize(static_cast<std::size_t>(size));
  const std::size_t got = std::fread(text.data(), 1, text.size(), f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  text.resize(got);
  return !failed;
}

bool WriteFileAtomic(const std::string& path, std::string_view text) {
  if (path.empty()) return false;
  const std::string temp = path + ".tmp";
  std::error_code ec;
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (ok) std::filesystem::rename(temp, path, ec);
  if (!ok || ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

int FnTextValue(std::string_view text, unsigned address, int index) {
  FnFileHeader header;
  if (index < 0 || !ParseFnHeader(text, header)) return -1;
  const unsigned function = static_cast<unsigned>(index) + 1;
  FnLineReader reader(text);
  for (FnLine line; reader.Next(line);)
    if (line.address == address && line.function == function) return static_cast<int>(line.value);
  return -1;
}

bool FnTextSetValue(std::string& text, unsigned address, int index, int value, bool* changed) {
  if (changed != nullptr) *changed = false;
  FnFileHeader header;
  if (index < 0 || index >= FunctionSet::COUNT || value < 0 || value > 255 ||
      !ParseFnHeader(text, header))
    return false;
  const unsigned function = static_cast<unsigned>(index) + 1;
  std::string line = FnValueLine(address, function, static_cast<unsigned>(value));
  line.resize(line.size() - 2);  // the line end stays the file's own
  FnLineReader reader(text);
  for (FnLine found; reader.Next(found);) {
    if (found.address != address || found.function != function) continue;
    if (found.value == static_cast<unsigned>(value)) return true;
    if (changed != nullptr) *changed = true;
    std::size_t end = text.find('\n', found.offset);
    if (end == std::string::npos) end = text.size();
    if (end > found.offset && text[end - 1] == '\r') --end;
    text.replace(found.offset, end - found.offset, line);
    return true;
  }
  std::size_t at = reader.EndOffset();
  std::string insert;
  if (at == text.size() && !text.empty() && text.back() != '\n') insert = FN_LINEEND;
  insert += line + FN_LINEEND;
  if (!reader.SawEndLine()) insert += FN_ENDLINE;
  text.insert(at, insert);
  if (changed != nullptr) *changed = true;
  return true;
}

namespace {

const char* FnKindOfType(devicetype type, devicetype& kind) {
  switch (type) {
    case BUSCONTROLLER:
    case POWERSUPPLY:
    case DETECTOR:
      kind = type;
      return "";
    default:
      return nullptr;
  }
}

}  // namespace

int TSiteConfig::GetFnValue(devicetype type, std::uint32_t address, int index) const {
  devicetype kind = NONE;
  if (FnKindOfType(type, kind) == nullptr) return -1;
  std::string text;
  if (!ReadFnFile(FnFileName(Config, kind), text)) return -1;
  return FnTextValue(text, address, index);
}

void TSiteConfig::SetFnValue(devicetype type, std::uint32_t address, int index, int value) {
  devicetype kind = NONE;
  if (FnKindOfType(type, kind) == nullptr) return;
  const std::string path = FnFileName(Config, kind);
  std::string text;
  // A missing file is not made here: only a save knows the devices.
  if (!ReadFnFile(path, text)) return;
  bool changed = false;
  if (!FnTextSetValue(text, address, index, value, &changed) || !changed) return;
  WriteFileAtomic(path, text);
}

}  // namespace quillark
