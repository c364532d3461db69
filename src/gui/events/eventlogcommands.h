#pragma once

#include <functional>
#include <string>

class QWidget;

namespace quillark {

class INI;

class EventLogWindow;
class TDockingApp;

// The ways into the event log window: EVENTLOG for the selected device,
// SYSTEMLOG on the program's own log, and opening .ev2 and .evt files. Each
// opens one modal window; the handlers go when this object goes.
class EventLogCommands {
 public:
  EventLogCommands(TDockingApp& app, QWidget* parent);
  ~EventLogCommands();
  EventLogCommands(const EventLogCommands&) = delete;
  EventLogCommands& operator=(const EventLogCommands&) = delete;

  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  void SetRecentHandler(std::function<void(const std::string&)> h) { recent = std::move(h); }
  // Where the windows' places are kept; without it they open where Qt puts them.
  void SetPlaceKeeping(INI* ini) { placeini = ini; }
  // How a window is run once set up; modally unless told otherwise (tests
  // look at it instead).
  void SetRunner(std::function<void(EventLogWindow&)> r) { runner = std::move(r); }

  // Opens the window on `device`, or on `filename` when one is given.
  void Show(int device, const std::string& filename);

 private:
  TDockingApp& app;
  QWidget* parent;
  std::function<void(int)> help;
  std::function<void(const std::string&)> recent;
  INI* placeini = nullptr;
  std::function<void(EventLogWindow&)> runner;
};

}  // namespace quillark
