#include "gui/site/siteconfdlg.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"
#include "core/platform/soundplayer.h"
#include "core/site/fnfile.h"
#include "core/views/sitemap.h"
#include "gui/common/langpropertypage.h"
#include "gui/common/uitext.h"
#include "gui/site/functionprogdlg.h"
#include "gui/site/mapsetupdlg.h"
#include "gui/site/zoneconfigdlg.h"
#include "gui/views/mapview.h"

namespace quillark {
namespace {

constexpr int ADDRESSROLE = Qt::UserRole;
constexpr int TYPEROLE = Qt::UserRole + 1;

// The critical-fault boxes, one per bit of the mask from bit 0 on.
struct FaultName {
  int id;
  const char* english;
};
constexpr FaultName FAULTNAMES[8] = {{63500, "Flow low"},        {63520, "Flow high"},
                                     {31900, "Detector fault"},  {31800, "Mains fault"},
                                     {29300, "Battery fault"},   {37800, "Isolated"},
                                     {63540, "Separator fault"}, {63560, "Watchdog"}};

constexpr int TX_OK = 82100;
constexpr int TX_CANCEL = 82200;
constexpr int TX_BROWSE = 63180;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QPushButton* Button(QWidget* parent, const char* name) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// --- Critical faults ---------------------------------------------------------

FaultConfigDlg::FaultConfigDlg(DeviceConfig& d, Translator& t, QWidget* parent)
    : QDialog(parent), device(d), translator(t) {
  setObjectName(QStringLiteral("FAULTCONFIG"));
  auto* layout = new QVBoxLayout(this);
  const std::vector<bool> ticked = SiteEditor::FaultBoxes(device.GetFaultMask());
  for (std::size_t b = 0; b < 8; ++b) {
    auto* box = new QCheckBox(this);
    box->setObjectName(QStringLiteral("fault%1").arg(b));
    box->setChecked(ticked[b]);
    layout->addWidget(box);
    boxes.push_back(box);
  }
  auto* row = new QHBoxLayout;
  ok = Button(this, "ok");
  cancel = Button(this, "cancel");
  connect(ok, &QPushButton::clicked, this, &FaultConfigDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &FaultConfigDlg::reject);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  Retranslate();
}

void FaultConfigDlg::Retranslate() {
  setWindowTitle(UiText(translator, 63480, "Critical faults"));
  for (std::size_t b = 0; b < boxes.size(); ++b)
    boxes[b]->setText(UiText(translator, FAULTNAMES[b].id, FAULTNAMES[b].english));
  ok->setText(UiText(translator, TX_OK, "OK"));
  cancel->setText(UiText(translator, TX_CANCEL, "Cancel"));
}

void FaultConfigDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void FaultConfigDlg::accept() {
  std::vector<bool> ticked;
  for (QCheckBox* b : boxes) ticked.push_back(b->isChecked());
  device.SetFaultMask(SiteEditor::FaultMask(ticked));
  QDialog::accept();
}

// --- Alarm actions -----------------------------------------------------------

// One event's page: its sound (Browse..., Play), its action text and, on the
// input pages, "Bus reset".
class AlarmActionsDlg::Page : public LangPropertyPage {
 public:
  Page(QTabWidget& sheet, Translator& translator, const AlarmActions::Page& page,
       SoundPlayer& player)
      : LangPropertyPage(sheet, translator, page.title) {
    auto* form = new QFormLayout(this);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    sound = new QLineEdit(Q(page.sound), this);
    sound->setObjectName(QStringLiteral("sound"));
    sound->setMaxLength(static_cast<int>(AlarmActions::MAXVALUE));
    // Room for a file name, not only its first letters.
    sound->setMinimumWidth(sound->fontMetrics().averageCharWidth() * 24);
    browse = Button(this, "browse");
    play = Button(this, "play");
    auto* soundrow = new QHBoxLayout;
    soundrow->addWidget(sound, 1);
    soundrow->addWidget(browse);
    soundrow->addWidget(play);
    soundlabel = new QLabel(this);
    form->addRow(soundlabel, soundrow);
    text = new QLineEdit(Q(page.text), this);
    text->setObjectName(QStringLiteral("text"));
    text->setMaxLength(static_cast<int>(AlarmActions::MAXVALUE));
    textlabel = new QLabel(this);
    form->addRow(textlabel, text);
    if (page.input) {
      busreset = new QCheckBox(this);
      busreset->setObjectName(QStringLiteral("busreset"));
      busreset->setChecked(page.busreset);
      form->addRow(QString(), busreset);
    }
    connect(browse, &QPushButton::clicked, this, [this] {
      const QString file =
          QFileDialog::getOpenFileName(this, soundlabel->text(), sound->text(),
                                       UiText(GetTranslator(), 63700, "Sound files (*.wav)"));
      if (!file.isEmpty()) sound->setText(file.left(static_cast<int>(AlarmActions::MAXVALUE)));
    });
    connect(play, &QPushButton::clicked, this, [this, &player] {
      if (!sound->text().isEmpty()) player.Play(sound->text().toStdString(), false);
    });
    Retranslate();
  }

  void Store(AlarmActions::Page& page) const {
    page.sound = sound->text().trimmed().toStdString();
    page.text = text->text().trimmed().toStdString();
    if (busreset != nullptr) page.busreset = busreset->isChecked();
  }

 protected:
  void Retranslate() override {
    Translator& t = GetTranslator();
    soundlabel->setText(UiText(t, 63600, "Sound file"));
    textlabel->setText(UiText(t, 63620, "Action/hazard text"));
    browse->setText(UiText(t, TX_BROWSE, "Browse..."));
    play->setText(UiText(t, 63660, "Play"));
    if (busreset != nullptr) busreset->setText(UiText(t, 63640, "Bus reset"));
  }

 private:
  QLineEdit* sound;
  QLineEdit* text;
  QCheckBox* busreset = nullptr;
  QLabel* soundlabel;
  QLabel* textlabel;
  QPushButton* browse;
  QPushButton* play;
};

AlarmActionsDlg::AlarmActionsDlg(TSiteConfig& site, const DeviceConfig& device, Translator& t,
                                 SoundPlayer& s, QWidget* parent)
    : QDialog(parent), sheet(site, device.GetAddress(), device.GetType()), translator(t), sound(s) {
  setObjectName(QStringLiteral("ACTIONS"));
  kind = device.GetType();
  deviceaddress = device.GetAddress();
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName(QStringLiteral("pages"));
  for (AlarmActions::Page& page : sheet.Pages())
    pages.push_back(new Page(*tabs, translator, page, sound));
  saveall = new QCheckBox(this);
  saveall->setObjectName(QStringLiteral("saveall"));
  saveall->setChecked(true);
  ok = Button(this, "ok");
  cancel = Button(this, "cancel");
  connect(ok, &QPushButton::clicked, this, &AlarmActionsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &AlarmActionsDlg::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(saveall);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  if (sheet.Pages().empty()) {
    noevents = new QLabel(this);
    layout->addWidget(noevents);
  }
  layout->addWidget(tabs);
  layout->addLayout(row);
  Retranslate();
}

void AlarmActionsDlg::Retranslate() {
  setWindowTitle(Q(Format(translator.TextOr(63580, "Alarm actions - %s").c_str(),
                          SiteEditor::Label(kind, deviceaddress, &translator).c_str())));
  saveall->setText(UiText(translator, 7800, "Save all"));
  ok->setText(UiText(translator, TX_OK, "OK"));
  cancel->setText(UiText(translator, TX_CANCEL, "Cancel"));
  if (noevents != nullptr)
    noevents->setText(UiText(translator, 63680, "This model raises no events."));
}

void AlarmActionsDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void AlarmActionsDlg::accept() {
  for (std::size_t i = 0; i < pages.size(); ++i) pages[i]->Store(sheet.Pages()[i]);
  sheet.saveall = saveall->isChecked();
  sheet.Apply();
  QDialog::accept();
}

// --- The editor ---------------------------------------------------------------

SiteConfigDlg::SiteConfigDlg(std::unique_ptr<SiteEditor> e, const Setup& s, QWidget* parent)
    : QDialog(parent), editor(std::move(e)), setup(s) {
  setObjectName(QStringLiteral("SITECONF"));
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

  auto button = [this](const char* name, int id, const char* english) {
    QPushButton* b = Button(this, name);
    texts.push_back({b, id, english});
    return b;
  };
  auto label = [this](int id, const char* english) {
    auto* l = new QLabel(this);
    texts.push_back({l, id, english});
    return l;
  };
  auto* addpsu = button("addpsu", 63060, "Add Power Supply");
  auto* adddet = button("adddet", 63080, "Add detector");
  auto* remove = button("remove", 63100, "Remove");
  auto* edit = button("edit", 63120, "Edit functions...");
  auto* actions = button("actions", 63140, "Actions...");
  auto* faults = button("faults", 63160, "Faults...");
  auto* browse = button("browse", TX_BROWSE, "Browse...");
  auto* mapsetup = button("mapsetup", 18700, "Map...");
  auto* sitemap = button("sitemap", 63200, "Site map...");
  auto* zonesetup = button("zonesetup", 63220, "Zone setup...");
  auto* zones = button("zones", 63920, "Zones...");
  less = button("less", 63240, "Less <<");
  more = button("more", 63260, "More >>");
  auto* help = button("help", 63280, "Help...");
  auto* ok = button("ok", TX_OK, "OK");
  auto* cancel = button("cancel", TX_CANCEL, "Cancel");
  connect(addpsu, &QPushButton::clicked, this, &SiteConfigDlg::AddPSU);
  connect(adddet, &QPushButton::clicked, this, &SiteConfigDlg::AddDetector);
  connect(remove, &QPushButton::clicked, this, &SiteConfigDlg::Remove);
  connect(edit, &QPushButton::clicked, this, &SiteConfigDlg::EditFunctions);
  connect(actions, &QPushButton::clicked, this, &SiteConfigDlg::Actions);
  connect(faults, &QPushButton::clicked, this, &SiteConfigDlg::Faults);
  connect(browse, &QPushButton::clicked, this, &SiteConfigDlg::Browse);
  connect(mapsetup, &QPushButton::clicked, this, [this] { MapSetup(MapKind::LOOP); });
  connect(sitemap, &QPushButton::clicked, this, [this] { MapSetup(MapKind::SITE); });
  connect(zonesetup, &QPushButton::clicked, this, [this] { MapSetup(MapKind::ZONE); });
  connect(zones, &QPushButton::clicked, this, &SiteConfigDlg::Zones);
  connect(less, &QPushButton::clicked, this, [this] { SetFull(false); });
  connect(more, &QPushButton::clicked, this, [this] { SetFull(true); });
  connect(help, &QPushButton::clicked, this, &SiteConfigDlg::Help);
  connect(ok, &QPushButton::clicked, this, &SiteConfigDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &SiteConfigDlg::reject);
  connect(tree, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
  connect(map, &QLineEdit::editingFinished, this, [this] { ShowPreview(); });

  form = new QFormLayout;
  form->setRowWrapPolicy(QFormLayout::WrapLongRows);
  auto* freerow = new QHBoxLayout;
  freerow->addWidget(freedetectors);
  freerow->addWidget(adddet);
  form->addRow(label(63340, "Free detectors"), freerow);
  auto* psurow = new QHBoxLayout;
  psurow->addWidget(freepsus);
  psurow->addWidget(addpsu);
  form->addRow(label(63360, "Free power supplies"), psurow);
  form->addRow(label(63380, "Address"), address);
  form->addRow(label(63400, "Device type"), model);
  form->addRow(label(56200, "Location"), location);
  form->addRow(label(63460, "Zone"), zone);
  // The map file is a row of the same form, so its label lines up with the
  // ones above; only the full view shows it.
  auto* mapline = new QHBoxLayout;
  mapline->addWidget(map, 1);
  mapline->addWidget(browse);
  form->addRow(label(63440, "Map"), mapline);
  maprow = mapline;

  // The full view adds the device's maps: its map file (above) with a
  // preview, the map, site and zone setups, the zones, alarm actions and critical faults.
  // The compact view is what building the site by hand needs: the tree,
  // adding and removing, the device's model, location and zone, and its
  // functions.
  extra = new QWidget(this);
  extra->setObjectName(QStringLiteral("extra"));
  auto* extralayout = new QVBoxLayout(extra);
  extralayout->setContentsMargins(0, 0, 0, 0);
  auto* maps = new QGridLayout;
  maps->addWidget(mapsetup, 0, 0);
  maps->addWidget(sitemap, 0, 1);
  maps->addWidget(zonesetup, 0, 2);
  maps->addWidget(zones, 1, 0);
  maps->addWidget(actions, 1, 1);
  maps->addWidget(faults, 1, 2);
  extralayout->addLayout(maps);
  preview = new QLabel(extra);
  preview->setObjectName(QStringLiteral("preview"));
  preview->setAlignment(Qt::AlignCenter);
  preview->setMinimumSize(200, 150);
  preview->setFrameShape(QFrame::StyledPanel);
  preview->setWordWrap(true);
  extralayout->addWidget(preview);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(remove);
  buttons->addWidget(edit);
  buttons->addWidget(less);
  buttons->addWidget(more);
  buttons->addStretch();
  auto* closing = new QHBoxLayout;
  closing->addWidget(help);
  closing->addStretch();
  closing->addWidget(ok);
  closing->addWidget(cancel);
  auto* right = new QVBoxLayout;
  right->addLayout(form);
  right->addWidget(extra, 1);
  right->addStretch();
  right->addLayout(buttons);
  right->addLayout(closing);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(tree, 1);
  layout->addLayout(right, 1);
  Retranslate();
  SetFull(true);
}

SiteConfigDlg::~SiteConfigDlg() = default;

QString SiteConfigDlg::T(int id, const char* english) const {
  return setup.translator != nullptr ? UiText(*setup.translator, id, english)
                                     : QString::fromLatin1(english);
}

void SiteConfigDlg::Retranslate() {
  setWindowTitle(Q(Format(T(63000, "Site configuration - [%s]").toStdString().c_str(),
                          editor->GetFileName().c_str())));
  for (const Text& t : texts) {
    if (auto* b = qobject_cast<QAbstractButton*>(t.widget))
      b->setText(T(t.id, t.english));
    else if (auto* l = qobject_cast<QLabel*>(t.widget))
      l->setText(T(t.id, t.english));
  }
  // The tree labels are texts of the table as well.
  SaveDeviceInfo();
  LoadDeviceList();
}

void SiteConfigDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void SiteConfigDlg::SetFull(bool on) {
  full = on;
  form->setRowVisible(maprow, on);
  extra->setVisible(on);
  less->setEnabled(on);
  more->setEnabled(!on);
  if (!on) adjustSize();
}

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
  ShowPreview();
}

void SiteConfigDlg::ShowPreview() {
  // The device's own map, else its loop's, as the map setup would show it.
  std::string file = map->text().trimmed().toStdString();
  const DeviceConfig* d = editor->Selected();
  if (file.empty() && d != nullptr)
    file = SiteMap::LoopRef(editor->Site(), static_cast<int>(d->GetLoop())).file;
  QImage picture;
  if (!file.empty()) {
    std::filesystem::path path(file);
    if (path.is_relative() && setup.app != nullptr) path = setup.app->GetPaths().home / path;
    if (SiteMap::CheckBitmapFile(path).empty()) {
      QImageReader reader(Q(path.string()));
      if (!reader.read(&picture)) picture = QImage();
    }
  }
  if (picture.isNull()) {
    preview->setPixmap(QPixmap());
    preview->setText(T(17300, "Map not defined"));
  } else {
    preview->setPixmap(QPixmap::fromImage(
        picture.scaled(preview->minimumSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }
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

void SiteConfigDlg::Refuse(int textid, const char* english) {
  if (setup.prompter == nullptr) return;
  setup.prompter->Show("", T(textid, english).toStdString(), PromptIcon::STOP);
}

void SiteConfigDlg::AddDetector() {
  SaveDeviceInfo();
  const int a = freedetectors->currentIndex() >= 0 ? freedetectors->currentData().toInt() : 0;
  const int refusal = editor->AddDetector(a);
  if (refusal != 0) {
    Refuse(refusal, "No more detectors to add or detector not selected.");
    return;
  }
  LoadDeviceList();
}

void SiteConfigDlg::AddPSU() {
  SaveDeviceInfo();
  const int a = freepsus->currentIndex() >= 0 ? freepsus->currentData().toInt() : 0;
  const int refusal = editor->AddPSU(a);
  if (refusal != 0) {
    Refuse(refusal, "No more power supplies to add or power supply not selected.");
    return;
  }
  LoadDeviceList();
}

void SiteConfigDlg::Remove() {
  if (!editor->Remove()) return;
  LoadDeviceList();
}

void SiteConfigDlg::EditFunctions() {
  // Offline on the site's function settings file of the device's kind: the
  // editor works on a site that may not be the one the bus is polling.
  SaveDeviceInfo();
  const DeviceConfig* d = editor->Selected();
  if (d == nullptr || setup.translator == nullptr) return;
  // The sheet's device numbers: a command module is its loop's slot 0, a
  // power supply counts on from 128.
  const int loop = static_cast<int>(d->GetLoop()), bus = static_cast<int>(d->GetAddress() % 256);
  const int device = d->GetType() == BUSCONTROLLER ? loop << 8
                     : d->GetType() == POWERSUPPLY ? loop << 8 | (bus + 127)
                                                   : loop << 8 | bus;
  const std::string file = FnFileName(editor->GetFileName(), d->GetType());
  std::string text;
  if (file.empty() || !ReadFnFile(file, text)) {
    if (setup.prompter != nullptr)
      setup.prompter->Show(
          file,
          Format(T(63980, "The function settings file %s cannot be read.").toStdString().c_str(),
                 file.c_str()),
          PromptIcon::STOP);
    return;
  }
  FunctionProgDlg::Setup fs;
  fs.translator = setup.translator;
  fs.prompter = setup.prompter;
  fs.device = device;
  fs.model = d->GetModel();
  fs.file = file;
  FunctionProgDlg dialog(fs, this);
  Run(dialog);
}

void SiteConfigDlg::Faults() {
  SaveDeviceInfo();
  DeviceConfig* d = editor->Selected();
  if (d == nullptr || setup.translator == nullptr) return;
  FaultConfigDlg dialog(*d, *setup.translator, this);
  Run(dialog);
}

void SiteConfigDlg::Actions() {
  SaveDeviceInfo();
  DeviceConfig* d = editor->Selected();
  if (d == nullptr || setup.translator == nullptr || setup.sound == nullptr) return;
  AlarmActionsDlg dialog(editor->Site(), *d, *setup.translator, *setup.sound, this);
  Run(dialog);
}

void SiteConfigDlg::Zones() {
  SaveDeviceInfo();
  if (setup.translator == nullptr) return;
  ZoneConfigDlg dialog(editor->Site(), *setup.translator, setup.prompter,
                       setup.app != nullptr ? setup.app->GetPaths().home : std::filesystem::path(),
                       this);
  if (chooser) dialog.SetFileChooser(chooser);
  if (const DeviceConfig* d = editor->Selected(); d != nullptr && d->GetZone() > 0)
    dialog.SelectZone(d->GetZone());
  Run(dialog);
  ShowPreview();
}

void SiteConfigDlg::Help() {
  if (setup.help) setup.help(HELPCONTEXT);
}

void SiteConfigDlg::Browse() {
  const QString file = chooser ? chooser()
                               : QFileDialog::getOpenFileName(this, T(63440, "Map"), map->text(),
                                                              T(63780, "Bitmaps (*.bmp)"));
  if (file.isEmpty()) return;
  map->setText(file);
  SaveDeviceInfo();
  ShowPreview();
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
    ref =
        SiteMap::SiteRef(editor->SitePlan().empty() ? SiteMapFile(*setup.app) : editor->SitePlan());
  else
    ref = SiteMap::ZoneRef(site, d->GetZone());
  if (!ref) {
    Refuse(63820, "The device's zone is not defined in this site.");
    return;
  }
  MapSetupDlg dialog(*setup.app, editor->Site(), *d, *ref, this);
  if (chooser) dialog.SetFileChooser(chooser);
  Run(dialog);
  // A site plan chosen there is the editor's to store with the rest.
  if (kind == MapKind::SITE && dialog.result() == QDialog::Accepted && dialog.PlanChosen())
    editor->SetSitePlan(dialog.MapFile());
  ShowDeviceInfo();
}

void SiteConfigDlg::accept() {
  SaveDeviceInfo();
  if (setup.ini == nullptr || !editor->Ok(*setup.ini, setup.prompter)) return;
  QDialog::accept();
}

}  // namespace quillark
