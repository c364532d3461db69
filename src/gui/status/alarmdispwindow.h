#pragma once

#include <QDialog>
#include <QRect>
#include <array>
#include <functional>

#include "core/status/alrmdisp.h"

class QCloseEvent;
class QPushButton;
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

  enum Column : int { COL_DATE, COL_TIME, COL_DEVICE, COL_LOCATION, COL_STATE, COLUMNS };
  QTreeWidget* List() const { return list; }
  int Count() const;
  // The whole line of a row, as its tool tip shows it.
  QString LineText(int row) const;
  int CurrentRow() const;
  void SelectRow(int row);
  QPushButton* GetButton(int id) const;

  // --- AlarmDispObserver
  void LineRemoved(std::size_t index) override;
  void LineAppended(std::size_t index) override;
  void LinesCleared() override;
  void SelectionChanged(int index, bool actionsenabled) override;
  void ShowRequested() override;

 public slots:
  // Esc is Close: hidden where Close may hide it. A new line brings the
  // window back by itself.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void Reload();
  void AddItem(const AlarmLine& line);
  void EnableActions(bool on);
  // Button texts and states that follow the selected line and the sound.
  void RefreshButtons();

  AlarmDisp& disp;
  QTreeWidget* list = nullptr;
  // Silence, Isolate, Reset, Zone, Map, Close, Help
  std::array<QPushButton*, 7> buttons{};
  std::function<void(int)> help;
  bool updating = false;
};

}  // namespace quillark
