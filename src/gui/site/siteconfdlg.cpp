#include "gui/site/siteconfdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

#include "core/access/translator.h"
#include "core/platform/prompter.h"
#include "core/platform/soundplayer.h"
#include "gui/site/mapsetupdlg.h"
#include "gui/views/mapview.h"

namespace quillark {
namespace {

constexpr int ADDRESSROLE = Qt::UserRole;
constexpr int TYPEROLE = Qt::UserRole + 1;
constexpr const char* FAULTNAMES[8] = {"Flow low",        "Flow high",     "Detector fault",
                                       "Mains fault",     "Battery fault", "Isolated",
                                       "Separator fault", "Watchdog"};

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// --- Critical faults ---------------------------------------------------------

FaultConfigDlg::FaultConfigDlg(DeviceConfig& d, QWidget* parent) : QDialog(parent), device(d) {
  setObjectName(QStringLiteral("FAULTCONFIG"));
  setWindowTitle(QStringLiteral("Critical faults"));
  auto* layout = new QVBoxLayout(this);
  const std::vector<bool> ticked = SiteEditor::FaultBoxes(device.GetFaultMask());
  for (std::size_t b = 0; b < 8; ++b) {
    auto* box = new QCheckBox(QString::fromLatin1(FAULTNAMES[b]), this);
    box->setObjectName(QStringLiteral("fault%1").arg(b));
    box->setChecked(ticked[b]);
    layout->addWidget(box);
    boxes.push_back(box);
  }
  auto* row = new QHBoxLayout;
  auto* ok = Button(this, "OK", "ok");
  auto* cancel = Button(this, "Cancel", "cancel");
  connect(ok, &QPushButton::clicked, this, &FaultConfigDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &FaultConfigDlg::reject);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
}

void FaultConfigDlg::accept() {
  std::vector<bool> ticked;
  for (QCheckBox* b : boxes) ticked.push_back(b->isChecked());
  device.SetFaultMask(SiteEditor::FaultMask(ticked));
  QDialog::accept();
}

// --- Alarm actions -----------------------------------------------------------

AlarmActionsDlg::AlarmActionsDlg(TSiteConfig& site, const DeviceConfig& device,
                                 Translator& translator, SoundPlayer& s, QWidget* parent)
    : QDialog(parent), sheet(site, device.GetAddress(), device.GetType()), sound(s) {
  setObjectName(QStringLiteral("ACTIONS"));
  setWindowTitle(QStringLiteral("Alarm actions - %1")
                     .arg(Q(SiteEditor::Label(device.GetType(), device.GetAddress()))));
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName(QStringLiteral("pages"));
  for (AlarmActions::Page& page : sheet.Pages()) {
    auto* w = new QWidget(tabs);
    auto* form = new QFormLayout(w);
    PageWidgets pw{};
    pw.sound = new QLineEdit(Q(page.sound), w);
    pw.sound->setObjectName(QStringLiteral("sound"));
    pw.sound->setMaxLength(static_cast<int>(AlarmActions::MAXVALUE));
    auto* browse = Button(w, "Browse...", "browse");
    auto* play = Button(w, "Play", "play");
    auto* soundrow = new QHBoxLayout;
    soundrow->addWidget(pw.sound, 1);
    soundrow->addWidget(browse);
    soundrow->addWidget(play);
    form->addRow(QStringLiteral("Sound file"), soundrow);
    pw.text = new QLineEdit(Q(page.text), w);
    pw.text->setObjectName(QStringLiteral("text"));
    pw.text->setMaxLength(static_cast<int>(AlarmActions::MAXVALUE));
    form->addRow(QStringLiteral("Action/hazard text"), pw.text);
    pw.busreset = nullptr;
    if (page.input) {
      pw.busreset = new QCheckBox(QStringLiteral("Bus reset"), w);
      pw.busreset->setObjectName(QStringLiteral("busreset"));
      pw.busreset->setChecked(page.busreset);
      form->addRow(QString(), pw.busreset);
    }
    QLineEdit* field = pw.sound;
    connect(browse, &QPushButton::clicked, this, [this, field] {
      const QString file = QFileDialog::getOpenFileName(
          this, QStringLiteral("Sound file"), field->text(), QStringLiteral("Sound files (*.wav)"));
      if (!file.isEmpty()) field->setText(file.left(static_cast<int>(AlarmActions::MAXVALUE)));
    });
    connect(play, &QPushButton::clicked, this, [this, field] {
      if (!field->text().isEmpty()) sound.Play(field->text().toStdString(), false);
    });
    widgets.push_back(pw);
    tabs->addTab(w, Q(translator.Text(page.title)));
  }
  saveall = new QCheckBox(Q(translator.Text(7800)), this);
  saveall->setObjectName(QStringLiteral("saveall"));
  saveall->setChecked(true);
  auto* ok = Button(this, "OK", "ok");
  auto* cancel = Button(this, "Cancel", "cancel");
  connect(ok, &QPushButton::clicked, this, &AlarmActionsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &AlarmActionsDlg::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(saveall);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  if (sheet.Pages().empty())
    layout->addWidget(new QLabel(QStringLiteral("This model raises no events."), this));
  layout->addWidget(tabs);
  layout->addLayout(row);
}

void AlarmActionsDlg::accept() {
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    AlarmActions::Page& page = sheet.Pages()[i];
    page.sound = widgets[i].sound->text().trimmed().toStdString();
    page.text = widgets[i].text->text().trimmed().toStdString();
    if (widgets[i].busreset != nullptr) page.busreset = widgets[i].busreset->isChecked();
  }
  sheet.saveall = saveall->isChecked();
  sheet.Apply();
  QDialog::accept();
}

// --- The editor ---------------------------------------------------------------

SiteConfigDlg::SiteConfigDlg(std::unique_ptr<SiteEditor> e, const Setup& s, QWidget* parent)
    : QDialog(parent), editor(std::move(e)), setup(s) {
  setObjectName(QStringLiteral("SITECONF"));
  setWindowTitle(QStringLiteral("Site configuration - [%1]").arg(Q(editor->GetFileName())));
  tree = new QTreeWidget(this);
  tree->setObjectName(QStringLiteral("tree"));
  tree->setHeaderHidden(true);
  tree->setMinimumSize(240, 320);
  freedetectors = new QComboBox(this);
  freedetectors->setObjectName(QStringLiteral("freedetectors"));
  freepsus = new QComboBox(this);
  freepsus->setObjectName(QStringLiteral("freepsus"));
  address = new QLabel(this);
  address->setObjectName(QStringLiteral("address"));
  model = new QComboBox(this);
  model->setObjectName(QStringLiteral("model"));
  for (const std::string& name : editor->ModelNames()) model->addItem(Q(name));
  location = new QLineEdit(this);
  location->setObjectName(QStringLiteral("location"));
  location->setMaxLength(static_cast<int>(DeviceConfig::MAXTEXT));
  map = new QLineEdit(this);
  map->setObjectName(QStringLiteral("map"));
  zone = new QComboBox(this);
  zone->setObjectName(QStringLiteral("zone"));
  for (const std::string& z : SiteEditor::ZoneNames()) zone->addItem(Q(z));

  auto* addpsu = Button(this, "Add Power Supply", "addpsu");
  auto* adddet = Button(this, "Add detector", "adddet");
  auto* remove = Button(this, "Remove", "remove");
  auto* actions = Button(this, "Actions...", "actions");
  auto* faults = Button(this, "Faults...", "faults");
  auto* browse = Button(this, "Browse...", "browse");
  auto* mapsetup = Button(this, "Map...", "mapsetup");
  auto* sitemap = Button(this, "Site map...", "sitemap");
  auto* zonesetup = Button(this, "Zone setup...", "zonesetup");
  auto* ok = Button(this, "Ok", "ok");
  auto* cancel = Button(this, "Cancel", "cancel");
  connect(addpsu, &QPushButton::clicked, this, &SiteConfigDlg::AddPSU);
  connect(adddet, &QPushButton::clicked, this, &SiteConfigDlg::AddDetector);
  connect(remove, &QPushButton::clicked, this, &SiteConfigDlg::Remove);
  connect(actions, &QPushButton::clicked, this, &SiteConfigDlg::Actions);
  connect(faults, &QPushButton::clicked, this, &SiteConfigDlg::Faults);
  connect(browse, &QPushButton::clicked, this, &SiteConfigDlg::Browse);
  connect(mapsetup, &QPushButton::clicked, this, [this] { MapSetup(MapKind::LOOP); });
  connect(sitemap, &QPushButton::clicked, this, [this] { MapSetup(MapKind::SITE); });
  connect(zonesetup, &QPushButton::clicked, this, [this] { MapSetup(MapKind::ZONE); });
  connect(ok, &QPushButton::clicked, this, &SiteConfigDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &SiteConfigDlg::reject);
  connect(tree, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });

  auto* form = new QFormLayout;
  auto* freerow = new QHBoxLayout;
  freerow->addWidget(freedetectors);
  freerow->addWidget(adddet);
  form->addRow(QStringLiteral("Free detectors"), freerow);
  auto* psurow = new QHBoxLayout;
  psurow->addWidget(freepsus);
  psurow->addWidget(addpsu);
  form->addRow(QStringLiteral("Free power supplies"), psurow);
  form->addRow(QStringLiteral("Address"), address);
  form->addRow(QStringLiteral("Device type"), model);
  form->addRow(QStringLiteral("Location"), location);
  auto* maprow = new QHBoxLayout;
  maprow->addWidget(map, 1);
  maprow->addWidget(browse);
  form->addRow(QStringLiteral("Map"), maprow);
  form->addRow(QStringLiteral("Zone"), zone);
  auto* maps = new QHBoxLayout;
  maps->addWidget(mapsetup);
  maps->addWidget(sitemap);
  maps->addWidget(zonesetup);
  maps->addStretch();
  form->addRow(QString(), maps);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(remove);
  buttons->addWidget(actions);
  buttons->addWidget(faults);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* right = new QVBoxLayout;
  right->addLayout(form);
  right->addStretch();
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(tree, 1);
  layout->addLayout(right, 1);
  LoadDeviceList();
}

SiteConfigDlg::~SiteConfigDlg() = default;

void SiteConfigDlg::Run(QDialog& dialog) {
  if (runner)
    runner(dialog);
  else
    dialog.exec();
}

void SiteConfigDlg::LoadDeviceList() {
  // Rebuilt from the working copy; the selected device stays selected.
  const DeviceConfig* keep = editor->Selected();
  const std::uint32_t keepaddress = keep != nullptr ? keep->GetAddress() : 0;
  const devicetype keeptype = keep != nullptr ? keep->GetType() : NONE;
  loading = true;
  tree->clear();
  QTreeWidgetItem* current = nullptr;
  std::function<void(QTreeWidgetItem*, const SiteEditor::Node&)> add =
      [&](QTreeWidgetItem* item, const SiteEditor::Node& node) {
        item->setText(0, Q(node.label));
        item->setData(0, ADDRESSROLE, static_cast<qulonglong>(node.address));
        item->setData(0, TYPEROLE, static_cast<int>(node.type));
        if (node.address == keepaddress && node.type == keeptype) current = item;
        for (const SiteEditor::Node& child : node.children) add(new QTreeWidgetItem(item), child);
      };
  for (const SiteEditor::Node& root : editor->Tree()) add(new QTreeWidgetItem(tree), root);
  tree->expandAll();
  if (current == nullptr) current = tree->topLevelItem(0);
  tree->setCurrentItem(current);
  loading = false;
  SelectionChanged();
}

void SiteConfigDlg::SelectionChanged() {
  if (loading) return;
  SaveDeviceInfo();
  QTreeWidgetItem* item = tree->currentItem();
  if (item == nullptr)
    editor->ClearSelection();
  else
    editor->Select(static_cast<std::uint32_t>(item->data(0, ADDRESSROLE).toULongLong()),
                   static_cast<devicetype>(item->data(0, TYPEROLE).toInt()));
  ShowDeviceInfo();
  LoadFreeLists();
}

void SiteConfigDlg::ShowDeviceInfo() {
  const DeviceConfig* d = editor->Selected();
  loading = true;
  address->setText(d != nullptr ? QString::number(d->GetAddress() % 256) : QString());
  model->setCurrentIndex(d != nullptr ? editor->ModelIndex(d->GetModel()) : -1);
  location->setText(d != nullptr ? Q(d->GetLocation()) : QString());
  map->setText(d != nullptr ? Q(d->GetMap()) : QString());
  const int z = d != nullptr ? d->GetZone() : 0;
  zone->setCurrentIndex(z >= 0 && z <= SiteEditor::ZONES ? z : 0);
  loading = false;
}

void SiteConfigDlg::SaveDeviceInfo() {
  DeviceConfig* d = editor->Selected();
  if (d == nullptr || loading) return;
  if (model->currentIndex() >= 0)
    d->SetModel(static_cast<devicemodel>(editor->ModelAt(model->currentIndex())));
  d->SetLocation(location->text().toStdString());
  d->SetMap(map->text().toStdString());
  d->SetZone(zone->currentIndex() > 0 ? zone->currentIndex() : 0);
}

void SiteConfigDlg::LoadFreeLists() {
  freedetectors->clear();
  freepsus->clear();
  for (int a : editor->FreeDetectors()) freedetectors->addItem(QString::number(a), a);
  for (int a : editor->FreePowerSupplies()) freepsus->addItem(QString::number(a), a);
}

void SiteConfigDlg::Refuse(int textid) {
  if (setup.prompter == nullptr) return;
  setup.prompter->Show("", setup.translator != nullptr ? setup.translator->Text(textid) : "",
                       PromptIcon::STOP);
}

void SiteConfigDlg::AddDetector() {
  SaveDeviceInfo();
  const int a = freedetectors->currentIndex() >= 0 ? freedetectors->currentData().toInt() : 0;
  const int refusal = editor->AddDetector(a);
  if (refusal != 0) {
    Refuse(refusal);
    return;
  }
  LoadDeviceList();
}

void SiteConfigDlg::AddPSU() {
  SaveDeviceInfo();
  const int a = freepsus->currentIndex() >= 0 ? freepsus->currentData().toInt() : 0;
  const int refusal = editor->AddPSU(a);
  if (refusal != 0) {
    Refuse(refusal);
    return;
  }
  LoadDeviceList();
}

void SiteConfigDlg::Remove() {
  if (!editor->Remove()) return;
  LoadDeviceList();
}

void SiteConfigDlg::Faults() {
  SaveDeviceInfo();
  DeviceConfig* d = editor->Selected();
  if (d == nullptr) return;
  FaultConfigDlg dialog(*d, this);
  Run(dialog);
}

void SiteConfigDlg::Actions() {
  SaveDeviceInfo();
  DeviceConfig* d = editor->Selected();
  if (d == nullptr || setup.translator == nullptr || setup.sound == nullptr) return;
  AlarmActionsDlg dialog(editor->Site(), *d, *setup.translator, *setup.sound, this);
  Run(dialog);
}

void SiteConfigDlg::Browse() {
  const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Map"), map->text(),
                                                    QStringLiteral("Bitmaps (*.bmp)"));
  if (!file.isEmpty()) map->setText(file);
}

void SiteConfigDlg::MapSetup(MapKind kind) {
  // The map field and zone as typed count: they decide which plan is shown.
  SaveDeviceInfo();
  const DeviceConfig* d = editor->Selected();
  if (d == nullptr || setup.app == nullptr) return;
  const TSiteConfig& site = editor->Site();
  std::optional<SiteMap::MapRef> ref;
  if (kind == MapKind::LOOP)
    ref = SiteMap::LoopRef(site, static_cast<int>(d->GetLoop()));
  else if (kind == MapKind::SITE)
    ref = SiteMap::SiteRef(SiteMapFile(*setup.app));
  else
    ref = SiteMap::ZoneRef(site, d->GetZone());
  if (!ref) {
    if (setup.prompter != nullptr)
      setup.prompter->Show("", "The device's zone is not defined in this site.", PromptIcon::STOP);
    return;
  }
  MapSetupDlg dialog(*setup.app, editor->Site(), *d, *ref, this);
  Run(dialog);
}

void SiteConfigDlg::accept() {
  SaveDeviceInfo();
  if (setup.ini == nullptr || !editor->Ok(*setup.ini, setup.prompter)) return;
  QDialog::accept();
}

}  // namespace quillark
