#include "core/site/fnfile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
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
bool ReadNumber(std::string_view line, std::size_t& pos, unsigned& value, std::size_t* start) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  const std::size_t first = pos;
  value = 0;
  while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
    if (pos - first >= 9) return false;
    value = value * 10 + static_cast<unsigned>(line[pos] - '0');
    ++pos;
  }
  if (start != nullptr) *start = first;
  return pos > first;
}

bool ParseLine(std::string_view line, FnLine& out) {
  std::size_t pos = 0;
  if (!ReadNumber(line, pos, out.address, nullptr)) return false;
  if (pos >= line.size() || line[pos++] != ':') return false;
  if (!ReadNumber(line, pos, out.function, nullptr)) return false;
  // An end line may stop after its second field.
  if (out.address == 255 || out.function == 255) return true;
  if (pos >= line.size() || line[pos++] != ':') return false;
  std::size_t start = 0;
  if (!ReadNumber(line, pos, out.value, &start)) return false;
  out.valueoffset = start;
  out.valuelength = pos - start;
  return true;
}

}  // namespace

FnLineReader::FnLineReader(std::string_view t) : text(t), pos(t.size()), endoffset(t.size()) {
  // Lines start after the header line.
  const std::size_t eol = text.find('\n');
  if (eol != std::string_view::npos) pos = eol + 1;
}

bool FnLineReader::Next(FnLine& line) {
  while (pos < text.size()) {
    const std::size_t start = pos;
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    pos = eol < text.size() ? eol + 1 : eol;
    std::string_view body = text.substr(start, eol - start);
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    FnLine parsed;
    if (!ParseLine(body, parsed)) continue;
    if (parsed.address == 255 || parsed.function == 255) {
      endoffset = start;
      sawend = true;
      pos = text.size();
      return false;
    }
    parsed.offset = start;
    parsed.valueoffset += start;
    line = parsed;
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
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  text.resize(static_cast<std::size_t>(size));
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

bool WriteFileAtomic(const std::string& path, std::string_view text) {
  if (path.empty()) return false;
  std::filesystem::path temp(path);
  temp += ".tmp";
  std::error_code ec;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail()) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
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

bool FnTextSetValue(std::string& text, unsigned address, int index, int value) {
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
  const std::string before = text;
  if (!FnTextSetValue(text, address, index, value) || text == before) return;
  WriteFileAtomic(path, text);
}

}  // namespace quillark
