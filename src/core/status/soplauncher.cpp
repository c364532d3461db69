#include "core/status/soplauncher.h"

#include "core/status/selset.h"

namespace quillark {

SOPLauncher::SOPLauncher(SOPExecutive& ex, EventLoop& e, std::function<void(SOPDialog*)> change)
    : executive(ex), events(e), onchange(std::move(change)) {}

SOPLauncher::~SOPLauncher() {
  dialog.reset();
}

SOPDialog& SOPLauncher::LaunchSopDialog(int sopcode, const SelectionSet& selection) {
  CloseSopDialog();
  dialog = std::make_unique<SOPDialog>(&executive, events, [this] { CloseSopDialog(); });
  dialog->SetTranslator(translator);
  dialog->SetupWindow();
  dialog->SetOperation(sopcode);
  dialog->LoadDetectors(selection);
  if (onchange) onchange(dialog.get());
  return *dialog;
}

void SOPLauncher::CloseSopDialog() {
  if (dialog == nullptr) return;
  dialog.reset();
  if (onchange) onchange(nullptr);
}

}  // namespace quillark
