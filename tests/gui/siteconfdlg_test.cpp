// The site editor window over the demo core: its tree of both loops, adding
// and removing through its buttons, the critical-fault boxes and the alarm
// actions pages; and NEW discovering a site with its progress window.
#include "gui/site/siteconfdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/site/actions.h"
#include "core/site/config.h"
#include "core/status/fnlink.h"
#include "core/status/sitescan.h"
#include "gui/site/functionprogdlg.h"
#include "gui/site/sitecommands.h"
#include "guihost.h"

namespace quillark::test {
namespace {

namespace fs = std::filesystem;

QTreeWidgetItem* FindItem(QTreeWidget& tree, const QString& label) {
  const auto found = tree.findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.front();
}

void Click(QDialog& d, const char* name) {
  auto* b = d.findChild<QPushButton*>(QString::fromLatin1(name));
  ASSERT_NE(b, nullptr) << name;
  b->click();
}

class SiteEditorWindow : public ::testing::Test {
 protected:
  SiteEditorWindow() {
    EXPECT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Administrator", ""));
  }
  std::string SiteFile() const { return core.host.home.Read("demo.cfg"); }
  DemoCore core;
};

TEST_F(SiteEditorWindow, ShowsBothLoopsAndAddsAndRemovesThroughItsButtons) {
  const std::string before = SiteFile();
  SiteCommands commands(core.App(), nullptr);
  bool ran = false;
  commands.SetRunner([&](QDialog& d) {
    ran = true;
    auto* tree = d.findChild<QTreeWidget*>(QStringLiteral("tree"));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Command module 001"));
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("Command module 002"));
    ASSERT_NE(FindItem(*tree, QStringLiteral("Power supply 001")), nullptr);
    EXPECT_NE(FindItem(*tree, QStringLiteral("Detector 012")), nullptr);

    // A detector on loop 2 at the first free address.
    tree->setCurrentItem(tree->topLevelItem(1));
    auto* free = d.findChild<QComboBox*>(QStringLiteral("freedetectors"));
    ASSERT_NE(free, nullptr);
    const int index = free->findText(QStringLiteral("100"));
    ASSERT_GE(index, 0);
    free->setCurrentIndex(index);
    Click(d, "adddet");
    QTreeWidgetItem* added = FindItem(*tree, QStringLiteral("Detector 100"));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->parent(), tree->topLevelItem(1));
    tree->setCurrentItem(added);
    d.findChild<QLineEdit*>(QStringLiteral("location"))->setText(QStringLiteral("New wing"));

    // A detector selected: no detector can be added under it.
    Click(d, "adddet");
    ASSERT_FALSE(core.host.prompter.prompts.empty());
    EXPECT_EQ(core.host.prompter.prompts.back().text,
              "No more detectors to add or detector not selected.");

    // Loop 1's detector 12 goes.
    tree->setCurrentItem(FindItem(*tree, QStringLiteral("Detector 012")));
    Click(d, "remove");
    EXPECT_EQ(FindItem(*tree, QStringLiteral("Detector 012")), nullptr);
    SaveGrab(d, "siteconf");
    Click(d, "ok");
  });
  ASSERT_EQ(core.App().ExecuteCommand(CMD_SITECONF), TDockingApp::CommandResult::DONE);
  ASSERT_TRUE(ran);
  EXPECT_NE(SiteFile(), before);
  const TSiteConfig* site = core.App().GetSiteConfig();
  ASSERT_NE(site->GetDevice(256 + 100, DETECTOR), nullptr);
  EXPECT_EQ(site->GetDevice(256 + 100, DETECTOR)->GetLocation(), "New wing");
  EXPECT_EQ(site->GetDevice(12, DETECTOR), nullptr);
}

TEST_F(SiteEditorWindow, CancelKeepsTheFileAndFaultsAndActionsReachTheDevice) {
  const std::string before = SiteFile();
  SiteCommands commands(core.App(), nullptr);
  commands.SetRunner([&](QDialog& d) {
    auto* tree = d.findChild<QTreeWidget*>(QStringLiteral("tree"));
    tree->setCurrentItem(FindItem(*tree, QStringLiteral("Detector 005")));
    Click(d, "remove");
    d.reject();
  });
  core.App().ExecuteCommand(CMD_SITECONF);
  EXPECT_EQ(SiteFile(), before);

  auto editor = std::make_unique<SiteEditor>(*core.App().GetSiteConfig(),
                                             &core.App().GetServices().translator, 2);
  SiteConfigDlg::Setup setup;
  setup.ini = &core.App().GetServices().ini;
  setup.prompter = &core.host.prompter;
  setup.translator = &core.App().GetServices().translator;
  setup.sound = &core.App().GetServices().sound;
  SiteConfigDlg dialog(std::move(editor), setup);
  auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("tree"));
  tree->setCurrentItem(FindItem(*tree, QStringLiteral("Detector 005")));
  const std::int32_t first =
      ActionPagesForModel(dialog.Editor().Site().GetDevice(5, DETECTOR)->GetModel()).front().bit;
  int pages = -1;
  dialog.SetRunner([&](QDialog& d) {
    if (d.objectName() == QStringLiteral("FAULTCONFIG")) {
      for (QCheckBox* b : d.findChildren<QCheckBox*>()) b->setChecked(false);
      SaveGrab(d, "faultconfig");
      d.accept();
      return;
    }
    auto* tabs = d.findChild<QTabWidget*>(QStringLiteral("pages"));
    ASSERT_NE(tabs, nullptr);
    pages = tabs->count();
    EXPECT_EQ(
        pages,
        static_cast<int>(
            ActionPagesForModel(dialog.Editor().Site().GetDevice(5, DETECTOR)->GetModel()).size()));
    tabs->widget(0)->findChild<QLineEdit*>(QStringLiteral("sound"))->setText("fire2.wav");
    SaveGrab(d, "alarmactions");
    d.accept();
  });
  Click(dialog, "faults");
  Click(dialog, "actions");
  EXPECT_GT(pages, 0);
  const DeviceConfig* d = dialog.Editor().Site().GetDevice(5, DETECTOR);
  EXPECT_EQ(d->GetFaultMask(), 0xFFu);
  EXPECT_EQ(d->GetEventSound(first), "fire2.wav");
  // "Save all" reached the other detectors, not the power supplies.
  EXPECT_EQ(dialog.Editor().Site().GetDevice(6, DETECTOR)->GetEventSound(first), "fire2.wav");
  EXPECT_EQ(dialog.Editor().Site().GetDevice(1, POWERSUPPLY)->GetEventSound(first), "");
}

// The editor's own dialog on the demo site, with prompts recorded.
std::unique_ptr<SiteConfigDlg> OpenEditor(DemoCore& core, std::vector<int>* helps = nullptr) {
  SiteConfigDlg::Setup setup;
  setup.ini = &core.App().GetServices().ini;
  setup.prompter = &core.host.prompter;
  setup.translator = &core.App().GetServices().translator;
  setup.sound = &core.App().GetServices().sound;
  setup.app = &core.App();
  if (helps != nullptr) setup.help = [helps](int context) { helps->push_back(context); };
  return std::make_unique<SiteConfigDlg>(
      std::make_unique<SiteEditor>(*core.App().GetSiteConfig(),
                                   &core.App().GetServices().translator, 2),
      setup);
}

TEST_F(SiteEditorWindow, EditFunctionsOpensTheSheetOfflineOnTheFileOfTheDevicesKind) {
  auto dialog = OpenEditor(core);
  auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("tree"));
  tree->setCurrentItem(FindItem(*tree, QStringLiteral("Detector 005")));
  int sheets = 0;
  dialog->SetRunner([&](QDialog&) { ++sheets; });
  // No detector settings file yet: told which file, and no sheet.
  Click(*dialog, "edit");
  EXPECT_EQ(sheets, 0);
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_NE(core.host.prompter.prompts.back().text.find("demo.dfs"), std::string::npos);

  core.host.home.Write("demo.dfs", "!6\"127\n000005:010:042\n255:255:255\n");
  core.host.home.Write("demo.cfs", "!8\"127\n000257:010:007\n255:255:255\n");
  std::vector<std::string> files;
  std::vector<bool> bus;
  dialog->SetRunner([&](QDialog& d) {
    auto* sheet = dynamic_cast<FunctionProgDlg*>(&d);
    ASSERT_NE(sheet, nullptr);
    ++sheets;
    files.push_back(sheet->Link().GetFile());
    bus.push_back(sheet->Link().UsesBus());
    EXPECT_TRUE(sheet->Link().FileLoaded());
    d.reject();
  });
  Click(*dialog, "edit");
  // Loop 2's command module: the command modules' file.
  tree->setCurrentItem(tree->topLevelItem(1));
  Click(*dialog, "edit");
  ASSERT_EQ(sheets, 2);
  EXPECT_EQ(fs::path(files[0]).filename(), "demo.dfs");
  EXPECT_EQ(fs::path(files[1]).filename(), "demo.cfs");
  EXPECT_EQ(bus, (std::vector<bool>{false, false}));
}

TEST_F(SiteEditorWindow, LessShowsTheCompactViewMoreTheFullAndHelpAsksForTheEditorsPage) {
  std::vector<int> helps;
  auto dialog = OpenEditor(core, &helps);
  dialog->show();
  auto* mapsetup = dialog->findChild<QPushButton*>(QStringLiteral("mapsetup"));
  auto* remove = dialog->findChild<QPushButton*>(QStringLiteral("remove"));
  auto* less = dialog->findChild<QPushButton*>(QStringLiteral("less"));
  auto* more = dialog->findChild<QPushButton*>(QStringLiteral("more"));
  EXPECT_TRUE(dialog->IsFull());
  EXPECT_TRUE(mapsetup->isVisible());
  EXPECT_FALSE(more->isEnabled());
  less->click();
  EXPECT_FALSE(dialog->IsFull());
  EXPECT_FALSE(mapsetup->isVisible());
  EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("map"))->isVisible());
  EXPECT_TRUE(remove->isVisible());
  EXPECT_TRUE(dialog->findChild<QLineEdit*>(QStringLiteral("location"))->isVisible());
  EXPECT_FALSE(less->isEnabled());
  more->click();
  EXPECT_TRUE(mapsetup->isVisible());
  // The map file lines up with the fields of the form above it.
  auto left = [&](const char* name) {
    QWidget* w = dialog->findChild<QWidget*>(QString::fromLatin1(name));
    return w->mapTo(dialog.get(), QPoint(0, 0)).x();
  };
  EXPECT_EQ(left("map"), left("location"));
  Click(*dialog, "help");
  EXPECT_EQ(helps, std::vector<int>{SiteConfigDlg::HELPCONTEXT});
}

TEST_F(SiteEditorWindow, NewScansTheLoopsInItsWindowThenOpensTheEditor) {
  SiteCommands commands(core.App(), nullptr);
  const std::string file = (core.host.home / "fresh.cfg").string();
  commands.SetFileAsker([&] { return file; });
  int trees = 0;
  commands.SetRunner([&](QDialog& d) {
    auto* tree = d.findChild<QTreeWidget*>(QStringLiteral("tree"));
    if (tree != nullptr && FindItem(*tree, QStringLiteral("Detector 127")) != nullptr) ++trees;
    d.reject();
  });
  ASSERT_EQ(core.App().ExecuteCommand(CMD_NEW), TDockingApp::CommandResult::DONE);
  ASSERT_NE(commands.GetScanWindow(), nullptr);
  EXPECT_TRUE(commands.GetScanWindow()->isVisible());
  core.host.events.RunUntil([&] { return trees > 0; });
  EXPECT_FALSE(commands.GetScanWindow()->isVisible());
  EXPECT_EQ(core.App().GetSiteConfig()->GetConfig(), file);
  EXPECT_NE(core.App().GetSiteConfig()->GetDevice(256 + 127, DETECTOR), nullptr);
}

}  // namespace
}  // namespace quillark::test
