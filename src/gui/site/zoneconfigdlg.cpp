#include "gui/site/zoneconfigdlg.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/access/translator.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/site/siteeditor.h"
#include "gui/common/uitext.h"
#include "gui/site/mapsetupdlg.h"

namespace quillark {

ZoneConfigDlg::ZoneConfigDlg(TSiteConfig& s, Translator& t, Prompter* p, std::filesystem::path h,
                             QWidget* parent)
    : QDialog(parent), site(s), translator(t), prompter(p), home(std::move(h)) {
  setObjectName(QStringLiteral("ZONES"));
  zone = new QComboBox(this);
  zone->setObjectName(QStringLiteral("zone"));
  const std::vector<std::string> names = SiteEditor::ZoneNames();
  for (std::size_t z = 1; z < names.size(); ++z) zone->addItem(QString::fromStdString(names[z]));
  location = new QLineEdit(this);
  location->setObjectName(QStringLiteral("location"));
  location->setMaxLength(static_cast<int>(DeviceConfig::MAXTEXT));
  map = new QLineEdit(this);
  map->setObjectName(QStringLiteral("map"));
  browse = new QPushButton(this);
  browse->setObjectName(QStringLiteral("browse"));
  browse->setAutoDefault(false);
  zonelabel = new QLabel(this);
  locationlabel = new QLabel(this);
  maplabel = new QLabel(this);
  note = new QLabel(this);
  note->setWordWrap(true);
  ok = new QPushButton(this);
  ok->setObjectName(QStringLiteral("ok"));
  cancel = new QPushButton(this);
  cancel->setObjectName(QStringLiteral("cancel"));
  cancel->setAutoDefault(false);
  connect(zone, &QComboBox::currentIndexChanged, this, [this] {
    Keep();
    shown = zone->currentIndex() + 1;
    Show();
  });
  connect(browse, &QPushButton::clicked, this, &ZoneConfigDlg::Browse);
  connect(ok, &QPushButton::clicked, this, &ZoneConfigDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &ZoneConfigDlg::reject);

  auto* form = new QFormLayout;
  form->setRowWrapPolicy(QFormLayout::WrapLongRows);
  form->addRow(zonelabel, zone);
  form->addRow(locationlabel, location);
  auto* maprow = new QHBoxLayout;
  maprow->addWidget(map, 1);
  maprow->addWidget(browse);
  form->addRow(maplabel, maprow);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addStretch();
  layout->addLayout(buttons);
  Retranslate();
  Show();
  resize(qMax(sizeHint().width(), 420), sizeHint().height());
}

void ZoneConfigDlg::Retranslate() {
  setWindowTitle(UiText(translator, 63940, "Zones"));
  zonelabel->setText(UiText(translator, 63460, "Zone"));
  locationlabel->setText(UiText(translator, 56200, "Location"));
  maplabel->setText(UiText(translator, 63440, "Map"));
  note->setText(
      UiText(translator, 63960, "A zone without a map or location is left out of the site."));
  browse->setText(UiText(translator, 63180, "Browse..."));
  ok->setText(UiText(translator, 82100, "OK"));
  cancel->setText(UiText(translator, 82200, "Cancel"));
}

void ZoneConfigDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void ZoneConfigDlg::SelectZone(int z) {
  if (z >= 1 && z <= SiteEditor::ZONES) zone->setCurrentIndex(z - 1);
}

void ZoneConfigDlg::Keep() {
  edits[shown] = {location->text().trimmed().toStdString(), map->text().trimmed().toStdString()};
}

void ZoneConfigDlg::Show() {
  auto edited = edits.find(shown);
  if (edited != edits.end()) {
    location->setText(QString::fromStdString(edited->second.location));
    map->setText(QString::fromStdString(edited->second.map));
    return;
  }
  const DeviceConfig* z = site.GetDevice(static_cast<std::uint32_t>(shown), ZONE);
  location->setText(z != nullptr ? QString::fromStdString(z->GetLocation()) : QString());
  map->setText(z != nullptr ? QString::fromStdString(z->GetMap()) : QString());
}

void ZoneConfigDlg::Browse() {
  const std::string chosen =
      ChoosePlanPicture(this, windowTitle(), translator, prompter, home, chooser);
  if (!chosen.empty()) map->setText(QString::fromStdString(chosen));
}

void ZoneConfigDlg::accept() {
  Keep();
  for (const auto& [number, entry] : edits) {
    const auto address = static_cast<std::uint32_t>(number);
    if (entry.location.empty() && entry.map.empty()) {
      site.RemoveDevice(address, ZONE);
      continue;
    }
    DeviceConfig* z = site.GetDevice(address, ZONE);
    if (z == nullptr) {
      // Zones hang under the first loop's command module, as a new site's do.
      DeviceConfig fresh(address, ZONE, UNKNOWN);
      fresh.SetParentAddress(1);
      fresh.SetParentType(BUSCONTROLLER);
      z = site.InsertDevice(std::move(fresh));
    }
    if (z == nullptr) continue;
    z->SetLocation(entry.location);
    z->SetMap(entry.map);
  }
  QDialog::accept();
}

}  // namespace quillark
