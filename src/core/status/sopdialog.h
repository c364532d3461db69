#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/platform/eventloop.h"
#include "core/status/dsmap.h"
#include "core/status/sopexecutive.h"

namespace quillark {

class DeviceOperations;
class Translator;
class SelectionSet;
class DeviceStatusSource;

// What a mass operation does to each of its devices.
enum SOPCODE : int {
  SOPC_NONE = 0,
  SOPC_MASS_ISOLATE = 1,
  SOPC_MASS_DEISOLATE = 2,
};

// The mass isolate or de-isolate of the selected devices: commands one device
// at a time, at most one every 1.5 s, and watches the state each device
// reports until every one has reached the target. A device that does not
// answer is never commanded and keeps the operation from finishing; a device
// that ignores the command gets it again on every pass. The window shows the
// counts and the progress, and may close itself 8 s after the finish.
class SOPDialog {
 public:
  static constexpr std::uint32_t TICK_MS = 250;
  // Ticks between two commands, and ticks after the finish before auto-close.
  static constexpr int PRESCALE = 6;
  static constexpr int FINISHEDTICKS = 32;
  // Status word of an entry that nothing has been heard from yet.
  static constexpr std::int32_t UNKNOWNSTATUS = 0x8000;

  // Controls of the window whose text this object decides.
  enum Control : int {
    IDC_LABEL_TOTAL = 501,
    IDC_LABEL_DONE = 502,
    IDC_LABEL_NOTDONE = 503,
    IDC_LABEL_COMMSFAULT = 504,
    IDC_LABEL_UNKNOWN = 505,
    IDC_PROGRESS = 511,
    IDC_TOTAL = 521,
    IDC_DONE = 522,
    IDC_NOTDONE = 523,
    IDC_COMMSFAULT = 524,
    IDC_UNKNOWN = 525,
    IDC_AUTOCLOSE = 541,
  };

  // How an entry's reported state is counted.
  enum Classification { SOPS_UNKNOWN, SOPS_COMMSFAULT, SOPS_ISOLATED, SOPS_NOTISOLATED };
  static Classification Classify(std::int32_t status, std::int32_t faultstatus);

  // `psopex` is not owned and may be null (then nothing is commanded).
  // `onclose` asks the owner to destroy this object; it is called after the
  // current work has finished, never from inside this object's own calls.
  SOPDialog(SOPExecutive* psopex, EventLoop& events, std::function<void()> onclose);
  ~SOPDialog();
  SOPDialog(const SOPDialog&) = delete;
  SOPDialog& operator=(const SOPDialog&) = delete;

  // The view is told whenever what it shows may have changed.
  void SetChangeListener(std::function<void()> listener) { onchange = std::move(listener); }
  // The caption and labels come from here, in its current language; set
  // before SetOperation. Null keeps them English.
  void SetTranslator(Translator* t) { translator = t; }
  Translator* GetTranslator() const { return translator; }
  // Takes the caption and labels again, after a change of language.
  void Retranslate() { SetOperation(sopcode); }

  // Starts the 250 ms tick.
  void SetupWindow();
  // Sets the operation, and the caption and labels for a known one.
  void SetOperation(int sopcode);
  // Takes the devices of `selection` (not command modules, not devices
  // beyond the last loop) as not yet known.
  void LoadDetectors(const SelectionSet& selection);
  void GetLoadedDevices(SelectionSet& selection) const;
  int DetectorCount() const { return dsm.Count(); }

  void EvTimer();
  // Commands the next device that still needs it, every PRESCALE calls.
  void IterateDevice();
  // Reads every device's status from the executive; true if any changed.
  bool UpdateDeviceStatusMap();
  // Recounts the entries into the fields and the progress, and decides
  // whether the operation has finished.
  void ReflectDeviceStatusToControls();

  // The Close button and the window's close request.
  void EvClose();
  void HandleOkButton() { EvClose(); }
  // Any click on the auto-close box restarts the 8 s.
  void HandleAutoCloseCheckBox(bool checked);

  // --- What the window shows
  const std::string& GetCaption() const { return caption; }
  // Labels 501..505.
  const std::string& GetLabel(int id) const;
  // Fields 521..525 as text; 522 and 523 are empty for an unknown operation.
  std::string GetFieldText(int id) const;
  int GetProgress() const { return progress; }
  int GetProgressRange() const { return progressrange; }
  bool GetAutoClose() const { return autoclose; }

  int GetOperation() const { return sopcode; }
  int GetTickCount() const { return tickcount; }
  bool IsFinished() const { return finishedflag; }
  int GetFinishedTime() const { return finishedtime; }
  bool IsClosing() const { return closing; }
  const DeviceStatusMap& GetDeviceStatusMap() const { return dsm; }

 private:
  std::string Text(int id, const char* english) const;
  // Whether an entry in this state still needs the operation's command.
  bool NeedsCommand(Classification c) const;

  int tickcount = 0;
  bool finishedflag = false;
  int finishedtime = 0;
  int sopcode = SOPC_NONE;
  int diter = -1;
  int presc = PRESCALE;
  SOPExecutive* psopex;
  Translator* translator = nullptr;
  EventLoop& events;
  std::function<void()> onclose;
  std::function<void()> onchange;
  DeviceStatusMap dsm;
  TimerHandle timer;

  std::string caption;
  std::array<std::string, 5> labels;
  std::array<int, 5> fields{};  // 521..525
  bool fieldsshown = false;     // 522 and 523 hold counts
  int progress = 0;
  int progressrange = 0;
  bool autoclose = false;
  bool closing = false;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
