#include "core/site/siteeditor.h"

#include <unordered_map>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"
#include "core/site/detector.h"

namespace quillark {
namespace {

constexpr std::uint32_t SLOTS = 256;
constexpr int FAULTBITS = 8;

std::uint64_t NodeKey(std::uint32_t address, devicetype type) {
  return (static_cast<std::uint64_t>(address) << 8) | static_cast<std::uint8_t>(type);
}

}  // namespace

SiteEditor::SiteEditor(const TSiteConfig& original, Translator* translator, int loops)
    : site(original), translator(translator), loops(loops) {
  const Detector models(translator);
  for (int m = 0; m < Detector::GetNumberOfDetectorTypes(); ++m) {
    std::string name(Trim(models.GetTypeName(m)));
    if (name.empty()) continue;
    modelnames.push_back(std::move(name));
    modelcodes.push_back(m);
  }
}

std::string SiteEditor::KindWord(devicetype type, Translator* translator) {
  switch (type) {
    case BUSCONTROLLER:
      return TextOr(translator, TX_COMMANDMODULE, "Command module");
    case POWERSUPPLY:
      return TextOr(translator, TX_POWERSUPPLY, "Power supply");
    default:
      return TextOr(translator, TX_DETECTOR, "Detector");
  }
}

std::string SiteEditor::Label(devicetype type, std::uint32_t address, Translator* translator) {
  const unsigned number = type == BUSCONTROLLER ? (address >> 8) + 1 : address % SLOTS;
  return Format("%s %03u", KindWord(type, translator).c_str(), number);
}

std::string SiteEditor::LoopName(devicetype type, unsigned loop, unsigned address,
                                 Translator* translator) {
  if (type == BUSCONTROLLER) return Format("%s %u", KindWord(type, translator).c_str(), loop);
  return Format("%s %u-%03u", KindWord(type, translator).c_str(), loop, address & 0xFF);
}

SiteEditor::Node SiteEditor::MakeNode(const DeviceConfig& d) const {
  Node n;
  n.address = d.GetAddress();
  n.type = d.GetType();
  n.image = d.GetType() == BUSCONTROLLER ? IMG_COMMANDMODULE
            : d.GetType() == POWERSUPPLY ? IMG_POWERSUPPLY
                                         : IMG_DETECTOR;
  n.label = Label(d.GetType(), d.GetAddress(), translator);
  return n;
}

std::vector<SiteEditor::Node> SiteEditor::Tree() const {
  // Two passes over the list, in list order: roots and power supplies, then
  // detectors, so a detector listed before its power supply still lands
  // under it. A detector whose parent is not in the site stands under its
  // loop, where the operator can see and remove it.
  std::vector<Node> roots;
  std::unordered_map<std::uint32_t, std::size_t> rootofloop;
  for (const DeviceConfig& d : site) {
    if (d.GetType() != BUSCONTROLLER || static_cast<int>(d.GetLoop()) >= loops) continue;
    if (rootofloop.count(d.GetLoop()) != 0) continue;
    rootofloop[d.GetLoop()] = roots.size();
    roots.push_back(MakeNode(d));
  }
  std::unordered_map<std::uint64_t, std::pair<std::size_t, std::size_t>> psus;
  for (const DeviceConfig& d : site) {
    if (d.GetType() != POWERSUPPLY) continue;
    auto root = rootofloop.find(d.GetLoop());
    if (root == rootofloop.end()) continue;
    std::vector<Node>& children = roots[root->second].children;
    psus[NodeKey(d.GetAddress(), POWERSUPPLY)] = {root->second, children.size()};
    children.push_back(MakeNode(d));
  }
  // A loop's own detectors stand before its power supplies, in list order.
  std::vector<std::vector<Node>> loose(roots.size());
  for (const DeviceConfig& d : site) {
    if (d.GetType() != DETECTOR) continue;
    auto root = rootofloop.find(d.GetLoop());
    if (root == rootofloop.end()) continue;
    if (d.GetParentType() == POWERSUPPLY) {
      auto psu = psus.find(NodeKey(d.GetParentAddress(), POWERSUPPLY));
      if (psu != psus.end()) {
        roots[psu->second.first].children[psu->second.second].children.push_back(MakeNode(d));
        continue;
      }
    }
    loose[root->second].push_back(MakeNode(d));
  }
  for (std::size_t r = 0; r < roots.size(); ++r) {
    std::vector<Node>& children = roots[r].children;
    children.insert(children.begin(), std::make_move_iterator(loose[r].begin()),
                    std::make_move_iterator(loose[r].end()));
  }
  return roots;
}

bool SiteEditor::Select(std::uint32_t address, devicetype type) {
  selected = nullptr;
  if (type != BUSCONTROLLER && type != POWERSUPPLY && type != DETECTOR) return false;
  selected = site.GetDevice(address, type);
  return selected != nullptr;
}

std::vector<int> SiteEditor::Free(devicetype type) const {
  std::vector<int> free;
  if (selected == nullptr) return free;
  const std::uint32_t base = selected->GetLoop() * SLOTS;
  for (int a = FIRSTADDRESS; a <= LASTADDRESS; ++a)
    if (site.GetDevice(base + static_cast<std::uint32_t>(a), type) == nullptr) free.push_back(a);
  return free;
}

std::vector<int> SiteEditor::FreeDetectors() const {
  return Free(DETECTOR);
}

std::vector<int> SiteEditor::FreePowerSupplies() const {
  return Free(POWERSUPPLY);
}

int SiteEditor::AddDetector(int address) {
  if (selected == nullptr ||
      (selected->GetType() != BUSCONTROLLER && selected->GetType() != POWERSUPPLY) ||
      address < FIRSTADDRESS || address > LASTADDRESS)
    return TX_NODETECTOR;
  const std::uint32_t loop = selected->GetLoop();
  const std::uint32_t at = loop * SLOTS + static_cast<std::uint32_t>(address);
  // Held already, by a detector or an array cell: not in the free list.
  if (site.GetDevice(at, DETECTOR) != nullptr) return TX_NODETECTOR;
  DeviceConfig d(at, DETECTOR, UNKNOWN);
  if (selected->GetType() == POWERSUPPLY) {
    d.SetParentAddress(selected->GetAddress());
    d.SetParentType(POWERSUPPLY);
  } else {
    d.SetParentAddress(loop * SLOTS + 1);
    d.SetParentType(BUSCONTROLLER);
  }
  const std::uint32_t keep = selected->GetAddress();
  const devicetype keeptype = selected->GetType();
  if (site.InsertDevice(std::move(d)) == nullptr) return TX_NODETECTOR;
  Select(keep, keeptype);
  return 0;
}

int SiteEditor::AddPSU(int address) {
  if (selected == nullptr || selected->GetType() != BUSCONTROLLER || address < FIRSTADDRESS ||
      address > LASTADDRESS)
    return TX_NOPOWERSUPPLY;
  const std::uint32_t loop = selected->GetLoop();
  const std::uint32_t at = loop * SLOTS + static_cast<std::uint32_t>(address);
  if (site.GetDevice(at, POWERSUPPLY) != nullptr) return TX_NOPOWERSUPPLY;
  DeviceConfig d(at, POWERSUPPLY, UNKNOWN);
  d.SetParentAddress(loop * SLOTS + 1);
  d.SetParentType(BUSCONTROLLER);
  const std::uint32_t keep = selected->GetAddress();
  if (site.InsertDevice(std::move(d)) == nullptr) return TX_NOPOWERSUPPLY;
  Select(keep, BUSCONTROLLER);
  return 0;
}

bool SiteEditor::Remove() {
  if (selected == nullptr || selected->GetType() == BUSCONTROLLER) return false;
  const std::uint32_t address = selected->GetAddress();
  const devicetype type = selected->GetType();
  selected = nullptr;
  if (type == POWERSUPPLY) {
    std::vector<std::uint32_t> fed;
    for (const DeviceConfig& d : site)
      if (d.GetType() == DETECTOR && d.GetParentType() == POWERSUPPLY &&
          d.GetParentAddress() == address)
        fed.push_back(d.GetAddress());
    for (std::uint32_t a : fed) site.RemoveDevice(a, DETECTOR);
  }
  site.RemoveDevice(address, type);
  return true;
}

int SiteEditor::ModelIndex(int model) const {
  for (std::size_t i = 0; i < modelcodes.size(); ++i)
    if (modelcodes[i] == model) return static_cast<int>(i);
  return -1;
}

int SiteEditor::ModelAt(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= modelcodes.size()) return UNKNOWN;
  return modelcodes[static_cast<std::size_t>(index)];
}

std::vector<std::string> SiteEditor::ZoneNames() {
  std::vector<std::string> names{"---"};
  for (int z = 1; z <= ZONES; ++z) names.push_back(Format("%03d", z));
  return names;
}

std::vector<bool> SiteEditor::FaultBoxes(std::uint32_t mask) {
  std::vector<bool> ticked(FAULTBITS);
  for (int b = 0; b < FAULTBITS; ++b) ticked[static_cast<std::size_t>(b)] = (mask & (1u << b)) == 0;
  return ticked;
}

std::uint32_t SiteEditor::FaultMask(const std::vector<bool>& ticked) {
  std::uint32_t mask = 0;
  for (int b = 0; b < FAULTBITS; ++b) {
    const bool box =
        static_cast<std::size_t>(b) < ticked.size() && ticked[static_cast<std::size_t>(b)];
    if (!box) mask |= 1u << b;
  }
  return mask;
}

bool SiteEditor::Ok(INI& ini, Prompter* prompter) {
  return SaveAs(site.GetConfig(), ini, prompter);
}

bool SiteEditor::SaveAs(const std::string& file, INI& ini, Prompter* prompter) {
  // The site in use changes only when the file holds what it should, so a
  // failed save never leaves the program pointing at a file it cannot read.
  if (!file.empty() && site.Save(file)) {
    ini.WriteString("Site", "Site", file);
    if (!siteplan.empty()) ini.WriteString("Maps", "Site", siteplan);
    return true;
  }
  if (prompter != nullptr) {
    std::string text = translator != nullptr ? translator->Text(TX_WRITEERROR)
                                             : std::string("Error writing to file\n%s.");
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, file);
    prompter->Show(file,
                   text +
                       "\nThe file may be read-only or open in another program; it was not "
                       "changed.",
                   PromptIcon::STOP);
  }
  return false;
}

}  // namespace quillark
