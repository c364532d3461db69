#pragma once

#include <QDialog>
#include <QRect>
#include <array>
#include <functional>
#include <set>
#include <vector>

#include "core/status/alrmdisp.h"

class QCloseEvent;
class QEvent;
class QKeyEvent;
class QLabel;
class QTimer;
class QPushButton;
class QTreeWidgetItem;
class QTreeWidget;

namespace quillark {

// The "Alarm/fault viewer": a modeless window over the alarm display, one
// row per device in alarm, in fault or with an active input, in columns
// (date, time, device, location, state) on the line's own colour with text
// that stays readable on it. The window only shows what AlarmDisp holds and
// hands the operator's choices back to it.
class AlarmDispWindow : public QDialog, public AlarmDispObserver {
  Q_OBJECT

 public:
  // Button ids, as the help and the tests know them.
  enum Button : int {
    IDC_ZONE = 301,
    IDC_SILENCE = 302,
    IDC_ISOLATE = 303,
    IDC_RESET = 304,
    IDC_MAP = 305,
    IDC_CLOSE = 306,
    IDC_HELP = 307,
    IDC_ACKNOWLEDGE = 308,
    IDC_ACKNOWLEDGEALL = 309,
  };
  static constexpr int HELPTOPIC = 102;

  // Fills the list from `disp` and becomes its observer until destroyed.
  // `disp` must outlive the window. Created hidden.
  explicit AlarmDispWindow(AlarmDisp& disp, QWidget* parent = nullptr);
  ~AlarmDispWindow() override;

  // The full-size placement ("AlarmViewer"/"FullSize" set): the screen area
  // just right of a main window at `mainwindow`.
  static QRect FullSizeRect(const QRect& mainwindow);
  // Places the window on `rect` and shows it; it then stays up for good, so
  // Close is disabled.
  void PlaceFullSize(const QRect& rect);
  // The "ALARMDISPLAY" command: shows and focuses a hidden window, hides a
  // visible one.
  void Toggle();
  // Help asks for topic HELPTOPIC here; without a handler it does nothing.
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  // Acknowledge and Acknowledge all run the commands of these ids through
  // here, so that the access level is checked as for any guarded command.
  // Without a runner the buttons do nothing.
  void SetCommandRunner(std::function<void(int)> r) { runner = std::move(r); }

  enum Column : int { COL_DATE, COL_TIME, COL_DEVICE, COL_LOCATION, COL_STATE, COLUMNS };
  QTreeWidget* List() const { return list; }
  // Rows are named by the display's line index (AlarmDisp::GetLines()),
  // wherever the order puts them on screen.
  int Count() const;
  QTreeWidgetItem* Item(int line) const;
  // The whole line of a row, as its tool tip shows it.
  QString LineText(int line) const;
  int CurrentRow() const;
  void SelectRow(int line);
  // What is on screen from the top: each line's device text ("*" in front
  // of the pinned first fire), each group's heading in brackets.
  QStringList ShownOrder() const;
  QPushButton* GetButton(int id) const;
  // The flood banner above the list; hidden when there is nothing to say.
  QLabel* Banner() const { return banner; }
  void RefreshBanner();

  // --- AlarmDispObserver
  void LineRemoved(std::size_t index) override;
  void LineAppended(std::size_t index) override;
  void LinesCleared() override;
  void SelectionChanged(int index, bool actionsenabled) override;
  void ShowRequested() override;
  void LineChanged(std::size_t index) override;

 public slots:
  // Esc is Close: hidden where Close may hide it. A new line brings the
  // window back by itself.
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // Every text of the window from the table, in the current language: at
  // construction and again after a change of language.
  void Retranslate();
  QString Text(int id, const char* english) const;
  void Reload();
  // Puts the rows where the display's order wants them: one pass that
  // moves the existing items, so a flood of changes costs the window little.
  void Relayout();
  int LineOf(const QTreeWidgetItem* item) const;
  // Text, colours and emphasis of a row from its line.
  void Fill(QTreeWidgetItem* item, const AlarmLine& line, bool pinned = false) const;
  void EnableActions(bool on);
  // Button texts and states that follow the selected line and the sound.
  void RefreshButtons();

  AlarmDisp& disp;
  QTreeWidget* list = nullptr;
  QLabel* banner = nullptr;
  QTimer* bannertimer = nullptr;  // notices the end of a flood
  // Silence, Isolate, Reset, Zone, Map, Close, Help, Acknowledge,
  // Acknowledge all
  std::array<QPushButton*, 9> buttons{};
  std::function<void(int)> help;
  std::function<void(int)> runner;
  bool updating = false;
  // One item per display line, in the display's order of lines.
  std::vector<QTreeWidgetItem*> items;
  QTreeWidgetItem* pinned = nullptr;
  // Loops whose group the operator folded; a group opens by default.
  std::set<int> folded;
  int datewidth = 0;  // of the date column without indentation
};

}  // namespace quillark
