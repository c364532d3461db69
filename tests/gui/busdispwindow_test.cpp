#include "gui/status/busdispwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>

#include "core/app/dockingapp.h"
#include "gui/common/printmargins.h"
#include "guihost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

QString Cell(const BusDispWindow& w, int row, int column) {
  return w.Model()->index(row, column).data().toString();
}

void DeliverFromPort(TDockingApp& app, int loop, const std::string& frame) {
  const std::string withcr = frame + "\r";
  app.DespatchRxMessage(loop, withcr.c_str(), static_cast<int>(frame.size()), true);
}

// Pages in a PDF as Qt writes it: one "/Type /Page" object per page.
int PdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QString text = QString::fromLatin1(f.readAll());
  return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

class BusDispWindowTest : public ::testing::Test {
 protected:
  DemoCore core;
};

TEST_F(BusDispWindowTest, ListsTheFramesInColumnsAndFollowsTheBus) {
  auto* w = new BusDispWindow(core.App().GetBus());
  QPointer<BusDispWindow> guard(w);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Bus viewer"));
  EXPECT_EQ(core.App().GetBus().GetBusViewer(), &w->Disp());
  EXPECT_FALSE(w->FastPollBox()->isChecked());
  EXPECT_EQ(w->ErrorRate()->text(), QStringLiteral("Bus error rate 0%"));
  w->resize(820, 420);
  w->show();

  // With the box clear, the polling on the demonstration loops lists nothing.
  core.host.events.Advance(1000);
  w->Flush();
  EXPECT_EQ(w->Model()->rowCount(), 0);

  w->FastPollBox()->setChecked(true);
  const std::string poll = std::string("?") + static_cast<char>(0x85);
  DeliverFromPort(core.App(), 0, poll);
  std::string body = std::string("<") + static_cast<char>(0x87) + "G";
  for (int i = 0; i < 97; ++i) body += "0123456789abcdef"[i % 16];
  // 100 characters from the command letter on, with a wrong check sum.
  std::string longframe = WithSum(body);
  longframe.back() = longframe.back() == '0' ? '1' : '0';
  DeliverFromPort(core.App(), 1, longframe);
  w->Flush();
  ASSERT_EQ(w->Model()->rowCount(), 4);
  EXPECT_EQ(Cell(*w, 0, 0), QStringLiteral("1-005"));
  EXPECT_EQ(Cell(*w, 0, 1), QStringLiteral("CM sh->DET"));
  EXPECT_EQ(Cell(*w, 0, 2), QStringLiteral("00"));
  EXPECT_EQ(Cell(*w, 0, 3), QStringLiteral("?05"));
  EXPECT_EQ(Cell(*w, 1, 0), QStringLiteral("2-007"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("DET->CM"));
  EXPECT_EQ(Cell(*w, 1, 3).size(), 3 + 40);
  EXPECT_TRUE(Cell(*w, 2, 0).isEmpty());
  EXPECT_EQ(Cell(*w, 2, 3).size(), 42);
  EXPECT_EQ(Cell(*w, 3, 3).size(), 18);
  EXPECT_EQ(w->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("Source device"));
  EXPECT_EQ(w->ErrorRate()->text(), QStringLiteral("Bus error rate 100%"));

  // Polls and answers of the demonstration loops arrive in batches.
  core.host.events.Advance(1000);
  w->Flush();
  EXPECT_GT(w->Model()->rowCount(), 20);
  EXPECT_LT(w->Disp().GetBusErrorRate(), 100u);
  // The list follows the newest line while it is scrolled to the end.
  const QModelIndex last = w->Model()->index(w->Model()->rowCount() - 1, 0);
  EXPECT_TRUE(w->View()->viewport()->rect().intersects(w->View()->visualRect(last)));
  SaveGrab(*w, "busdisp");

  w->GetButton(BusDispWindow::IDC_CLEAR)->click();
  EXPECT_EQ(w->Model()->rowCount(), 0);
  EXPECT_EQ(w->Disp().DiagCount(), 0u);

  int topic = 0;
  bool helpclosed = false;
  w->SetHelpHandler([&](int t) { topic = t; });
  w->SetHelpCloser([&] { helpclosed = true; });
  w->GetButton(BusDispWindow::IDC_HELP)->click();
  EXPECT_EQ(topic, 105);

  // Close closes the help, and the application passes no more frames.
  w->GetButton(BusDispWindow::IDC_CLOSE)->click();
  EXPECT_TRUE(helpclosed);
  EXPECT_EQ(core.App().GetBus().GetBusViewer(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  core.host.events.Advance(500);  // frames keep flowing, to nobody's viewer
}

TEST_F(BusDispWindowTest, PrintsEveryLineOnPagesOfItsOwnThroughThePrinter) {
  BusDispWindow w(core.App().GetBus());
  const QString pdf = QString::fromStdString((core.host.home / "bus.pdf").string());
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  KeepPrintMargins(printer);  // as every printout has them
  const int perpage = BusDispWindow::LinesPerPage(printer);
  ASSERT_GT(perpage, 20);

  // Nothing to print still gives one page with its heading.
  EXPECT_EQ(w.PrintTo(printer), 1);
  EXPECT_EQ(PdfPages(pdf), 1);
  EXPECT_EQ(printer.docName(), QStringLiteral("Bus viewer"));

  const std::string frame = WithSum(std::string(">") + static_cast<char>(0x81) + "A000");
  const int lines = 2 * perpage + perpage / 2;
  for (int i = 0; i < lines; ++i) w.Disp().AddItem(0, frame.c_str());
  QPrinter second(QPrinter::HighResolution);
  second.setOutputFormat(QPrinter::PdfFormat);
  second.setOutputFileName(pdf);
  EXPECT_EQ(w.PrintTo(second), 3);
  QFile::copy(pdf, QStringLiteral(QUILLARK_GRAB_DIR "/busdisp-print.pdf"));
  EXPECT_EQ(PdfPages(pdf), 3);
  EXPECT_GT(QFile(pdf).size(), 1000);

  // Exactly full pages need no empty page after them.
  w.Disp().Clear();
  for (int i = 0; i < 2 * perpage; ++i) w.Disp().AddItem(0, frame.c_str());
  QPrinter third(QPrinter::HighResolution);
  third.setOutputFormat(QPrinter::PdfFormat);
  third.setOutputFileName(pdf);
  EXPECT_EQ(w.PrintTo(third), 2);
  EXPECT_EQ(PdfPages(pdf), 2);
}

}  // namespace
}  // namespace quillark::test
