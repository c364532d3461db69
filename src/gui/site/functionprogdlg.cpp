#include "gui/site/functionprogdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/site/fnfile.h"
#include "core/status/fnlink.h"
#include "gui/common/langpropertypage.h"
#include "gui/common/uitext.h"

namespace quillark {

// One page of the sheet: its tab title comes from the table, and on a
// language change the sheet relabels the page's controls.
class FnSheetPage : public LangPropertyPage {
 public:
  FnSheetPage(FunctionProgDlg& dialog, QTabWidget& sheet, Translator& translator,
              const FnPage& page)
      : LangPropertyPage(sheet, translator, page.titleid, page.english), dialog(dialog) {}

 protected:
  void Retranslate() override { dialog.RetranslatePage(this); }

 private:
  FunctionProgDlg& dialog;
};

namespace {

// `text` with its "%s" filled in order by `values`.
std::string FillIn(std::string text, std::initializer_list<std::string> values) {
  std::size_t from = 0;
  for (const std::string& value : values) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos) break;
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}

}  // namespace

FunctionProgDlg::FunctionProgDlg(const Setup& s, QWidget* parent) : QDialog(parent), setup(s) {
  setObjectName(QStringLiteral("devicesettings"));
  if (setup.translator == nullptr) english = std::make_unique<Translator>(nullptr, nullptr);
  link = std::make_unique<FunctionLink>(setup.bus, setup.device, setup.model, setup.file,
                                        setup.bus != nullptr);
  if (!setup.file.empty() && !link->FileLoaded())
    Tell(Words().TextOr(70500, "ERROR: cannot load function settings from file."), true);

  selector = new QComboBox(this);
  selector->setObjectName(QStringLiteral("device"));
  saveall = new QCheckBox(this);
  saveall->setObjectName(QStringLiteral("saveall"));
  modified = new QCheckBox(this);
  modified->setObjectName(QStringLiteral("modified"));
  modified->setChecked(true);
  connect(saveall, &QCheckBox::toggled, this, [this](bool on) { link->Set().global = on; });
  connect(modified, &QCheckBox::toggled, this, [this](bool on) { link->Set().mod = on; });

  // The selector lists the devices of the edited kind: the site's when it
  // is known, else those of the file.
  const devicetype kind = FnDeviceKind(setup.device);
  if (setup.site != nullptr && setup.bus != nullptr) {
    for (const DeviceConfig& d : *setup.site) {
      if (d.GetType() != kind) continue;
      const int loop = static_cast<int>(d.GetAddress() >> 8);
      const int bus = static_cast<int>(d.GetAddress() & 0xFF);
      const int device = kind == BUSCONTROLLER ? loop << 8
                         : kind == POWERSUPPLY ? (loop << 8 | (bus + 127))
                                               : static_cast<int>(d.GetAddress());
      selectordevices.push_back(device);
    }
  } else if (link->FileLoaded()) {
    std::string text;
    ReadFnFile(setup.file, text);
    for (unsigned address : FnFileDevices(text)) {
      const int loop = static_cast<int>(address >> 8);
      const int bus = static_cast<int>(address & 0xFF);
      selectordevices.push_back(kind == BUSCONTROLLER ? loop << 8
                                : kind == POWERSUPPLY ? (loop << 8 | (bus + 127))
                                                      : static_cast<int>(address));
    }
  }
  if (std::find(selectordevices.begin(), selectordevices.end(), setup.device) ==
      selectordevices.end())
    selectordevices.insert(selectordevices.begin(), setup.device);
  // Command modules are named in words (Retranslate), the others by address.
  for (int device : selectordevices) {
    const int loop = (device >> 8) + 1;
    selector->addItem(kind == BUSCONTROLLER ? QString()
                                            : QStringLiteral("%1-%2").arg(loop).arg(
                                                  FnBusAddress(device), 3, 10, QChar('0')));
  }
  selector->setCurrentIndex(
      static_cast<int>(std::find(selectordevices.begin(), selectordevices.end(), setup.device) -
                       selectordevices.begin()));
  connect(selector, &QComboBox::currentIndexChanged, this, &FunctionProgDlg::DeviceChanged);

  tabs = new QTabWidget(this);
  tabs->setObjectName(QStringLiteral("pages"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &FunctionProgDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FunctionProgDlg::reject);

  auto* top = new QHBoxLayout;
  devicelabel = new QLabel(this);
  top->addWidget(devicelabel);
  top->addWidget(selector, 1);
  top->addWidget(saveall);
  top->addWidget(modified);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(tabs, 1);
  layout->addWidget(buttons);

  Retranslate();
  BuildPages();
  StartRead();
}

FunctionProgDlg::~FunctionProgDlg() = default;

Translator& FunctionProgDlg::Words() const {
  return setup.translator != nullptr ? *setup.translator : *english;
}

QString FunctionProgDlg::Text(int id, const char* text) const {
  return UiText(Words(), id, text);
}

void FunctionProgDlg::Retranslate() {
  if (setup.bus == nullptr && link->FileLoaded()) {
    // The file's path is shown whole as far as the title allows.
    const std::string title = Words().TextOr(70050, "Offline fn edit") + " - [" + setup.file + "]";
    setWindowTitle(QString::fromStdString(title.substr(0, 264)));
  } else {
    setWindowTitle(Text(70000, "Device settings"));
  }
  saveall->setText(Text(70100, "Save All"));
  modified->setText(Text(70150, "Modified"));
  devicelabel->setText(Text(70200, "Device:"));
  if (FnDeviceKind(setup.device) == BUSCONTROLLER) {
    for (std::size_t i = 0; i < selectordevices.size(); ++i)
      selector->setItemText(static_cast<int>(i),
                            Text(70250, "Command module %1").arg((selectordevices[i] >> 8) + 1));
  }
}

void FunctionProgDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

QString FunctionProgDlg::Shown(const FnControl& c, const FnEntry& e) const {
  const std::string text = FnShowEntry(c, e, link->Set());
  if (text == "not set") return Text(74900, "not set");
  return QString::fromStdString(text);
}

void FunctionProgDlg::RetranslatePage(const QWidget* widget) {
  auto at = std::find_if(pages.begin(), pages.end(),
                         [widget](const auto& tab) { return tab->widget == widget; });
  // A page on its way out after a rebuild has nothing left to relabel.
  if (at == pages.end()) return;
  Tab& tab = **at;
  FnPage fresh = FnMakePage(tab.page.bit, builtmodel, builtversion, &Words());
  if (fresh.controls.size() != tab.controls.size()) return;
  for (std::size_t i = 0; i < fresh.controls.size(); ++i) {
    const FnControl& c = fresh.controls[i];
    Control& control = tab.controls[i];
    if (auto* label = qobject_cast<QLabel*>(tab.form->labelForField(control.widget)))
      label->setText(QString::fromStdString(c.label));
    if (auto* list = qobject_cast<QComboBox*>(control.widget)) {
      for (std::size_t n = 0; n < c.items.size() && static_cast<int>(n) < list->count(); ++n)
        if (!c.items[n].empty())
          list->setItemText(static_cast<int>(n), QString::fromStdString(c.items[n]));
    } else if (auto* spin = qobject_cast<QSpinBox*>(control.widget)) {
      if (c.kind == FnKind::INPUT) spin->setSpecialValueText(Text(70450, "off"));
    } else if (auto* value = qobject_cast<QLabel*>(control.widget)) {
      value->setText(Shown(c, tab.entries[i]));
    }
  }
  tab.page = std::move(fresh);
  if (tab.scan != nullptr) tab.scan->setText(Text(70300, "Scan &devices"));
  if (tab.allcells != nullptr) tab.allcells->setText(Text(70350, "&All cells"));
  if (tab.nocells != nullptr) tab.nocells->setText(Text(70400, "&No cells"));
}

int FunctionProgDlg::PickDevice(const std::string& filetext, int kindmodel) {
  const std::vector<unsigned> devices = FnFileDevices(filetext);
  if (devices.empty()) return kindmodel == PELORIN2000BUSMASTER ? 0 : 1;
  auto todevice = [kindmodel](unsigned address) {
    const int loop = static_cast<int>(address >> 8);
    const int bus = static_cast<int>(address & 0xFF);
    if (kindmodel == PELORIN2000BUSMASTER) return loop << 8;
    if (kindmodel == PELORIN2000POWERSUPPLY) return loop << 8 | (bus + 127);
    return static_cast<int>(address);
  };
  for (unsigned address : devices) {
    const int model = FnTextValue(filetext, address, FunctionSet::MODELINDEX);
    if (model >= 0 && Detector::GetModelProgramCaps(model, Detector::all, 0) != 0)
      return todevice(address);
  }
  return todevice(devices.front());
}

void FunctionProgDlg::Tell(const std::string& text, bool stop) {
  if (setup.prompter != nullptr) {
    setup.prompter->Show(stop ? "error" : "", text,
                         stop ? PromptIcon::STOP : PromptIcon::INFORMATION);
  } else if (stop) {
    QMessageBox::critical(this, QString(), QString::fromStdString(text));
  } else {
    QMessageBox::information(this, QString(), QString::fromStdString(text));
  }
}

void FunctionProgDlg::BuildPages() {
  const FunctionSet& set = link->Set();
  const int current = tabs->currentIndex();
  // The old pages go once control is back in the event loop: this may run
  // from a click on one of their own buttons.
  while (tabs->count() > 0) {
    QWidget* old = tabs->widget(0);
    tabs->removeTab(0);
    old->deleteLater();
  }
  pages.clear();
  builtmodel = set.GetType();
  builtversion = set.GetVersion();
  for (FnPage& page : FnPagesForModel(set.GetType(), set.GetVersion(), &Words())) {
    auto tab = std::make_unique<Tab>();
    tab->page = std::move(page);
    BuildTab(*tab);
    pages.push_back(std::move(tab));
  }
  if (current >= 0 && current < tabs->count()) tabs->setCurrentIndex(current);
  LoadDlg();
}

void FunctionProgDlg::BuildTab(Tab& tab) {
  auto* w = new FnSheetPage(*this, *tabs, Words(), tab.page);
  w->setObjectName(QString::fromStdString(tab.page.dialog));
  tab.widget = w;
  auto* form = new QFormLayout(w);
  tab.form = form;
  tab.controls.resize(tab.page.controls.size());
  tab.entries.resize(tab.page.controls.size());
  for (std::size_t i = 0; i < tab.page.controls.size(); ++i) {
    const FnControl& c = tab.page.controls[i];
    Control& control = tab.controls[i];
    auto changed = [this, &tab, i] {
      if (!loading) tab.entries[i].changed = true;
    };
    QWidget* widget = nullptr;
    switch (c.kind) {
      case FnKind::NUMBER:
      case FnKind::YEAR:
      case FnKind::SCALED:
      case FnKind::ACCESSCODE:
      case FnKind::INPUT: {
        auto* spin = new QSpinBox(w);
        spin->setRange(c.min, c.kind == FnKind::INPUT ? 9 : c.max);
        if (c.kind == FnKind::INPUT) spin->setSpecialValueText(Text(70450, "off"));
        if (c.kind == FnKind::SCALED) spin->setSingleStep(c.extra);
        connect(spin, &QSpinBox::valueChanged, this, changed);
        widget = spin;
        break;
      }
      case FnKind::ONOFF:
      case FnKind::BIT:
      case FnKind::DAYNIGHTOFF: {
        auto* box = new QCheckBox(w);
        connect(box, &QCheckBox::toggled, this, changed);
        widget = box;
        break;
      }
      case FnKind::LIST: {
        auto* list = new QComboBox(w);
        for (std::size_t n = 0; n < c.items.size(); ++n)
          list->addItem(c.items[n].empty() ? QString::number(n)
                                           : QString::fromStdString(c.items[n]));
        connect(list, &QComboBox::currentIndexChanged, this, changed);
        widget = list;
        break;
      }
      case FnKind::TEXT: {
        auto* edit = new QLineEdit(w);
        edit->setMaxLength(c.extra - c.index + (c.variant ? 0 : 1));
        connect(edit, &QLineEdit::textEdited, this, changed);
        widget = edit;
        break;
      }
      case FnKind::BITS: {
        widget = new QWidget(w);
        auto* grid = new QGridLayout(widget);
        grid->setSpacing(1);
        for (int n = 0; n < c.extra; ++n) {
          auto* box = new QCheckBox(QString::number(n + 1), widget);
          box->setEnabled(!c.readonly);
          connect(box, &QCheckBox::toggled, this, changed);
          grid->addWidget(box, n / 16, n % 16);
          control.bits.push_back(box);
        }
        break;
      }
      default:
        widget = new QLabel(w);
        break;
    }
    if (c.index >= 0) widget->setObjectName(QStringLiteral("fn%1").arg(c.index + 1));
    // Values shown for reading stay legible; settings the device lacks grey out.
    if (qobject_cast<QLabel*>(widget) == nullptr && c.kind != FnKind::BITS)
      widget->setEnabled(c.enabled && !c.readonly);
    control.widget = widget;
    form->addRow(QString::fromStdString(c.label), widget);
  }
  if (tab.page.bit == FP_ARRAY) AddArrayButtons(tab, *form);
  if (tab.page.bit == FP_BUSSETUP) {
    // The command module looks for its detectors, and is read back to show
    // what it found.
    auto* scan = new QPushButton(Text(70300, "Scan &devices"), w);
    tab.scan = scan;
    scan->setObjectName(QStringLiteral("scandevices"));
    connect(scan, &QPushButton::clicked, this, [this] {
      ApplyAll();
      FnScanDevices(link->Set());
      DeviceChanged(selector != nullptr ? selector->currentIndex() : -1);
    });
    form->addRow(QString(), scan);
  }
}

void FunctionProgDlg::AddArrayButtons(Tab& tab, QFormLayout& form) {
  Control* cells = nullptr;
  QSpinBox* base = nullptr;
  std::size_t cellsat = 0;
  for (std::size_t i = 0; i < tab.controls.size(); ++i) {
    if (!tab.controls[i].bits.empty()) {
      cells = &tab.controls[i];
      cellsat = i;
    } else if (tab.page.controls[i].kind == FnKind::NUMBER) {
      base = qobject_cast<QSpinBox*>(tab.controls[i].widget);
    }
  }
  if (cells == nullptr) return;
  auto* row = new QWidget;
  auto* buttons = new QHBoxLayout(row);
  buttons->setContentsMargins(0, 0, 0, 0);
  auto* all = new QPushButton(Text(70350, "&All cells"), row);
  auto* none = new QPushButton(Text(70400, "&No cells"), row);
  tab.allcells = all;
  tab.nocells = none;
  all->setObjectName(QStringLiteral("allcells"));
  none->setObjectName(QStringLiteral("nocells"));
  buttons->addWidget(all);
  buttons->addWidget(none);
  buttons->addStretch();
  form.addRow(QString(), row);
  auto tick = [this, &tab, cells, cellsat](bool on) {
    for (QCheckBox* box : cells->bits) box->setChecked(on);
    tab.entries[cellsat].changed = true;
  };
  connect(all, &QPushButton::clicked, this, [tick] { tick(true); });
  connect(none, &QPushButton::clicked, this, [tick] { tick(false); });
  // Each cell is named by its own address, counted from the base address.
  if (base != nullptr) {
    auto relabel = [cells](int from) {
      for (std::size_t n = 0; n < cells->bits.size(); ++n)
        cells->bits[n]->setText(QString::number(from + static_cast<int>(n)));
    };
    connect(base, &QSpinBox::valueChanged, this, relabel);
    relabel(base->value());
  }
}

void FunctionProgDlg::LoadDlg() {
  loading = true;
  const FunctionSet& set = link->Set();
  for (auto& tab : pages) {
    tab->entries = FnLoadPage(tab->page, set);
    for (std::size_t i = 0; i < tab->page.controls.size(); ++i) {
      const FnControl& c = tab->page.controls[i];
      const FnEntry& e = tab->entries[i];
      Control& control = tab->controls[i];
      if (auto* spin = qobject_cast<QSpinBox*>(control.widget)) {
        spin->setValue(e.value);
        spin->setEnabled(c.enabled && e.enabled && !c.readonly);
      } else if (auto* box = qobject_cast<QCheckBox*>(control.widget)) {
        box->setChecked(e.value != 0);
        box->setEnabled(c.enabled && e.enabled && !c.readonly);
      } else if (auto* list = qobject_cast<QComboBox*>(control.widget)) {
        list->setCurrentIndex(e.value >= 0 && e.value < list->count() ? e.value : -1);
        list->setEnabled(c.enabled && e.enabled && !c.readonly);
      } else if (auto* edit = qobject_cast<QLineEdit*>(control.widget)) {
        edit->setText(QString::fromStdString(e.text));
      } else if (auto* label = qobject_cast<QLabel*>(control.widget)) {
        label->setText(Shown(c, e));
      }
      for (std::size_t b = 0; b < control.bits.size() && b < e.bits.size(); ++b)
        control.bits[b]->setChecked(e.bits[b]);
    }
  }
  loading = false;
}

void FunctionProgDlg::ApplyAll() {
  for (auto& tab : pages) {
    for (std::size_t i = 0; i < tab->page.controls.size(); ++i) {
      FnEntry& e = tab->entries[i];
      // Only what the user touched is taken from the controls: a value the
      // device never had stays as it is.
      if (!e.changed) continue;
      Control& control = tab->controls[i];
      if (auto* spin = qobject_cast<QSpinBox*>(control.widget)) {
        e.value = spin->value();
      } else if (auto* box = qobject_cast<QCheckBox*>(control.widget)) {
        e.value = box->isChecked() ? 1 : 0;
      } else if (auto* list = qobject_cast<QComboBox*>(control.widget)) {
        e.value = list->currentIndex();
      } else if (auto* edit = qobject_cast<QLineEdit*>(control.widget)) {
        e.text = edit->text().toStdString();
      }
      for (std::size_t b = 0; b < control.bits.size() && b < e.bits.size(); ++b)
        e.bits[b] = control.bits[b]->isChecked();
    }
    for (const std::string& message : FnApplyPage(tab->page, tab->entries, link->Set(), &Words()))
      Tell(message, true);
  }
}

void FunctionProgDlg::StartRead() {
  if (!link->UsesBus()) return;
  QPointer<FunctionProgDlg> self(this);
  link->Read([this, self](const FunctionSet::Answer& answer) {
    if (self == nullptr || !answer.taken) return;
    if (answer.modelchanged) {
      Detector names(&Words());
      const std::string received(Trim(names.GetTypeName(answer.receivedmodel)));
      const std::string shown(Trim(names.GetTypeName(answer.previousmodel)));
      Tell(FillIn(Words().TextOr(70550, FunctionLink::ModelChangeText("%s", "%s").c_str()),
                  {received, shown}),
           false);
    }
    if (answer.pageschanged || builtmodel != link->Set().GetType())
      BuildPages();
    else
      LoadDlg();
  });
}

void FunctionProgDlg::DeviceChanged(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= selectordevices.size()) return;
  ApplyAll();
  link->ChangeDevice(selectordevices[static_cast<std::size_t>(index)]);
  if (link->Set().GetType() != builtmodel || link->Set().GetVersion() != builtversion)
    BuildPages();
  else
    LoadDlg();
  StartRead();
}

void FunctionProgDlg::accept() {
  ApplyAll();
  link->Close();  // the file, then the device; polling resumes
  QDialog::accept();
}

void FunctionProgDlg::reject() {
  link->Close();
  QDialog::reject();
}

}  // namespace quillark
