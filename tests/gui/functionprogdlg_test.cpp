// The device settings sheet over the demo core: its tabs follow the model,
// OK writes what was changed, and function files open offline.
#include "gui/site/functionprogdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <fstream>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/site/config.h"
#include "core/status/fnlink.h"
#include "gui/common/uitext.h"
#include "gui/site/functioncommands.h"
#include "guihost.h"
#include "support/recorders.h"
#include "textfit.h"

namespace quillark::test {
namespace {

class SettingsSheet : public ::testing::Test {
 protected:
  SettingsSheet() : wire(&core.App().GetBus()) { core.App().GetBus().SetBusViewer(&wire); }
  ~SettingsSheet() override { core.App().GetBus().SetBusViewer(nullptr); }
  FunctionProgDlg::Setup Setup(int device) {
    FunctionProgDlg::Setup s;
    s.bus = &core.App().GetBus();
    s.site = core.App().GetSiteConfig();
    s.translator = &core.App().GetServices().translator;
    s.prompter = &core.host.prompter;
    s.device = device;
    s.model = PELORIN2000DETECTOR;
    return s;
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> out;
    for (const std::string& f : wire.frames)
      if (f.size() > 3 && f[0] == '>' && f[2] == 'P') out.push_back(f);
    return out;
  }
  DemoCore core;
  RecordingReceiver wire;
};

TEST_F(SettingsSheet, ModelSixHasItsPagesInOrderAndOkWritesTheChangedLevel) {
  FunctionProgDlg dialog(Setup(5));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Device settings"));
  QTabWidget* tabs = dialog.Pages();
  std::vector<std::string> names;
  for (int i = 0; i < tabs->count(); ++i)
    names.push_back(tabs->widget(i)->objectName().toStdString());
  EXPECT_EQ(names, (std::vector<std::string>{"DIALOG_INFO2K", "DIALOG_DAYNIGHT", "DIALOG_FLOW2K",
                                             "DIALOG_ACTIONS2K", "DIALOG_LEVELS2K", "DIALOG_TIME",
                                             "DIALOG_POWER2K", "DIALOG_PANEL",
                                             "DIALOG_REFERENCING2K", "DIALOG_MISCELLANEOUS"}));
  // The device was read: the page shows its level.
  auto* fire1 = dialog.findChild<QSpinBox*>(QStringLiteral("fn92"));
  ASSERT_NE(fire1, nullptr);
  EXPECT_EQ(fire1->value(), 8);
  EXPECT_EQ(fire1->minimum(), 8);
  EXPECT_TRUE(core.App().GetBus().IsPollPaused());
  fire1->setValue(9);
  dialog.resize(640, 420);
  tabs->setCurrentIndex(4);
  SaveGrab(dialog, "devicesettings_levels");
  tabs->setCurrentIndex(2);
  SaveGrab(dialog, "devicesettings_flow");
  EXPECT_TRUE(Writes().empty());
  dialog.accept();
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0].substr(0, 6), std::string(">\x85P010"));
  EXPECT_NE(Writes()[0].find("5c09"), std::string::npos);
  EXPECT_FALSE(core.App().GetBus().IsPollPaused());
}

TEST_F(SettingsSheet, CancelWritesNothingAndAnUntouchedSheetNothingEither) {
  {
    FunctionProgDlg dialog(Setup(5));
    dialog.findChild<QSpinBox*>(QStringLiteral("fn92"))->setValue(10);
    dialog.reject();
  }
  {
    FunctionProgDlg dialog(Setup(6));
    dialog.accept();
  }
  EXPECT_TRUE(Writes().empty());
}

TEST_F(SettingsSheet, FunctionFilesOpenOfflineFromFileOpen) {
  const auto path = core.host.home / "site.dfs";
  std::ofstream(path, std::ios::binary)
      << "!6\"127\r\n000009:045:006\r\n000009:092:010\r\n255:255:255\r\n";
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Administrator", ""));
  FunctionCommands commands(core.App(), nullptr);
  std::string title;
  int fire1 = 0;
  commands.SetRunner([&](QDialog& d) {
    title = d.windowTitle().toStdString();
    auto* spin = d.findChild<QSpinBox*>(QStringLiteral("fn92"));
    fire1 = spin != nullptr ? spin->value() : -1;
    spin->setValue(9);
    d.accept();
  });
  EXPECT_TRUE(core.App().OpenFile(path.string()));
  EXPECT_EQ(title, "Offline fn edit - [" + path.string() + "]");
  EXPECT_EQ(fire1, 10);
  EXPECT_TRUE(Writes().empty());  // offline: nothing goes on the bus
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("000009:092:009\r\n"), std::string::npos) << text;
}

TEST_F(SettingsSheet, SaveFunctionsFollowsTheScanInItsWindowAndSaysWhenDone) {
  FunctionCommands commands(core.App(), nullptr);
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Administrator", ""));
  ASSERT_EQ(core.App().ExecuteCommand(CMD_SAVEFNS), TDockingApp::CommandResult::DONE);
  QWidget* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("fnio") && w->isVisible()) window = w;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Save function settings"));
  SaveGrab(*window, "savefunctions");
  FnIo* io = core.App().GetMainWindow()->GetFnIo();
  core.host.events.RunUntil([&] { return !io->Running(); });
  EXPECT_FALSE(window->isVisible());
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_EQ(core.host.prompter.prompts.back().text,
            "All function settings have been transferred (256 devices).");
}

}  // namespace
}  // namespace quillark::test

namespace quillark::test {
namespace {

// The command module's array page: All cells and No cells tick every cell,
// the cells are named from the base address, and the bit map is written.
TEST_F(SettingsSheet, ArrayCellsAllOrNoneAndNamedFromTheBaseAddress) {
  const auto path = core.host.home / "site.cfs";
  {
    // As a save writes it: every function of the device, the cells clear.
    std::ofstream file(path, std::ios::binary);
    file << "!8\"127\r\n000001:045:008\r\n000001:143:010\r\n";
    for (int fn = 144; fn <= 157; ++fn) file << "000001:" << fn << ":000\r\n";
    file << "255:255:255\r\n";
  }
  FunctionProgDlg::Setup s = Setup(0);
  s.bus = nullptr;
  s.model = PELORIN2000BUSMASTER;
  s.file = path.string();
  FunctionProgDlg dialog(s);
  auto* all = dialog.findChild<QPushButton*>(QStringLiteral("allcells"));
  auto* none = dialog.findChild<QPushButton*>(QStringLiteral("nocells"));
  ASSERT_NE(all, nullptr);
  ASSERT_NE(none, nullptr);
  auto* base = dialog.findChild<QSpinBox*>(QStringLiteral("fn143"));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->value(), 10);
  QList<QCheckBox*> cells;
  for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
    if (box->text().toInt() >= 10 && box->parentWidget() != nullptr &&
        box->parentWidget()->objectName() == QStringLiteral("fn144"))
      cells.push_back(box);
  ASSERT_EQ(cells.size(), 105);
  base->setValue(20);
  EXPECT_EQ(cells.front()->text(), QStringLiteral("20"));
  EXPECT_EQ(cells.back()->text(), QStringLiteral("124"));
  all->click();
  for (QCheckBox* box : cells) EXPECT_TRUE(box->isChecked());
  for (int i = 0; i < dialog.Pages()->count(); ++i)
    if (dialog.Pages()->widget(i)->objectName() == QStringLiteral("DIALOG_ARRAY"))
      dialog.Pages()->setCurrentIndex(i);
  dialog.resize(980, 520);
  SaveGrab(dialog, "devicesettings_array");
  none->click();
  cells[3]->setChecked(true);
  dialog.accept();
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Cell 3 is bit 3 of the first bit-map function, the others are clear.
  EXPECT_NE(text.find("000001:144:008\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("000001:145:000\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace quillark::test

namespace quillark::test {
namespace {

// The sheet in every language the operator can choose.
class SheetLanguages : public SettingsSheet {
 protected:
  ~SheetLanguages() override { Switch(0); }
  Translator& Words() { return core.App().GetServices().translator; }
  void Switch(int language) {
    Words().SetLanguage(language);
    AnnounceLanguageChange();
    QApplication::processEvents();
  }
  static QString LabelOf(QWidget* field) {
    auto* form = qobject_cast<QFormLayout*>(field->parentWidget()->layout());
    if (form == nullptr) return {};
    auto* label = qobject_cast<QLabel*>(form->labelForField(field));
    return label != nullptr ? label->text() : QString();
  }
  // A sheet on a function file alone: any model, no bus needed.
  FunctionProgDlg::Setup Offline(int device, int model, const std::string& name,
                                 const std::string& lines) {
    const auto path = core.host.home / name;
    std::ofstream(path, std::ios::binary) << "!" << model << "\"127\r\n"
                                          << lines << "255:255:255\r\n";
    FunctionProgDlg::Setup s = Setup(device);
    s.bus = nullptr;
    s.model = model;
    s.file = path.string();
    return s;
  }
  // Every page of `dialog` in every offered language: what does not fit.
  std::vector<std::string> Clipped(FunctionProgDlg& dialog, const std::string& grab) {
    std::vector<std::string> out;
    for (int language : {0, 2, 3, 4, 6, 8, 9, 11, 17}) {
      Switch(language);
      for (int i = 0; i < dialog.Pages()->count(); ++i) {
        dialog.Pages()->setCurrentIndex(i);
        for (const QString& c : ClippedTexts(dialog))
          out.push_back(std::to_string(language) + " " +
                        dialog.Pages()->widget(i)->objectName().toStdString() + ": " +
                        c.toStdString());
        if (language == 4 && i == 1) SaveGrab(dialog, grab);
      }
    }
    return out;
  }
};

TEST_F(SheetLanguages, ALanguageChangeRelabelsTheSheetAndKeepsWhatWasTyped) {
  FunctionProgDlg dialog(Setup(5));
  dialog.show();
  auto* fire1 = dialog.findChild<QSpinBox*>(QStringLiteral("fn92"));
  auto* rate = dialog.findChild<QComboBox*>(QStringLiteral("fn47"));
  auto* remote = dialog.findChild<QSpinBox*>(QStringLiteral("fn28"));
  ASSERT_NE(fire1, nullptr);
  ASSERT_NE(rate, nullptr);
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(LabelOf(fire1), QStringLiteral("Fire 1 level"));
  // Typed, not applied yet.
  fire1->setValue(9);
  rate->setCurrentIndex(9);
  const QString ratetext = rate->currentText();
  remote->setValue(0);

  Switch(4);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Geräteeinstellungen"));
  EXPECT_EQ(dialog.Pages()->tabText(4), QStringLiteral("Schwellen"));
  EXPECT_EQ(LabelOf(fire1), QStringLiteral("Schwelle Feuer 1"));
  EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("saveall"))->text(),
            QStringLiteral("Alle speichern"));
  EXPECT_EQ(remote->specialValueText(), QStringLiteral("aus"));
  EXPECT_EQ(fire1->value(), 9);
  EXPECT_EQ(rate->currentIndex(), 9);
  EXPECT_NE(rate->currentText(), ratetext);
  EXPECT_EQ(rate->currentText(), QString::fromStdString(Words().Text(15000 + 9 * 50)));

  Switch(0);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Device settings"));
  EXPECT_EQ(LabelOf(fire1), QStringLiteral("Fire 1 level"));
  EXPECT_EQ(rate->currentText(), ratetext);
  // What was typed before the changes is what OK writes.
  dialog.accept();
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_NE(Writes()[0].find("5c09"), std::string::npos);
  EXPECT_NE(Writes()[0].find("2f09"), std::string::npos);
}

TEST_F(SheetLanguages, CommandModuleSelectorAndButtonsFollowTheLanguage) {
  FunctionProgDlg dialog(
      Offline(0, PELORIN2000BUSMASTER, "lang.cfs", "000001:045:008\r\n000001:046:017\r\n"));
  auto* scan = dialog.findChild<QPushButton*>(QStringLiteral("scandevices"));
  auto* all = dialog.findChild<QPushButton*>(QStringLiteral("allcells"));
  auto* selector = dialog.findChild<QComboBox*>(QStringLiteral("device"));
  ASSERT_NE(scan, nullptr);
  ASSERT_NE(all, nullptr);
  ASSERT_NE(selector, nullptr);
  Switch(3);
  EXPECT_EQ(scan->text(), QStringLiteral("Rechercher les &appareils"));
  EXPECT_EQ(all->text(), QStringLiteral("&Toutes les cellules"));
  EXPECT_EQ(selector->itemText(0), QStringLiteral("Module de commande 1"));
  EXPECT_TRUE(
      dialog.windowTitle().startsWith(QStringLiteral("Édition des fonctions hors ligne - [")));
}

TEST_F(SheetLanguages, DetectorPowerSupplyAndCommandModuleSheetsFitInEveryLanguage) {
  {
    FunctionProgDlg dialog(Setup(5));
    const std::vector<std::string> clipped = Clipped(dialog, "devicesettings_de_detector");
    EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
  }
  {
    FunctionProgDlg dialog(
        Offline(128, PELORIN2000POWERSUPPLY, "lang.pfs", "000001:045:007\r\n000001:046:020\r\n"));
    // A power supply has the information page alone.
    EXPECT_EQ(dialog.Pages()->count(), 1);
    const std::vector<std::string> clipped = Clipped(dialog, "devicesettings_de_psu");
    EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
  }
  {
    FunctionProgDlg dialog(
        Offline(0, PELORIN2000BUSMASTER, "lang.cfs", "000001:045:008\r\n000001:046:017\r\n"));
    const std::vector<std::string> clipped = Clipped(dialog, "devicesettings_de_cm");
    EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
  }
}

}  // namespace
}  // namespace quillark::test
