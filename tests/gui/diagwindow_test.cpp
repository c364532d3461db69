// The diagnostics window over the demo core: the scanned list, its three
// test dialogs, saving, and the transfers opened as files.
#include "gui/diag/diagwindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/mainwindow.h"
#include "core/diag/devicetests.h"
#include "core/diag/diag.h"
#include "core/diag/transfer.h"
#include "gui/common/uitext.h"
#include "guihost.h"

namespace quillark::test {
namespace {

TEST(DiagWindow, ScanOfTheDemoLoopsListsEveryDeviceAndTestsNeedASelectedRow) {
  // Outlives the core, which writes events as it shuts down.
  std::vector<std::string> events;
  DemoCore core;
  core.App().AddEventListener([&](int, const std::string& text) { events.push_back(text); });
  Security& security = *core.App().GetMainWindow()->GetSecurity();
  ASSERT_TRUE(security.LogOn("Engineer", ""));
  {
    DiagWindow window(core.App(), -1);
    // The record names who was let in, even when the level has dropped by
    // the time the window closes.
    security.LogOff();
    window.show();
    window.Scan();
    ASSERT_EQ(window.List()->count(), 254);
    EXPECT_FALSE(core.App().GetBus().IsPollPaused());
    for (int loop = 1; loop <= 2; ++loop)
      for (int address = 1; address <= 127; ++address) {
        const QString name = QString::asprintf("%d-%03d  ", loop, address);
        EXPECT_EQ(window.List()->findItems(name, Qt::MatchStartsWith).size(), 1) << loop << address;
      }
    EXPECT_TRUE(window.List()->item(0)->text().contains("Pelorin 2000 detector"));
    EXPECT_TRUE(window.List()->item(0)->text().endsWith("Untested          Pelorin-Vantor 2"));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(window.TestButton(i)->isEnabled());
    window.List()->setCurrentRow(9);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(window.TestButton(i)->isEnabled());
    SaveGrab(window, "diagnostics");

    const std::filesystem::path path = core.host.home / "list.txt";
    window.SetFileChooser([&] { return path.string(); });
    window.Save();
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string all = buffer.str();
    EXPECT_EQ(all.substr(0, 7), "1-001\tP");
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 254);
    EXPECT_EQ(all.find("\n1-002"), all.find("\r\n1-002") + 1);
  }
  EXPECT_NE(std::find(events.begin(), events.end(), "Enter diagnostics by user 'Engineer'"),
            events.end())
      << (events.empty() ? std::string("none") : events.back());
}

TEST(DiagWindow, TestDialogsSayWhatTheDemoDevicesDoNotAnswer) {
  DemoCore core;
  DiagWindow window(core.App(), 0x0105);
  window.show();
  window.Scan();
  ASSERT_EQ(window.List()->count(), 1);
  window.List()->setCurrentRow(0);
  std::vector<std::string> seen;
  window.SetDialogRunner([&](QDialog& dialog) {
    dialog.show();
    if (auto* test = qobject_cast<SelfTestDialog*>(&dialog)) {
      core.host.events.Advance(Diagnose::POLLMS * Diagnose::SILENTPOLLS);
      seen.push_back(test->Status()->text().toStdString());
      SaveGrab(dialog, "diagnostics-selftest");
    } else if (auto* read = qobject_cast<ReadDialog*>(&dialog)) {
      core.host.events.Advance(ContRead::READMS);
      seen.push_back(read->Field(0)->text().toStdString() + "/" +
                     read->Field(1)->text().toStdString());
      SaveGrab(dialog, "diagnostics-read");
    } else if (auto* relays = qobject_cast<RelayDialog*>(&dialog)) {
      relays->Box(0)->setChecked(true);
      EXPECT_EQ(relays->Core().GetMask(), RelayTest::FIRE2);
      core.host.events.Advance(RelayTest::CONFIRMMS);
      seen.push_back(relays->Problem()->text().toStdString());
      SaveGrab(dialog, "diagnostics-relays");
    }
  });
  window.Diagnostics();
  window.Read();
  window.Relays();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0],
            "Untested\nThe device did not start its self-test: it does not take the self-test "
            "request.");
  EXPECT_EQ(seen[1].size(), 7u) << seen[1];
  EXPECT_EQ(seen[2], "The device did not confirm the relay setting.");
  // Polling is back once the tests are closed.
  EXPECT_FALSE(core.App().GetBus().IsPollPaused());
}

TEST(DiagWindow, OpeningLanguageAndLogoFilesRunsTheTransfersOrSaysWhyNot) {
  DemoCore core;
  ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Engineer", ""));
  DiagCommands commands(core.App(), nullptr);
  int runs = 0;
  commands.SetRunner([&](QDialog& dialog) {
    ++runs;
    auto* transfer = qobject_cast<TransferDialog*>(&dialog);
    ASSERT_NE(transfer, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Sending 100%");
    // Cancel speaks the operator's language, and follows a change at once.
    Translator& tr = core.App().GetServices().translator;
    tr.SetLanguage(4);
    AnnounceLanguageChange();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    auto* cancel = dialog.findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Abbrechen"));
    tr.SetLanguage(0);
    core.host.events.Advance(DeviceTransfer::PAUSEMS * 4);
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  });
  const std::filesystem::path ilt = core.host.home / "texts.ilt";
  std::ofstream(ilt) << "1\n2\n1 Alarm\n2 Fault\n";
  EXPECT_TRUE(core.App().OpenFile(ilt.string()));
  EXPECT_EQ(runs, 1);

  const std::filesystem::path bad = core.host.home / "bad.lgo";
  std::ofstream(bad) << "not a bitmap";
  core.host.prompter.prompts.clear();
  EXPECT_TRUE(core.App().OpenFile(bad.string()));
  ASSERT_EQ(core.host.prompter.prompts.size(), 1u);
  EXPECT_EQ(core.host.prompter.prompts[0].text.substr(0, 35),
            "An error ocurred opening the bitmap");
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace quillark::test
