// The event log window over the demo core: files opened, filtered, saved and
// printed, devices read over the demonstration loops, and a log of a million
// events that must stay usable.
#include "gui/events/eventlogwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/common/textutil.h"
#include "core/status/scan.h"
#include "gui/common/printmargins.h"
#include "gui/events/eventfilterdlg.h"
#include "gui/events/eventlogprintout.h"
#include "gui/status/scannerwindow.h"
#include "guihost.h"

namespace quillark::test {
namespace {

std::string Head(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute) {
  return Format("%02x%01x%03x%02x%02x", day, month, year, hour, minute);
}

std::string Rec(unsigned day, unsigned month, unsigned year, unsigned address, unsigned code,
                unsigned d1 = 0xff, unsigned d2 = 0, unsigned d3 = 0) {
  return Head(day, month, year, 12, 30) + Format("%04x%04x%02x%02x%02x", address, code, d1, d2, d3);
}

std::string Padded(std::string s) {
  if (s.size() < 45) s.resize(45, ' ');
  return s;
}

std::vector<std::string> Rows(const EventLogWindow& w) {
  std::vector<std::string> out;
  auto* model = w.List()->model();
  for (int r = 0; r < model->rowCount(); ++r)
    out.push_back(model->data(model->index(r, 0)).toString().toStdString());
  return out;
}

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Pages of a PDF: its page objects ("/Type /Pages" is the tree above them).
int PdfPages(const std::filesystem::path& p) {
  const std::string pdf = ReadBytes(p);
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1))
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  return pages;
}

// Runs `fn` on the modal dialog that the next call opens, once it is up.
template <typename Dialog, typename Fn>
void WhenOpen(QWidget& owner, Fn fn) {
  QTimer::singleShot(0, &owner, [&owner, fn] {
    auto* d = owner.findChild<Dialog*>();
    ASSERT_NE(d, nullptr);
    fn(*d);
  });
}

class EventLogWindowTest : public ::testing::Test {
 protected:
  EventLogWindowTest() { core.host.prompter.prompts.clear(); }  // the start-up notice
  std::string Path(const std::string& name) const { return (core.host.home / name).string(); }
  DemoCore core;
  // An alarm with data, a low flow without, an empty record, an isolate on
  // loop 3 and a power-up.
  const std::string text = Head(0x1f, 0xc, 2000, 0x17, 0x2d) +
                           Rec(5, 1, 2001, 0x105, 112, 40, 0, 3) + Rec(6, 1, 2001, 0x105, 94) +
                           Rec(7, 1, 2001, 0x105, 0x00ff) + Rec(8, 1, 2001, 0x206, 65) +
                           Rec(1, 2, 2001, 0x001, 101);
};

TEST_F(EventLogWindowTest, OpenedFileShowsItsLinesAndTheFilterDialogTicksAsTold) {
  core.host.home.Write("in.ev2", text);
  EventLogWindow w(core.App(), 0, Path("in.ev2"));
  std::vector<std::string> recent;
  w.SetRecentHandler([&](const std::string& p) { recent.push_back(p); });
  w.Start();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Event logs - in.ev2"));
  EXPECT_EQ(w.ReadDate()->text(), QStringLiteral("31/12/2000"));
  EXPECT_EQ(w.ReadTime()->text(), QStringLiteral("23:45"));
  EXPECT_EQ(Rows(w), (std::vector<std::string>{
                         Padded("05/01/2001  12:30  2-005  Fire 1") + "Level: 40% Time: 0003 sec.",
                         Padded("06/01/2001  12:30  2-005  Low flow"),
                         Padded("08/01/2001  12:30  3-006  Isolate"),
                         Padded("01/02/2001  12:30  1-001  Power-up")}));
  EXPECT_EQ(recent, (std::vector<std::string>{Path("in.ev2")}));
  w.show();
  SaveGrab(w, "eventlog-file");

  // The dialog starts from the window's filter; "None" clears every box,
  // "Faults" brings "Isolates"; the dates bound the list, both days included.
  WhenOpen<EventFilterDialog>(w, [](EventFilterDialog& d) {
    for (int b = FB_RESET; b <= FB_ALL; ++b)
      EXPECT_TRUE(d.Box(static_cast<filterbox>(b))->isChecked()) << b;
    EXPECT_FALSE(d.Box(FB_NONE)->isChecked());
    d.Box(FB_NONE)->click();
    for (int b = FB_RESET; b <= FB_ALL; ++b)
      EXPECT_FALSE(d.Box(static_cast<filterbox>(b))->isChecked()) << b;
    d.Box(FB_FAULT)->click();
    EXPECT_TRUE(d.Box(FB_FAULT)->isChecked());
    EXPECT_TRUE(d.Box(FB_ISOLATE)->isChecked());
    EXPECT_FALSE(d.Box(FB_NONE)->isChecked());
    EXPECT_FALSE(d.Box(FB_ALL)->isChecked());
    EXPECT_FALSE(d.Box(FB_ALARM)->isChecked());
    d.Box(FB_DATE)->click();
    d.StartDate()->setText("06/01/2001");
    d.EndDate()->setText("8/1/2001");
    SaveGrab(d, "eventlog-filter");
    d.accept();
  });
  w.ButtonAt(EventLogWindow::BN_FILTER)->click();
  EXPECT_EQ(Rows(w), (std::vector<std::string>{Padded("06/01/2001  12:30  2-005  Low flow"),
                                               Padded("08/01/2001  12:30  3-006  Isolate")}));
  // The window says what it leaves out.
  EXPECT_TRUE(w.FilterLabel()->isVisibleTo(&w));
  EXPECT_EQ(w.FilterLabel()->text().toStdString(),
            "Filter: Isolates, Faults between 06/01/2001 and 8/1/2001");

  // Cancel keeps the filter; "All" shows everything again.
  WhenOpen<EventFilterDialog>(w, [](EventFilterDialog& d) {
    EXPECT_EQ(d.StartDate()->text(), QStringLiteral("06/01/2001"));
    d.Box(FB_ALL)->click();
    d.reject();
  });
  w.Filter();
  EXPECT_EQ(Rows(w).size(), 2u);
  WhenOpen<EventFilterDialog>(w, [](EventFilterDialog& d) {
    d.Box(FB_ALL)->click();
    d.Box(FB_DATE)->click();
    for (int b = FB_RESET; b <= FB_ALL; ++b)
      EXPECT_TRUE(d.Box(static_cast<filterbox>(b))->isChecked()) << b;
    d.accept();
  });
  w.Filter();
  EXPECT_EQ(Rows(w).size(), 4u);
}

TEST_F(EventLogWindowTest, SavesAsTextAndAsEventLogAndOpensWhatItSaved) {
  core.host.home.Write("in.ev2", text);
  EventLogWindow w(core.App(), 0, Path("in.ev2"));
  std::vector<std::string> recent;
  w.SetRecentHandler([&](const std::string& p) { recent.push_back(p); });
  QString answer;
  QString askedfilter;
  w.SetFileChooser([&](QWidget*, bool save, const QString& filter, const QString& suffix) {
    EXPECT_EQ(suffix, QStringLiteral("ev2"));
    askedfilter = filter + (save ? " save" : " open");
    return answer;
  });
  w.Start();
  const std::vector<std::string> lines = Rows(w);

  answer = QString::fromStdString(Path("out.txt"));
  w.ButtonAt(EventLogWindow::BN_SAVE)->click();
  EXPECT_EQ(askedfilter,
            QStringLiteral("Event logs (*.ev2);;Text file (*.txt);;Spreadsheet, CSV (*.csv) save"));
  std::string exported;
  for (const std::string& line : lines) exported += line + "\r\n";
  EXPECT_EQ(ReadBytes(Path("out.txt")), exported);

  answer = QString::fromStdString(Path("out.ev2"));
  w.Save();
  EXPECT_EQ(ReadBytes(Path("out.ev2")), text);

  // Cancelling the dialog changes nothing; opening the saved log gives the
  // same lines.
  answer.clear();
  w.Save();
  EventLogWindow other(core.App(), 0);
  other.SetFileChooser([&](QWidget*, bool, const QString& f, const QString&) {
    askedfilter = f;
    return QString::fromStdString(Path("out.ev2"));
  });
  other.ButtonAt(EventLogWindow::BN_OPEN)->click();
  EXPECT_EQ(askedfilter, QStringLiteral("Event logs (*.ev2)"));
  EXPECT_EQ(Rows(other), lines);
  EXPECT_EQ(recent, (std::vector<std::string>{Path("in.ev2"), Path("out.txt"), Path("out.ev2")}));
  EXPECT_TRUE(core.host.prompter.prompts.empty());
}

TEST_F(EventLogWindowTest, ReadsTheChosenDeviceOverTheDemonstrationLoop) {
  EventLogWindow w(core.App(), 0x005);
  w.Start();
  core.host.events.Advance(100);
  // The loop's command module, its detectors, and every detector.
  QComboBox& box = *w.DeviceBox();
  ASSERT_GE(box.count(), 3);
  EXPECT_EQ(box.itemText(0), QStringLiteral("Command module"));
  EXPECT_EQ(box.itemText(box.count() - 1), QStringLiteral("All detectors"));
  EXPECT_EQ(box.currentText(), QStringLiteral("Detector 005"));
  EXPECT_EQ(w.ReadDate()->text(), QStringLiteral("15/03/2000"));
  EXPECT_EQ(w.ReadTime()->text(), QStringLiteral("14:18"));
  const std::vector<std::string> rows = Rows(w);
  ASSERT_EQ(rows.size(), 3u);
  for (const std::string& r : rows) EXPECT_EQ(r.substr(19, 5), "1-005");
  w.show();
  SaveGrab(w, "eventlog-device");

  // Choosing another detector reads it instead; Reload reads it again
  // rather than adding to the list.
  const int six = box.findText(QStringLiteral("Detector 006"));
  ASSERT_GE(six, 0);
  box.setCurrentIndex(six);
  emit box.activated(six);
  core.host.events.Advance(100);
  ASSERT_EQ(Rows(w).size(), 3u);
  EXPECT_EQ(Rows(w)[0].substr(19, 5), "1-006");
  w.ButtonAt(EventLogWindow::BN_RELOAD)->click();
  core.host.events.Advance(100);
  EXPECT_EQ(Rows(w).size(), 3u);
  EXPECT_FALSE(core.App().GetBus().IsPollPaused());

  // Every detector of both loops, read by a scan: one header, three events
  // from each, and polling back afterwards.
  const int all = box.count() - 1;
  box.setCurrentIndex(all);
  emit box.activated(all);
  EXPECT_EQ(Rows(w).size(), 127u * 2 * 3);
  EXPECT_EQ(Rows(w).back().substr(19, 5), "2-127");
  EXPECT_EQ(w.ReadDate()->text(), QStringLiteral("15/03/2000"));
  EXPECT_FALSE(core.App().GetBus().IsPollPaused());
  EXPECT_EQ(w.findChild<ScannerWindow*>(), nullptr);  // gone with its scan

  int topic = 0;
  w.SetHelpHandler([&](int t) { topic = t; });
  w.ButtonAt(EventLogWindow::BN_HELP)->click();
  EXPECT_EQ(topic, EventLogWindow::HELPCONTEXT);
}

TEST_F(EventLogWindowTest, AMillionEventsOpenScrollAndFilter) {
  // Four kinds in turn: an alarm, a fault, an isolate, a power-up.
  const unsigned codes[] = {112, 94, 65, 101};
  constexpr std::size_t N = 1000000;
  std::string big = Head(1, 1, 2001, 0, 0);
  big.reserve(10 + N * 24);
  char rec[32];
  int in2002 = 0;
  for (std::size_t i = 0; i < N; ++i) {
    const unsigned year = 2001u + static_cast<unsigned>(i / 336 % 3);
    in2002 += year == 2002;
    std::snprintf(rec, sizeof rec, "%02x%01x%03x%02x%02x%04x%04xff0000",
                  static_cast<unsigned>(1 + i % 28), static_cast<unsigned>(1 + (i / 28) % 12), year,
                  12u, 0u, static_cast<unsigned>(0x100 + i % 128), codes[i % 4]);
    big.append(rec, 24);
  }
  core.host.home.Write("big.ev2", big);

  EventLogWindow w(core.App(), 0, Path("big.ev2"));
  w.resize(900, 600);
  w.show();
  w.Start();
  EXPECT_TRUE(core.host.prompter.prompts.empty());
  EXPECT_EQ(w.Model().rowCount(), static_cast<int>(N));
  QApplication::processEvents();
  w.List()->scrollToBottom();
  QApplication::processEvents();
  EXPECT_EQ(w.List()->verticalScrollBar()->value(), w.List()->verticalScrollBar()->maximum());
  // The last screenful is on show, down to the last line.
  const QModelIndex top = w.List()->indexAt(QPoint(5, 5));
  ASSERT_TRUE(top.isValid());
  EXPECT_GT(top.row(), static_cast<int>(N) - 100);
  const QRect last = w.List()->visualRect(w.Model().index(N - 1));
  EXPECT_TRUE(w.List()->viewport()->rect().contains(last.center()));
  EXPECT_TRUE(w.Model().data(w.Model().index(N - 1)).toString().contains("Power-up"));
  SaveGrab(w, "eventlog-million");

  EventFilterStruct alarms;
  SetFilterBox(alarms, FB_NONE, true);
  SetFilterBox(alarms, FB_ALARM, true);
  SetFilterBox(alarms, FB_NONE, false);  // a category box leaves "None" as it was
  w.Log().SetFilter(alarms);
  ASSERT_EQ(w.Model().rowCount(), static_cast<int>(N / 4));
  EXPECT_TRUE(w.Model().data(w.Model().index(N / 4 - 1)).toString().contains("Fire 1"));

  // One year of the three, then everything again.
  EventFilterStruct year = EventFilterStruct();
  year.date = 1;
  year.SetStart("1/1/2002");
  year.SetEnd("31/12/2002");
  w.Log().SetFilter(year);
  EXPECT_EQ(w.Model().rowCount(), in2002);
  w.Log().SetFilter(EventFilterStruct());
  EXPECT_EQ(w.Model().rowCount(), static_cast<int>(N));
}

TEST_F(EventLogWindowTest, PrintsEveryLineOnAsManyPagesAsItNeeds) {
  EventLogWindow w(core.App(), 0);
  w.Log().DisplayEventLog(Head(1, 2, 2003, 4, 5));
  auto pdf = [&](const std::string& name) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(Path(name)));
    return printer;
  };

  // An empty list still prints its heading.
  auto empty = pdf("empty.pdf");
  EXPECT_EQ(w.PrintTo(*empty), 1);
  EXPECT_EQ(PdfPages(Path("empty.pdf")), 1);

  // Exactly two pages' worth: no blank third page; one more: a third.
  EventLogPrintout layout(w.Log());
  auto probe = pdf("probe.pdf");
  KeepPrintMargins(*probe);  // as every printout has them
  layout.Layout(*probe, QRect(0, 0, probe->width(), probe->height()));
  const int per = layout.EventsPerPage();
  ASSERT_GT(per, 20);
  EXPECT_EQ(per, layout.LinesPerPage() - 3);
  for (int i = 0; i < 2 * per; ++i) w.Log().AddEvent(1, 2, 2003, 4, 5, 0x105, 112, 40, 0, i % 200);
  auto two = pdf("two.pdf");
  EXPECT_EQ(w.PrintTo(*two), 2);
  EXPECT_EQ(PdfPages(Path("two.pdf")), 2);
  w.Log().AddEvent(1, 2, 2003, 4, 5, 0x105, 101, 0xff, 0, 0);
  auto three = pdf("three.pdf");
  EXPECT_EQ(w.PrintTo(*three), 3);
  EXPECT_EQ(PdfPages(Path("three.pdf")), 3);

  // The first page as a picture, for a person to look at.
  QImage page(850, 1100, QImage::Format_RGB32);
  page.fill(Qt::white);
  EventLogPrintout printout(w.Log());
  printout.Layout(page, QRect(40, 40, 770, 1020));
  QPainter painter(&page);
  printout.PrintPage(painter, 1);
  painter.end();
  QDir().mkpath(QUILLARK_GRAB_DIR);
  page.save(QStringLiteral(QUILLARK_GRAB_DIR "/eventlog-printout.png"));
}

}  // namespace
}  // namespace quillark::test

namespace quillark::test {
namespace {

// A scan of positions nobody answers: the window follows it and Cancel ends it.
TEST(ScannerWindowTest, FollowsTheScanAndCancelEndsIt) {
  DemoCore core;
  RecordingReceiver owner(&core.App().GetBus());
  Scanner scan(&core.App().GetBus(), owner, ScanRequest{2, 129, 140, "xxE000", 4010});
  ScannerWindow w(scan, 129, 140);
  scan.SetupWindow();
  w.show();
  EXPECT_EQ(w.Status()->text(), QStringLiteral("Power supply 1"));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Scanning 0%"));
  core.host.events.Advance(3000 + 4010);
  EXPECT_EQ(w.Status()->text(), QStringLiteral("Power supply 2"));
  EXPECT_EQ(w.Progress()->value(), 130);
  SaveGrab(w, "scanner");
  w.CancelButton()->click();
  EXPECT_EQ(scan.GetResult(), Scanner::SCAN_CANCELLED);
  EXPECT_FALSE(w.isVisible());
}

// Reload reads an opened file again, and the title follows what is shown.
TEST_F(EventLogWindowTest, ReloadReadsTheOpenedFileAgainAndTheTitleNamesTheSource) {
  core.host.home.Write("in.ev2", text);
  EventLogWindow w(core.App(), 0, Path("in.ev2"));
  w.Start();
  EXPECT_FALSE(w.FilterLabel()->isVisibleTo(&w));
  const std::size_t before = Rows(w).size();
  core.host.home.Write("in.ev2", text + Rec(2, 2, 2001, 0x105, 113));
  w.Reload();
  EXPECT_EQ(Rows(w).size(), before + 1);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Event logs - in.ev2"));
  // Choosing a device reads it, and the title says which.
  w.DeviceBox()->setCurrentIndex(0);
  emit w.DeviceBox()->activated(0);
  EXPECT_TRUE(w.Log().GetFilename().empty());
  EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("Event logs - Command module, loop ")))
      << w.windowTitle().toStdString();
}

TEST_F(EventLogWindowTest, SearchBoxNarrowsTheListOnEnterAndSaysWhatItCannotRead) {
  core.host.home.Write("in.ev2", text);
  EventLogWindow w(core.App(), 0, Path("in.ev2"));
  w.Start();
  w.show();
  QLineEdit* box = w.SearchBox();
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(w.SearchMessage()->isVisibleTo(&w));
  auto enter = [&](const QString& query) {
    box->setText(query);
    box->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
  };
  // Enter searches and leaves the window open (Close is the default).
  enter(QStringLiteral("device:2-005"));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Rows(w).size(), 2u);
  EXPECT_EQ(w.SearchMessage()->text(), QStringLiteral("2 of 4 events found"));
  enter(QStringLiteral("device:2-005 category:faults"));
  EXPECT_EQ(Rows(w), (std::vector<std::string>{Padded("06/01/2001  12:30  2-005  Low flow")}));
  enter(QStringLiteral("from:2001-01-06 to:8/1/2001 ISOLATE"));
  EXPECT_EQ(Rows(w), (std::vector<std::string>{Padded("08/01/2001  12:30  3-006  Isolate")}));
  SaveGrab(w, "eventlog-search");

  // What cannot be read is said, in words, and the list stays as it was.
  enter(QStringLiteral("from:2001-02-30x"));
  EXPECT_TRUE(w.SearchMessage()->isVisibleTo(&w));
  EXPECT_TRUE(w.SearchMessage()->text().startsWith(QStringLiteral("Search not done: from: ")))
      << w.SearchMessage()->text().toStdString();
  EXPECT_EQ(Rows(w).size(), 1u);
  enter(QStringLiteral("device:2-05a"));
  EXPECT_EQ(Rows(w).size(), 1u);
  SaveGrab(w, "eventlog-search-error");

  // The search holds through a reload; clearing the box shows everything.
  core.host.home.Write("in.ev2", text + Rec(9, 1, 2001, 0x206, 66));
  w.Reload();
  EXPECT_EQ(Rows(w).size(), 1u);
  box->clear();
  EXPECT_EQ(Rows(w).size(), 5u);
  EXPECT_FALSE(w.SearchMessage()->isVisibleTo(&w));
}

}  // namespace
}  // namespace quillark::test
