#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QPrinter;
class QScrollArea;

namespace quillark {

class ChartSource;
class NMailer;
class TDockingApp;

// "Chart recorder viewer": a detector's chart log as a strip of chart paper,
// read from the detector (and then recorded live) or opened from a file;
// saved as .rcw, .rec or .csv.
class ChartWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Live on `device` when `filename` is empty, else the file's chart.
  ChartWindow(TDockingApp& app, int device, const std::string& filename, QWidget* parent = nullptr);
  ~ChartWindow() override;

  ChartSource& Source() { return *source; }
  // Loads `file`; false (and said so) when it could not be.
  bool Load(const QString& file);
  // Saves to `file` in the format its ending asks for; false (and said so)
  // when it could not be.
  bool SaveTo(const QString& file);
  const QString& FileName() const { return filename; }
  // The text the pointer's position shows: time, date, values and rate of
  // sample number `x` of the shown detector.
  QString SampleInfo(int x) const;
  // The whole strip as a picture.
  QImage Picture() const;
  int PrintTo(QPrinter& printer);
  // SEND: saves the chart, then hands the file to the mail program. False
  // when there was nothing saved to send or the file could not be read.
  bool Send();
  // The printer PRINT and Print set-up share, so that a set-up holds for
  // the prints after it.
  QPrinter& Printer();
  QAction* SaveAction() const { return saveaction; }
  QAction* SendAction() const { return sendaction; }
  QAction* SaveAsAction() const { return saveasaction; }
  QMenu* DetectorMenu() const { return detectormenu; }

  // The strip's geometry: the zero line and the pixels beyond the samples.
  static constexpr int BASE = 231;
  static constexpr int HEIGHT = 262;
  static constexpr int MARGIN = 202;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* e) override;

 private:
  void BuildMenus();
  // Sets every text in the current language: at creation and on a language change.
  void Retranslate();
  QString Text(int id, const char* english) const;
  void ChartChanged();
  void FillDetectorMenu();
  void UpdateTitle();
  void Save();
  void SaveAs();

  TDockingApp& app;
  std::unique_ptr<ChartSource> source;
  QString filename;
  QString untitledname;  // the name of a chart not yet saved, in the current language
  QScrollArea* scroll = nullptr;
  QWidget* paper = nullptr;
  QAction* saveaction = nullptr;
  QAction* saveasaction = nullptr;
  QAction* sendaction = nullptr;
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<NMailer> mailer;  // null when there is no mail program
  QMenu* detectormenu = nullptr;
  QActionGroup* detectorgroup = nullptr;
  // Menu titles and commands with the table text each shows.
  struct ActionText {
    QAction* action;
    int id;
    const char* english;
  };
  std::vector<ActionText> texts;
};

// CHARTLOG opens a live chart of the selected device; opening .rcw and .rec
// files opens a chart of the file. Each is a window of its own.
class ChartCommands {
 public:
  ChartCommands(TDockingApp& app, QWidget* parent);
  ~ChartCommands();
  ChartCommands(const ChartCommands&) = delete;
  ChartCommands& operator=(const ChartCommands&) = delete;

  ChartWindow* Open(int device, const std::string& filename);

 private:
  TDockingApp& app;
  QWidget* parent;
};

}  // namespace quillark
