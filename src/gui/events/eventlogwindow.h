#pragma once

#include <QAbstractListModel>
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/views/eventlog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPrinter;
class QPushButton;

namespace quillark {

class TDockingApp;

// The lines of an event log for a list view. Nothing is stored per line: a
// line is formatted when the view draws it, so a log of a million events
// opens and scrolls at the cost of the lines on screen.
class EventLogModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit EventLogModel(const EventLog& log, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // What the log says happened to its list.
  void Cleared();
  void Added(std::size_t first, std::size_t count);

 private:
  const EventLog& log;
  int rows = 0;  // the rows the view knows of
};

// The "Event logs" window: reads the log of a device (a command module, one
// detector, or every detector) or opens a saved log or the system log, shows
// it through the filter, and saves, prints and filters it.
class EventLogWindow : public QDialog, private EventLogObserver {
  Q_OBJECT
 public:
  enum Control : int {
    IDC_LIST = 400,
    IDC_DEVICE = 501,
    IDC_READTIME = 1000,
    IDC_READDATE = 1001,
  };
  enum Button : int {
    BN_OPEN,
    BN_SAVE,
    BN_PRINT,
    BN_FILTER,
    BN_CLOSE,
    BN_HELP,
    BN_RELOAD,
    BN_COUNT
  };
  static constexpr int HELPCONTEXT = 103;

  // `device` is a packed device number, or EventLog::ALLDETECTORS; the
  // selector offers the command module and detectors of its loop. With
  // `filename` that file is shown instead of a read.
  EventLogWindow(TDockingApp& app, int device, std::string filename = {},
                 QWidget* parent = nullptr);
  ~EventLogWindow() override;

  // Loads the file or starts reading the device; then run the window.
  void Start();

  // The file dialogs: `save` tells which, `filter` is in Qt's form. An
  // empty answer is a cancel.
  using FileChooser = std::function<QString(QWidget* parent, bool save, const QString& filter,
                                            const QString& suffix)>;
  void SetFileChooser(FileChooser chooser) { choosefile = std::move(chooser); }
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  // Told of every file opened or saved, for the recent files list.
  void SetRecentHandler(std::function<void(const std::string&)> h) { recent = std::move(h); }

  // The buttons' work.
  void Open();
  void Save();
  void Print();
  void Filter();
  void Reload();
  // Narrows the list to what the search box asks for (device, zone,
  // category, period, text); an empty box shows everything the filter does.
  // A search that cannot be read says why and leaves the list as it was.
  void Search();
  // Prints the list on `printer`: the pages printed, 0 on failure.
  int PrintTo(QPrinter& printer);

  EventLog& Log() { return *log; }
  EventLogModel& Model() { return *model; }
  QListView* List() const { return list; }
  QComboBox* DeviceBox() const { return devicebox; }
  QLineEdit* ReadDate() const { return readdate; }
  QLineEdit* ReadTime() const { return readtime; }
  QPushButton* ButtonAt(Button b) const { return buttons[static_cast<std::size_t>(b)]; }
  // The active filter in words, above the list; hidden when all is shown.
  QLabel* FilterLabel() const { return filterlabel; }
  QLineEdit* SearchBox() const { return searchbox; }
  // How many events the search found, or what is wrong with it.
  QLabel* SearchMessage() const { return searchmessage; }

 protected:
  // Enter in the search box searches, and does not close the window.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* e) override;

 private:
  // EventLogObserver
  void EventsCleared() override;
  void EventsAdded(std::size_t first, std::size_t count) override;
  void ReadTimeChanged() override;
  void RecentDocument(const std::string& path) override;

  void FillDevices(int device);
  // The title names what is shown; the filter label what is left out.
  void ShowSource();
  void ShowTitle();
  int SelectedDevice() const;
  // Sets every text in the current language.
  void Retranslate();
  QString Text(int id, const char* english) const;
  // What the line under the search box says: nothing, what was found, or
  // why the search was refused.
  void ShowSearchResult();
  enum class SearchShown { NOTHING, FOUND, REFUSED };
  SearchShown searchshown = SearchShown::NOTHING;
  // The search that was refused: read again to say why in the current language.
  std::string refusedsearch;

  TDockingApp& app;
  std::unique_ptr<EventLog> log;
  EventLogModel* model = nullptr;
  QListView* list = nullptr;
  QComboBox* devicebox = nullptr;
  QLabel* filterlabel = nullptr;
  QLineEdit* searchbox = nullptr;
  QLabel* searchmessage = nullptr;
  QLabel* searchlabel = nullptr;
  QLabel* devicelabel = nullptr;
  QLabel* readlabel = nullptr;
  QLabel* heading = nullptr;
  QLineEdit* readdate = nullptr;
  QLineEdit* readtime = nullptr;
  std::array<QPushButton*, BN_COUNT> buttons{};
  FileChooser choosefile;
  std::function<void(int)> help;
  std::function<void(const std::string&)> recent;
};

}  // namespace quillark
