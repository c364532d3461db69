#include "core/status/matrix.h"

#include <cstdio>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/message.h"
#include "core/platform/prompter.h"
#include "core/platform/services.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/site/fnfile.h"
#include "core/status/devicecontext.h"

namespace quillark {
namespace {

constexpr int ARRAYON = 110;
constexpr std::uint32_t LASTADDRESS = 2032;
// Values the cell's own settings lines hold (by value index), so that its
// pages and the model check read it as a cell.
constexpr std::pair<int, int> CELLVALUES[] = {{44, ARRAYSCANCELL}, {45, 10},  {59, 255},
                                              {58, 255},           {57, 255}, {42, 255}};

int CmValue(const std::string& cfs, int function) {
  return FnTextValue(cfs, 1, function - 1);
}

}  // namespace

unsigned CellStatus::GetAlarmStatus(const DeviceStatusSource& app) const {
  if (!enabled) return 1;
  const unsigned s1 = app.GetDeviceStatus(parent1);
  const unsigned s2 = app.GetDeviceStatus(parent2);
  return (s1 & s2 & 0x1E) | (s1 & 0x01) | (s2 & 0x01);
}

unsigned CellStatus::GetFaultStatus(const DeviceStatusSource& app) const {
  if (!enabled) return 0;
  return app.GetDeviceFaultStatus(parent1) | app.GetDeviceFaultStatus(parent2);
}

MatrixScan::MatrixScan(BusHost& b, DeviceContext& a) : bus(b), app(a) {
  InitCells();
}

std::pair<int, int> MatrixScan::CellParents(int k) {
  for (int i = 2; i <= ARRAYDETECTORS; ++i) {
    if (k < i - 1) return {i, k + 1};
    k -= i - 1;
  }
  return {0, 0};
}

bool MatrixScan::DeleteCellsFromCfg(std::uint32_t start, std::uint32_t end) {
  TSiteConfig* site = app.GetSiteConfig();
  if (site == nullptr) return false;
  bool changed = false;
  for (std::uint32_t loop = 0; loop < static_cast<std::uint32_t>(TSiteConfig::LOOPS); ++loop) {
    for (std::uint32_t a = 1; a <= 127; ++a) {
      const std::uint32_t address = loop * 256 + a;
      if (address < start || address > end) continue;
      const DeviceConfig* d = site->GetDevice(address, DETECTOR);
      if (d == nullptr || d->GetModel() != ARRAYSCANCELL) continue;
      site->RemoveDevice(address, DETECTOR);
      changed = true;
    }
  }
  return changed;
}

bool MatrixScan::AddCellToCfg(int function, int bit, int parent, int detectorbase, int cell) {
  TSiteConfig* site = app.GetSiteConfig();
  if (site == nullptr || cell < 1 || cell > 127) return false;
  const int v = CmValue(cfstext, function);
  if (v < 0) return false;
  const std::uint32_t address = static_cast<std::uint32_t>(cell);
  bool changed = false;
  if ((v >> bit) & 1) {
    const DeviceConfig* d = site->GetDevice(address, DETECTOR);
    if (d != nullptr && d->GetModel() != ARRAYSCANCELL) {
      const std::string model(Trim(Detector(&bus.GetTranslator()).GetTypeName(d->GetModel())));
      std::string text = bus.GetTranslator().GetTextInLanguage(TX_CELLCLASH, 0);
      // The text names the model twice and the address once, in that order.
      std::string out;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')) {
          out += text[i + 1] == 's' ? model : std::to_string(cell);
          ++i;
          continue;
        }
        out += text[i];
      }
      bus.GetServices().prompter.Show("", out, PromptIcon::STOP);
      site->RemoveDevice(address, DETECTOR);
      changed = true;
      d = nullptr;
    }
    // Entered at once, also after a clash: an enabled cell that is not in
    // the site would not be polled until the next rebuild.
    if (d == nullptr) {
      DeviceConfig entry(address, DETECTOR, ARRAYSCANCELL);
      entry.SetParentAddress(1);
      entry.SetParentType(BUSCONTROLLER);
      site->InsertDevice(std::move(entry));
      changed = true;
    }
    if (static_cast<std::size_t>(cell) < cellstatus.size())
      cellstatus[static_cast<std::size_t>(cell)].enabled = true;
    if (dfsread) {
      for (const auto& [index, value] : CELLVALUES) {
        bool c = false;
        FnTextSetValue(dfstext, address, index, value, &c);
        dfschanged = dfschanged || c;
      }
    }
    const auto [i, j] = CellParents(parent);
    if (DeviceConfig* e = site->GetDevice(address, DETECTOR)) {
      const std::string location = Format("%d and %d", detectorbase + i, detectorbase + j);
      if (e->GetLocation() != location) {
        e->SetLocation(location);
        changed = true;
      }
    }
  } else {
    const DeviceConfig* d = site->GetDevice(address, DETECTOR);
    if (d != nullptr && d->GetModel() == ARRAYSCANCELL) {
      site->RemoveDevice(address, DETECTOR);
      changed = true;
    }
  }
  return changed;
}

bool MatrixScan::InitCells() {
  cellstatus.clear();
  TSiteConfig* site = app.GetSiteConfig();
  if (site == nullptr) return false;
  cfstext.clear();
  ReadFnFile(FnFileName(site->GetConfig(), BUSCONTROLLER), cfstext);
  bool changed = false;
  const int base = CmValue(cfstext, 142) - 1;
  if (CmValue(cfstext, 141) != ARRAYON || base < 0) {
    changed = DeleteCellsFromCfg(0, LASTADDRESS);
    if (changed) site->Save();
    return changed;
  }
  cellstatus.assign(static_cast<std::size_t>(TSiteConfig::LOOPS) * 128, CellStatus{});
  const int first = base + 16;
  changed = DeleteCellsFromCfg(0, static_cast<std::uint32_t>(first - 1)) || changed;
  changed = DeleteCellsFromCfg(static_cast<std::uint32_t>(first + CELLS), LASTADDRESS) || changed;
  const std::string dfs = FnFileName(site->GetConfig(), DETECTOR);
  dfstext.clear();
  dfsread = ReadFnFile(dfs, dfstext);
  dfschanged = false;
  for (int k = 0; k < CELLS; ++k) {
    const int address = first + k;
    if (address > 127) break;
    changed = AddCellToCfg(143 + k / 8, k % 8, k, base, address) || changed;
    const auto [i, j] = CellParents(k);
    CellStatus& cell = cellstatus[static_cast<std::size_t>(address)];
    cell.parent1 = base + i;
    cell.parent2 = base + j;
  }
  if (dfsread && dfschanged) WriteFileAtomic(dfs, dfstext);
  dfstext.clear();
  dfsread = false;
  if (changed) site->Save();
  return changed;
}

const CellStatus* MatrixScan::GetCell(int address) const {
  if (address < 1 || address > 127 || cellstatus.empty()) return nullptr;
  return &cellstatus[static_cast<std::size_t>(address)];
}

unsigned MatrixScan::GetAlarmStatus(int device) const {
  const CellStatus* c = GetCell(device);
  return c != nullptr ? c->GetAlarmStatus(app) : 1;
}

unsigned MatrixScan::GetFaultStatus(int device) const {
  const CellStatus* c = GetCell(device);
  return c != nullptr ? c->GetFaultStatus(app) : 0;
}

std::string MatrixScan::Answer(int device) const {
  char frame[32];
  std::snprintf(frame, sizeof frame, "@%c%02x%02x00", static_cast<char>((device & 0xFF) | 0x80),
                GetAlarmStatus(device), GetFaultStatus(device));
  std::string out(frame);
  char hex[8];
  std::snprintf(
      hex, sizeof hex, "%02x",
      static_cast<unsigned>(Message::CalculateXORsum(out.c_str(), static_cast<int>(out.size()))) &
          0xFFu);
  out += hex;
  // A parent not yet heard from gives a three-digit fault field: the cut
  // frame then fails its check sum and receivers leave it alone.
  if (out.size() > 10) out.resize(10);
  return out;
}

void MatrixScan::ScanDevice(int device) {
  const std::string frame = Answer(device);
  bus.DespatchRxMessage(0, frame.c_str(), static_cast<int>(frame.size()), true);
}

}  // namespace quillark
