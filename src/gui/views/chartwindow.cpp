#include "gui/views/chartwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <algorithm>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "core/events/fileext.h"
#include "core/events/nmailer.h"
#include "core/platform/prompter.h"
#include "core/views/chartsource.h"
#include "gui/common/printmargins.h"
#include "gui/common/uitext.h"

namespace quillark {

namespace {

// The colours of the detectors' levels in the all-detectors view.
const QColor DETECTORCOLOURS[] = {Qt::black, Qt::blue, Qt::darkGreen, Qt::red};

void DrawChart(QPainter& p, const Chart& c, int width) {
  constexpr int BASE = ChartWindow::BASE;
  p.fillRect(QRect(0, 0, width, ChartWindow::HEIGHT), QColor(255, 253, 240));
  // Chart paper: sprocket holes along both edges, 5 % lines, divisions of ten
  // samples (double every twenty), and the time and date every forty.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(210, 210, 210));
  for (int x = 15; x < width; x += 30) {
    p.drawEllipse(QPoint(x, 10), 4, 4);
    p.drawEllipse(QPoint(x, ChartWindow::HEIGHT - 6), 4, 4);
  }
  p.setPen(QColor(170, 210, 170));
  for (int y = 30; y <= 230; y += 10) p.drawLine(0, y, width, y);
  for (int x = 0; x < width; x += 10) {
    p.drawLine(x, 30, x, BASE - 1);
    if (x % 20 == 0) p.drawLine(x + 1, 30, x + 1, BASE - 1);
  }
  QFont small = p.font();
  small.setPixelSize(9);
  p.setFont(small);
  p.setPen(Qt::darkGray);
  const std::size_t n = c.Length();
  // Every fourth division: a time is wider than two of them at any readable size.
  for (int x = 0; x <= static_cast<int>(n) && x < width && c.samplingperiod != 0; x += 80) {
    const ChartTimeDate t = c.SampleTime(static_cast<std::size_t>(x));
    p.drawText(x + 2, BASE + 11, QString::asprintf("%02u:%02u:%02u", t.hour, t.minute, t.second));
    p.drawText(x + 2, BASE + 21, QString::asprintf("%02u/%02u/%02u", t.day, t.month, t.year));
  }
  p.setBrush(Qt::NoBrush);
  const int count = c.DetectorCount();
  auto trace = [&](int detector, bool alarm, const QColor& colour) {
    p.setPen(QPen(colour, 1));
    QPoint last;
    bool have = false;
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t i =
          k * static_cast<std::size_t>(count) + static_cast<std::size_t>(detector);
      if (i >= c.samples.size()) break;
      const ChartSample& s = c.samples[i];
      if (alarm && s.alarm == 255) {
        have = false;
        continue;
      }
      const QPoint here(static_cast<int>(k), BASE - (alarm ? s.alarm : s.level));
      if (have) p.drawLine(last, here);
      last = here;
      have = true;
    }
  };
  if (c.shown == Chart::ALLDETECTORS) {
    for (int d = 0; d < std::min(count, 4); ++d) trace(d, false, DETECTORCOLOURS[d]);
  } else {
    trace(c.shown, false, Qt::black);
    trace(c.shown, true, Qt::red);
  }
}

class Paper : public QWidget {
 public:
  Paper(ChartWindow& w, const Chart& c) : QWidget(&w), window(w), chart(c) {
    setMouseTracking(true);
  }
  // As long as the chart, and never narrower than the window: the paper
  // runs on past the last sample.
  void Resize(int atleast) {
    resize(std::max(static_cast<int>(chart.Length()) + ChartWindow::MARGIN, atleast),
           ChartWindow::HEIGHT);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    DrawChart(p, chart, width());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    window.statusBar()->showMessage(window.SampleInfo(static_cast<int>(e->position().x())));
  }

 private:
  ChartWindow& window;
  const Chart& chart;
};

}  // namespace

ChartWindow::ChartWindow(TDockingApp& a, int device, const std::string& file, QWidget* parent)
    : QMainWindow(parent),
      app(a),
      source(std::make_unique<ChartSource>(&a.GetBus(), device, file.empty())) {
  setAttribute(Qt::WA_DeleteOnClose);
  scroll = new QScrollArea(this);
  paper = new Paper(*this, source->GetChart());
  static_cast<Paper*>(paper)->Resize(0);
  scroll->setWidget(paper);
  scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setMinimumHeight(HEIGHT + scroll->horizontalScrollBar()->sizeHint().height() + 4);
  setCentralWidget(scroll);
  statusBar()->showMessage(QString());
  BuildMenus();
  Retranslate();
  source->SetObserver([this] { ChartChanged(); });
  if (!file.empty())
    Load(QString::fromStdString(file));
  else
    source->Request();
  UpdateTitle();
  resize(720, height());
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  static_cast<Paper*>(paper)->Resize(scroll->viewport()->width());
}

void ChartWindow::BuildMenus() {
  auto text = [this](QAction* action, int id, const char* english) {
    texts.push_back({action, id, english});
    return action;
  };
  QMenu* file = menuBar()->addMenu(QString());
  text(file->menuAction(), 66000, "&File");
  text(file->addAction(QString(), QKeySequence::Open, this,
                       [this] {
                         const QString name = QFileDialog::getOpenFileName(
                             this, Text(87000, "Open"),
                             QString::fromStdString(app.GetPaths().home.string()),
                             Text(87100, "Chart recordings (*.rcw *.rec)"));
                         if (!name.isEmpty()) Load(name);
                       }),
       66200, "&Open...");
  saveaction = text(file->addAction(QString(), QKeySequence::Save, this, [this] { Save(); }), 87200,
                    "&Save");
  saveasaction = text(file->addAction(QString(), this, [this] { SaveAs(); }), 87300, "Save &As...");
  file->addSeparator();
  sendaction = text(file->addAction(QString(), this, [this] { Send(); }), 87400, "Sen&d...");
  try {
    mailer = std::make_unique<NMailer>(app.GetServices().ini, app.GetServices().launcher,
                                       app.GetServices().prompter, false);
  } catch (const MailerUnavailable&) {
    mailer.reset();  // SEND stays disabled
  }
  sendaction->setEnabled(mailer != nullptr);
  file->addSeparator();
  text(file->addAction(QString(), QKeySequence::Print, this,
                       [this] {
                         QPrintDialog dialog(&Printer(), this);
                         if (dialog.exec() == QDialog::Accepted) PrintTo(Printer());
                       }),
       59200, "&Print...");
  text(file->addAction(QString(), this,
                       [this] {
                         QPageSetupDialog dialog(&Printer(), this);
                         // The menu command names the dialog, without its key letter and dots.
                         dialog.setWindowTitle(Text(87500, "P&rint set-up...")
                                                   .remove(QLatin1Char('&'))
                                                   .remove(QStringLiteral("...")));
                         dialog.exec();
                       }),
       87500, "P&rint set-up...");
  file->addSeparator();
  text(file->addAction(QString(), this, &QWidget::close), 56500, "&Close");
  QMenu* edit = menuBar()->addMenu(QString());
  text(edit->menuAction(), 58950, "&Edit");
  text(edit->addAction(QString(), QKeySequence::Copy, this,
                       [this] { QApplication::clipboard()->setImage(Picture()); }),
       59000, "&Copy");
  QMenu* view = menuBar()->addMenu(QString());
  text(view->menuAction(), 67600, "&View");
  text(view->addAction(QString(), QKeySequence::Refresh, this, [this] { source->Request(); }),
       87600, "&Refresh");
  detectormenu = menuBar()->addMenu(QString());
  text(detectormenu->menuAction(), 87700, "&Detector");
  detectorgroup = new QActionGroup(this);
}

QString ChartWindow::Text(int id, const char* english) const {
  return UiText(app.GetServices().translator, id, english);
}

void ChartWindow::Retranslate() {
  // A chart not yet saved is named in the current language, so that Save
  // still knows to ask for a name.
  const QString untitled = Text(51200, "untitled.rcw");
  if (filename.isEmpty() || filename == untitledname) filename = untitled;
  untitledname = untitled;
  for (const ActionText& t : texts) t.action->setText(Text(t.id, t.english));
  FillDetectorMenu();
  UpdateTitle();
  // A readout in the old language would linger until the pointer moved.
  statusBar()->clearMessage();
}

void ChartWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QMainWindow::changeEvent(e);
}

void ChartWindow::FillDetectorMenu() {
  detectormenu->clear();
  for (QAction* a : detectorgroup->actions()) detectorgroup->removeAction(a);
  const Chart& c = source->GetChart();
  const QString word = Text(16900, "Detector");
  auto add = [&](const QString& text, int index) {
    QAction* a = detectormenu->addAction(text, this, [this, index] {
      source->GetChart().shown = index;
      paper->update();
      statusBar()->clearMessage();
    });
    a->setCheckable(true);
    a->setChecked(c.shown == index);
    detectorgroup->addAction(a);
  };
  for (int d = 0; d < c.DetectorCount(); ++d) {
    if (c.IsFlowRate())
      add(Text(87800, "Flow pipe &%1").arg(d + 1), d);
    else
      add(QStringLiteral("%1 &%2").arg(word).arg((c.device & 0xFF) + d), d);
  }
  if (source->IsLive() && c.DetectorCount() > 1)
    add(Text(87900, "&All detectors"), Chart::ALLDETECTORS);
}

void ChartWindow::ChartChanged() {
  auto* p = static_cast<Paper*>(paper);
  p->Resize(scroll->viewport()->width());
  p->update();
  FillDetectorMenu();
  const bool empty = source->GetChart().samples.empty();
  saveaction->setEnabled(!empty);
  saveasaction->setEnabled(!empty);
  // The newest sample stays in view while recording.
  if (source->IsLive())
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
}

void ChartWindow::UpdateTitle() {
  const QString viewer = Text(51100, "Chart recorder viewer");
  setWindowTitle(source->IsLive() && source->GetChart().samples.empty()
                     ? viewer
                     : QStringLiteral("%1 - [%2]").arg(viewer, QFileInfo(filename).fileName()));
}

bool ChartWindow::Load(const QString& file) {
  const ChartFileResult r = LoadChart(file.toStdString(), source->GetChart());
  ChartChanged();
  if (r != ChartFileResult::OK) {
    Translator& t = app.GetServices().translator;
    app.GetServices().prompter.Show(t.TextOr(52200, "read error"),
                                    t.TextOr(ChartFileTextId(r), ChartFileEnglish(r)),
                                    PromptIcon::STOP);
    UpdateTitle();
    return false;
  }
  filename = file;
  UpdateTitle();
  return true;
}

bool ChartWindow::SaveTo(const QString& file) {
  const ChartFileResult r = SaveChart(file.toStdString(), source->GetChart());
  if (r != ChartFileResult::OK) {
    Translator& t = app.GetServices().translator;
    app.GetServices().prompter.Show(t.TextOr(52300, "write error"),
                                    t.TextOr(ChartFileTextId(r), ChartFileEnglish(r)),
                                    PromptIcon::STOP);
    return false;
  }
  // A text export is not what the window holds: the name stays.
  if (GetExtensionType(file.toStdString()) != FT_UNKNOWN) filename = file;
  UpdateTitle();
  return true;
}

void ChartWindow::Save() {
  if (filename == untitledname)
    SaveAs();
  else
    SaveTo(filename);
}

QPrinter& ChartWindow::Printer() {
  if (printer == nullptr) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer;
}

bool ChartWindow::Send() {
  if (mailer == nullptr) return false;
  Save();
  // Still the untitled name: the operator cancelled the Save As.
  if (filename == untitledname || !QFileInfo::exists(filename)) return false;
  Prompter& prompter = app.GetServices().prompter;
  const QString failed =
      Text(88600, "The chart could not be sent: the mail program ended with status %d.");
  const bool handed = mailer->SendDocuments(
      filename.toStdString(), QFileInfo(filename).fileName().toStdString(), ';',
      [&prompter, failed](int code) {
        if (code != 0)
          prompter.Show("", Format(failed.toStdString().c_str(), code), PromptIcon::STOP);
      });
  if (!handed)
    prompter.Show("", Text(88700, "The chart could not be read for sending.").toStdString(),
                  PromptIcon::STOP);
  return handed;
}

void ChartWindow::SaveAs() {
  QString name = QFileDialog::getSaveFileName(
      this, Text(88000, "Save file as"), QString::fromStdString(app.GetPaths().home.string()),
      Text(88100, "Chart recording (*.rcw)") + QStringLiteral(";;") +
          Text(88200, "Old chart recording (*.rec)") + QStringLiteral(";;") +
          Text(88300, "Text (*.csv)"));
  if (name.isEmpty()) return;
  if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".rcw");
  SaveTo(name);
}

QString ChartWindow::SampleInfo(int x) const {
  const Chart& c = source->GetChart();
  if (x < 0 || static_cast<std::size_t>(x) >= c.Length()) return QString();
  const int detector = c.shown == Chart::ALLDETECTORS ? 0 : c.shown;
  const std::size_t i = static_cast<std::size_t>(x) * static_cast<std::size_t>(c.DetectorCount()) +
                        static_cast<std::size_t>(detector);
  if (i >= c.samples.size()) return QString();
  const ChartSample& s = c.samples[i];
  const ChartTimeDate t = c.SampleTime(static_cast<std::size_t>(x));
  const double first = s.alarm > 200 ? 0.0 : s.alarm / 2.0;
  const QString firstlabel = c.IsFlowRate() ? Text(71000, "Flow") : Text(88400, "Alarm level");
  return QString::asprintf("%02u:%02u:%02u  %02u/%02u/%02u   ", t.hour, t.minute, t.second, t.day,
                           t.month, t.year) +
         firstlabel + QString::asprintf(" %.1f%%   ", first) + Text(88500, "Detector level") +
         QString::asprintf(" %.1f%%   ", s.level / 2.0) +
         QString::fromStdString(ChartRateText(c.samplingperiod, &app.GetServices().translator));
}

QImage ChartWindow::Picture() const {
  const Chart& c = source->GetChart();
  QImage image(static_cast<int>(c.Length()) + MARGIN, HEIGHT, QImage::Format_RGB32);
  QPainter p(&image);
  DrawChart(p, c, image.width());
  return image;
}

int ChartWindow::PrintTo(QPrinter& printer) {
  KeepPrintMargins(printer);
  printer.setDocName(QFileInfo(filename).fileName());
  QPainter p;
  if (!p.begin(&printer)) return 0;
  // Each page shows three samples per millimetre of paper width, so a long
  // chart runs over pages like the paper strip it imitates.
  const int mm = std::max(1, static_cast<int>(printer.pageRect(QPrinter::Millimeter).width()));
  const int stretch = 3 * mm;
  const int n = static_cast<int>(source->GetChart().Length());
  const QImage picture = Picture();
  int pages = 0;
  for (int page = 1;; ++page) {
    if (page > 1) printer.newPage();
    const QRect from((page - 1) * stretch, 0, stretch + 100, HEIGHT);
    const QImage part = picture.copy(from);
    const QSize size = part.size().scaled(printer.width(), printer.height(), Qt::KeepAspectRatio);
    p.drawText(0, p.fontMetrics().ascent(), QFileInfo(filename).fileName());
    p.drawImage(QRect(QPoint(0, 2 * p.fontMetrics().height()), size), part);
    pages = page;
    if (page * stretch >= n + MARGIN) break;
  }
  p.end();
  return pages;
}

ChartCommands::ChartCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_CHARTLOG, [this] {
    if (app.GetSelDetector() >= 0) Open(app.GetSelDetector(), {});
  });
  for (int type : {FT_CHART, FT_OLDCHART})
    app.SetFileOpener(type, [this](const std::string& path) { Open(0, path); });
}

ChartCommands::~ChartCommands() {
  app.SetCommandHandler(CMD_CHARTLOG, nullptr);
  for (int type : {FT_CHART, FT_OLDCHART}) app.SetFileOpener(type, nullptr);
  // Open charts listen to the bus: they go before it does.
  if (parent != nullptr)
    for (ChartWindow* w : parent->findChildren<ChartWindow*>(Qt::FindDirectChildrenOnly)) delete w;
}

ChartWindow* ChartCommands::Open(int device, const std::string& filename) {
  auto* window = new ChartWindow(app, device, filename, parent);
  window->setWindowFlag(Qt::Window);
  window->show();
  window->raise();
  return window;
}

}  // namespace quillark
