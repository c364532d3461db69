#include "gui/views/histogramwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "core/views/eventlog.h"
#include "core/views/histogramsource.h"
#include "gui/common/printmargins.h"
#include "gui/common/uitext.h"

namespace quillark {

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int TEXT_VIEWER = 12200;

QFont PixelFont(int pixels, bool bold) {
  QFont f;
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

void Right(QPainter& p, int x, int y, const QString& text) {
  const QFontMetrics m(p.font());
  p.drawText(x - m.horizontalAdvance(text), y + m.ascent(), text);
}

void Left(QPainter& p, int x, int y, const QString& text) {
  p.drawText(x, y + QFontMetrics(p.font()).ascent(), text);
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The picture on its own widget, scaled to the window keeping its shape.
class Canvas : public QWidget {
 public:
  explicit Canvas(HistogramWindow& w) : QWidget(&w), window(w) {
    setMinimumSize(WIDTH / 2, HEIGHT / 2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
  QSize sizeHint() const override { return {WIDTH, HEIGHT}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QImage picture = window.Picture();
    const QSize size = picture.size().scaled(this->size(), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size),
                picture);
  }

 private:
  HistogramWindow& window;
};

}  // namespace

void PaintHistogram(QPainter& p, const HistogramSource& source, Translator& tr,
                    const HistogramPictureOptions& o) {
  using namespace HistogramGeometry;
  const HistogramAnswer& a = source.Answer();
  p.save();
  p.fillRect(QRect(0, 0, WIDTH, HEIGHT), QColor(100, 100, 200));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::white);

  // Title: the longer its translation, the smaller its letters, and never
  // into the figures on the right.
  const QString title = QString::fromStdString(tr.TextOr(TEXT_VIEWER, "Real Time Sortiva Viewer"));
  QFont titlefont = title.size() >= 41  ? PixelFont(16, false)
                    : title.size() < 35 ? PixelFont(30, true)
                                        : PixelFont(18, false);
  while (titlefont.pixelSize() > 10 &&
         QFontMetrics(titlefont).horizontalAdvance(title) > 428 - 190 - 8)
    titlefont.setPixelSize(titlefont.pixelSize() - 1);
  p.setFont(titlefont);
  Left(p, 190, 2, title);

  p.setFont(PixelFont(13, false));
  struct Label {
    int id;
    const char* english;
    int x, y;
    bool panel;
  };
  const Label labels[] = {
      {31200, "Fire 1", 40, 72, true},
      {12400, "Pre-Alarm", 40, 92, true},
      {12500, "Aux", 40, 112, true},
      {16900, "Detector", 40, 132, true},
      {59300, "Sensitivity:", 230, 72, false},
      {59350, "Mean:", 230, 92, false},
      {59400, "Variance:", 230, 108, false},
      {59450, "FastLearn:", 230, 130, false},
      {59500, "Day/night:", 230, 152, false},
      {59550, "Detector:", 428, 20, false},
      {59600, "Alarm factor:", 428, 56, false},
      {59650, "Fire 2 level:", 428, 91, false},
      {59700, "Fire 1 level:", 428, 113, false},
      {59750, "Pre-Alarm level:", 428, 132, false},
      {59800, "Aux level:", 428, 153, false},
  };
  if (o.sensitivity) {
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(37, 70), QPoint(214, 150)));
  }
  // A long word in the sensitivity panel (Russian "Предтревога") gets a
  // smaller font rather than run under the figure right-aligned beside it.
  const QString panelunit = QString::fromStdString(tr.TextOr(13400, "% obs/m"));
  const int panelroom =
      210 - 40 - 6 - QFontMetrics(PixelFont(13, true)).horizontalAdvance("0.00" + panelunit);
  for (const Label& l : labels) {
    if (l.panel && !o.sensitivity) continue;
    const QString text = l.id != 0 ? QString::fromStdString(tr.TextOr(l.id, l.english))
                                   : QString::fromLatin1(l.english);
    QFont font = PixelFont(13, false);
    while (l.panel && font.pixelSize() > 9 &&
           QFontMetrics(font).horizontalAdvance(text) > panelroom)
      font.setPixelSize(font.pixelSize() - 1);
    p.setFont(font);
    Left(p, l.x, l.y, text);
  }
  Left(p, 180, YORG + 6, QString::fromStdString(tr.TextOr(12100, "Smoke density classes")));
  p.save();
  p.translate(20, (YTOP + YORG) / 2 + 20);
  p.rotate(-90);
  Left(p, 0, 0, QString::fromStdString(tr.TextOr(12000, "Count")));
  p.restore();
  p.drawLine(XORG, YORG, XTOP, YORG);
  p.drawLine(XORG, YTOP - 20, XORG, YORG);

  if (!source.IsValid() && !o.printing) {
    p.restore();
    return;
  }

  // Both histograms, scaled together; the one learning fastest is drawn last.
  const Bars bars = ScaleBars(a);
  const int step = a.classwidth * STEPSIZE;
  const int barwidth = step >= 2 ? step - 2 : step;
  auto drawbar = [&](int i, int height, const QColor& colour) {
    const int x = XORG + i * step;
    p.fillRect(QRect(x + 2, YORG - height + 2, barwidth, height - 2), Qt::gray);
    p.fillRect(QRect(x, YORG - height, barwidth, height), colour);
  };
  for (int i = 0; i < std::min(a.classes, HistogramAnswer::MAXCLASSES); ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (a.fastlearn == 0) {
      drawbar(i, bars.slow[k], Qt::yellow);
      drawbar(i, bars.fast[k], Qt::cyan);
    } else {
      drawbar(i, bars.fast[k], Qt::cyan);
      drawbar(i, bars.slow[k], Qt::yellow);
    }
  }

  // The figures.
  p.setPen(Qt::white);
  p.setFont(PixelFont(13, true));
  const int device = source.Device();
  Right(p, 600, 20, Q(Format("%d-%03d", (device >> 8) + 1, device & 0xFF)));
  Right(p, 600, 56, Q(Format("%u", a.alarmfactor)));
  Right(p, 600, 91, Q(HistogramText::Threshold(a.fire2)));
  Right(p, 600, 113, Q(HistogramText::Threshold(a.fire)));
  Right(p, 600, 132, Q(HistogramText::Threshold(a.prealarm)));
  Right(p, 600, 153, Q(HistogramText::Threshold(a.aux)));
  const QString unit = QString::fromStdString(tr.TextOr(13400, "% obs/m"));
  const double s = HistogramText::Sensitivity(a.obscuration, o.language);
  Right(p, 410, 72, QString::asprintf("%.2f", s) + unit);
  Right(p, 410, 92, Q(HistogramText::Hundredths(a.mean)));
  Right(p, 410, 108, Q(HistogramText::Hundredths(a.variance)));
  Right(p, 410, 130, Q(HistogramText::FastLearn(a.fastlearn)));
  Right(p, 410, 152,
        a.period == 1 ? QString::fromStdString(tr.TextOr(14000, "Night"))
                      : QString::fromStdString(tr.TextOr(13900, "Day")));
  if (o.sensitivity) {
    const HistogramSensitivity panel = SensitivityPanel(a, o.language);
    Right(p, 210, 72, QString::asprintf("%.2f", panel.fire1) + unit);
    Right(p, 210, 92, QString::asprintf("%.2f", panel.prealarm) + unit);
    Right(p, 210, 112, QString::asprintf("%.2f", panel.aux) + unit);
    Right(p, 210, 132, QString::asprintf("%.2f", panel.detector) + unit);
  }

  // The thresholds as flags on poles over the class axis.
  struct Flag {
    unsigned level;
    int y;
    QColor colour;
    QString name;
  };
  const Flag flags[] = {
      {a.fire2, YTOP, Qt::red, QString::fromStdString(tr.TextOr(31100, "Fire 2"))},
      {a.fire, YTOP + 40, Qt::red, QString::fromStdString(tr.TextOr(31200, "Fire 1"))},
      {a.prealarm, YTOP + 70, QColor(240, 171, 0),
       QString::fromStdString(tr.TextOr(12400, "Pre-Alarm"))},
      {a.aux, YTOP + 100, QColor(245, 211, 3), QString::fromStdString(tr.TextOr(12500, "Aux"))},
  };
  p.setFont(PixelFont(20, true));
  for (const Flag& f : flags) {
    const int x = LevelX(static_cast<int>(f.level));
    if (&f == &flags[0] && x <= XORG) continue;
    p.fillRect(QRect(x, f.y, 2, YORG - f.y), f.colour);
    const int w = QFontMetrics(p.font()).horizontalAdvance(f.name) + 8;
    p.fillRect(QRect(x + 2, f.y, w, 24), f.colour);
    p.setPen(Qt::black);
    Left(p, x + 6, f.y + 1, f.name);
  }

  // The detector level: a figure and a bar under the axis up to the level.
  p.setFont(PixelFont(14, true));
  const QString level = Q(HistogramText::Level(a.adlevel));
  const QFontMetrics m(p.font());
  p.fillRect(QRect(380 - m.horizontalAdvance(level) - 2, YORG + 60, m.horizontalAdvance(level) + 4,
                   m.height()),
             Qt::white);
  p.setPen(Qt::black);
  Right(p, 380, YORG + 60, level);
  const QRect detrect(QPoint(XORG + 3, YORG + 43), QPoint(XTOP - 3, YORG + 56));
  const int clip = XORG + a.adlevel * STEPSIZE + a.classwidth / 2 + 1;
  QLinearGradient gradient(detrect.topLeft(), detrect.topRight());
  gradient.setColorAt(0, QColor(0, 160, 0));
  gradient.setColorAt(0.5, QColor(240, 200, 0));
  gradient.setColorAt(1, QColor(220, 0, 0));
  p.fillRect(detrect.intersected(QRect(0, 0, clip, HEIGHT)), gradient);
  p.setPen(Qt::white);
  p.setBrush(Qt::NoBrush);
  p.drawRect(detrect);

  // The ten-segment bar graph, segment 8 on Fire 1.
  if (o.bargraph) {
    const auto segments = BarGraph(a);
    const double x0 = XORG + STEPSIZE * (a.mean / 100.0);
    const double w = (LevelX(static_cast<int>(a.fire)) - x0) / (HistogramAnswer::FIRE1BAR - 1);
    p.setFont(PixelFont(11, true));
    for (int k = 0; k < 10; ++k) {
      QColor colour = Qt::gray;
      switch (segments[static_cast<std::size_t>(k)]) {
        case Segment::YELLOW:
          colour = QColor(245, 211, 3);
          break;
        case Segment::ORANGE:
          colour = QColor(240, 171, 0);
          break;
        case Segment::RED:
          colour = Qt::red;
          break;
        case Segment::GREY:
          break;
      }
      const QRectF r(x0 + k * w - w / 2 + 1, YTOP - 18, std::max(1.0, w - 2), 16);
      p.fillRect(r, colour);
      p.setPen(Qt::black);
      p.drawText(r, Qt::AlignCenter, QString::number(k + 1));
    }
  }
  p.restore();
}

// --- HistogramTimerWindow -------------------------------------------------------

HistogramTimerWindow::HistogramTimerWindow(HistogramSource& s, Translator& t, QWidget* parent)
    : QDialog(parent), source(s), translator(t) {
  button = new QPushButton(this);
  fire1 = new QLabel(this);
  fire1->setFont(PixelFont(90, true));
  fire1->setAlignment(Qt::AlignCenter);
  others = new QLabel(this);
  others->setFont(PixelFont(20, true));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fire1);
  layout->addWidget(others);
  layout->addWidget(button);
  ticker = new QTimer(this);
  ticker->setInterval(100);
  connect(ticker, &QTimer::timeout, this, [this] { Refresh(); });
  connect(button, &QPushButton::clicked, this, [this] {
    source.Timer().Toggle(source.Now());
    if (!source.Timer().AllStopped()) ticker->start();
    Refresh();
  });
  Retranslate();
}

void HistogramTimerWindow::Retranslate() {
  setWindowTitle(QString::fromStdString(translator.TextOr(14500, "chart information")));
  Refresh();
}

QString HistogramTimerWindow::TimeText(int alarm) const {
  return QString::fromStdString(
      source.Timer().Text(static_cast<HistogramTimer::Alarm>(alarm), source.Now()));
}

void HistogramTimerWindow::Refresh() {
  source.Timer().Tick(source.Now());
  const bool stopped = source.Timer().AllStopped();
  if (stopped) ticker->stop();
  button->setText(stopped ? QString::fromStdString(translator.TextOr(55300, "Start"))
                          : QString::fromStdString(translator.TextOr(55400, "Stop")));
  fire1->setText(TimeText(HistogramTimer::FIRE1));
  others->setText(QString::fromStdString(translator.TextOr(31100, "Fire 2")) + ": " +
                  TimeText(HistogramTimer::FIRE2) + "\n" +
                  QString::fromStdString(translator.TextOr(31300, "Pre-Alarm")) + ": " +
                  TimeText(HistogramTimer::PREALARM) + "\n" +
                  QString::fromStdString(translator.TextOr(31400, "Aux")) + ": " +
                  TimeText(HistogramTimer::AUX));
}

// --- HistogramWindow ------------------------------------------------------------

HistogramWindow::HistogramWindow(TDockingApp& a, int device, QWidget* parent)
    : QMainWindow(parent), app(a), source(std::make_unique<HistogramSource>(&a.GetBus(), device)) {
  setAttribute(Qt::WA_DeleteOnClose);
  Translator& tr = app.GetServices().translator;
  auto* central = new QWidget(this);
  devicebox = new QComboBox(central);
  canvas = new Canvas(*this);
  auto* top = new QHBoxLayout;
  devicelabel = new QLabel(central);
  devicelabel->setBuddy(devicebox);
  top->addWidget(devicelabel);
  top->addWidget(devicebox);
  top->addStretch();
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(top);
  layout->addWidget(canvas, 1);
  setCentralWidget(central);
  timerwindow = new HistogramTimerWindow(*source, tr, this);
  BuildMenus();
  Retranslate();
  FillDevices(device);
  connect(devicebox, &QComboBox::activated, this,
          [this](int index) { source->SetDevice(devicebox->itemData(index).toInt()); });
  source->SetObserver([this] {
    canvas->update();
    if (timerwindow->isVisible()) timerwindow->Refresh();
  });
  source->Request();
  resize(WIDTH + 40, HEIGHT + 80);
}

HistogramWindow::~HistogramWindow() = default;

void HistogramWindow::Retranslate() {
  Translator& tr = app.GetServices().translator;
  setWindowTitle(QString::fromStdString(tr.TextOr(TEXT_VIEWER, "Real Time Sortiva Viewer")));
  devicelabel->setText(UiText(tr, 58900, "&Detector:"));
  for (const auto& [action, text] : texts) action->setText(UiText(tr, text.first, text.second));
  canvas->update();
  timerwindow->Retranslate();
}

void HistogramWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QMainWindow::changeEvent(e);
}

void HistogramWindow::BuildMenus() {
  // Texts are set by Retranslate.
  const auto menu = [this](int id, const char* english) {
    QMenu* m = menuBar()->addMenu(QString());
    texts.push_back({m->menuAction(), {id, english}});
    return m;
  };
  const auto named = [this](QAction* a, int id, const char* english) {
    texts.push_back({a, {id, english}});
    return a;
  };
  QMenu* file = menu(66000, "&File");
  QAction* print = named(file->addAction(QString(), this,
                                         [this] {
                                           QPrinter printer(QPrinter::HighResolution);
                                           QPrintDialog dialog(&printer, this);
                                           if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
                                         }),
                         59200, "&Print...");
  print->setShortcut(QKeySequence::Print);
  file->addSeparator();
  named(file->addAction(QString(), this, &QWidget::close), 56500, "&Close");
  QMenu* edit = menu(58950, "&Edit");
  QAction* copy = named(
      edit->addAction(QString(), this, [this] { QApplication::clipboard()->setImage(Picture()); }),
      59000, "&Copy");
  copy->setShortcut(QKeySequence::Copy);
  QMenu* view = menu(67600, "&View");
  bargraph =
      named(view->addAction(QString(), this, [this] { canvas->update(); }), 59050, "&Bar graph");
  bargraph->setCheckable(true);
  bargraph->setChecked(true);
  bargraph->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
  sensitivity =
      named(view->addAction(QString(), this, [this] { canvas->update(); }), 59100, "&Sensitivity");
  sensitivity->setCheckable(true);
  timeraction =
      named(view->addAction(QString(), this, [this](bool on) { timerwindow->setVisible(on); }),
            59150, "&Timer");
  timeraction->setCheckable(true);
  timeraction->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
  connect(timerwindow, &QDialog::finished, this, [this] { timeraction->setChecked(false); });
  QMenu* helpmenu = menu(69300, "&Help");
  QAction* contents = named(helpmenu->addAction(QString(), this,
                                                [this] {
                                                  if (help) help(CMD_HISTOGRAM);
                                                }),
                            69400, "&Contents");
  contents->setShortcut(QKeySequence::HelpContents);
}

void HistogramWindow::FillDevices(int device) {
  devicebox->clear();
  const auto choices =
      EventLog::DeviceChoices(app.GetSiteConfig(), device >> 8, app.GetServices().translator);
  for (const auto& c : choices) {
    // Only detectors have histograms: not the command module, not "all".
    if ((c.device & 0xFF) == 0 || c.device == EventLog::ALLDETECTORS) continue;
    devicebox->addItem(Q(c.label), c.device);
  }
  const int at = devicebox->findData(device);
  if (at >= 0) {
    devicebox->setCurrentIndex(at);
  } else {
    devicebox->addItem(Q(Format("%d-%03d", (device >> 8) + 1, device & 0xFF)), device);
    devicebox->setCurrentIndex(devicebox->count() - 1);
  }
}

void HistogramWindow::ShowDevice(int device) {
  if (devicebox->findData(device) < 0) FillDevices(device);
  devicebox->setCurrentIndex(devicebox->findData(device));
  source->SetDevice(device);
}

QImage HistogramWindow::Picture(bool printing) const {
  QImage image(WIDTH, HEIGHT, QImage::Format_RGB32);
  QPainter p(&image);
  HistogramPictureOptions o;
  o.bargraph = bargraph->isChecked();
  o.sensitivity = sensitivity->isChecked();
  o.printing = printing;
  o.language = app.GetServices().translator.GetCurrentLanguage();
  PaintHistogram(p, *source, app.GetServices().translator, o);
  return image;
}

int HistogramWindow::PrintTo(QPrinter& printer) {
  KeepPrintMargins(printer);
  Translator& tr = app.GetServices().translator;
  printer.setDocName(PlainUiText(tr, 18300, "Histogram..."));
  QPainter p;
  if (!p.begin(&printer)) return 0;
  const QRect page(0, 0, printer.width(), printer.height());
  p.setFont(PixelFont(page.height() / 60, true));
  p.setPen(Qt::black);
  const int line = QFontMetrics(p.font()).height();
  Left(p, 0, 0,
       QString::fromStdString(Format(tr.TextOr(59250, "Histogram viewer detector %u").c_str(),
                                     source->Answer().detector)));
  const QImage picture = Picture(true);
  const QSize size = picture.size().scaled(page.size() - QSize(0, 2 * line), Qt::KeepAspectRatio);
  p.drawImage(QRect(QPoint(0, 2 * line), size), picture);
  p.end();
  return 1;
}

void HistogramWindow::keyPressEvent(QKeyEvent* event) {
  // The space bar closes the viewer, as Escape does.
  if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

// --- HistogramCommands ----------------------------------------------------------

HistogramCommands::HistogramCommands(TDockingApp& a, QWidget* p) : app(a), parent(p) {
  app.SetCommandHandler(CMD_HISTOGRAM, [this] { Show(app.GetSelDetector()); });
}

HistogramCommands::~HistogramCommands() {
  app.SetCommandHandler(CMD_HISTOGRAM, nullptr);
  delete window.data();
}

void HistogramCommands::Show(int device) {
  if (device < 0) return;
  if (window == nullptr) {
    window = new HistogramWindow(app, device, parent);
    window->setWindowFlag(Qt::Window);
  } else {
    window->ShowDevice(device);
  }
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace quillark
