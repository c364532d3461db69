#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QEvent;
class QLabel;
class QPainter;
class QPrinter;
class QPushButton;
class QTimer;

namespace quillark {

class HistogramSource;
class TDockingApp;
class Translator;

// What the picture shows besides the histograms.
struct HistogramPictureOptions {
  bool bargraph = true;
  bool sensitivity = false;
  bool printing = false;  // the held answer is drawn even when not valid
  int language = 0;
};

// Draws the 640 x 480 histogram picture with `painter` already scaled to it.
void PaintHistogram(QPainter& painter, const HistogramSource& source, Translator& translator,
                    const HistogramPictureOptions& options);

// The smoke-test stopwatches: Start/Stop and four times, Fire 1's largest.
class HistogramTimerWindow : public QDialog {
  Q_OBJECT

 public:
  HistogramTimerWindow(HistogramSource& source, Translator& translator, QWidget* parent);
  QPushButton* Button() const { return button; }
  QString TimeText(int alarm) const;
  void Refresh();
  // The title in the current language.
  void Retranslate();

 private:
  HistogramSource& source;
  Translator& translator;
  QPushButton* button = nullptr;
  QLabel* fire1 = nullptr;
  QLabel* others = nullptr;
  QTimer* ticker = nullptr;
};

// "Real Time Sortiva Viewer": one detector's histograms, thresholds and level.
class HistogramWindow : public QMainWindow {
  Q_OBJECT

 public:
  HistogramWindow(TDockingApp& app, int device, QWidget* parent = nullptr);
  ~HistogramWindow() override;

  HistogramSource& Source() { return *source; }
  QComboBox* DeviceBox() const { return devicebox; }
  QAction* BarGraphAction() const { return bargraph; }
  QAction* SensitivityAction() const { return sensitivity; }
  QAction* TimerAction() const { return timeraction; }
  HistogramTimerWindow* TimerWindow() const { return timerwindow; }

  // Chooses the device shown (the selector follows).
  void ShowDevice(int device);
  // The picture as the window draws it.
  QImage Picture(bool printing = false) const;
  // Prints one page; the number of pages printed (0 when it could not).
  int PrintTo(QPrinter& printer);
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Every text of the window in the current language; again after a change.
  void Retranslate();
  void BuildMenus();
  void FillDevices(int device);

  TDockingApp& app;
  std::unique_ptr<HistogramSource> source;
  QComboBox* devicebox = nullptr;
  QWidget* canvas = nullptr;
  QLabel* devicelabel = nullptr;
  // The menus and commands with the numbers and English of their texts.
  std::vector<std::pair<QAction*, std::pair<int, const char*>>> texts;
  QAction* bargraph = nullptr;
  QAction* sensitivity = nullptr;
  QAction* timeraction = nullptr;
  HistogramTimerWindow* timerwindow = nullptr;
  std::function<void(int)> help;
};

// HISTOGRAM: at most one viewer, brought to the front and switched to the
// selected device when it is open already.
class HistogramCommands {
 public:
  HistogramCommands(TDockingApp& app, QWidget* parent);
  ~HistogramCommands();
  HistogramCommands(const HistogramCommands&) = delete;
  HistogramCommands& operator=(const HistogramCommands&) = delete;

  void Show(int device);
  HistogramWindow* Window() const { return window; }

 private:
  TDockingApp& app;
  QWidget* parent;
  QPointer<HistogramWindow> window;
};

}  // namespace quillark
