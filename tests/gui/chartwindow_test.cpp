#include "gui/views/chartwindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "core/views/chartsource.h"
#include "guihost.h"

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

}  // namespace
}  // namespace quillark::test
