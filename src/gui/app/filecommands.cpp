#include "gui/app/filecommands.h"

#include <QFileDialog>
#include <QStringList>
#include <filesystem>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/platform/prompter.h"
#include "gui/app/mainframe.h"
#include "gui/common/uitext.h"

namespace quillark {

QString FileCommands::OpenFilter() const {
  Translator& tr = app.GetServices().translator;
  // Every type the program opens comes first, so that the dialog shows all
  // of them until the operator narrows it down.
  const QString types[][2] = {{UiText(tr, 81300, "All supported files"),
                               QStringLiteral("*.rcw *.rec *.cfg *.ev2 *.evt *.ilt *.lgo")},
                              {UiText(tr, 81400, "Chart"), QStringLiteral("*.rcw")},
                              {UiText(tr, 81500, "DOS chart"), QStringLiteral("*.rec")},
                              {UiText(tr, 81600, "Site"), QStringLiteral("*.cfg")},
                              {PlainUiText(tr, 68100, "&System log"), QStringLiteral("*.ev2")},
                              {PlainUiText(tr, 18500, "Event log..."), QStringLiteral("*.evt")},
                              {UiText(tr, 81700, "Language text"), QStringLiteral("*.ilt")},
                              {UiText(tr, 81800, "Logos"), QStringLiteral("*.lgo")}};
  QStringList filters;
  for (const auto& t : types) filters << QStringLiteral("%1 (%2)").arg(t[0], t[1]);
  return filters.join(QStringLiteral(";;"));
}

FileCommands::FileCommands(TDockingApp& a, INI& ini, MainFrame& f)
    : app(a), frame(f), recent(ini), choosefile([&a](QWidget* parent, const QString& filter) {
        // The program's files live in its home, so the dialog starts there.
        return QFileDialog::getOpenFileName(
            parent, PlainUiText(a.GetServices().translator, 66200, "&Open..."),
            QString::fromStdString(a.GetPaths().home.string()), filter);
      }) {
  app.SetCommandHandler(CMD_OPEN, [this] {
    const QString name = choosefile(&frame, OpenFilter());
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
    app.GetServices().prompter.Show(
        "error", app.GetServices().translator.TextOr(52400, "Cannot open file."), PromptIcon::STOP);
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
