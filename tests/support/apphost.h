#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/inifile.h"
#include "core/platform/posixlauncher.h"
#include "support/recorders.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {

// An application on a virtual clock with a settings file in a temporary
// program home. Settings are written before Start() creates the main window.
class AppHost {
 public:
  explicit AppHost(std::uint32_t starttick = 0)
      : events(starttick),
        ini(home / "quillark.ini"),
        app(std::make_unique<TDockingApp>(events, prompter, status, ini, launcher)) {}

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ini.WriteString(section, key, value);
  }

  // Main window with its communication handler.
  TMainWindow& Start(int loops = 1) {
    auto window = std::make_unique<TMainWindow>(*app, loops);
    window->SetEventWriter(&writer);
    app->SetMainWindow(std::move(window));
    app->GetMainWindow()->CreateCommHandler();
    return *app->GetMainWindow();
  }
  // The demonstration home (settings and site) in the program home, then
  // the application started on it as the program starts.
  void CopyDemoHome() {
    for (const char* f : {"quillark.ini", "demo.cfg"})
      std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                                 home / f, std::filesystem::copy_options::overwrite_existing);
  }
  void StartDemo() {
    CopyDemoHome();
    app->InitMainWindow(home.Path());
  }
  CommHandler& Comms() { return *app->GetMainWindow()->GetCommHandler(); }
  BusRouter& Bus() { return app->GetBus(); }

  TempDir home;
  VirtualEventLoop events;
  RecordingPrompter prompter;
  RecordingStatus status;
  RecordingEventWriter writer;
  // The real launcher: tests of the pager and mail run small scripts.
  PosixLauncher launcher{events};
  INIfile ini;
  std::unique_ptr<TDockingApp> app;
};

}  // namespace quillark::test
