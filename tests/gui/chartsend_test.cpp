// SEND of the chart window: the chart saved, then handed to the mail
// program as an attachment; disabled without a mail program.
#include <gtest/gtest.h>

#include <QAction>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "gui/views/chartwindow.h"
#include "guihost.h"

namespace quillark::test {
namespace {

TEST(ChartSend, SendsTheSavedChartThroughTheMailProgramAndIsOffWithoutOne) {
  DemoCore core;
  core.host.prompter.prompts.clear();  // the demonstration notice
  const std::filesystem::path home = core.host.home.Path();
  core.host.Set("Email", "Sendmail", (home / "nowhere").string());
  QWidget parent;
  ChartCommands commands(core.App(), &parent);
  ChartWindow* live = commands.Open(0x005, {});
  core.host.events.Advance(500);
  EXPECT_FALSE(live->SendAction()->isEnabled());
  EXPECT_FALSE(live->Send());
  const std::string rcw = (home / "five.rcw").string();
  ASSERT_TRUE(live->SaveTo(QString::fromStdString(rcw)));

  // A mail program that keeps what it is given.
  const std::filesystem::path script = home / "sendmail";
  std::ofstream(script) << "#!/bin/sh\ncat > \"" << (home / "mailed.txt").string()
                        << ".part\" && mv \"" << (home / "mailed.txt").string() << ".part\" \""
                        << (home / "mailed.txt").string() << "\"\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  core.host.Set("Email", "Sendmail", script.string());
  core.host.Set("Email", "Recipient", "fire@example.org");
  ChartWindow* opened = commands.Open(0, rcw);
  ASSERT_TRUE(opened->SendAction()->isEnabled());
  ASSERT_TRUE(opened->Send());
  // Wait for the message, never for a fixed time.
  std::string mailed;
  AdvanceUntilChildDone(core, [&] {
    if (std::filesystem::exists(home / "mailed.txt")) mailed = core.host.home.Read("mailed.txt");
    return !mailed.empty();
  });
  EXPECT_NE(mailed.find("fire@example.org"), std::string::npos) << mailed;
  EXPECT_NE(mailed.find("five.rcw"), std::string::npos) << mailed;
  for (const auto& prompt : core.host.prompter.prompts) ADD_FAILURE() << prompt.text;
}

}  // namespace
}  // namespace quillark::test
