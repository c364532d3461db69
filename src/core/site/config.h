#pragma once

#include <cstdint>
#include <iosfwd>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/common/loops.h"
#include "core/site/devcnfig.h"
#include "core/site/devicetypes.h"

namespace quillark {

class Prompter;

// The site: every configured entry of every loop, in file order, read from
// and written to one site configuration file.
//
// Entries are looked up by (address, type) through an index, so GetDevice
// costs the same for a site of 16 entries as for one of 4080. Address and
// type of a stored entry are its key: change them only by InsertDevice and
// RemoveDevice, never by assigning to or reading into a stored entry.
// Pointers to entries stay valid until that entry is replaced or removed.
class TSiteConfig {
 public:
  using iterator = std::list<DeviceConfig>::iterator;
  using const_iterator = std::list<DeviceConfig>::const_iterator;

  static constexpr int LOOPS = MAXLOOPS;

  // loaderror codes besides those of the old format's fields (2 to 37).
  static constexpr int LOADERROR_NONE = 0;
  static constexpr int LOADERROR_OPEN = -1;     // old format: file cannot be opened
  static constexpr int LOADERROR_VERSION = -2;  // a version this program does not know
  static constexpr int LOADERROR_LINE = -3;     // current format: a device line is unreadable
  // Not a site file at all: no version number at its start (a file of NUL
  // bytes), or not a single line end in it (cut inside its first line).
  static constexpr int LOADERROR_FORMAT = -4;
  static constexpr int LOADERROR_STORE = 35;  // an entry could not be stored

  // With newcfg, or without a name, a new site (New) that keeps the name.
  // Otherwise the named file is loaded; a failure is shown through
  // `prompter` (when given) with its loaderror code.
  explicit TSiteConfig(const std::string& ConfigFile = {}, bool newcfg = false,
                       Prompter* prompter = nullptr);
  TSiteConfig(const TSiteConfig& other);
  TSiteConfig& operator=(const TSiteConfig& other);
  TSiteConfig(TSiteConfig&&) noexcept = default;
  TSiteConfig& operator=(TSiteConfig&&) noexcept = default;

  // Deletes every entry and makes one command module per loop (address
  // loop * 256 + 1, model PCBUSMASTER); icon size 0.
  void New();
  void DeleteAllDevices();

  // Reads a site file of any version. The name is kept (for Save()) even
  // when the file cannot be read. On failure the entries read before the
  // fault stay, besides the default command modules, and loaderror says why:
  // 0 when the file cannot be opened, LOADERROR_LINE when a line of the
  // current format cannot be read (loading stops there).
  bool Load(const std::string& ConfigFile);
  // The same on a stream, which must be seekable (old files are re-read from
  // the start). The name is not changed.
  bool Load(std::istream& in);
  // Reads the old one-value-per-line format (versions 0 to 5).
  bool OldLoad(const std::string& ConfigFile);
  bool OldLoad(std::istream& in);

  // Writes the current format. The file is written under a temporary name
  // beside it and renamed over the old one, so a failed save leaves the old
  // site as it was. A read-only file is refused and kept. Save() writes to
  // the loaded file; neither changes it.
  bool Save(const std::string& ConfigFile) const;
  bool Save() const { return Save(Config); }
  bool Save(std::ostream& out) const;

  // Stores a copy of Device at the end of the list, replacing (and so moving
  // to the end) any entry of the same address and type. Returns the stored
  // entry, or null when it could not be stored. Device may be an entry of
  // this site.
  DeviceConfig* InsertDevice(const DeviceConfig& Device);
  DeviceConfig* InsertDevice(DeviceConfig&& Device);
  void RemoveDevice(std::uint32_t address, devicetype type);

  // The entry answering to a bus address (loop << 8 | address byte): byte 0
  // is the loop's command module, 1 to 127 detectors, 128 to 255 power
  // supplies 1 to 128.
  DeviceConfig* GetDevice(std::uint32_t busaddress);
  const DeviceConfig* GetDevice(std::uint32_t busaddress) const;
  // The entry with exactly this address and type, or null.
  DeviceConfig* GetDevice(std::uint32_t address, devicetype type);
  const DeviceConfig* GetDevice(std::uint32_t address, devicetype type) const;

  // The first entry after `current` in list order whose parent is `parent`;
  // null when there is none or `current` is not an entry of this site. Walk
  // the children of P with GetChild(P, P), then GetChild(P, child).
  DeviceConfig* GetChild(const DeviceConfig* parent, const DeviceConfig* current);

  // Copies the eight event sounds and texts of Device to every other entry of
  // its type.
  void SetGlobalActions(const DeviceConfig& Device);

  // Single function values in the function settings files beside the site
  // file (.cfs command modules, .pfs power supplies, .dfs detectors). Defined
  // by the function file module, which owns that format.
  int GetFnValue(devicetype type, std::uint32_t address, int index) const;
  void SetFnValue(devicetype type, std::uint32_t address, int index, int value);

  int GetDeviceIconSize() const { return size; }
  void SetDeviceIconSize(int s) { size = s; }
  int GetLoadError() const { return loaderror; }
  // The line of the file where the last failed load stopped (0: none).
  int GetLoadErrorLine() const { return loaderrorline; }

  // An entry the last load left out although its line could be read.
  struct Refused {
    int line;
    std::string reason;
  };
  const std::vector<Refused>& GetRefused() const { return refused; }

  // Why an entry cannot be on the bus where its address puts it, or empty.
  // Command modules are at loop x 256 + 1, detectors at 1 to 127 and power
  // supplies at 1 to 128 of their loop, on loops 1 to 16; any other address
  // would be cut into the loop's range on the wire and so poll, and report
  // failures for, some other device. Other kinds are not on the bus.
  static std::string AddressProblem(const DeviceConfig& device);
  const std::string& GetConfig() const { return Config; }

  iterator begin() { return Devices.begin(); }
  iterator end() { return Devices.end(); }
  const_iterator begin() const { return Devices.begin(); }
  const_iterator end() const { return Devices.end(); }
  bool empty() const { return Devices.empty(); }
  std::size_t Count() const { return Devices.size(); }

 private:
  static std::uint64_t Key(std::uint32_t address, devicetype type) {
    return (static_cast<std::uint64_t>(address) << 32) | static_cast<std::uint32_t>(type);
  }
  void Reindex();
  bool LoadCurrent(std::istream& in);
  bool LoadText(const std::string& text);
  // Stores a loaded entry, or notes why it was left out; false when it
  // could not be stored.
  bool Accept(DeviceConfig&& entry, int line, DeviceConfig** stored = nullptr);

  std::list<DeviceConfig> Devices;
  std::unordered_map<std::uint64_t, iterator> index;
  int loaderror = LOADERROR_NONE;
  int loaderrorline = 0;
  std::vector<Refused> refused;
  std::string Config;
  int size = 0;
};

}  // namespace quillark
