#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/status/pollingengine.h"

namespace quillark {

class DeviceContext;
class DeviceStatusSource;
class TSiteConfig;

// One cell of the array: switched on or not, and the two detectors whose
// crossing it stands for.
struct CellStatus {
  bool enabled = false;
  int parent1 = 0;
  int parent2 = 0;

  // An alarm level shows on the cell only when both parents report it; a
  // fault on either parent is a fault of the cell. Off: 1 and 0.
  unsigned GetAlarmStatus(const DeviceStatusSource& app) const;
  unsigned GetFaultStatus(const DeviceStatusSource& app) const;
  void SetEnable(bool on) { enabled = on; }
  bool GetEnable() const { return enabled; }
  void SetParent1(int p) { parent1 = p; }
  void SetParent2(int p) { parent2 = p; }
};

// Array scanning: up to 15 detectors of the first loop combined into 105
// virtual cells, each the crossing of two of them. The command module of
// the first loop says, in its function settings file, whether the array is
// on (function 141 = 110), where it starts (142) and which cells are on
// (143 to 156). The cells are kept in the site as detectors of model
// ARRAYSCANCELL, and when the bus master reaches one it gets a fast-poll
// answer made from its parents' states, delivered as if heard on loop 1.
class MatrixScan : public ArrayScanner {
 public:
  static constexpr int CELLS = 105;
  static constexpr int ARRAYDETECTORS = 15;
  static constexpr int TX_CELLCLASH = 36700;

  MatrixScan(BusHost& bus, DeviceContext& app);

  void InitMatrixScan() override { InitCells(); }
  void ScanArrayDevice(int device) override { ScanDevice(device); }

  // Brings the site's cells in line with the command module's settings and
  // saves the site when that changed it; true when it did.
  bool InitCells();
  // Cell `cell` (a bus address), enabled by `bit` of function `function`:
  // enters, keeps or removes its site entry. True when the site changed.
  bool AddCellToCfg(int function, int bit, int parent, int detectorbase, int cell);
  // Removes every cell entry with a configured address in [start, end].
  bool DeleteCellsFromCfg(std::uint32_t start, std::uint32_t end);

  bool Enabled() const { return !cellstatus.empty(); }
  unsigned GetAlarmStatus(int device) const;
  unsigned GetFaultStatus(int device) const;
  const CellStatus* GetCell(int address) const;
  // The made-up fast-poll answer of a cell, with its check sum, no CR.
  std::string Answer(int device) const;
  void ScanDevice(int device);

  // The two array positions (1 to 15) of cell k: (2,1), (3,1), (3,2), ...
  static std::pair<int, int> CellParents(int k);

 private:
  BusHost& bus;
  DeviceContext& app;
  std::vector<CellStatus> cellstatus;
  // The detectors' function file while the cells are being rebuilt: read
  // once and written once, not once per value.
  std::string dfstext;
  bool dfsread = false;
  bool dfschanged = false;
  std::string cfstext;
};

}  // namespace quillark
