#include "gui/events/eventlogcommands.h"

#include "core/access/commands.h"
#include "core/app/dockingapp.h"
#include "core/events/fileext.h"
#include "gui/common/windowplacekeeper.h"
#include "gui/events/eventlogwindow.h"

namespace quillark {

EventLogCommands::EventLogCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_EVENTLOG, [this] { Show(app.GetSelDetector(), {}); });
  app.SetCommandHandler(CMD_SYSTEMLOG, [this] { Show(0, app.GetPaths().syslog.string()); });
  for (int type : {FT_EVENT, FT_SYSEVENT})
    app.SetFileOpener(type, [this](const std::string& path) { Show(0, path); });
}

EventLogCommands::~EventLogCommands() {
  for (int id : {CMD_EVENTLOG, CMD_SYSTEMLOG}) app.SetCommandHandler(id, nullptr);
  for (int type : {FT_EVENT, FT_SYSEVENT}) app.SetFileOpener(type, nullptr);
}

void EventLogCommands::Show(int device, const std::string& filename) {
  // A file is shown with the selector on the selected device, which is
  // what a read would start from; no device is read.
  if (!filename.empty()) device = app.GetSelDetector() >= 0 ? app.GetSelDetector() : 0;
  EventLogWindow window(app, device, filename, parent);
  if (placeini != nullptr) new WindowPlaceKeeper(window, *placeini, "EventLog");
  window.SetHelpHandler(help);
  window.SetRecentHandler(recent);
  window.Start();
  if (runner)
    runner(window);
  else
    window.exec();
}

}  // namespace quillark
