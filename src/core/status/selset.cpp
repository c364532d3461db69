#include "core/status/selset.h"

#include "core/platform/prompter.h"
#include "core/site/devcnfig.h"

namespace quillark {

void SelectionSet::Insert(const DeviceConfig& devc) {
  selset.insert(devc.GetDeviceNumber());
}

bool SelectionSet::Contains(const DeviceConfig& devc) const {
  return ContainsInternalAddress(devc.GetDeviceNumber());
}

void SelectionSet::Incorporate(const SelectionSet& ss, std::uint16_t idsmode) {
  // ss may be this very set: each mode below stays correct when it is.
  switch (idsmode) {
    case IDS_EMPTY:
      selset.clear();
      break;
    case IDS_REPLACE:
      if (&ss != this) selset = ss.selset;
      break;
    case IDS_ADD:
      selset.insert(ss.selset.begin(), ss.selset.end());
      break;
    case IDS_TOGGLE: {
      const std::set<int> other = ss.selset;  // a copy, as we erase while walking it
      for (int x : other) {
        if (!selset.erase(x)) selset.insert(x);
      }
      break;
    }
    default:
      break;
  }
}

std::string SelectionSet::DumpText() const {
  std::string text;
  for (int x : selset) {
    std::string item = std::to_string(x) + " ";
    if (text.size() + item.size() > DUMPLIMIT) continue;
    text += item;
  }
  return text;
}

void SelectionSet::Dump(const std::string& s, Prompter& prompter) const {
  prompter.Show(s, DumpText(), PromptIcon::NONE);
}

}  // namespace quillark
