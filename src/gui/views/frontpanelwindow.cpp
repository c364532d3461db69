#include "gui/views/frontpanelwindow.h"

#include <QPainter>
#include <QPushButton>

#include "core/access/security.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "core/status/deviceoperations.h"
#include "core/views/frontpanel.h"
#include "gui/views/bargraphview.h"

namespace quillark {

namespace {

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
  setWindowTitle(
      QString::fromStdString(Format("Front panel %d-%03d", (device >> 8) + 1, device & 0xFF)));
  const QString file = QString::fromStdString((app.GetPaths().home / "mimic.bmp").string());
  if (!picture.load(file)) picture = DrawnFront();
  picture = picture.scaled(WIDTH, PICTUREHEIGHT);

  isolate = new QPushButton(this);
  reset = new QPushButton(QStringLiteral("&Reset"), this);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  const int buttons = PICTUREHEIGHT + 10;
  isolate->setGeometry(3, buttons, 82, 28);
  reset->setGeometry(95, buttons, 82, 28);
  close->setGeometry(49, buttons + 40, 82, 28);
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
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  setFixedSize(WIDTH, HEIGHT);

  // Until the detector answers, show what the program already knows of it.
  source->SetObserver([this] { Refresh(); });
  Refresh();
}

FrontPanelWindow::~FrontPanelWindow() = default;

void FrontPanelWindow::Refresh() {
  isolate->setText(source->IsolateWanted() ? QStringLiteral("&Isolate")
                                           : QStringLiteral("De-&isolate"));
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
  BargraphView::PaintPanel(p, panel, false);
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
