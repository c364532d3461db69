#include "gui/views/mapview.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/events/eventinfo.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/status/selset.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

QColor ToQColor(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

QRect ToQRect(const DeviceConfig::Rect& r) {
  return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// The built-in pictures' colours by rank: fire 2, fire 1, pre-alarm, aux,
// fault, normal, isolated.
const QColor RANKCOLOURS[SiteMap::RANKS] = {
    QColor(230, 0, 0),    QColor(255, 90, 0), QColor(255, 170, 0), QColor(240, 220, 0),
    QColor(250, 230, 40), QColor(0, 180, 60), QColor(70, 90, 230)};

const EventInfo& Colours(TDockingApp& app) {
  static const EventInfo defaults;
  const TMainWindow* w = app.GetMainWindow();
  return w != nullptr && w->GetEventInfo() != nullptr ? *w->GetEventInfo() : defaults;
}

// Pixels around an icon that its label and selection frame may reach.
constexpr int LABELHEIGHT = 12;
constexpr int LABELWIDTH = 44;

}  // namespace

// --- Device pictures -----------------------------------------------------------------

const QImage& DeviceIcons::Picture(devicetype kind, SiteMap::Rank rank) {
  const std::string file = SiteMap::PictureFile(kind, rank);
  auto it = pictures.find(file);
  if (it != pictures.end()) return it->second;
  QImage picture;
  // Device pictures are small: anything else is not one of ours.
  const std::filesystem::path path = home / file;
  if (SiteMap::CheckBitmapFile(path).empty() &&
      picture.load(QString::fromStdString(path.string())) && picture.width() <= 256 &&
      picture.height() <= 256) {
    missing[file] = false;
  } else {
    missing[file] = true;
    picture = BuiltIn(kind, rank);
  }
  return pictures.emplace(file, std::move(picture)).first->second;
}

bool DeviceIcons::IsMissing(const std::string& file) const {
  auto it = missing.find(file);
  return it != missing.end() && it->second;
}

QImage DeviceIcons::BuiltIn(devicetype kind, SiteMap::Rank rank) {
  // Power supplies have no alarm pictures: they show their fault one.
  if (kind == POWERSUPPLY && rank < SiteMap::FAULT) rank = SiteMap::FAULT;
  const int r = std::clamp(static_cast<int>(rank), 0, SiteMap::RANKS - 1);
  QImage image(32, 32, QImage::Format_RGB32);
  image.fill(RANKCOLOURS[r]);
  QPainter p(&image);
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(1, 1, 30, 30);
  if (kind == BUSCONTROLLER) {
    p.fillRect(6, 6, 20, 10, Qt::white);
    p.drawRect(6, 6, 20, 10);
    for (int k = 0; k < 4; ++k) p.fillRect(6 + k * 6, 21, 4, 4, Qt::black);
  } else if (kind == POWERSUPPLY) {
    const QPoint bolt[] = {{19, 5}, {12, 16}, {20, 16}, {13, 27}};
    p.drawPolyline(bolt, 4);
  } else {
    p.setBrush(r == SiteMap::NORMAL || r == SiteMap::ISOLATED ? QBrush(Qt::white) : Qt::NoBrush);
    p.drawEllipse(QPoint(16, 15), 8, 8);
  }
  if (r == SiteMap::ISOLATED) {
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(3, 3, 28, 28);
  } else if (r == SiteMap::FAULT) {
    p.setPen(QPen(Qt::black, 1));
    for (int k = -32; k < 32; k += 8) p.drawLine(k, 32, k + 32, 0);
  }
  return image;
}

// --- One map ---------------------------------------------------------------------------

MapCanvas::MapCanvas(TDockingApp& a, const SiteMap::MapRef& s, QWidget* parent,
                     const TSiteConfig* site)
    : QWidget(parent), app(a), ref(s), icons(a.GetPaths().home), source(site) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 150);
  // The words of an undefined map follow the language (changeEvent).
  if (ref.file.empty()) {
    problem = app.GetServices().translator.TextOr(17300, "Map not defined");
  } else {
    std::filesystem::path file(ref.file);
    if (file.is_relative()) file = app.GetPaths().home / file;
    SiteMap::BitmapSize size;
    problem = SiteMap::CheckBitmapFile(file, &size);
    if (problem.empty()) {
      QImageReader reader(QString::fromStdString(file.string()), "BMP");
      if (!reader.read(&bitmap) || bitmap.isNull()) {
        bitmap = QImage();
        problem = file.filename().string() + " is not a bitmap.";
      }
    }
  }
  if (const TSiteConfig* site = Site()) items = SiteMap::Items(*site, ref);
  // Everything shown is what the first paint draws.
  for (const SiteMap::Item& item : items)
    drawn.DeviceSfsHasChanged(item.device, app.GetDeviceStatus(item.device),
                              app.GetDeviceFaultStatus(item.device));
}

const TSiteConfig* MapCanvas::Site() const {
  return source != nullptr ? source : app.GetSiteConfig();
}

QSize MapCanvas::MapSize() const {
  return bitmap.isNull() ? QSize(640, 480) : bitmap.size();
}

SiteMap::MapScale MapCanvas::Scale() const {
  const QSize map = MapSize();
  return SiteMap::MapScale(map.width(), map.height(), {0, 0, width(), height() - LABELHEIGHT});
}

void MapCanvas::Reload() {
  items.clear();
  if (const TSiteConfig* site = Site()) items = SiteMap::Items(*site, ref);
  laidout = QSize();
  update();
}

int MapCanvas::DeviceOf(const DeviceConfig* config) const {
  for (const SiteMap::Item& item : items)
    if (item.config == config) return item.device;
  return -1;
}

void MapCanvas::SetMarked(int device) {
  marked = device;
  update();
}

void MapCanvas::Relayout() const {
  if (laidout == size()) return;
  laidout = size();
  const SiteMap::MapScale scale = Scale();
  picture = ToQRect(scale.Picture());
  scaled = bitmap.isNull() || picture.isEmpty()
               ? QPixmap()
               : QPixmap::fromImage(bitmap.scaled(picture.size(), Qt::IgnoreAspectRatio,
                                                  Qt::SmoothTransformation));
  const TSiteConfig* site = Site();
  const int iconsize = site != nullptr && site->GetDeviceIconSize() > 0
                           ? std::min(site->GetDeviceIconSize(), 256)
                           : 32;
  placed.clear();
  placed.reserve(items.size());
  for (const SiteMap::Item& item : items) {
    Placed p;
    p.item = item;
    p.icon = ToQRect(SiteMap::IconRect(scale, item.at, iconsize));
    p.label =
        QRect(p.icon.center().x() - LABELWIDTH / 2, p.icon.bottom() + 1, LABELWIDTH, LABELHEIGHT);
    if (item.coverage) p.area = ToQRect(scale.MapToScreen(item.area));
    placed.push_back(p);
  }
}

const MapCanvas::Placed* MapCanvas::Find(int device) const {
  Relayout();
  for (const Placed& p : placed)
    if (p.item.device == device) return &p;
  return nullptr;
}

QRect MapCanvas::IconRect(int device) const {
  const Placed* p = Find(device);
  return p != nullptr ? p->icon : QRect();
}

QRect MapCanvas::DeviceRect(int device) const {
  const Placed* p = Find(device);
  return p != nullptr ? p->icon.united(p->label) : QRect();
}

int MapCanvas::DeviceAt(const QPoint& pt) const {
  Relayout();
  // The icon drawn last is on top.
  for (auto it = placed.rbegin(); it != placed.rend(); ++it)
    if (it->icon.contains(pt)) return it->item.device;
  return -1;
}

QRect MapCanvas::RenderChangedDevices() {
  Relayout();
  QRect repainted;
  const bool coverage = Colours(app).GetShowCoverage();
  for (const Placed& p : placed) {
    const int d = p.item.device;
    if (!drawn.DeviceSfsHasChanged(d, app.GetDeviceStatus(d), app.GetDeviceFaultStatus(d)))
      continue;
    QRect r = p.icon.united(p.label);
    // The area takes the device's colour too.
    if (coverage && !p.area.isEmpty()) r = r.united(p.area);
    r = r.intersected(rect());
    if (r.isEmpty()) continue;
    update(r);
    repainted = repainted.united(r);
  }
  return repainted;
}

void MapCanvas::PaintMap(QPainter& p, const QRect& exposed) {
  Relayout();
  p.fillRect(exposed, QColor(96, 96, 96));
  if (!scaled.isNull()) {
    const QRect part = exposed.intersected(picture);
    if (!part.isEmpty()) p.drawPixmap(part, scaled, part.translated(-picture.topLeft()));
  } else {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(16);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
               QString::fromStdString(problem));
  }
  const EventInfo& colours = Colours(app);
  if (colours.GetShowCoverage()) {
    // The area's colour combined with the plan (not-XOR): white leaves the
    // plan as it is, other colours tint it and the walls stay visible.
    p.save();
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    for (const Placed& pl : placed) {
      if (pl.area.isEmpty() || !pl.area.intersects(exposed)) continue;
      const int d = pl.item.device;
      p.fillRect(pl.area, ToQColor(SiteMap::StatusColour(colours, app.GetDeviceStatus(d),
                                                         app.GetDeviceFaultStatus(d))));
    }
    p.restore();
  }
  QFont small;
  small.setPixelSize(9);
  p.setFont(small);
  const SelectionSet& selection = app.GetSelection();
  for (const Placed& pl : placed) {
    if (!pl.icon.united(pl.label).intersects(exposed)) continue;
    const int d = pl.item.device;
    const unsigned status = app.GetDeviceStatus(d), fault = app.GetDeviceFaultStatus(d);
    const devicetype kind = pl.item.config != nullptr ? pl.item.config->GetType() : DETECTOR;
    p.drawImage(pl.icon, icons.Picture(kind, SiteMap::StatusRank(status, fault)));
    const QString label = QString::fromStdString(SiteMap::Label(d));
    p.setPen(Qt::black);
    p.fillRect(QFontMetrics(small)
                   .boundingRect(pl.label, Qt::AlignHCenter | Qt::AlignTop, label)
                   .adjusted(-1, 0, 1, 0),
               QColor(255, 255, 255, 200));
    p.drawText(pl.label, Qt::AlignHCenter | Qt::AlignTop, label);
    if (marked >= 0 ? d == marked : selection.ContainsInternalAddress(d)) {
      const int t = SiteMap::FrameThickness(pl.icon.width(), pl.icon.height());
      const QRect r = pl.icon;
      p.fillRect(r.left(), r.top(), r.width(), t, Qt::black);
      p.fillRect(r.left(), r.bottom() - t + 1, r.width(), t, Qt::black);
      p.fillRect(r.left(), r.top(), t, r.height(), Qt::black);
      p.fillRect(r.right() - t + 1, r.top(), t, r.height(), Qt::black);
    }
  }
}

void MapCanvas::changeEvent(QEvent* e) {
  if (IsLanguageChange(e) && ref.file.empty()) {
    problem = app.GetServices().translator.TextOr(17300, "Map not defined");
    update();
  }
  QWidget::changeEvent(e);
}

void MapCanvas::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  PaintMap(p, event->rect());
  if (dragging) {
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(start, current).normalized());
  }
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
  update();
}

bool MapCanvas::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const Placed* pl = Find(DeviceAt(help->pos()));
    if (pl == nullptr || pl->item.config == nullptr) {
      QToolTip::hideText();
    } else {
      QString text =
          QString::fromStdString(SiteMap::TipText(*pl->item.config, app.GetServices().translator));
      if (!pl->item.config->GetLocation().empty())
        text += "\n" + QString::fromStdString(pl->item.config->GetLocation());
      QToolTip::showText(help->globalPos(), text, this, pl->icon);
    }
    return true;
  }
  return QWidget::event(e);
}

void MapCanvas::SelectionChanged() {
  update();
  if (selectionhook) selectionhook();
}

void MapCanvas::SelectAt(const QPoint& pt, bool toggle) {
  SelectionSet& sel = app.GetSelection();
  const int d = DeviceAt(pt);
  if (d < 0 && toggle) return;
  if (!toggle) sel.Empty();
  if (d >= 0 && toggle && sel.ContainsInternalAddress(d)) {
    sel.Remove(d);
  } else if (d >= 0) {
    sel.InsertInternalAddress(d);
    // The single-device commands act on the device picked last.
    app.SetSelDetector(d);
  }
  if (sel.Count() == 0) app.SetSelDetector(-1);
  SelectionChanged();
}

void MapCanvas::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  start = current = e->pos();
  pressed = true;
  dragging = false;
}

void MapCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (!pressed) return;
  const QRect before = QRect(start, current).normalized();
  current = e->pos();
  if (!dragging && (current - start).manhattanLength() > 4) dragging = true;
  if (dragging) update(before.united(QRect(start, current).normalized()).adjusted(-2, -2, 2, 2));
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !pressed) return;
  pressed = false;
  const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
  if (!dragging) {
    SelectAt(e->pos(), ctrl);
    return;
  }
  dragging = false;
  // A drag adds the devices it covers (replacing the selection without Ctrl).
  const QRect r = QRect(start, current).normalized();
  SelectionSet& sel = app.GetSelection();
  if (!ctrl) sel.Empty();
  int last = -1;
  for (const Placed& pl : placed)
    if (pl.icon.intersects(r)) {
      sel.InsertInternalAddress(pl.item.device);
      last = pl.item.device;
    }
  if (last >= 0) app.SetSelDetector(last);
  if (sel.Count() == 0) app.SetSelDetector(-1);
  SelectionChanged();
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int d = DeviceAt(e->pos());
  if (d < 0) return;
  SelectAt(e->pos(), false);
  // As on the device panels: the device's zone when the site has it, else
  // its own map.
  const TSiteConfig* site = app.GetSiteConfig();
  const bool zone = site != nullptr && SiteMap::ZoneRefOf(*site, d).has_value();
  app.ExecuteCommand(zone ? CMD_VIEWZONE : CMD_VIEWMAP);
}

void MapCanvas::contextMenuEvent(QContextMenuEvent* e) {
  // A right click on a device outside the selection picks that device.
  const int d = DeviceAt(e->pos());
  if (d >= 0 && !app.GetSelection().ContainsInternalAddress(d)) SelectAt(e->pos(), false);
  QWidget::contextMenuEvent(e);
}

// --- The main display's maps -------------------------------------------------------------

MapPane::MapPane(TDockingApp& a, QWidget* parent) : QWidget(parent), app(a) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  timer.setInterval(250);
  connect(&timer, &QTimer::timeout, this, [this] { RenderChangedDevices(); });
}

void MapPane::Show(const std::vector<SiteMap::MapRef>& refs) {
  for (MapCanvas* c : canvases) delete c;
  canvases.clear();
  for (const SiteMap::MapRef& ref : refs) {
    auto* canvas = new MapCanvas(app, ref, this);
    canvas->SetSelectionHook([this] {
      if (selectionhook) selectionhook();
    });
    layout()->addWidget(canvas);
    // A child made after its parent was shown stays hidden until told.
    canvas->setVisible(isVisible());
    canvases.push_back(canvas);
  }
  if (canvases.empty())
    timer.stop();
  else
    timer.start();
}

void MapPane::SetSelectionHook(std::function<void()> hook) {
  selectionhook = std::move(hook);
}

void MapPane::SelectionChanged() {
  for (MapCanvas* c : canvases) c->update();
}

QRect MapPane::RenderChangedDevices() {
  QRect r;
  for (MapCanvas* c : canvases) r = r.united(c->RenderChangedDevices().translated(c->pos()));
  return r;
}

// --- Map windows ---------------------------------------------------------------------

void MapView::Retranslate() {
  const TSiteConfig* site = app.GetSiteConfig();
  Translator& translator = app.GetServices().translator;
  setWindowTitle(site != nullptr ? QString::fromStdString(SiteMap::RefTitle(*site, ref, translator))
                                 : PlainUiText(translator, 18700, "Map..."));
}

void MapView::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QWidget::changeEvent(e);
}

MapView::MapView(TDockingApp& a, const SiteMap::MapRef& r, QWidget* parent)
    : QWidget(parent, Qt::Window), app(a), ref(r) {
  setAttribute(Qt::WA_DeleteOnClose);
  Retranslate();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  canvas = new MapCanvas(app, ref, this);
  layout->addWidget(canvas);
  resize(640, 480);
  timer.setInterval(250);
  connect(&timer, &QTimer::timeout, this, [this] { canvas->RenderChangedDevices(); });
  timer.start();
}

MapView* MapView::Open(TDockingApp& app, const SiteMap::MapRef& ref, QWidget* parent,
                       std::function<void()> selectionhook) {
  MapView* view = nullptr;
  for (MapView* w : Windows(parent))
    if (w->canvas->Ref() == ref) view = w;
  if (view == nullptr) {
    view = new MapView(app, ref, parent);
    view->canvas->SetSelectionHook(std::move(selectionhook));
    if (!ref.file.empty() && !view->canvas->Problem().empty())
      app.GetServices().prompter.Show("", view->canvas->Problem(), PromptIcon::STOP);
    if (Colours(app).GetMapsMaximised())
      view->showMaximized();
    else
      view->show();
  } else {
    view->showNormal();
  }
  view->raise();
  view->activateWindow();
  return view;
}

std::vector<MapView*> MapView::Windows(const QWidget* parent) {
  // Not findChildren: without a meta-object of its own a MapView is any
  // QWidget to it.
  std::vector<MapView*> windows;
  if (parent != nullptr)
    for (QObject* child : parent->children())
      if (auto* w = dynamic_cast<MapView*>(child)) windows.push_back(w);
  return windows;
}

std::string SiteMapFile(TDockingApp& app) {
  return app.GetServices().ini.ReadString("Maps", "Site", "");
}

}  // namespace quillark
