#pragma once

#include <functional>
#include <memory>

#include "core/status/sopdialog.h"

namespace quillark {

class EventLoop;
class SelectionSet;
class Translator;

// The one mass operation window of the application: launching another
// closes the first.
class SOPLauncher {
 public:
  // `onchange` (may be empty) hears of every dialog launched, and of nullptr
  // when it has gone, so that a view can follow.
  SOPLauncher(SOPExecutive& executive, EventLoop& events,
              std::function<void(SOPDialog*)> onchange = {});
  ~SOPLauncher();

  // Replaces any open mass operation with a new one over `selection`.
  SOPDialog& LaunchSopDialog(int sopcode, const SelectionSet& selection);
  // Destroys the mass operation window, if there is one.
  void CloseSopDialog();
  SOPDialog* GetSopDialog() const { return dialog.get(); }
  // A window that follows the operations, set once it exists.
  void SetOnChange(std::function<void(SOPDialog*)> f) { onchange = std::move(f); }
  // The texts of every dialog launched from now on; none keeps them English.
  void SetTranslator(Translator* t) { translator = t; }

 private:
  SOPExecutive& executive;
  EventLoop& events;
  std::function<void(SOPDialog*)> onchange;
  Translator* translator = nullptr;
  std::unique_ptr<SOPDialog> dialog;
};

}  // namespace quillark
