// The site editor and the dialogs it opens in every offered language: every
// text follows a language change at once and none is clipped; the tree labels
// come from the text table too.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/site/config.h"
#include "gui/common/uitext.h"
#include "gui/site/mapsetupdlg.h"
#include "gui/site/siteconfdlg.h"
#include "gui/site/zoneconfigdlg.h"
#include "guihost.h"
#include "textfit.h"

namespace quillark::test {
namespace {

constexpr int LANGUAGES[] = {0, 2, 3, 4, 6, 8, 9, 11, 17};

class SiteEditorLanguages : public ::testing::Test {
 protected:
  SiteEditorLanguages() {
    // The plans, so that the preview and the map setup show a picture.
    namespace fs = std::filesystem;
    for (const char* f : {"loop1.bmp", "loop2.bmp", "dok.bmp"})
      fs::copy_file(fs::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f, core.host.home / f);
  }
  ~SiteEditorLanguages() override { Tr().SetLanguage(0); }
  Translator& Tr() { return core.App().GetServices().translator; }
  std::unique_ptr<SiteConfigDlg> Editor() {
    SiteConfigDlg::Setup setup;
    setup.ini = &core.App().GetServices().ini;
    setup.prompter = &core.host.prompter;
    setup.translator = &Tr();
    setup.sound = &core.App().GetServices().sound;
    setup.app = &core.App();
    auto dialog = std::make_unique<SiteConfigDlg>(
        std::make_unique<SiteEditor>(*core.App().GetSiteConfig(), &Tr(), 2), setup);
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("tree"));
    const auto found =
        tree->findItems(QStringLiteral("Detector 005"), Qt::MatchExactly | Qt::MatchRecursive);
    if (!found.isEmpty()) tree->setCurrentItem(found.front());
    return dialog;
  }
  // Switches every open window to `language` the way the LANGUAGE command does.
  void Switch(int language) {
    Tr().SetLanguage(language);
    AnnounceLanguageChange();
    QApplication::processEvents();
  }
  DemoCore core;
};

TEST_F(SiteEditorLanguages, EveryWindowFollowsTheLanguageAndNoTextIsClipped) {
  auto editor = Editor();
  TSiteConfig& site = editor->Editor().Site();
  DeviceConfig& d5 = *site.GetDevice(5, DETECTOR);
  FaultConfigDlg faults(d5, Tr());
  AlarmActionsDlg actions(site, d5, Tr(), core.App().GetServices().sound);
  MapSetupDlg mapsetup(core.App(), site, d5, SiteMap::LoopRef(site, 0));
  ZoneConfigDlg zones(site, Tr(), &core.host.prompter, core.host.home.Path());
  QWidget* windows[] = {editor.get(), &faults, &actions, &mapsetup, &zones};
  for (int language : LANGUAGES) {
    Switch(language);
    for (QWidget* w : windows) {
      const QStringList clipped = ClippedTexts(*w);
      EXPECT_TRUE(clipped.isEmpty()) << w->objectName().toStdString() << " in language " << language
                                     << ": " << clipped.join(QStringLiteral(", ")).toStdString();
    }
    // The compact view must fit as well.
    editor->SetFull(false);
    EXPECT_TRUE(ClippedTexts(*editor).isEmpty()) << "compact view in language " << language;
    editor->SetFull(true);
  }

  Switch(4);
  const char* names[] = {"siteconf_de", "faultconfig_de", "alarmactions_de", "mapsetup_de",
                         "zones_de"};
  for (std::size_t i = 0; i < std::size(windows); ++i) {
    EXPECT_TRUE(ClippedTexts(*windows[i]).isEmpty());  // laid out again, then grabbed
    SaveGrab(*windows[i], names[i]);
  }
  // German at once, without reopening anything: the tree, buttons and titles.
  auto* tree = editor->findChild<QTreeWidget*>(QStringLiteral("tree"));
  EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Zentrale 001"));
  EXPECT_FALSE(tree->findItems(QStringLiteral("Melder 005"), Qt::MatchExactly | Qt::MatchRecursive)
                   .isEmpty());
  EXPECT_EQ(editor->findChild<QPushButton*>(QStringLiteral("adddet"))->text(),
            QStringLiteral("Melder hinzufügen"));
  EXPECT_EQ(faults.windowTitle(), QStringLiteral("Kritische Störungen"));
  EXPECT_TRUE(actions.windowTitle().endsWith(QStringLiteral("Melder 005")));
  EXPECT_EQ(zones.windowTitle(), QStringLiteral("Zonen"));
  // The selection survives the relabelling.
  ASSERT_NE(editor->Editor().Selected(), nullptr);
  EXPECT_EQ(editor->Editor().Selected()->GetAddress(), 5u);

  // Refusals speak the operator's language too.
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  Switch(3);
  const auto found =
      tree->findItems(QStringLiteral("Détecteur 005"), Qt::MatchExactly | Qt::MatchRecursive);
  ASSERT_FALSE(found.isEmpty());
  tree->setCurrentItem(found.front());
  editor->findChild<QPushButton*>(QStringLiteral("adddet"))->click();
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_EQ(core.host.prompter.prompts.back().text, Tr().Text(17100));
  EXPECT_NE(core.host.prompter.prompts.back().text,
            "No more detectors to add or detector not selected.");
}

}  // namespace
}  // namespace quillark::test
