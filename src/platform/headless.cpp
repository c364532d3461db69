#include "platform/headless.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>

#include "core/access/commands.h"
#include "core/app/console.h"
#include "core/app/consolelinereader.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/inifile.h"
#include "core/common/textutil.h"
#include "core/platform/eventwriter.h"
#include "core/platform/keepalive.h"
#include "core/platform/posixlauncher.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"
#include "core/status/pccommandmodule.h"
#include "platform/qteventloop.h"
#include "platform/qtserialline.h"
#include "platform/qttcp.h"
#include "platform/sdnotify.h"
#include "platform/stopsignals.h"

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

// Standard output may be a pipe whose reader has gone (`| head -1`): the
// write then fails instead of killing the program, and output stops there.
// Events still reach the event text log. Static, as events may be said
// until the application is gone.
bool stdoutdead = false;

void Print(const std::string& line) {
  if (stdoutdead) return;
  std::cout << line << std::endl;
  if (!std::cout) stdoutdead = true;
}

// Single lines of text with the line end removed.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

int RunHeadless(const std::filesystem::path& home, bool service) {
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
    NotifyServiceManager("STOPPING=1");
    QCoreApplication::quit();
  };
  app.SetQuitHook(quit);
  app.AddEventListener([](int category, const std::string& text) {
    Print(std::string("event ") + EventCategoryName(category) + ": " + OneLine(text));
  });

  // A closed terminal (SIGHUP) ends the program in order, like a stop request.
  StopOnSignals(&events, quit);

  // Standard input: one command a line; end of input shuts down. Commands
  // wait with the event loop running (pausing polling, for one); typed lines
  // are user input, which such waits hold back, so they are only read again
  // once the command in hand has finished, and a command that answers later
  // (a slowed log-on) holds back the lines after it.
  ConsoleLineReader reader;
  bool endofinput = false;
  bool inputbroken = false;
  // A service has no console: standard input is never read (main keeps
  // descriptor 0 open, on /dev/null if need be).
  if (!service) fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  if (service) input.setEnabled(false);
  std::function<void()> runlines = [&] {
    while (!quitting && !console.Busy()) {
      auto line = reader.Next();
      if (!line) break;
      if (line->overlong) {
        Print(
            Format("error: line longer than %zu characters discarded", ConsoleLineReader::MAXLINE));
        continue;
      }
      for (const auto& answer : console.Execute(line->text)) Print(answer);
      if (console.QuitRequested()) {
        app.ExecuteCommand(CMD_EXIT);  // pause polling, then close
        return;
      }
    }
    if (quitting || console.Busy()) return;
    if (endofinput) {
      quit();
      return;
    }
    if (!inputbroken && !service) input.setEnabled(true);
  };
  console.SetLateAnswer([&](const Console::Lines& lines) {
    for (const auto& answer : lines) Print(answer);
    runlines();
  });
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    input.setEnabled(false);
    char buf[4096];
    for (;;) {
      ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n > 0) {
        reader.Append(std::string_view(buf, static_cast<std::size_t>(n)));
        continue;
      }
      if (n == 0) {
        endofinput = true;
      } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        // Standard input that cannot be read (a write-only /dev/null under
        // nohup) would wake the watcher again at once, for ever: the console
        // is given up and supervision goes on without it.
        const int err = errno;
        inputbroken = true;
        std::cerr << "quillark: standard input cannot be read (" << std::strerror(err)
                  << "); the console is closed, supervision goes on" << std::endl;
      }
      break;
    }
    runlines();
  });

  // Each keep-alive also shows the poll count in the manager's status line,
  // so "systemctl status" tells a polling bus master from a stalled one.
  KeepAlive keepalive(
      events, home / KeepAlive::FILENAME, KeepAlive::IntervalFor(ServiceWatchdogMs()), [&app] {
        std::string state = "WATCHDOG=1";
        const TMainWindow* window = app.GetMainWindow();
        if (const PCcommandModule* bm = window != nullptr ? window->GetBusMaster() : nullptr) {
          const auto& st = bm->Statistics();
          state += Format("\nSTATUS=Supervising: polls %u responses %u", st.polls, st.responses);
        }
        NotifyServiceManager(state);
      });
  app.SetStartupNote(InterruptionNote(keepalive.ReadPrevious(), events.Now()));

  // Start-up runs inside the event loop, so its waits and timers work.
  QMetaObject::invokeMethod(
      &events,
      [&] {
        keepalive.Start();
        app.InitMainWindow(home);
        if (!quitting) NotifyServiceManager("READY=1\nSTATUS=Supervising");
      },
      Qt::QueuedConnection);
  int code = qapp.exec();
  console.SetLateAnswer(nullptr);
  events.BeginShutdown();
  app.Shutdown();
  // Only now has supervision ended in order; a run that never gets here
  // leaves "running" behind for the next start to report.
  keepalive.Stop();
  return code;
}

}  // namespace quillark
