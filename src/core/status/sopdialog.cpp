#include "core/status/sopdialog.h"

#include "core/access/translator.h"
#include "core/common/statusbits.h"
#include "core/status/deviceoperations.h"
#include "core/status/selset.h"

namespace quillark {

// --- SOPDialog ---------------------------------------------------------------------

SOPDialog::SOPDialog(SOPExecutive* ex, EventLoop& e, std::function<void()> close)
    : psopex(ex), events(e), onclose(std::move(close)) {}

SOPDialog::~SOPDialog() = default;

std::string SOPDialog::Text(int id, const char* english) const {
  return TextOr(translator, id, english);
}

SOPDialog::Classification SOPDialog::Classify(std::int32_t status, std::int32_t faultstatus) {
  // The fault byte means nothing while the status does not flag a fault.
  const std::int32_t fault = (status & 0x01) != 0 ? faultstatus : 0;
  if ((status & UNKNOWNSTATUS) != 0) return SOPS_UNKNOWN;
  if ((status & 0x01) != 0 && fault == 0) return SOPS_COMMSFAULT;
  if ((fault & FT_ISOLATED) != 0) return SOPS_ISOLATED;
  return SOPS_NOTISOLATED;
}

void SOPDialog::SetupWindow() {
  timer = events.Repeating(TICK_MS, [this] { EvTimer(); });
}

void SOPDialog::SetOperation(int code) {
  sopcode = code;
  switch (code) {
    case SOPC_MASS_ISOLATE:
      caption = Text(50900, "Isolate Selected Detectors ...");
      labels = {Text(58300, "Detectors to Isolate"), Text(37800, "Isolated"),
                Text(58350, "Not Isolated"), Text(58400, "Communications Fault"),
                Text(58450, "Unknown Status")};
      break;
    case SOPC_MASS_DEISOLATE:
      caption = Text(51000, "De-Isolate Selected Detectors ...");
      labels = {Text(58500, "Detectors to De-Isolate"), Text(58550, "De-Isolated"),
                Text(58600, "Not De-Isolated"), Text(58400, "Communications Fault"),
                Text(58450, "Unknown Status")};
      break;
    case SOPC_NONE:
      caption = "Unknown Operation ...";
      labels.fill("<Unknown>");
      break;
    default:
      return;
  }
  if (onchange) onchange();
}

void SOPDialog::LoadDetectors(const SelectionSet& selection) {
  dsm.Empty();
  for (int a : selection) {
    // Command modules are never part of a mass operation, and neither is
    // anything that cannot be addressed (beyond the sixteenth loop, say): it
    // could never answer, and the operation would never finish.
    if ((a & 0xFF) == 0 || !DeviceOperations::IsValidDevice(a)) continue;
    dsm.SetDeviceStatus(a, UNKNOWNSTATUS, 0);
  }
  progressrange = dsm.Count();
  ReflectDeviceStatusToControls();
}

void SOPDialog::GetLoadedDevices(SelectionSet& selection) const {
  std::int32_t device = 0;
  for (int i = 0; i < dsm.Count(); ++i)
    if (dsm.GetDeviceAddressByIndex(i, device)) selection.InsertInternalAddress(device);
}

void SOPDialog::EvTimer() {
  ++tickcount;
  if (finishedflag) {
    if (finishedtime < FINISHEDTICKS) ++finishedtime;
    if (finishedtime >= FINISHEDTICKS && autoclose) {
      EvClose();
      return;
    }
  } else {
    finishedtime = 0;
  }
  if (UpdateDeviceStatusMap()) ReflectDeviceStatusToControls();
  IterateDevice();
}

bool SOPDialog::NeedsCommand(Classification c) const {
  if (sopcode == SOPC_MASS_ISOLATE) return c == SOPS_NOTISOLATED;
  if (sopcode == SOPC_MASS_DEISOLATE) return c == SOPS_ISOLATED;
  return false;
}

void SOPDialog::IterateDevice() {
  if (--presc > 0) return;
  presc = PRESCALE;

  const int n = dsm.Count();
  if (diter < 0 || diter >= n) diter = 0;
  for (int i = diter; i < n; ++i) {
    std::int32_t device = 0, status = 0, fault = 0;
    if (!dsm.GetDeviceStatusByIndex(i, device, status, fault)) continue;
    if (!NeedsCommand(Classify(status, fault))) continue;
    if (psopex != nullptr) psopex->Isolate(device, sopcode == SOPC_MASS_ISOLATE);
    diter = i + 1;
    return;
  }
  // Nothing left on this pass: the next search starts from the first entry.
  diter = n + 1;
}

bool SOPDialog::UpdateDeviceStatusMap() {
  bool changed = false;
  for (int i = 0; i < dsm.Count(); ++i) {
    std::int32_t device = 0, status = 0, fault = 0;
    if (!dsm.GetDeviceStatusByIndex(i, device, status, fault)) continue;
    const auto newstatus =
        static_cast<std::int32_t>(psopex != nullptr ? psopex->GetDeviceStatus(device) : 0x01);
    const auto newfault =
        static_cast<std::int32_t>(psopex != nullptr ? psopex->GetDeviceFaultStatus(device) : 0x20);
    if (newstatus != status || newfault != fault) {
      dsm.SetDeviceStatusByIndex(i, newstatus, newfault);
      changed = true;
    }
  }
  return changed;
}

void SOPDialog::ReflectDeviceStatusToControls() {
  int counts[4] = {};
  for (int i = 0; i < dsm.Count(); ++i) {
    std::int32_t device = 0, status = 0, fault = 0;
    if (dsm.GetDeviceStatusByIndex(i, device, status, fault)) ++counts[Classify(status, fault)];
  }
  const int total = dsm.Count();
  const int isolated = counts[SOPS_ISOLATED], notisolated = counts[SOPS_NOTISOLATED];
  int done = -1;
  fields[0] = total;
  fields[3] = counts[SOPS_COMMSFAULT];
  fields[4] = counts[SOPS_UNKNOWN];
  fieldsshown = true;
  if (sopcode == SOPC_MASS_ISOLATE) {
    fields[1] = isolated;
    fields[2] = notisolated;
    progress = done = isolated;
  } else if (sopcode == SOPC_MASS_DEISOLATE) {
    fields[1] = notisolated;
    fields[2] = isolated;
    progress = done = notisolated;
  } else {
    fields[1] = fields[2] = 0;
    fieldsshown = false;
    progress = 0;
  }
  finishedflag = done == total;
  if (onchange) onchange();
}

void SOPDialog::EvClose() {
  if (!onclose || closing) return;
  // No more ticks: the owner destroys this object once the current work
  // (perhaps this very tick) has finished.
  closing = true;
  timer.Cancel();
  std::weak_ptr<int> guard = alive;
  events.Post([this, guard] {
    if (guard.lock()) onclose();
  });
}

void SOPDialog::HandleAutoCloseCheckBox(bool checked) {
  autoclose = checked;
  finishedtime = 0;
  if (onchange) onchange();
}

const std::string& SOPDialog::GetLabel(int id) const {
  static const std::string none;
  if (id < IDC_LABEL_TOTAL || id > IDC_LABEL_UNKNOWN) return none;
  return labels[static_cast<std::size_t>(id - IDC_LABEL_TOTAL)];
}

std::string SOPDialog::GetFieldText(int id) const {
  if (id < IDC_TOTAL || id > IDC_UNKNOWN) return {};
  if ((id == IDC_DONE || id == IDC_NOTDONE) && !fieldsshown) return {};
  return std::to_string(fields[static_cast<std::size_t>(id - IDC_TOTAL)]);
}

}  // namespace quillark
