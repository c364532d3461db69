#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/site/config.h"
#include "core/site/devicetypes.h"

namespace quillark {

class INI;
class Prompter;
class Translator;

// The site configuration editor without its window: a working copy of the
// site that the operator changes by hand, written to the site file only by
// Ok(). Dropping the editor (Cancel) leaves the site file as it was.
//
// The tree has one root per command module (loop), its detectors and power
// supplies under it and each power supply's detectors under that. It is
// built from the working copy whenever it is asked for, so it can never
// disagree with what Ok() will save.
class SiteEditor {
 public:
  // Node images: what kind of device a node is.
  enum Image : int { IMG_COMMANDMODULE = 0, IMG_POWERSUPPLY = 1, IMG_DETECTOR = 2 };
  // Text numbers of the refusals.
  static constexpr int TX_NODETECTOR = 17100;
  static constexpr int TX_NOPOWERSUPPLY = 17200;
  static constexpr int TX_WRITEERROR = 17600;
  // The kinds in the tree labels.
  static constexpr int TX_COMMANDMODULE = 58100;
  static constexpr int TX_POWERSUPPLY = 63040;
  static constexpr int TX_DETECTOR = 16900;
  static constexpr int FIRSTADDRESS = 1;
  static constexpr int LASTADDRESS = 127;
  static constexpr int ZONES = 127;

  struct Node {
    std::uint32_t address = 0;
    devicetype type = BUSCONTROLLER;
    int image = IMG_COMMANDMODULE;
    std::string label;
    std::vector<Node> children;
  };

  // `loops` limits the tree to the loops the program runs.
  SiteEditor(const TSiteConfig& site, Translator* translator, int loops = TSiteConfig::LOOPS);

  TSiteConfig& Site() { return site; }
  const TSiteConfig& Site() const { return site; }
  const std::string& GetFileName() const { return site.GetConfig(); }

  // The word for a device of `type`: "Command module", "Power supply",
  // "Detector", in the operator's language (English without a translator).
  static std::string KindWord(devicetype type, Translator* translator);
  // "Command module 001", "Detector 005", "Power supply 002".
  static std::string Label(devicetype type, std::uint32_t address,
                           Translator* translator = nullptr);
  // A device named with its loop (from 1): "Command module 2", "Detector 2-005".
  static std::string LoopName(devicetype type, unsigned loop, unsigned address,
                              Translator* translator);
  std::vector<Node> Tree() const;

  // The selected node: a command module, power supply or detector of the
  // working copy. False (nothing selected) when there is no such entry.
  bool Select(std::uint32_t address, devicetype type);
  void ClearSelection() { selected = nullptr; }
  DeviceConfig* Selected() { return selected; }
  const DeviceConfig* Selected() const { return selected; }

  // The addresses of the selected node's loop that no detector (array cells
  // included) or power supply holds; empty without a selection.
  std::vector<int> FreeDetectors() const;
  std::vector<int> FreePowerSupplies() const;

  // Adds a detector at `address` under the selected command module or power
  // supply, or a power supply under the selected command module. 0 when
  // added; otherwise the refusal's text number, and nothing changed.
  int AddDetector(int address);
  int AddPSU(int address);
  // Removes the selected device (a power supply with every detector it
  // feeds) and clears the selection. False for a command module or without
  // a selection.
  bool Remove();

  // The model list: every model with a name, in model order, and the
  // mapping between list position and model code (-1 / 0 when not listed).
  const std::vector<std::string>& ModelNames() const { return modelnames; }
  int ModelIndex(int model) const;
  int ModelAt(int index) const;
  // The zone list: "---" (no zone) then "001" to "127"; position = zone.
  static std::vector<std::string> ZoneNames();

  // The critical-fault boxes of a mask: a ticked box is a clear bit.
  static std::vector<bool> FaultBoxes(std::uint32_t mask);
  static std::uint32_t FaultMask(const std::vector<bool>& ticked);

  // The site plan's picture as the operator chose it in the editor; empty
  // until then (the settings' "Maps"/"Site" stands). Like the rest of the
  // working copy it is stored only by Ok(), so Cancel forgets it.
  void SetSitePlan(std::string file) { siteplan = std::move(file); }
  const std::string& SitePlan() const { return siteplan; }

  // Stores the site file name as the site in use ("Site"/"Site"), and a site
  // plan chosen, and saves the working copy to it. A file that cannot be written (read-only, a
  // full disk) is reported through `prompter` and left as it was; false.
  bool Ok(INI& ini, Prompter* prompter);
  // The same under another name (a new site).
  bool SaveAs(const std::string& file, INI& ini, Prompter* prompter);

 private:
  Node MakeNode(const DeviceConfig& d) const;
  std::vector<int> Free(devicetype type) const;

  TSiteConfig site;
  Translator* translator;
  int loops;
  DeviceConfig* selected = nullptr;
  std::string siteplan;
  std::vector<std::string> modelnames;
  std::vector<int> modelcodes;
};

}  // namespace quillark
