#include "platform/headless.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "core/access/commands.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/common/inifile.h"
#include "core/platform/eventwriter.h"
#include "core/platform/posixlauncher.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"
#include "platform/qteventloop.h"
#include "platform/qtserialline.h"
#include "platform/qttcp.h"

namespace quillark {
namespace {

class StderrPrompter : public Prompter {
 public:
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon,
                    PromptButtons buttons) override {
    std::cerr << "[" << caption << "] " << text << std::endl;
    return SafeDefault(buttons);
  }
};

// The status field has no place to show without a window; the last text is
// kept for anyone who asks.
class QuietStatus : public StatusDisplay {
 public:
  void SetStatusText(const std::string& text, Rgb, Rgb) override { last = text; }
  void FlashCaption(bool) override {}
  void WarningBeep() override {}
  std::string last;
};

int signalpipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  // Nothing else is safe in a signal handler; the event loop does the rest.
  [[maybe_unused]] auto n = write(signalpipe[1], &c, 1);
}

// Single lines of text with the line end removed.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

int RunHeadless(const std::filesystem::path& home) {
  int argc = 1;
  char name[] = "quillark";
  char* argv[] = {name, nullptr};
  QCoreApplication qapp(argc, argv);
  std::cout.setf(std::ios::unitbuf);

  QtEventLoop events;
  StderrPrompter prompter;
  QuietStatus status;
  INIfile ini(home / "quillark.ini");
  QtTcpFactory tcp;
  PosixLauncher launcher{events};
  TDockingApp app(events, prompter, status, ini, launcher);
  app.GetServices().tcp = &tcp;
  app.GetServices().seriallines = QtSerialLine::Factory();
  Console console(app);

  bool quitting = false;
  auto quit = [&] {
    if (quitting) return;
    quitting = true;
    QCoreApplication::quit();
  };
  app.SetQuitHook(quit);
  app.AddEventListener([](int category, const std::string& text) {
    std::cout << "event " << EventCategoryName(category) << ": " << OneLine(text) << std::endl;
  });

  if (pipe(signalpipe) == 0) {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
  }
  QSocketNotifier signalnotifier(signalpipe[0], QSocketNotifier::Read);
  QObject::connect(&signalnotifier, &QSocketNotifier::activated, [&] {
    char c;
    [[maybe_unused]] auto n = read(signalpipe[0], &c, 1);
    quit();
  });

  // Standard input: one command a line; end of input shuts down. Commands
  // wait with the event loop running (pausing polling, for one); typed lines
  // are user input, which such waits hold back, so they are only read again
  // once the command in hand has finished.
  std::string pending;
  bool endofinput = false;
  fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    input.setEnabled(false);
    char buf[4096];
    for (;;) {
      ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n == 0) endofinput = true;
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
    }
    for (auto nl = pending.find('\n'); nl != std::string::npos && !quitting;
         nl = pending.find('\n')) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      for (const auto& answer : console.Execute(line)) std::cout << answer << std::endl;
      if (console.QuitRequested()) {
        app.ExecuteCommand(CMD_EXIT);  // pause polling, then close
        return;
      }
    }
    // A line without end must not grow without bound.
    if (pending.size() > 65536) pending.clear();
    if (endofinput) {
      quit();
      return;
    }
    if (!quitting) input.setEnabled(true);
  });

  // Start-up runs inside the event loop, so its waits and timers work.
  QMetaObject::invokeMethod(
      &events, [&] { app.InitMainWindow(home); }, Qt::QueuedConnection);
  int code = qapp.exec();
  events.BeginShutdown();
  app.Shutdown();
  return code;
}

}  // namespace quillark
