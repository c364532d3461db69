#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/inifile.h"
#include "core/events/eventwriter.h"
#include "core/platform/statusdisplay.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {

class RecordingStatus : public StatusDisplay {
 public:
  struct Shown {
    std::string text;
    Rgb fg, bg;
  };
  void SetStatusText(const std::string& text, Rgb fg, Rgb bg) override {
    shown.push_back({text, fg, bg});
  }
  void FlashCaption(bool invert) override { flashes.push_back(invert); }
  void WarningBeep() override { ++beeps; }

  std::vector<Shown> shown;
  std::vector<bool> flashes;
  int beeps = 0;
};

class RecordingEventWriter : public EventWriter {
 public:
  struct Event {
    int category;
    std::string text;
  };
  void WriteEvent(int category, const std::string& text) override {
    events.push_back({category, text});
  }
  std::vector<Event> events;
};

// Collects every frame it is given, as text with its length.
class RecordingReceiver : public MsgClass {
 public:
  explicit RecordingReceiver(TDockingApp* app) : MsgClass(app) {}
  ~RecordingReceiver() override { DeRegister(); }
  void MsgRx(int loop, const char* msg) override {
    loops.push_back(loop);
    frames.emplace_back(msg);
  }
  void TxEmpty() override { ++txempty; }
  std::vector<int> loops;
  std::vector<std::string> frames;
  int txempty = 0;
};

// An application on a virtual clock with a settings file in a temporary
// program home. Settings are written before Start() creates the main window.
class AppHost {
 public:
  explicit AppHost(std::uint32_t starttick = 0)
      : events(starttick),
        ini(home / "quillark.ini"),
        app(std::make_unique<TDockingApp>(events, prompter, status, ini)) {}

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ini.WriteString(section, key, value);
  }

  // Main window with its communication handler.
  TMainWindow& Start(int loops = 1) {
    auto window = std::make_unique<TMainWindow>(*app, loops, ini);
    window->SetEventWriter(&writer);
    app->SetMainWindow(std::move(window));
    app->GetMainWindow()->CreateCommHandler();
    return *app->GetMainWindow();
  }
  CommHandler& Comms() { return *app->GetMainWindow()->GetCommHandler(); }

  TempDir home;
  VirtualEventLoop events;
  RecordingPrompter prompter;
  RecordingStatus status;
  RecordingEventWriter writer;
  INIfile ini;
  std::unique_ptr<TDockingApp> app;
};

}  // namespace quillark::test
