#include "core/site/config.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <system_error>

#include "core/common/atomicfile.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"

namespace quillark {
namespace {

using Traits = std::char_traits<char>;

// The current file format; files of version 4 and below are the old format.
constexpr int CURRENTVERSION = 5;
constexpr int LASTOLDVERSION = 4;
constexpr const char* LINEEND = "\r\n";

bool IsSpace(Traits::int_type c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSpace(std::streambuf& sb) {
  while (IsSpace(sb.sgetc())) sb.sbumpc();
}

bool AtEnd(std::streambuf& sb) {
  return sb.sgetc() == Traits::eof();
}

// A decimal number of the file header, read like formatted stream input.
bool ReadHeaderNumber(std::streambuf& sb, long& out) {
  SkipSpace(sb);
  std::string digits;
  auto c = sb.sgetc();
  if (c == '+' || c == '-') digits.push_back(Traits::to_char_type(sb.sbumpc()));
  while (sb.sgetc() >= '0' && sb.sgetc() <= '9' && digits.size() < 12)
    digits.push_back(Traits::to_char_type(sb.sbumpc()));
  if (digits.empty() || digits.back() < '0' || digits.back() > '9') return false;
  if (sb.sgetc() >= '0' && sb.sgetc() <= '9') return false;  // too many digits
  out = AtoL(digits);
  return true;
}

// Lines of the old format: one value each, CR LF ends, read into fixed
// buffers. A line longer than its buffer is cut; the rest of it is skipped.
class OldLineReader {
 public:
  explicit OldLineReader(std::streambuf& sb) : sb(sb) {}

  // Nothing at the end of the file.
  std::optional<std::string> Line(std::size_t maxlength) {
    if (AtEnd(sb)) return std::nullopt;
    std::string line;
    ++lines;
    for (;;) {
      auto c = sb.sbumpc();
      if (c == Traits::eof() || c == '\n') break;
      if (line.size() < maxlength) line.push_back(Traits::to_char_type(c));
    }
    if (auto cr = line.find('\r'); cr != std::string::npos) line.resize(cr);
    return line;
  }
  std::optional<long> Number() {
    auto line = Line(NUMBERLENGTH);
    if (!line) return std::nullopt;
    return AtoL(*line);
  }
  // A number within [low, high]; nothing when missing or out of range.
  std::optional<long> Ranged(long low, long high) {
    auto v = Number();
    if (!v || *v < low || *v > high) return std::nullopt;
    return v;
  }

  // Lines read so far: the number of the last one.
  int LineNumber() const { return lines; }

  static constexpr std::size_t NUMBERLENGTH = 9;
  static constexpr std::size_t LOCATIONLENGTH = 31;
  static constexpr std::size_t TEXTLENGTH = 255;

 private:
  std::streambuf& sb;
  int lines = 0;
};

constexpr char BOM[] = "\xEF\xBB\xBF";

}  // namespace

TSiteConfig::TSiteConfig(const std::string& ConfigFile, bool newcfg, Prompter* prompter) {
  if (newcfg || ConfigFile.empty()) {
    New();
    Config = ConfigFile;
    return;
  }
  if (!Load(ConfigFile) && prompter != nullptr) {
    prompter->Show("", Format("Error loading site configuration file. Code: %d", loaderror),
                   PromptIcon::STOP);
  }
}

TSiteConfig::TSiteConfig(const TSiteConfig& other)
    : Devices(other.Devices), loaderror(other.loaderror), Config(other.Config), size(other.size) {
  Reindex();
}

TSiteConfig& TSiteConfig::operator=(const TSiteConfig& other) {
  if (this != &other) {
    TSiteConfig copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void TSiteConfig::Reindex() {
  index.clear();
  index.reserve(Devices.size());
  for (auto it = Devices.begin(); it != Devices.end(); ++it)
    index[Key(it->GetAddress(), it->GetType())] = it;
}

void TSiteConfig::DeleteAllDevices() {
  index.clear();
  Devices.clear();
}

void TSiteConfig::New() {
  DeleteAllDevices();
  for (std::uint32_t loop = 0; loop < LOOPS; ++loop)
    InsertDevice(DeviceConfig(loop * 256 + 1, BUSCONTROLLER, PCBUSMASTER));
  size = 0;
}

DeviceConfig* TSiteConfig::InsertDevice(const DeviceConfig& Device) {
  try {
    // Copy first: Device may be the very entry that is about to be replaced.
    return InsertDevice(DeviceConfig(Device));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

DeviceConfig* TSiteConfig::InsertDevice(DeviceConfig&& Device) {
  try {
    const auto key = Key(Device.GetAddress(), Device.GetType());
    std::list<DeviceConfig> node;
    node.push_back(std::move(Device));
    auto found = index.find(key);
    if (found == index.end()) {
      // Room in the index is made before the list changes, so that running
      // out of memory leaves the site as it was.
      found = index.emplace(key, node.begin()).first;
    } else {
      Devices.erase(found->second);
      found->second = node.begin();
    }
    Devices.splice(Devices.end(), node);
    return &Devices.back();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void TSiteConfig::RemoveDevice(std::uint32_t address, devicetype type) {
  auto found = index.find(Key(address, type));
  if (found == index.end()) return;
  Devices.erase(found->second);
  index.erase(found);
}

DeviceConfig* TSiteConfig::GetDevice(std::uint32_t address, devicetype type) {
  auto found = index.find(Key(address, type));
  return found == index.end() ? nullptr : &*found->second;
}

const DeviceConfig* TSiteConfig::GetDevice(std::uint32_t address, devicetype type) const {
  return const_cast<TSiteConfig*>(this)->GetDevice(address, type);
}

DeviceConfig* TSiteConfig::GetDevice(std::uint32_t busaddress) {
  const std::uint32_t loop = busaddress & ~0xFFu;
  const std::uint32_t byte = busaddress & 0xFFu;
  if (byte == 0) return GetDevice(loop + 1, BUSCONTROLLER);
  if (byte < 128) return GetDevice(loop + byte, DETECTOR);
  return GetDevice(loop + byte - 127, POWERSUPPLY);
}

const DeviceConfig* TSiteConfig::GetDevice(std::uint32_t busaddress) const {
  return const_cast<TSiteConfig*>(this)->GetDevice(busaddress);
}

DeviceConfig* TSiteConfig::GetChild(const DeviceConfig* parent, const DeviceConfig* current) {
  if (parent == nullptr || current == nullptr) return nullptr;
  auto found = index.find(Key(current->GetAddress(), current->GetType()));
  if (found == index.end() || &*found->second != current) return nullptr;
  for (auto it = std::next(found->second); it != Devices.end(); ++it) {
    if (it->GetParentAddress() == parent->GetAddress() && it->GetParentType() == parent->GetType())
      return &*it;
  }
  return nullptr;
}

void TSiteConfig::SetGlobalActions(const DeviceConfig& Device) {
  for (DeviceConfig& d : Devices) {
    if (&d == &Device || d.GetType() != Device.GetType() || d.GetAddress() == Device.GetAddress())
      continue;
    for (std::int32_t bit : DeviceConfig::EVENTBITS) {
      d.SetEventSound(bit, Device.GetEventSound(bit));
      d.SetEventText(bit, Device.GetEventText(bit));
    }
  }
}

namespace {

// Opens a site file for reading; not open when it is missing or no plain file.
std::ifstream OpenSiteFile(const std::string& name) {
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(name, ec)) in.open(name, std::ios::binary);
  return in;
}

}  // namespace

bool TSiteConfig::Load(const std::string& ConfigFile) {
  // The name is kept even when the file is missing, so that the site built in
  // its place is saved where the settings say the site is.
  Config = ConfigFile;
  std::ifstream in = OpenSiteFile(ConfigFile);
  if (!in.is_open()) {
    New();
    loaderror = LOADERROR_NONE;
    return false;
  }
  return Load(in);
}

std::string TSiteConfig::AddressProblem(const DeviceConfig& d) {
  const devicetype type = d.GetType();
  if (type != BUSCONTROLLER && type != DETECTOR && type != POWERSUPPLY) return {};
  const std::uint32_t address = d.GetAddress();
  const std::uint32_t loop = address >> 8, slot = address & 0xFFu;
  const char* kind = type == BUSCONTROLLER ? "command module"
                     : type == DETECTOR    ? "detector"
                                           : "power supply";
  if (loop >= static_cast<std::uint32_t>(LOOPS))
    return Format("%s address %u is beyond loop %d", kind, address, LOOPS);
  if (type == BUSCONTROLLER && slot != 1)
    return Format("command module address %u is not loop x 256 + 1", address);
  if (type == DETECTOR && (slot < 1 || slot > 127))
    return Format("detector address %u: loop %u address %u is outside 1 to 127", address, loop + 1,
                  slot);
  if (type == POWERSUPPLY && (slot < 1 || slot > 128))
    return Format("power supply address %u: loop %u address %u is outside 1 to 128", address,
                  loop + 1, slot);
  return {};
}

bool TSiteConfig::Accept(DeviceConfig&& entry, int line, DeviceConfig** stored) {
  std::string problem = AddressProblem(entry);
  if (!problem.empty()) {
    refused.push_back({line, std::move(problem)});
    if (stored != nullptr) *stored = nullptr;
    return true;
  }
  DeviceConfig* d = InsertDevice(std::move(entry));
  if (stored != nullptr) *stored = d;
  return d != nullptr;
}

bool TSiteConfig::Load(std::istream& in) {
  New();
  loaderror = LOADERROR_NONE;
  loaderrorline = 0;
  refused.clear();
  if (in.rdbuf() == nullptr || !in.good()) return false;
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    loaderror = LOADERROR_STORE;
    return false;
  }
  return LoadText(text);
}

bool TSiteConfig::LoadText(const std::string& whole) {
  // Editors on other systems start UTF-8 files with a byte-order mark.
  std::string_view text(whole);
  if (text.substr(0, 3) == BOM) text.remove_prefix(3);
  // An empty file is a site without devices, as a freshly created one is.
  if (text.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos) return true;
  auto fail = [this](int code, int line) {
    loaderror = code;
    loaderrorline = line;
    return false;
  };
  // Every site file has its version on a line of its own: a file without a
  // single line end is cut inside its first line or is no site file at all.
  if (text.find('\n') == std::string_view::npos) return fail(LOADERROR_FORMAT, 1);

  std::istringstream in{std::string(text)};
  long version = 0;
  if (!ReadHeaderNumber(*in.rdbuf(), version)) return fail(LOADERROR_FORMAT, 1);
  // A newer program's file would be read as this one's and silently lose
  // whatever it holds beyond it.
  if (version < 0 || version > CURRENTVERSION) return fail(LOADERROR_VERSION, 1);
  if (version <= LASTOLDVERSION) {
    in.clear();
    in.seekg(0);
    return OldLoad(in);
  }
  return LoadCurrent(in);
}

bool TSiteConfig::LoadCurrent(std::istream& in) {
  std::streambuf& sb = *in.rdbuf();
  // Lines are counted as the white space between entries is passed, which
  // is where every line end of the format is.
  int line = 1;
  auto skip = [&sb, &line] {
    while (IsSpace(sb.sgetc()))
      if (sb.sbumpc() == '\n') ++line;
  };
  auto fail = [this, &line](int code) {
    loaderror = code;
    loaderrorline = line;
    return false;
  };
  // A file that ends after its version (as a freshly created one does) holds
  // no devices.
  skip();
  if (AtEnd(sb)) return true;
  long iconsize = 0;
  if (!ReadHeaderNumber(sb, iconsize) || iconsize < INT32_MIN || iconsize > INT32_MAX)
    return fail(LOADERROR_LINE);
  size = static_cast<int>(iconsize);

  for (;;) {
    skip();
    if (AtEnd(sb)) return true;
    DeviceConfig entry;
    // Loading stops at a line that cannot be read. That is reported: saving
    // the site as loaded would otherwise drop every device after it unseen.
    if (!entry.Read(in)) return fail(LOADERROR_LINE);
    if (!Accept(std::move(entry), line)) return fail(LOADERROR_STORE);
    if (in.fail()) return fail(LOADERROR_LINE);
  }
}

bool TSiteConfig::OldLoad(const std::string& ConfigFile) {
  Config = ConfigFile;
  std::ifstream in = OpenSiteFile(ConfigFile);
  if (!in.is_open()) {
    New();
    loaderror = LOADERROR_OPEN;
    return false;
  }
  return OldLoad(in);
}

bool TSiteConfig::OldLoad(std::istream& in) {
  New();
  loaderror = LOADERROR_NONE;
  loaderrorline = 0;
  refused.clear();
  if (in.rdbuf() == nullptr || !in.good()) {
    loaderror = LOADERROR_OPEN;
    return false;
  }
  OldLineReader file(*in.rdbuf());
  auto failwith = [this, &file](int code) {
    loaderror = code;
    loaderrorline = file.LineNumber();
    return false;
  };

  // A file without even a version line holds no devices.
  const long version = file.Number().value_or(0);
  if (version < 0 || version > CURRENTVERSION) return failwith(LOADERROR_VERSION);
  if (version > 2) {
    if (auto s = file.Number()) size = static_cast<int>(*s);
  }

  constexpr long XYMAX = 30000;
  for (;;) {
    const auto parentaddress = file.Number();
    if (!parentaddress || *parentaddress == 255) return true;
    const int firstline = file.LineNumber();
    const auto parenttype = file.Ranged(-1, 2);
    if (!parenttype) return failwith(2);
    const auto address = file.Ranged(-10016, 4223);
    if (!address) return failwith(3);
    const auto type = file.Ranged(-1, 3);
    if (!type) return failwith(5);
    const auto model = file.Ranged(0, 20);
    if (!model) return failwith(6);
    const auto location = file.Line(OldLineReader::LOCATIONLENGTH);
    if (!location) return failwith(7);
    const auto map = file.Line(OldLineReader::TEXTLENGTH);
    if (!map) return failwith(8);

    DeviceConfig entry(static_cast<std::uint32_t>(*address), static_cast<devicetype>(*type),
                       static_cast<devicemodel>(*model));
    entry.SetParentAddress(static_cast<std::uint32_t>(*parentaddress));
    entry.SetParentType(static_cast<devicetype>(*parenttype));

    auto point = [&file](int code, DeviceConfig::Point& p) -> int {
      const auto x = file.Ranged(0, XYMAX);
      if (!x) return code;
      const auto y = file.Ranged(0, XYMAX);
      if (!y) return code + 1;
      p = {static_cast<std::int32_t>(*x), static_cast<std::int32_t>(*y)};
      return 0;
    };
    DeviceConfig::Point p;
    if (int code = point(9, p)) return failwith(code);
    entry.SetMapXY(p);
    if (version > 1) {
      if (int code = point(11, p)) return failwith(code);
      entry.SetLoopXY(p);
    }
    const auto zone = file.Ranged(0, XYMAX);
    if (!zone) return failwith(13);
    entry.SetZone(static_cast<std::int32_t>(*zone));
    if (version > 0) {
      if (int code = point(14, p)) return failwith(code);
      entry.SetZoneXY(p);
    }
    const auto faultmask = file.Number();
    if (!faultmask) return failwith(16);
    entry.SetFaultMask(static_cast<std::uint32_t>(*faultmask));

    // Sounds, then texts, each in the order below; unlike the current format,
    // the critical fault (0x01) comes before the non-critical one (0x800).
    static constexpr std::int32_t OLDORDER[8] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x800};
    std::string sounds[8], texts[8];
    int code = 17;
    for (std::string* group : {sounds, texts}) {
      for (int i = 0; i < 8; ++i, ++code) {
        auto line = file.Line(OldLineReader::TEXTLENGTH);
        if (!line) return failwith(code);
        group[i] = std::move(*line);
      }
    }

    const auto input1mask = file.Ranged(0, XYMAX);
    if (!input1mask) return failwith(33);
    const auto input2mask = file.Ranged(0, XYMAX);
    if (!input2mask) return failwith(34);
    entry.SetInput1Mask(static_cast<std::uint32_t>(*input1mask));
    entry.SetInput2Mask(static_cast<std::uint32_t>(*input2mask));
    if (version > 3) {
      if (int c = point(36, p)) return failwith(c);
      entry.SetSiteXY(p);
    }

    DeviceConfig* stored = nullptr;
    if (!Accept(std::move(entry), firstline, &stored)) return failwith(LOADERROR_STORE);
    if (stored == nullptr) continue;
    // Old files may hold commas in their texts; the setters keep them out.
    stored->SetLocation(*location);
    stored->SetMap(*map);
    for (int i = 0; i < 8; ++i) {
      stored->SetEventSound(OLDORDER[i], sounds[i]);
      stored->SetEventText(OLDORDER[i], texts[i]);
    }
  }
}

bool TSiteConfig::Save(std::ostream& out) const {
  out << std::to_string(CURRENTVERSION) << LINEEND << std::to_string(size) << LINEEND;
  for (const DeviceConfig& d : Devices) {
    if (!out) break;
    d.Put(out) << LINEEND;
  }
  out.flush();
  return !out.fail();
}

bool TSiteConfig::Save(const std::string& ConfigFile) const {
  if (ConfigFile.empty()) return false;
  // Replacing by rename would go straight past a read-only mark: the
  // operator (or another program) made the file read-only to keep it.
  std::error_code ec;
  const auto status = std::filesystem::status(ConfigFile, ec);
  if (!ec && std::filesystem::exists(status)) {
    if (!std::filesystem::is_regular_file(status)) return false;
    if ((status.permissions() & std::filesystem::perms::owner_write) ==
        std::filesystem::perms::none)
      return false;
  }
  std::ostringstream out(std::ios::binary);
  if (!Save(out)) return false;
  return WriteFileAtomically(ConfigFile, out.str());
}

}  // namespace quillark
