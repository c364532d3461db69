#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillark {

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
  // Later features add their own words.
  void AddWord(Word word);

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
  Lines Alarms() const;
  Lines Silence();
  Lines Mass(int command);
  Lines MassState() const;
  Lines Events(const Args& args) const;

  TDockingApp& app;
  std::vector<Word> words;
  bool quit = false;
  bool resetasked = false;  // the global reset waits for "yes"
};

}  // namespace quillark
