#include "gui/app/filecommands.h"

#include <QFileDialog>
#include <filesystem>

#include "core/access/commands.h"
#include "core/app/dockingapp.h"
#include "core/platform/prompter.h"
#include "gui/app/mainframe.h"

namespace quillark {

// Every type the program opens comes first, so that the dialog shows all of
// them until the operator narrows it down.
const QString FileCommands::OPENFILTER = QStringLiteral(
    "All supported files (*.rcw *.rec *.cfg *.ev2 *.evt *.ilt *.lgo);;"
    "Chart (*.rcw);;DOS Chart (*.rec);;Site (*.cfg);;System log (*.ev2);;Event log (*.evt);;"
    "Language text (*.ilt);;Logos (*.lgo)");

FileCommands::FileCommands(TDockingApp& a, INI& ini, MainFrame& f)
    : app(a), frame(f), recent(ini), choosefile([&a](QWidget* parent, const QString& filter) {
        // The program's files live in its home, so the dialog starts there.
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"),
                                            QString::fromStdString(a.GetPaths().home.string()),
                                            filter);
      }) {
  app.SetCommandHandler(CMD_OPEN, [this] {
    const QString name = choosefile(&frame, OPENFILTER);
    if (!name.isEmpty()) Open(name.toStdString());
  });
  ShowRecent();
}

FileCommands::~FileCommands() {
  app.SetCommandHandler(CMD_OPEN, nullptr);
  frame.SetRecentFiles({}, nullptr);
}

bool FileCommands::Open(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    // A listed file that has gone is taken off the list rather than offered
    // again.
    app.GetServices().prompter.Show("error", "Cannot open file.", PromptIcon::STOP);
    recent.Remove(path);
    ShowRecent();
    return false;
  }
  if (!app.OpenFile(path)) return false;
  AddRecent(path);
  return true;
}

void FileCommands::AddRecent(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  recent.Add(ec ? path : full.lexically_normal().string());
  ShowRecent();
}

void FileCommands::ShowRecent() {
  frame.SetRecentFiles(recent.Files(), [this](const std::string& path) { Open(path); });
}

}  // namespace quillark
