#include "gui/views/bargraphview.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "gui/common/uitext.h"
#include "gui/views/mapview.h"

namespace quillark {
namespace {

QColor ToQColor(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

QRect ToQRect(const PanelDisp::Rect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QRect Place(const PanelDisp::Rect& r, const PanelGeometry::Box& b) {
  return QRect(r.left + b.x, r.top + b.y, b.w, b.h);
}

// Text on a lamp that stays readable (4.5:1 or better) whatever the lamp's
// colour; an unlit lamp is drawn near black.
QColor TextOn(std::uint32_t c) {
  return ToQColor(EventInfo::ReadableTextOn(c == 0 ? EventInfo::RGB(20, 20, 20) : c));
}

// The fonts, set up once: painting thousands of panels must not build them
// for every panel.
struct Fonts {
  QFont title, lamp, small;
  Fonts() {
    title.setPixelSize(11);
    title.setBold(true);
    lamp.setPixelSize(9);
    lamp.setBold(true);
    small.setPixelSize(9);
  }
};
const Fonts& GetFonts() {
  static const Fonts fonts;
  return fonts;
}

QString Latin1(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}

// A lamp looks the same on every panel, so each look is drawn once and
// copied after: thousands of panels must not each antialias and lay out text.
const QPixmap& LampPixmap(const TLED& led, const QSize& size) {
  static std::map<std::tuple<int, int, std::string, int, int>, QPixmap> cache;
  const std::string& text = led.GetType() == TL_FAULT ? led.GetText() : std::string();
  const auto key =
      std::make_tuple(static_cast<int>(led.GetType()), static_cast<int>(led.GetState()), text,
                      size.width(), size.height());
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  QPixmap pm(size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  const std::uint32_t c = led.GetColour();
  const QColor lamp = ToQColor(c);
  QLinearGradient shine(0, 0, 0, size.height());
  shine.setColorAt(0, lamp.lighter(c == 0 ? 100 : 130));
  shine.setColorAt(1, c == 0 ? QColor(20, 20, 20) : lamp.darker(115));
  p.setPen(QPen(QColor(30, 30, 30), 1));
  p.setBrush(c == 0 ? QBrush(QColor(20, 20, 20)) : QBrush(shine));
  const QRectF r(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  if (led.GetType() == TL_ROUNDBAR)
    p.drawEllipse(r);
  else
    p.drawRoundedRect(r, 3, 3);
  if (!text.empty()) {
    // Longer words ("Unknown", "Not polled") are set smaller, on two lines if
    // need be, rather than cut.
    QFont font = GetFonts().lamp;
    const QString words = Latin1(text);
    const QRect box(QPoint(1, 0), QSize(size.width() - 2, size.height()));
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    while (font.pixelSize() > 6 || (font.pixelSize() < 0 && font.pointSizeF() > 4.5)) {
      const QRect need = QFontMetrics(font).boundingRect(box, flags, words);
      if (need.width() <= box.width() && need.height() <= box.height()) break;
      if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() - 1);
      else
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    p.setFont(font);
    p.setPen(TextOn(c));
    p.drawText(box, flags, words);
  }
  p.end();
  return cache.emplace(key, pm).first->second;
}

// The alarm lamps' labels are the same on every panel: drawn once.
const QPixmap& AlarmLabels(const PanelDisp& panel) {
  static QPixmap labels;
  if (labels.isNull()) {
    const PanelGeometry::Box first = PanelGeometry::ALARMLABEL(0);
    const PanelGeometry::Box last = PanelGeometry::ALARMLABEL(PanelDisp::ALARMS - 1);
    labels = QPixmap(last.x + last.w - first.x, first.h);
    labels.fill(Qt::transparent);
    QPainter p(&labels);
    p.setFont(GetFonts().small);
    p.setPen(Qt::black);
    for (int i = 0; i < PanelDisp::ALARMS; ++i) {
      const PanelGeometry::Box b = PanelGeometry::ALARMLABEL(i);
      p.drawText(QRect(b.x - first.x, 0, b.w, b.h), Qt::AlignHCenter | Qt::AlignTop,
                 Latin1(panel.Alarm(i).GetText()));
    }
  }
  return labels;
}

void DrawLamp(QPainter& p, const QRect& r, const TLED& led) {
  p.drawPixmap(r.topLeft(), LampPixmap(led, r.size()));
}

}  // namespace

// The widget the panels are painted on: as large as the panels need, inside
// the scroll area.
class BargraphCanvas : public QWidget {
 public:
  BargraphCanvas(BargraphView& view, TDockingApp& app, Bargraph& bargraph)
      : QWidget(&view), view(view), app(app), bargraph(bargraph) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    // Tab reaches the panels; the arrows, Space and Return then work them.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Device panels"));
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(this);
    const QRect exposed = event->rect();
    p.fillRect(exposed, QColor(96, 96, 96));
    // Only the panels in the exposed part: a changed panel or a scroll step
    // costs a handful of panels, not the whole site.
    for (const PanelDisp& panel : bargraph.GetPanels()) {
      const QRect r = ToQRect(panel.GetPanelRect());
      if (r.intersects(exposed))
        BargraphView::PaintPanel(p, panel, bargraph.IsSelected(panel),
                                 app.GetServices().translator);
    }
    if (dragging) {
      p.setPen(QPen(Qt::white, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(DragRect().adjusted(0, 0, -1, -1));
    }
    const int focus = bargraph.GetFocusPanel();
    if (hasFocus() && focus >= 0) {
      // Black and white dashes together stay visible on any panel colour.
      const QRect r = ToQRect(bargraph.GetPanels()[static_cast<std::size_t>(focus)].GetPanelRect())
                          .adjusted(-3, -3, 2, 2);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(Qt::black, 2));
      p.drawRect(r);
      p.setPen(QPen(Qt::yellow, 2, Qt::DashLine));
      p.drawRect(r);
    }
  }

  void focusInEvent(QFocusEvent* e) override {
    QWidget::focusInEvent(e);
    bargraph.EnsureFocus();
    ShowFocus();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QWidget::focusOutEvent(e);
    ShowFocus();
  }

  void keyPressEvent(QKeyEvent* e) override {
    const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    switch (e->key()) {
      case Qt::Key_Left:
        bargraph.MoveFocus(Bargraph::FOCUS_LEFT);
        break;
      case Qt::Key_Right:
        bargraph.MoveFocus(Bargraph::FOCUS_RIGHT);
        break;
      case Qt::Key_Up:
        bargraph.MoveFocus(Bargraph::FOCUS_UP);
        break;
      case Qt::Key_Down:
        bargraph.MoveFocus(Bargraph::FOCUS_DOWN);
        break;
      case Qt::Key_Home:
        bargraph.MoveFocus(Bargraph::FOCUS_FIRST);
        break;
      case Qt::Key_End:
        bargraph.MoveFocus(Bargraph::FOCUS_LAST);
        break;
      case Qt::Key_Space:
        bargraph.EnsureFocus();
        bargraph.SelectFocus(ctrl ? Bargraph::SEL_TOGGLE : Bargraph::SEL_REPLACE);
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (const int cmd = bargraph.FocusCommand(); cmd != 0) {
          bargraph.SelectFocus(Bargraph::SEL_REPLACE);
          app.ExecuteCommand(cmd);
        }
        break;
      case Qt::Key_F10:
        if ((e->modifiers() & Qt::ShiftModifier) == 0) return QWidget::keyPressEvent(e);
        KeyboardMenu();
        break;
      default:
        QWidget::keyPressEvent(e);
        return;
    }
    ShowFocus();
    e->accept();
  }

  // The context menu key (and Shift+F10) opens the menu at the focused
  // panel, for the focused panel.
  void KeyboardMenu() {
    bargraph.EnsureFocus();
    const int i = bargraph.GetFocusPanel();
    QPoint at(0, 0);
    if (i >= 0) {
      const PanelDisp& panel = bargraph.GetPanels()[static_cast<std::size_t>(i)];
      if (!bargraph.IsSelected(panel))
        bargraph.SelectFocus(Bargraph::SEL_REPLACE);
      else
        app.SetSelDetector(panel.GetDeviceId());
      at = ToQRect(panel.GetPanelRect()).center();
    }
    auto menu = view.MakeContextMenu(this);
    menu->exec(mapToGlobal(at));
  }

  // Keeps the focused panel in sight and its frame drawn.
  void ShowFocus() {
    const int i = bargraph.GetFocusPanel();
    if (i < 0) return;
    const QRect r = ToQRect(bargraph.GetPanels()[static_cast<std::size_t>(i)].GetPanelRect());
    view.EnsureVisible(r);
    update(r.adjusted(-5, -5, 5, 5));
  }

  bool event(QEvent* e) override {
    if (e->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(e);
      const int i = bargraph.PanelAt(help->pos().x(), help->pos().y());
      if (i < 0) {
        QToolTip::hideText();
      } else {
        const PanelDisp& panel = bargraph.GetPanels()[static_cast<std::size_t>(i)];
        QString text = QString::fromStdString(panel.GetTitle());
        if (!panel.GetLocation().empty())
          text += "\n" + QString::fromStdString(panel.GetLocation());
        QToolTip::showText(help->globalPos(), text, this, ToQRect(panel.GetPanelRect()));
      }
      return true;
    }
    return QWidget::event(e);
  }

  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) {
      start = current = e->pos();
      pressed = true;
      dragging = false;
    }
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!pressed) return;
    const QRect before = DragRect();
    current = e->pos();
    if (!dragging && (current - start).manhattanLength() > 4) dragging = true;
    if (dragging) update(before.united(DragRect()).adjusted(-2, -2, 2, 2));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton || !pressed) return;
    pressed = false;
    const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    if (dragging) {
      dragging = false;
      const QRect r = DragRect();
      bargraph.SelectRect({r.left(), r.top(), r.right() + 1, r.bottom() + 1},
                          ctrl ? Bargraph::SEL_ADD : Bargraph::SEL_REPLACE);
    } else {
      bargraph.SelectAt(e->pos().x(), e->pos().y(),
                        ctrl ? Bargraph::SEL_TOGGLE : Bargraph::SEL_REPLACE);
    }
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return;
    const int cmd = bargraph.DoubleClickCommand(e->pos().x(), e->pos().y());
    if (cmd == 0) return;
    bargraph.SelectAt(e->pos().x(), e->pos().y(), Bargraph::SEL_REPLACE);
    app.ExecuteCommand(cmd);
  }
  void contextMenuEvent(QContextMenuEvent* e) override {
    if (e->reason() == QContextMenuEvent::Keyboard) {
      KeyboardMenu();
      return;
    }
    // A right click on a panel outside the selection picks that panel; on a
    // selected one it keeps the selection and acts on that panel.
    const int i = bargraph.PanelAt(e->pos().x(), e->pos().y());
    if (i >= 0) {
      const PanelDisp& panel = bargraph.GetPanels()[static_cast<std::size_t>(i)];
      if (!bargraph.IsSelected(panel))
        bargraph.SelectAt(e->pos().x(), e->pos().y(), Bargraph::SEL_REPLACE);
      else
        app.SetSelDetector(panel.GetDeviceId());
    }
    auto menu = view.MakeContextMenu(this);
    menu->exec(e->globalPos());
  }

 private:
  QRect DragRect() const { return QRect(start, current).normalized(); }

  BargraphView& view;
  TDockingApp& app;
  Bargraph& bargraph;
  QPoint start, current;
  bool pressed = false, dragging = false;
};

BargraphView::BargraphView(TDockingApp& a, std::unique_ptr<Bargraph> b, QWidget* parent)
    : QWidget(parent), app(a), bargraph(std::move(b)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tabs = new QTabBar(this);
  tabs->setExpanding(false);
  tabs->setDrawBase(true);
  scroll = new QScrollArea(this);
  scroll->setWidgetResizable(false);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setBackgroundRole(QPalette::Dark);
  canvas = new BargraphCanvas(*this, app, *bargraph);
  scroll->setWidget(canvas);
  maps = new MapPane(app, this);
  maps->hide();
  maps->SetSelectionHook([this] { bargraph->SelectionChanged(); });
  layout->addWidget(tabs);
  layout->addWidget(scroll, 1);
  layout->addWidget(maps, 1);
  setFocusProxy(canvas);

  for (int t = 0; t < bargraph->GetTabCount(); ++t) tabs->addTab(QString());
  Retranslate();
  tabs->setVisible(bargraph->GetTabCount() > 0);
  connect(tabs, &QTabBar::currentChanged, this, [this](int index) {
    if (refreshingtabs || index < 0) return;
    bargraph->LoopChange(index);
    if (mapview) ShowTabMaps();
  });
  bargraph->SetObserver(this);
  RefreshTabs();
  Relayout();
}

void BargraphView::Retranslate() {
  setWindowTitle(UiText(app.GetServices().translator, 58700, "Bargraphs"));
  for (int t = 0; t < tabs->count(); ++t)
    tabs->setTabText(t, QString::fromStdString(bargraph->GetTabCaption(t)));
  if (canvas != nullptr) canvas->update();
}

void BargraphView::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QWidget::changeEvent(e);
}

BargraphView::~BargraphView() {
  bargraph->SetObserver(nullptr);
}

QWidget* BargraphView::Canvas() const {
  return canvas;
}

void BargraphView::EnsureVisible(const QRect& r) {
  scroll->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 6, r.height() / 2 + 6);
}

void BargraphView::PaintPanel(QPainter& p, const PanelDisp& panel, bool selected,
                              Translator& translator) {
  const Fonts& fonts = GetFonts();
  const PanelDisp::Rect& pr = panel.GetPanelRect();
  const QRect r = ToQRect(pr);
  p.fillRect(r, ToQColor(panel.GetBackground()));

  // A raised two-pixel frame; sunk when the panel is selected.
  const QColor outerlight = selected ? Qt::black : Qt::white;
  const QColor outerdark = selected ? Qt::white : Qt::black;
  const QColor innerlight = selected ? QColor(128, 128, 128) : QColor(223, 223, 223);
  const QColor innerdark = selected ? QColor(223, 223, 223) : QColor(128, 128, 128);
  const int l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
  p.setPen(outerlight);
  p.drawLine(l, t, rt, t);
  p.drawLine(l, t, l, b);
  p.setPen(outerdark);
  p.drawLine(l, b, rt, b);
  p.drawLine(rt, t, rt, b);
  p.setPen(innerlight);
  p.drawLine(l + 1, t + 1, rt - 1, t + 1);
  p.drawLine(l + 1, t + 1, l + 1, b - 1);
  p.setPen(innerdark);
  p.drawLine(l + 1, b - 1, rt - 1, b - 1);
  p.drawLine(rt - 1, t + 1, rt - 1, b - 1);

  if (selected) {
    // Plain enough to see at a glance across a screen of panels.
    p.setPen(QPen(QColor(0, 110, 230), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(3, 3, -3, -3));
  }

  // The title on its own coloured strip.
  const QRect title = Place(pr, PanelGeometry::TITLE);
  p.fillRect(title, selected ? QColor(0, 70, 160) : QColor(32, 48, 80));
  p.setPen(Qt::white);
  p.setFont(fonts.title);
  const std::string& name = panel.GetTitle();
  p.drawText(title.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, Latin1(name));

  DrawLamp(p, Place(pr, PanelGeometry::STATUS), panel.Status());
  for (int i = 0; i < PanelDisp::ALARMS; ++i)
    DrawLamp(p, Place(pr, PanelGeometry::ALARM(i)), panel.Alarm(i));
  p.drawPixmap(Place(pr, PanelGeometry::ALARMLABEL(0)).topLeft(), AlarmLabels(panel));
  for (int i = 0; i < PanelDisp::ROUNDBARS; ++i)
    DrawLamp(p, Place(pr, PanelGeometry::ROUNDBAR(i)), panel.RoundBar(i));

  // The 20-step gauge in a sunken well.
  const QRect gauge = Place(pr, PanelGeometry::GAUGE);
  p.fillRect(gauge, QColor(24, 24, 24));
  p.setPen(QColor(96, 96, 96));
  p.drawLine(gauge.topLeft(), gauge.topRight());
  p.drawLine(gauge.topLeft(), gauge.bottomLeft());
  p.setPen(Qt::white);
  p.drawLine(gauge.bottomLeft(), gauge.bottomRight());
  p.drawLine(gauge.topRight(), gauge.bottomRight());
  const QRect inner = gauge.adjusted(2, 2, -2, -2);
  const int steps = panel.GetGauge();
  for (int s = 0; s < PanelDisp::GAUGEMAX; ++s) {
    const int x0 = inner.left() + s * inner.width() / PanelDisp::GAUGEMAX;
    const int x1 = inner.left() + (s + 1) * inner.width() / PanelDisp::GAUGEMAX - 1;
    p.fillRect(QRect(QPoint(x0, inner.top()), QPoint(x1 - 1, inner.bottom())),
               s < steps ? QColor(255, 128, 0) : QColor(60, 44, 30));
  }

  p.setFont(fonts.small);
  p.setPen(Qt::black);
  const QRect level = Place(pr, PanelGeometry::LEVEL);
  p.drawText(level, Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromStdString(
                 Format(translator.TextOr(58750, "Level %d").c_str(), panel.GetLevel())));
}

std::unique_ptr<QMenu> BargraphView::MakeContextMenu(QWidget* parent) {
  auto menu = std::make_unique<QMenu>(parent);
  Translator& translator = app.GetServices().translator;
  for (const Bargraph::MenuEntry& e : bargraph->ContextMenu()) {
    if (e.command == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(QString::fromStdString(translator.Text(e.text)));
    action->setEnabled(e.enabled);
    action->setData(e.command);
    const int cmd = e.command;
    connect(action, &QAction::triggered, this, [this, cmd] { app.ExecuteCommand(cmd); });
  }
  return menu;
}

void BargraphView::Relayout() {
  // Rows are laid out as if the vertical scroll bar were there, so that its
  // appearing never pushes the last column out of sight.
  const int width = scroll->width() - scroll->verticalScrollBar()->sizeHint().width();
  auto [w, h] = bargraph->Layout(width);
  // At least the visible area, so that the canvas paints all of it.
  canvas->resize(std::max(w, width), std::max(h, scroll->viewport()->height()));
}

void BargraphView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
  canvas->update();
}

void BargraphView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Relayout();
}

void BargraphView::PanelChanged(int index) {
  const auto& panels = bargraph->GetPanels();
  if (index < 0 || index >= static_cast<int>(panels.size())) return;
  // The focus frame reaches a little beyond the panel.
  canvas->update(
      ToQRect(panels[static_cast<std::size_t>(index)].GetPanelRect()).adjusted(-5, -5, 5, 5));
}

void BargraphView::AllChanged() {
  Relayout();
  canvas->update();
  ShareSelection();
}

void BargraphView::ShareSelection() {
  if (mapview) maps->SelectionChanged();
  if (QWidget* frame = parentWidget())
    for (MapView* w : MapView::Windows(frame)) w->Canvas().update();
}

void BargraphView::ToggleMapView() {
  mapview = !mapview;
  if (mapview)
    ShowTabMaps();
  else
    maps->Show({});
  scroll->setVisible(!mapview);
  maps->setVisible(mapview);
  for (QWidget* c : maps->Canvases()) c->setVisible(mapview);
  if (!mapview) {
    Relayout();
    canvas->update();
  }
}

void BargraphView::ShowTabMaps() {
  const TSiteConfig* site = app.GetSiteConfig();
  std::vector<SiteMap::MapRef> refs;
  if (site != nullptr) {
    const int tab = bargraph->GetTabCount() == 0 ? 0 : bargraph->GetCurrentTab();
    if (bargraph->GetTabCount() > 0 && tab == bargraph->SiteTab()) {
      refs.push_back(SiteMap::SiteRef(SiteMapFile(app)));
    } else if (bargraph->GetTabCount() > 0 && tab == bargraph->AllLoopsTab()) {
      for (int loop = 0; loop < bargraph->GetLoops(); ++loop)
        refs.push_back(SiteMap::LoopRef(*site, loop));
    } else {
      refs.push_back(SiteMap::LoopRef(*site, tab));
    }
  }
  maps->Show(refs);
}

void BargraphView::TabsChanged() {
  RefreshTabs();
}

void BargraphView::RefreshTabs() {
  if (bargraph->GetTabCount() == 0) return;
  const EventInfo defaults;
  const EventInfo& colours =
      bargraph->GetEventInfo() != nullptr ? *bargraph->GetEventInfo() : defaults;
  // Icon 0 (normal) to 5 (fire 2) in the event colours.
  static constexpr int byicon[6] = {-1,
                                    EventInfo::EC_FAULT,
                                    EventInfo::EC_AUX,
                                    EventInfo::EC_PREALARM,
                                    EventInfo::EC_FIRE1,
                                    EventInfo::EC_FIRE2};
  refreshingtabs = true;
  for (int t = 0; t < bargraph->GetTabCount() && t < tabs->count(); ++t) {
    const int icon = bargraph->GetTabIcon(t);
    const QColor c =
        icon <= 0 || icon > 5 ? QColor(0, 200, 0) : ToQColor(colours.GetEventColour(byicon[icon]));
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(c);
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.end();
    tabs->setTabIcon(t, QIcon(pm));
  }
  tabs->setCurrentIndex(bargraph->GetCurrentTab());
  refreshingtabs = false;
}

}  // namespace quillark
