#pragma once

#include <QDir>
#include <QImage>
#include <QWidget>
#include <filesystem>
#include <string>
#include <thread>

#include <optional>
#include <vector>

#include "core/access/logonprompt.h"
#include "core/access/stringtable.h"
#include "support/apphost.h"

namespace quillark::test {

// The application started on a copy of the demo program home, on the virtual
// clock, for windows to be built over.
class DemoCore {
 public:
  DemoCore() {
    host.StartDemo();
    // Polling starts a second after start-up; let every device answer once.
    host.events.Advance(2000);
  }
  TDockingApp& App() { return *host.app; }
  AppHost host;
};

// Logs on as the account named, with no password; counts the questions.
class AnswerLogOn : public LogOnPrompt {
 public:
  explicit AnswerLogOn(std::string name) : name(std::move(name)) {}
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>& names,
                                         std::size_t) override {
    ++asked;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return LogOnAnswer{i, ""};
    return std::nullopt;
  }
  std::string name;
  int asked = 0;
};

// Text `id` as the table holds it for `language` (English where it has none).
inline QString Table(int id, int language) {
  const char* text = FindString(id + language);
  if (text == nullptr) text = FindString(id);
  return QString::fromUtf8(text != nullptr ? text : "<missing>");
}

// Advances the virtual clock until `done`, giving a child program (the
// mail program, which runs in real time outside the process) a moment
// between steps; false when it has not happened after four seconds.
template <typename Done>
bool AdvanceUntilChildDone(DemoCore& core, Done done) {
  for (int i = 0; i < 400; ++i) {
    if (done()) return true;
    core.host.events.Advance(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// Saves a picture of `w` under the build folder for a person to look at.
inline void SaveGrab(QWidget& w, const std::string& name) {
  QDir().mkpath(QUILLARK_GRAB_DIR);
  w.grab().save(QString::fromStdString(std::string(QUILLARK_GRAB_DIR) + "/" + name + ".png"));
}

}  // namespace quillark::test
