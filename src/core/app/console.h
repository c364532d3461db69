#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/eventloop.h"

namespace quillark {

class EventLog;
class TDockingApp;

// The operator console of the headless program: one command a line, answers
// as lines. It is the scriptable twin of the menus: menu commands go through
// the application's command table.
class Console {
 public:
  using Args = std::vector<std::string>;
  using Lines = std::vector<std::string>;
  struct Word {
    std::string name;
    std::string usage;  // arguments, for help
    std::string help;
    std::function<Lines(const Args&)> run;
  };

  explicit Console(TDockingApp& app);

  // Runs one line and returns its answer; an unknown word names `help`.
  Lines Execute(const std::string& line);
  bool QuitRequested() const { return quit; }
  // A command that answers later (a log-on slowed by repeated failures) is
  // busy until then; its answer goes to `answer`, and the host reads no
  // further line meanwhile.
  bool Busy() const { return busy; }
  void SetLateAnswer(std::function<void(const Lines&)> answer) { lateanswer = std::move(answer); }
  // Later features add their own words.
  void AddWord(Word word);
  // A word that answers later marks the console busy until its last line,
  // and hands lines to the host meanwhile.
  void SetBusy(bool on) { busy = on; }
  void LateAnswer(const Lines& lines) {
    if (lateanswer) lateanswer(lines);
  }

  // "L-AAA" (loop from 1, address 0-255) to a device number; -1 if malformed.
  static int ParseDevice(const std::string& text);
  static std::string DeviceName(int device);

 private:
  Lines Help() const;
  Lines Select(const Args& args);
  Lines Status(const Args& args) const;
  Lines Stats() const;
  Lines Demo(int command);
  // Runs a menu command and says how it went.
  Lines Run(int command);
  // Asks first, answered by "yes" on the next line; "globalreset yes" runs
  // at once, for scripts.
  Lines GlobalReset(const Args& args);
  Lines LogOn(const Args& args);
  Lines TryLogOn(const Args& args);
  Lines Alarms() const;
  Lines Silence();
  Lines Acknowledge(const Args& args);
  Lines AcknowledgeAll();
  Lines Mass(int command);
  Lines MassState() const;
  Lines Events(const Args& args) const;
  Lines Search(const Args& args) const;
  Lines EventsCsv(const Args& args) const;
  // The system log through the search in args[first...]; false with
  // `error` when the search cannot be read or the log cannot be.
  bool LoadSystemLog(const Args& args, std::size_t first, EventLog& log, std::string& error) const;

  TDockingApp& app;
  std::vector<Word> words;
  bool quit = false;
  bool busy = false;
  std::function<void(const Lines&)> lateanswer;
  TimerHandle latetimer;
  bool resetasked = false;  // the global reset waits for "yes"
};

// Why a console word must not carry out `command` now, in the words every
// word uses: not enabled for the selection (checked when `checkenabled`),
// or the access level too low. Nothing when it may go ahead.
std::optional<Console::Lines> CommandRefusal(TDockingApp& app, int command,
                                             bool checkenabled = true);
// The same for an access level alone (opening a kind of file).
std::optional<Console::Lines> PermissionRefusal(TDockingApp& app, int permission);

}  // namespace quillark
