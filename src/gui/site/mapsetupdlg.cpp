#include "gui/site/mapsetupdlg.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"
#include "core/site/siteeditor.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

// A press that moves less than this is a click, not a drag.
constexpr int DRAGDISTANCE = 4;

// A one-pixel area: whether the device may have any area on the map.
constexpr DeviceConfig::Rect ANYAREA{0, 0, 1, 1};

}  // namespace

// --- The drawing -------------------------------------------------------------------------

MapSetupCanvas::MapSetupCanvas(TDockingApp& app, const SiteMap::MapRef& ref,
                               const TSiteConfig& site, const DeviceConfig* d, Hooks h,
                               QWidget* parent)
    : MapCanvas(app, ref, parent, &site), device(d), hooks(std::move(h)) {
  SetMarked(DeviceOf(device));
}

DeviceConfig::Point MapSetupCanvas::ToMap(const QPoint& p) const {
  const DeviceConfig::Point at = Scale().ScreenToMap({p.x(), p.y()});
  const QSize map = MapSize();
  return {std::clamp(at.x, 0, map.width()), std::clamp(at.y, 0, map.height())};
}

void MapSetupCanvas::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  from = e->pos();
  const int id = DeviceOf(device);
  if (id >= 0 && IconRect(id).contains(from)) {
    drag = Drag::PRESSED_ICON;
    origin = SiteMap::Position(Ref().kind, *device);
  } else if (SiteMap::HasCoverage(Ref().key, *device, ANYAREA)) {
    drag = Drag::PRESSED_PLAN;
  } else {
    drag = Drag::NONE;
  }
}

void MapSetupCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (drag == Drag::NONE) return;
  if (drag == Drag::PRESSED_ICON || drag == Drag::PRESSED_PLAN) {
    if ((e->pos() - from).manhattanLength() <= DRAGDISTANCE) return;
    drag = drag == Drag::PRESSED_ICON ? Drag::ICON : Drag::AREA;
    if (hooks.begin) hooks.begin();
  }
  if (drag == Drag::ICON) {
    // The icon keeps where it was taken hold of; its corner stays on the plan
    // however far off it the mouse goes.
    const SiteMap::MapScale scale = Scale();
    const DeviceConfig::Point a = scale.ScreenToMap({from.x(), from.y()});
    const DeviceConfig::Point b = scale.ScreenToMap({e->pos().x(), e->pos().y()});
    const QSize map = MapSize();
    const DeviceConfig::Point at{std::clamp(origin.x + b.x - a.x, 0, map.width() - 1),
                                 std::clamp(origin.y + b.y - a.y, 0, map.height() - 1)};
    if (hooks.move) hooks.move(at);
  } else if (hooks.area) {
    const DeviceConfig::Point a = ToMap(from), b = ToMap(e->pos());
    hooks.area({std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
  }
}

void MapSetupCanvas::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  // The release point counts as the last move.
  if (drag == Drag::ICON || drag == Drag::AREA) mouseMoveEvent(e);
  drag = Drag::NONE;
}

void MapSetupCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
  // No map windows or selection from here: this map edits one device.
  e->accept();
}

void MapSetupCanvas::contextMenuEvent(QContextMenuEvent* e) {
  QWidget::contextMenuEvent(e);
}

// --- The dialog ------------------------------------------------------------------------

MapSetupDlg::MapSetupDlg(TDockingApp& a, TSiteConfig& site, const DeviceConfig& d,
                         const SiteMap::MapRef& s, QWidget* parent)
    : QDialog(parent), app(a), target(site), work(site), ref(s) {
  setObjectName(QStringLiteral("ZONECONFIG"));
  device = work.GetDevice(d.GetAddress(), d.GetType());
  hint = new QLabel(this);
  hint->setWordWrap(true);
  browse = new QPushButton(this);
  browse->setObjectName(QStringLiteral("browse"));
  browse->setAutoDefault(false);
  undobutton = new QPushButton(this);
  undobutton->setObjectName(QStringLiteral("undo"));
  undobutton->setAutoDefault(false);
  ok = new QPushButton(this);
  ok->setObjectName(QStringLiteral("ok"));
  cancel = new QPushButton(this);
  cancel->setObjectName(QStringLiteral("cancel"));
  cancel->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(undobutton, &QPushButton::clicked, this, [this] { Undo(); });
  connect(ok, &QPushButton::clicked, this, &MapSetupDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &MapSetupDlg::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(browse);
  buttons->addWidget(undobutton);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addLayout(buttons);
  BuildCanvas();
  const QSize map = canvas->MapSize();
  resize(std::clamp(map.width() + 24, 360, 1000), std::clamp(map.height() + 100, 300, 800));
  Retranslate();
  UpdateButtons();
}

void MapSetupDlg::BuildCanvas() {
  MapSetupCanvas::Hooks hooks;
  hooks.begin = [this] {
    undo.push_back({Position(), Area()});
    UpdateButtons();
  };
  hooks.move = [this](DeviceConfig::Point at) { Apply({at, Area()}); };
  hooks.area = [this](const DeviceConfig::Rect& area) { Apply({Position(), area}); };
  auto* fresh = new MapSetupCanvas(app, ref, work, device, std::move(hooks), this);
  fresh->setObjectName(QStringLiteral("canvas"));
  if (canvas != nullptr) {
    layout->replaceWidget(canvas, fresh);
    delete canvas;
  } else {
    layout->insertWidget(1, fresh, 1);
  }
  canvas = fresh;
}

void MapSetupDlg::Retranslate() {
  Translator& t = app.GetServices().translator;
  setWindowTitle(
      QString::fromStdString(SiteMap::RefTitle(work, ref, t)) + QStringLiteral(" - ") +
      QString::fromStdString(device != nullptr
                                 ? SiteEditor::Label(device->GetType(), device->GetAddress(), &t)
                                 : std::string()));
  const bool coverage = device != nullptr && SiteMap::HasCoverage(ref.key, *device, ANYAREA);
  hint->setText(coverage ? UiText(t, 63720,
                                  "Drag the framed icon to place the device; drag on the plan "
                                  "to draw its coverage area.")
                         : UiText(t, 63740,
                                  "Drag the framed icon to place the device (it has no coverage "
                                  "area on this map)."));
  browse->setText(UiText(t, 63180, "Browse..."));
  undobutton->setText(UiText(t, 63760, "Undo"));
  ok->setText(UiText(t, 82100, "OK"));
  cancel->setText(UiText(t, 82200, "Cancel"));
}

void MapSetupDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

std::string ChoosePlanPicture(QWidget* parent, const QString& title, Translator& translator,
                              Prompter* prompter, const std::filesystem::path& home,
                              const std::function<QString()>& chooser) {
  const QString chosen =
      chooser ? chooser()
              : QFileDialog::getOpenFileName(parent, title, QString::fromStdString(home.string()),
                                             UiText(translator, 63780, "Bitmaps (*.bmp)"));
  if (chosen.isEmpty()) return {};
  std::filesystem::path file(chosen.toStdString());
  if (file.is_relative() && !home.empty()) file = home / file;
  // Refused before anything changes: the plan stays as it was.
  std::string problem = SiteMap::CheckBitmapFile(file);
  if (problem.empty()) {
    QImage probe;
    QImageReader reader(QString::fromStdString(file.string()), "BMP");
    if (!reader.read(&probe) || probe.isNull()) problem = "not a bitmap";
  }
  if (!problem.empty()) {
    if (prompter != nullptr)
      prompter->Show(
          "",
          Format(translator.TextOr(63800, "%s is not a bitmap that can be read.").c_str(),
                 file.filename().string().c_str()),
          PromptIcon::STOP);
    return {};
  }
  std::error_code ec;
  return std::filesystem::equivalent(file.parent_path(), home, ec) ? file.filename().string()
                                                                   : file.string();
}

void MapSetupDlg::Browse() {
  const std::string chosen =
      ChoosePlanPicture(this, windowTitle(), app.GetServices().translator,
                        &app.GetServices().prompter, app.GetPaths().home, chooser);
  if (chosen.empty()) return;
  ref.file = chosen;
  browsed = true;
  BuildCanvas();
  Retranslate();
}

DeviceConfig::Point MapSetupDlg::Position() const {
  return device != nullptr ? SiteMap::Position(ref.kind, *device) : DeviceConfig::Point{};
}

DeviceConfig::Rect MapSetupDlg::Area() const {
  return device != nullptr ? SiteMap::Coverage(ref.kind, *device) : DeviceConfig::Rect{};
}

void MapSetupDlg::Apply(const State& state) {
  if (device == nullptr) return;
  SiteMap::SetPosition(ref.kind, *device, state.at);
  SiteMap::SetCoverage(ref.kind, *device, state.area);
  canvas->Reload();
}

void MapSetupDlg::Undo() {
  if (undo.empty()) return;
  Apply(undo.back());
  undo.pop_back();
  UpdateButtons();
}

void MapSetupDlg::UpdateButtons() {
  undobutton->setEnabled(!undo.empty());
}

void MapSetupDlg::accept() {
  // The chosen picture becomes the map's file: the loop's command module
  // holds its loop's plan, a zone entry its zone's. The site's is a setting,
  // not part of the site: the editor takes it from PlanChosen().
  if (browsed && ref.kind != SITE) {
    DeviceConfig* owner = ref.kind == ZONE
                              ? target.GetDevice(static_cast<std::uint32_t>(ref.id), ZONE)
                              : target.GetDevice(static_cast<std::uint32_t>(ref.id) << 8);
    if (owner != nullptr) owner->SetMap(ref.file);
  }
  if (device != nullptr)
    if (DeviceConfig* d = target.GetDevice(device->GetAddress(), device->GetType())) {
      SiteMap::SetPosition(ref.kind, *d, Position());
      SiteMap::SetCoverage(ref.kind, *d, Area());
    }
  QDialog::accept();
}

}  // namespace quillark
