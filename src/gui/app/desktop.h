#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "gui/access/securitydlg.h"
#include "gui/common/helpwindow.h"
#include "gui/status/sopdialogwindow.h"

namespace quillark {

class AlarmDispWindow;
class BargraphView;
class BusDispWindow;
class CommandModuleWindow;
class EventLogCommands;
class HistogramCommands;
class ChartCommands;
class FunctionCommands;
class SiteCommands;
class DiagCommands;
class FileCommands;
class INI;
class MainFrame;
class TDockingApp;

// The windows of the desktop program over a started application: the device
// panels, the alarm viewer, the log-on and password dialogs, the mass
// operation window, the command module and language windows, help. Made once
// InitMainWindow has run; destroyed before the application shuts down.
class Desktop {
 public:
  Desktop(TDockingApp& app, INI& ini, MainFrame& frame);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  BargraphView* View() const;
  AlarmDispWindow* AlarmWindow() const { return alarmwindow.get(); }
  SOPWindowHost& SopHost() { return sophost; }
  HelpWindow& Help() { return help; }
  FileCommands& Files() { return *files; }
  EventLogCommands& EventLogs() { return *eventlogs; }
  HistogramCommands& Histograms() { return *histograms; }
  FunctionCommands& Functions() { return *functions; }
  // The open bus viewer, or null.
  BusDispWindow* BusViewer() const;

 private:
  // A mass operation brings up the hidden alarm viewer below its window, so
  // that the devices' answers can be followed.
  void FollowOperation(SOPDialog* dialog);
  // Asks before a command that touches every (selected) device.
  bool Confirm(const std::string& question);
  // BUSDISPLAY, COMMUNICATIONSETTINGS, EMAIL and PAGER.
  void WireBusAndSettings(INI& ini);
  // VIEWMAP, VIEWZONE and TOGGLEMAPVIEW.
  void WireMaps();
  void UnwireMaps();

  TDockingApp& app;
  MainFrame& frame;
  HelpWindow help;
  GuiLogOnPrompt logon;
  GuiPasswordEditor passwords;
  std::unique_ptr<AlarmDispWindow> alarmwindow;
  std::unique_ptr<CommandModuleWindow> busmasterwindow;
  SOPWindowHost sophost;
  std::unique_ptr<FileCommands> files;
  std::unique_ptr<EventLogCommands> eventlogs;
  std::unique_ptr<HistogramCommands> histograms;
  std::unique_ptr<ChartCommands> charts;
  std::unique_ptr<FunctionCommands> functions;
  std::unique_ptr<SiteCommands> sites;
  std::unique_ptr<DiagCommands> diags;
  QPointer<BusDispWindow> busviewer;  // deletes itself when closed
};

}  // namespace quillark
