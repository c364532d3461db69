#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/status/busdisp.h"

class QCheckBox;
class QCloseEvent;
class QEvent;
class QLabel;
class QPrinter;
class QPushButton;
class QTreeView;

namespace quillark {

class Translator;

// The bus viewer's lines as four columns, read straight from the viewer's own
// store: no copy of a line is made until a row is drawn. New lines are taken
// in batches by Sync(), so a busy bus costs one insertion per batch.
class BusDispModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit BusDispModel(BusDisp& disp, QObject* parent = nullptr);
  // The headings in the translator's language.
  void Retranslate(Translator& translate);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Takes the lines added since the last call (or starts again after Clear).
  // Returns whether rows were added.
  bool Sync();
  void Reset();

 private:
  BusDisp& disp;
  int shown = 0;
  QString headings[4];
};

// The "Bus viewer" window: every frame on the loops, the "Show fast poll"
// box, the bus error rate, and Save, Clear, Print, Close and Help. Closing
// it tells the application to stop handing it frames; the window then
// deletes itself.
class BusDispWindow : public QDialog {
  Q_OBJECT

 public:
  enum Control : int {
    IDC_MESSAGES = 400,
    IDC_ERRORRATE = 701,
    IDC_FASTPOLL = 1102,
    IDC_SAVE = 303,
    IDC_CLEAR = 304,
    IDC_PRINT = 305,
    IDC_CLOSE = 306,
    IDC_HELP = 307,
  };
  static constexpr int HELPCONTEXT = 105;
  // How often new lines reach the list.
  static constexpr int FLUSHMS = 100;

  // Becomes the application's bus viewer at once.
  explicit BusDispWindow(BusHost& bus, QWidget* parent = nullptr);
  ~BusDispWindow() override;

  BusDisp& Disp() { return *disp; }
  BusDispModel* Model() const { return model; }
  QTreeView* View() const { return view; }
  QCheckBox* FastPollBox() const { return fastpoll; }
  QLabel* ErrorRate() const { return errorrate; }
  QPushButton* GetButton(int id) const;

  // Help asks for HELPCONTEXT; Close closes the help first.
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  void SetHelpCloser(std::function<void()> c) { helpcloser = std::move(c); }

  // Brings new lines to the list now instead of at the next tick.
  void Flush();
  // Prints every line as the document "Bus viewer"; returns the pages printed
  // (0 when the printer could not be started).
  int PrintTo(QPrinter& printer);
  // Lines that fit on one printed page below the page heading.
  static int LinesPerPage(QPrinter& printer);
  // Writes the lines to `path`, as Save... does after asking for a name.
  bool SaveTo(const QString& path);

 public slots:
  void Save();
  void Print();
  // Esc closes the window like Close does.
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  // Every text of the window in the current language; again after a change.
  void Retranslate();
  void UpdateErrorRate();

  std::unique_ptr<BusDisp> disp;
  Translator& translate;
  BusDispModel* model = nullptr;
  QTreeView* view = nullptr;
  QCheckBox* fastpoll = nullptr;
  QLabel* errorrate = nullptr;
  QPushButton* buttons[5] = {};  // Save, Clear, Print, Close, Help
  QTimer flusher;
  unsigned shownrate = 0;
  std::function<void(int)> help;
  std::function<void()> helpcloser;
};

}  // namespace quillark
