#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/platform/statusdisplay.h"

class QAction;
class QMenu;

namespace quillark {

class TDockingApp;

// The visible main window: menus and toolbar over the application's command
// table, the status bar with its coloured communications field, and the
// client area where the device display goes.
class MainFrame : public QMainWindow, public StatusDisplay {
  Q_OBJECT
 public:
  explicit MainFrame(QWidget* parent = nullptr);

  // Builds the menus and toolbar for `app` and starts following its state.
  void Attach(TDockingApp* app);
  QAction* Action(int id) const;
  // Enables each command the way its enabler says (run regularly).
  void UpdateCommands();

  void SetStatusText(const std::string& text, Rgb foreground, Rgb background) override;
  void FlashCaption(bool invert) override;
  void WarningBeep() override;
  QString StatusText() const { return statusfield->text(); }

  // The recent files at the foot of the File menu, newest first; choosing
  // one calls `open` with its path.
  void SetRecentFiles(const std::vector<std::string>& files,
                      std::function<void(const std::string&)> open);
  std::vector<QAction*> RecentActions() const { return recentactions; }

  // Asked before the window closes (the EXIT command, the close box).
  void SetCloseHandler(std::function<void()> handler) { onclose = std::move(handler); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBar();
  QIcon CommandIcon(int id) const;
  void ShowRecentFiles();

  TDockingApp* app = nullptr;
  std::map<int, QAction*> actions;
  QLabel* statusfield;
  QTimer enabler;
  bool captioninverted = false;
  QString plaintitle;  // the title while the caption is not inverted
  std::function<void()> onclose;
  QMenu* filemenu = nullptr;
  std::vector<std::string> recentfiles;
  std::function<void(const std::string&)> openrecent;
  std::vector<QAction*> recentactions;  // the entries and their separator
  bool closing = false;
};

}  // namespace quillark
