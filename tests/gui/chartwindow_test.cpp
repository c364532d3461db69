#include "gui/views/chartwindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/access/stringtable.h"
#include "core/access/translator.h"
#include "core/views/chartsource.h"
#include "gui/common/uitext.h"
#include "guihost.h"
#include "textfit.h"

namespace quillark::test {
namespace {

TEST(ChartWindowTest, ReadsTheDetectorsLogAndSavesItInEveryFormat) {
  DemoCore core;
  QWidget parent;
  ChartCommands commands(core.App(), &parent);
  ChartWindow* live = commands.Open(0x005, {});
  core.host.events.Advance(500);  // the demonstration loop answers
  const Chart& chart = live->Source().GetChart();
  ASSERT_EQ(chart.samples.size(), 95u);
  EXPECT_EQ(live->Picture().width(), 95 + ChartWindow::MARGIN);
  EXPECT_TRUE(live->SaveAction()->isEnabled());
  EXPECT_EQ(live->DetectorMenu()->actions().size(), 1);
  EXPECT_EQ(live->SampleInfo(94).left(18), QStringLiteral("12:17:44  18/06/99"));
  EXPECT_TRUE(live->SampleInfo(95).isEmpty());
  live->resize(700, 330);
  SaveGrab(*live, "chart");

  const std::string rcw = (core.host.home / "five.rcw").string();
  ASSERT_TRUE(live->SaveTo(QString::fromStdString(rcw)));
  ASSERT_TRUE(live->SaveTo(QString::fromStdString((core.host.home / "five.csv").string())));
  EXPECT_EQ(live->FileName().toStdString(), rcw);  // the export leaves the name
  EXPECT_EQ(core.host.home.Read("five.csv").rfind("Chart recording\r\n", 0), 0u);

  // Opening the file shows the same chart, with its name in the title.
  ChartWindow* opened = commands.Open(0, rcw);
  EXPECT_EQ(opened->Source().GetChart().samples, chart.samples);
  EXPECT_TRUE(opened->windowTitle().endsWith(QStringLiteral("[five.rcw]")));
  EXPECT_FALSE(opened->Source().IsLive());
}

TEST(ChartWindowTest, ADamagedFileIsSaidAndLeavesNothingToSave) {
  DemoCore core;
  core.host.home.Write("bad.rcw", std::string(40, 'x'));
  QWidget parent;
  ChartCommands commands(core.App(), &parent);
  const auto before = core.host.prompter.prompts.size();
  ChartWindow* w = commands.Open(0, (core.host.home / "bad.rcw").string());
  ASSERT_EQ(core.host.prompter.prompts.size(), before + 1);
  EXPECT_EQ(core.host.prompter.prompts.back().caption, "read error");
  EXPECT_EQ(core.host.prompter.prompts.back().text, "Bad file version.");
  EXPECT_TRUE(w->Source().GetChart().samples.empty());
  EXPECT_FALSE(w->SaveAction()->isEnabled());
  EXPECT_FALSE(w->SaveAsAction()->isEnabled());
  // Closing the owner closes its charts before the bus goes.
}

TEST(ChartWindowTest, FollowsEveryLanguageAtOnceAndEveryTextFits) {
  DemoCore core;
  Translator& tr = core.App().GetServices().translator;
  QWidget parent;
  ChartCommands commands(core.App(), &parent);
  ChartWindow* live = commands.Open(0x005, {});
  core.host.events.Advance(500);
  ASSERT_FALSE(live->Source().GetChart().samples.empty());
  live->statusBar()->showMessage(live->SampleInfo(10));
  for (int language : {0, 2, 3, 4, 6, 8, 9, 11, 17}) {
    SCOPED_TRACE(language);
    tr.SetLanguage(language);
    AnnounceLanguageChange();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    // Menus, commands, the detector list, the title and the readout change
    // without reopening the window; the old readout does not linger.
    EXPECT_EQ(live->DetectorMenu()->title(), Table(87700, language));
    EXPECT_EQ(live->SaveAsAction()->text(), Table(87300, language));
    EXPECT_EQ(live->SendAction()->text(), Table(87400, language));
    ASSERT_EQ(live->DetectorMenu()->actions().size(), 1);
    EXPECT_EQ(live->DetectorMenu()->actions()[0]->text(),
              Table(16900, language) + QStringLiteral(" &5"));
    EXPECT_TRUE(live->windowTitle().startsWith(Table(51100, language)));
    EXPECT_TRUE(live->statusBar()->currentMessage().isEmpty());
    const QString info = live->SampleInfo(10);
    EXPECT_TRUE(info.contains(Table(88400, language))) << info.toStdString();
    EXPECT_TRUE(info.contains(Table(88500, language))) << info.toStdString();
    // The demonstration detector records every 20 minutes: 200 minutes a division.
    EXPECT_TRUE(info.endsWith(Table(89480, language).replace(QStringLiteral("%u"), "200")))
        << info.toStdString();
    EXPECT_TRUE(ClippedTexts(*live).isEmpty()) << ClippedTexts(*live).join(',').toStdString();
    // Every menu title has room on the bar (none pushed into the overflow).
    for (QAction* menu : live->menuBar()->actions()) {
      const QRect r = live->menuBar()->actionGeometry(menu);
      EXPECT_TRUE(!r.isEmpty() && r.right() < live->menuBar()->width())
          << menu->text().toStdString();
    }
  }
  tr.SetLanguage(0);
}

TEST(ChartWindowTest, TheMailProgramsFailureIsSaidInTheOperatorsLanguage) {
  DemoCore core;
  core.host.prompter.prompts.clear();  // the demonstration notice
  const std::filesystem::path home = core.host.home.Path();
  const std::filesystem::path script = home / "sendmail";
  std::ofstream(script) << "#!/bin/sh\ncat > /dev/null\nexit 3\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  core.host.Set("Email", "Sendmail", script.string());
  core.host.Set("Email", "Recipient", "fire@example.org");
  QWidget parent;
  ChartCommands commands(core.App(), &parent);
  ChartWindow* live = commands.Open(0x005, {});
  core.host.events.Advance(500);
  ASSERT_TRUE(live->SaveTo(QString::fromStdString((home / "five.rcw").string())));
  core.App().GetServices().translator.SetLanguage(4);
  ASSERT_TRUE(live->Send());
  // Wait for the mail program's end to be reported.
  AdvanceUntilChildDone(core, [&] { return !core.host.prompter.prompts.empty(); });
  ASSERT_EQ(core.host.prompter.prompts.size(), 1u);
  EXPECT_EQ(core.host.prompter.prompts[0].text,
            Table(88600, 4).replace(QStringLiteral("%d"), QStringLiteral("3")).toStdString());
  core.App().GetServices().translator.SetLanguage(0);
}

}  // namespace
}  // namespace quillark::test
