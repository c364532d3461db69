#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace quillark {

class DeviceConfig;
class Prompter;

// The devices the operator has selected, as device numbers in ascending
// order. One set owned by the application is shared by every window that
// shows or changes the selection.
class SelectionSet {
 public:
  // How Incorporate merges another set into this one.
  enum : std::uint16_t {
    IDS_EMPTY = 0,    // clear this set
    IDS_REPLACE = 1,  // this set becomes a copy of the other
    IDS_ADD = 2,      // union
    IDS_TOGGLE = 3,   // flip membership of each element of the other
  };

  using const_iterator = std::set<int>::const_iterator;

  // A configured entry is selected by its device number: its address, one
  // less for a command module.
  void Insert(const DeviceConfig& devc);
  void InsertInternalAddress(int x) { selset.insert(x); }
  bool Contains(const DeviceConfig& devc) const;
  bool ContainsInternalAddress(int ia) const { return selset.count(ia) != 0; }
  void Remove(int ia) { selset.erase(ia); }
  void Empty() { selset.clear(); }
  int Count() const { return static_cast<int>(selset.size()); }

  // Other values of idsmode change nothing. `ss` may be this set itself.
  void Incorporate(const SelectionSet& ss, std::uint16_t idsmode);

  // The text Dump shows: each element and a blank, at most DUMPLIMIT
  // characters, leaving out the elements that do not fit.
  static constexpr std::size_t DUMPLIMIT = 128;
  std::string DumpText() const;
  // Shows the set in a message box captioned `s`; a diagnostic aid.
  void Dump(const std::string& s, Prompter& prompter) const;

  const_iterator begin() const { return selset.begin(); }
  const_iterator end() const { return selset.end(); }
  bool operator==(const SelectionSet& other) const = default;

 private:
  std::set<int> selset;
};

}  // namespace quillark
