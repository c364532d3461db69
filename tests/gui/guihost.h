#pragma once

#include <QDir>
#include <QImage>
#include <QWidget>
#include <filesystem>
#include <string>

#include "support/apphost.h"

namespace quillark::test {

// The application started on a copy of the demo program home, on the virtual
// clock, for windows to be built over.
class DemoCore {
 public:
  DemoCore() {
    for (const char* f : {"quillark.ini", "demo.cfg"})
      std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                                 host.home / f);
    host.app->InitMainWindow(host.home.Path());
    // Polling starts a second after start-up; let every device answer once.
    host.events.Advance(2000);
  }
  TDockingApp& App() { return *host.app; }
  AppHost host;
};

// Saves a picture of `w` under the build folder for a person to look at.
inline void SaveGrab(QWidget& w, const std::string& name) {
  QDir().mkpath(QUILLARK_GRAB_DIR);
  w.grab().save(QString::fromStdString(std::string(QUILLARK_GRAB_DIR) + "/" + name + ".png"));
}

}  // namespace quillark::test
