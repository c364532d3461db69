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
class QToolBar;

namespace quillark {

class TDockingApp;
class Translator;

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
  // Enables each command the way its enabler says (run regularly), and
  // follows a language switched from elsewhere.
  void UpdateCommands();
  // Gives the menus and toolbar tips the texts of the current language.
  void Retranslate();

  void SetStatusText(const std::string& text, Rgb foreground, Rgb background) override;
  void FlashCaption(bool invert) override;
  void WarningBeep() override;
  QString StatusText() const { return statusfield->text(); }
  // Who is logged on, at which level and for how long.
  QString UserText() const { return userfield->text(); }

  // The recent files at the foot of the File menu, newest first; choosing
  // one calls `open` with its path.
  void SetRecentFiles(const std::vector<std::string>& files,
                      std::function<void(const std::string&)> open);
  std::vector<QAction*> RecentActions() const { return recentactions; }

  // The close box runs EXIT through `app`, and EXIT ends the event loops at
  // once: every window, the alarm viewer that never closes and any modal
  // dialog included. The program then shuts down in its own order once
  // exec() has returned. A refused EXIT leaves everything running.
  void InstallExit(TDockingApp& app);
  // Asked before the window closes; true when the program has begun to end.
  void SetCloseHandler(std::function<bool()> handler) { onclose = std::move(handler); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBar();
  void SetToolTips();
  // Text `id` of the string table in the current language.
  QString Text(int id) const;
  QIcon CommandIcon(int id) const;
  // Only while attached.
  Translator& Tr() const;
  // "Initialising..." in the current language until a status is reported.
  void ShowInitialising();
  void ShowRecentFiles();

  TDockingApp* app = nullptr;
  std::map<int, QAction*> actions;
  QLabel* statusfield;
  QLabel* userfield;
  QTimer enabler;
  bool captioninverted = false;
  QString plaintitle;  // the title while the caption is not inverted
  std::function<bool()> onclose;
  QMenu* filemenu = nullptr;
  std::vector<QMenu*> menus;  // in the order of the menu bar
  int shownlanguage = 0;      // the language the menus show
  std::vector<std::string> recentfiles;
  std::function<void(const std::string&)> openrecent;
  std::vector<QAction*> recentactions;  // the entries and their separator
  bool closing = false;
  QToolBar* toolbar = nullptr;
  bool statusreported = false;  // a real status has replaced "Initialising..."
};

}  // namespace quillark
