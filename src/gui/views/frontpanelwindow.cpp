#include "gui/views/frontpanelwindow.h"

#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "core/status/deviceoperations.h"
#include "core/views/frontpanel.h"
#include "gui/common/uitext.h"
#include "gui/views/bargraphview.h"

namespace quillark {

namespace {

// Texts of the window.
enum : int {
  TX_TITLE = 58650,
  TX_CLOSE = 56500,
  TX_ISOLATE = 66800,
  TX_DEISOLATE = 66900,
  TX_RESET = 67000,
};

constexpr int PANELTOP = 150;

// A plain panel front when the site has no picture of its own.
QPixmap DrawnFront() {
  QPixmap front(FrontPanelWindow::WIDTH, FrontPanelWindow::PICTUREHEIGHT);
  front.fill(QColor(226, 226, 220));
  QPainter p(&front);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(150, 150, 145), 2));
  p.setBrush(QColor(240, 240, 236));
  p.drawRoundedRect(
      QRectF(6, 6, FrontPanelWindow::WIDTH - 12, FrontPanelWindow::PICTUREHEIGHT - 12), 10, 10);
  // The sampling pipe inlets along the top, the brand plate below them.
  p.setBrush(QColor(90, 90, 90));
  for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(40 + i * 35, 30), 9, 9);
  p.setBrush(QColor(200, 30, 30));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(30, 60, FrontPanelWindow::WIDTH - 60, 40), 6, 6);
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(18);
  p.setFont(f);
  p.drawText(QRectF(30, 60, FrontPanelWindow::WIDTH - 60, 40), Qt::AlignCenter,
             QStringLiteral("Quillark"));
  return front;
}

}  // namespace

FrontPanelWindow::FrontPanelWindow(TDockingApp& a, int device, QWidget* parent)
    : QDialog(parent), app(a) {
  setAttribute(Qt::WA_DeleteOnClose);
  const DeviceConfig* config =
      app.GetSiteConfig() != nullptr
          ? app.GetSiteConfig()->GetDevice(static_cast<std::uint32_t>(device))
          : nullptr;
  static const DeviceConfig none;
  source = std::make_unique<FrontPanelSource>(&app.GetBus(), config != nullptr ? *config : none,
                                              device, EventInfo::RGB(64, 64, 72));
  const QString file = QString::fromStdString((app.GetPaths().home / "mimic.bmp").string());
  if (!picture.load(file)) picture = DrawnFront();
  picture = picture.scaled(WIDTH, PICTUREHEIGHT);

  isolate = new QPushButton(this);
  reset = new QPushButton(this);
  closebutton = new QPushButton(this);
  connect(isolate, &QPushButton::clicked, this, [this] {
    TMainWindow* window = app.GetMainWindow();
    if (window != nullptr && window->GetDeviceOperations() != nullptr)
      window->GetDeviceOperations()->Isolate(source->DeviceId(), source->IsolateWanted());
  });
  connect(reset, &QPushButton::clicked, this, [this] {
    TMainWindow* window = app.GetMainWindow();
    if (window != nullptr && window->GetDeviceOperations() != nullptr)
      window->GetDeviceOperations()->SingleReset(source->DeviceId());
  });
  connect(closebutton, &QPushButton::clicked, this, &QWidget::close);
  setFixedSize(WIDTH, HEIGHT);

  // Until the detector answers, show what the program already knows of it.
  source->SetObserver([this] { Refresh(); });
  Retranslate();
}

QString FrontPanelWindow::Text(int id, const char* english) const {
  return UiText(app.GetServices().translator, id, english);
}

void FrontPanelWindow::Retranslate() {
  const int device = source->DeviceId();
  setWindowTitle(QString::fromStdString(
      Format(app.GetServices().translator.TextOr(TX_TITLE, "Front panel %d-%03d").c_str(),
             (device >> 8) + 1, device & 0xFF)));
  reset->setText(Text(TX_RESET, "&Reset"));
  closebutton->setText(Text(TX_CLOSE, "&Close"));
  Refresh();
}

void FrontPanelWindow::PlaceButtons() {
  // Isolate and Reset sit side by side under the picture like the keys of
  // the detector, Close below them; a language whose words are too long
  // for that gives Isolate a row of its own.
  const int top = PICTUREHEIGHT + 10;
  const int deisolate = [this] {
    const QString now = isolate->text();
    isolate->setText(Text(TX_DEISOLATE, "&De-isolate"));
    const int width = isolate->sizeHint().width();
    isolate->setText(now);
    return std::max(width, isolate->sizeHint().width());
  }();
  if (deisolate <= 82 && reset->sizeHint().width() <= 82 && closebutton->sizeHint().width() <= 82) {
    isolate->setGeometry(3, top, 82, 28);
    reset->setGeometry(95, top, 82, 28);
    closebutton->setGeometry(49, top + 40, 82, 28);
  } else {
    isolate->setGeometry(3, top, WIDTH - 6, 28);
    reset->setGeometry(3, top + 36, (WIDTH - 12) / 2, 28);
    closebutton->setGeometry(WIDTH / 2 + 3, top + 36, (WIDTH - 12) / 2, 28);
  }
}

void FrontPanelWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

FrontPanelWindow::~FrontPanelWindow() = default;

void FrontPanelWindow::Refresh() {
  isolate->setText(source->IsolateWanted() ? Text(TX_ISOLATE, "&Isolate")
                                           : Text(TX_DEISOLATE, "&De-isolate"));
  PlaceButtons();
  update();
}

void FrontPanelWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  p.drawPixmap(0, 0, picture);
  // The panel display, centred on the picture.
  PanelDisp panel = source->Panel();
  const int left = WIDTH / 2 - PanelGeometry::WIDTH / 2;
  panel.SetPanelRect(
      {left, PANELTOP, left + PanelGeometry::WIDTH, PANELTOP + PanelGeometry::HEIGHT});
  BargraphView::PaintPanel(p, panel, false, app.GetServices().translator);
}

FrontPanelWindow* FrontPanelWindow::Open(TDockingApp& app, QWidget* parent) {
  const int device = app.GetSelDetector();
  const int slot = device & 0xFF;
  if (device < 0 || slot < 1 || slot > 127) return nullptr;
  if (!app.HasPermission(SA_FRONTPANEL)) return nullptr;
  auto* window = new FrontPanelWindow(app, device, parent);
  window->show();
  window->raise();
  return window;
}

}  // namespace quillark
