#pragma once

#include <QObject>
#include <string>

class QWidget;

namespace quillark {

class INI;

// Keeps a window's size and position in the settings ("Windows"/`key`):
// restores them when made, on a screen that still exists, and stores them
// whenever the window is hidden or closed. A child of the window.
class WindowPlaceKeeper : public QObject {
  Q_OBJECT
 public:
  WindowPlaceKeeper(QWidget& window, INI& ini, std::string key);
  // Restores the kept place; false (window untouched) when none is kept.
  static bool Restore(QWidget& window, INI& ini, const std::string& key);
  static void Save(const QWidget& window, INI& ini, const std::string& key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window;
  INI& ini;
  std::string key;
};

}  // namespace quillark
