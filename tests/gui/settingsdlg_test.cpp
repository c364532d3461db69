// The settings dialogs of notification and communications: each stores
// exactly its own settings, and the communication settings take effect.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <fstream>
#include <map>
#include <sstream>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/app/mainwindow.h"
#include "core/events/email.h"
#include "core/events/notifier.h"
#include "core/events/pager.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "gui/comms/commsettingsdlg.h"
#include "gui/events/notifysetupdlg.h"
#include "gui/status/busdispwindow.h"
#include "gui/views/bargraphview.h"
#include "guihost.h"

namespace quillark::test {
namespace {

// The settings file as section/key -> value, to compare before and after.
std::map<std::string, std::string> Settings(const std::filesystem::path& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path, std::ios::binary);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const auto eq = line.find('=');
    if (eq != std::string::npos) values[section + "/" + line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// What changed between two readings: key -> new value ("<gone>" if removed).
std::map<std::string, std::string> Changes(const std::map<std::string, std::string>& before,
                                           const std::map<std::string, std::string>& after) {
  std::map<std::string, std::string> changes;
  for (const auto& [k, v] : after) {
    auto it = before.find(k);
    if (it == before.end() || it->second != v) changes[k] = v;
  }
  for (const auto& [k, v] : before)
    if (!after.count(k)) changes[k] = "<gone>";
  return changes;
}

class SettingsDialogs : public ::testing::Test {
 protected:
  std::filesystem::path IniPath() { return core.host.home / "quillark.ini"; }
  EventNotifier& Notifier() { return *core.App().GetMainWindow()->GetNotifier(); }
  DemoCore core;
};

TEST_F(SettingsDialogs, EmailOkStoresRecipientAndEnableOnlyAndMakesTheMailerAgain) {
  EmailSetupDialog dialog(core.host.ini, Notifier().GetMailer(), core.host.prompter,
                          core.App().GetServices().translator);
  EXPECT_EQ(dialog.Recipient()->text(), QString());
  EXPECT_FALSE(dialog.Enable()->isChecked());
  EXPECT_EQ(dialog.Recipient()->maxLength(), 128);
  // Switched on with nobody to send to: refused at OK, not found at an alarm.
  dialog.Enable()->setChecked(true);
  const auto untouched = Settings(IniPath());
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_NE(core.host.prompter.prompts.back().text.find("has no recipient"), std::string::npos);
  EXPECT_TRUE(Changes(untouched, Settings(IniPath())).empty());
  dialog.Recipient()->setText(QStringLiteral("duty@plant.example"));
  dialog.Enable()->setChecked(true);
  dialog.show();
  SaveGrab(dialog, "emailsetup");
  // The mail program named in the settings is missing: Init says so.
  core.host.ini.WriteString("Email", "Sendmail", "/nonexistent/sendmail");
  const auto mid = Settings(IniPath());
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(Changes(mid, Settings(IniPath())),
            (std::map<std::string, std::string>{{"Email/Recipient", "duty@plant.example"},
                                                {"Email/Enable", "1"}}));
  ASSERT_FALSE(core.host.prompter.prompts.empty());
  EXPECT_NE(core.host.prompter.prompts.back().text.find("does not exist"), std::string::npos);
  EXPECT_EQ(Notifier().GetMailer()->GetMail(), nullptr);

  // Cancel stores nothing.
  EmailSetupDialog again(core.host.ini, Notifier().GetMailer(), core.host.prompter,
                         core.App().GetServices().translator);
  EXPECT_EQ(again.Recipient()->text(), QStringLiteral("duty@plant.example"));
  again.Recipient()->setText(QStringLiteral("other"));
  const auto now = Settings(IniPath());
  again.reject();
  EXPECT_TRUE(Changes(now, Settings(IniPath())).empty());
}

TEST_F(SettingsDialogs, PagerOkAndApplyStoreTheSevenKeysAndTestSendsATestMessage) {
  // A pager program that notes what it was given.
  const auto pager = core.host.home / "pager";
  const auto out = core.host.home / "paged.txt";
  {
    std::ofstream script(pager);
    // Written aside and renamed, so the test never reads a half-written file.
    script << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out.string() << ".part' && mv '"
           << out.string() << ".part' '" << out.string() << "'\n";
  }
  std::filesystem::permissions(pager, std::filesystem::perms::owner_all);
  Notifier().GetPager()->Init();

  const auto before = Settings(IniPath());
  PagerSetupDialog dialog(core.host.ini, Notifier().GetPager(), core.App().GetServices().launcher,
                          core.host.prompter, core.App().GetServices().translator,
                          core.host.home.Path());
  EXPECT_EQ(dialog.Port()->currentIndex(), -1);  // none chosen yet
  EXPECT_EQ(dialog.BaudRate()->count(), 4);
  EXPECT_EQ(dialog.Port()->itemText(3), QStringLiteral("COM4"));
  dialog.CallCentre()->setText(QStringLiteral("0800123"));
  dialog.Password()->setText(QStringLiteral("pw"));
  dialog.PagerNumber()->setText(QStringLiteral("555"));
  dialog.BaudRate()->setCurrentIndex(3);
  dialog.Format()->setCurrentIndex(1);
  dialog.Port()->setCurrentIndex(1);
  dialog.Enable()->setChecked(true);
  dialog.show();
  SaveGrab(dialog, "pagersetup");

  int topic = 0;
  dialog.SetHelpHandler([&](int t) { topic = t; });
  dialog.HelpButton()->click();
  EXPECT_EQ(topic, 109);

  dialog.ApplyButton()->click();
  const std::map<std::string, std::string> seven = {{"Pager/CallCentre", "0800123"},
                                                    {"Pager/Password", "pw"},
                                                    {"Pager/Pager", "555"},
                                                    {"Pager/BaudRate", "3"},
                                                    {"Pager/Format", "1"},
                                                    {"Pager/Port", "2"},
                                                    {"Pager/Enable", "1"}};
  EXPECT_EQ(Changes(before, Settings(IniPath())), seven);
  // Applied settings are in force at once.
  EXPECT_TRUE(Notifier().GetPager()->IsPagingEnabled());

  const auto prompts = core.host.prompter.prompts.size();
  dialog.TestButton()->click();
  EXPECT_FALSE(dialog.TestButton()->isEnabled());  // one test at a time
  // The report comes when the pager program has ended.
  // The launcher watches its children on the program's (virtual) clock, and
  // the dialog drops its tester through Qt's queue.
  for (int i = 0; i < 500 && dialog.IsTesting(); ++i) {
    core.host.events.Advance(100);
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  ASSERT_FALSE(dialog.IsTesting());
  EXPECT_TRUE(dialog.TestButton()->isEnabled());
  ASSERT_EQ(core.host.prompter.prompts.size(), prompts + 1);
  EXPECT_EQ(core.host.prompter.prompts.back().text,
            "Ran: " + pager.string() +
                " \"0800123\" \"**\" \"555\" \"Test message\"\n\nThe pager program finished "
                "without error: the test message is on its way.");
  std::ifstream paged(out);
  std::string args;
  std::getline(paged, args);
  EXPECT_EQ(args, "0800123|pw|555|Test message|");

  dialog.Enable()->setChecked(false);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  auto changed = seven;
  changed["Pager/Enable"] = "0";
  EXPECT_EQ(Changes(before, Settings(IniPath())), changed);
  EXPECT_FALSE(Notifier().GetPager()->IsPagingEnabled());
}

// Sixteen loops on a small screen: the ports scroll, OK stays on the screen,
// and no field is cut.
TEST_F(SettingsDialogs, CommSettingsFitTheScreenWithSixteenLoops) {
  CommSettingsDialog dialog(core.host.ini, core.App().GetServices().translator, core.host.prompter);
  dialog.Loops()->setValue(16);
  dialog.show();
  dialog.FitPortsTo(600);
  dialog.adjustSize();
  EXPECT_LE(dialog.height(), 600 - 30);  // a title bar still fits above it
  const auto* ports = dialog.findChild<QScrollArea*>();
  ASSERT_NE(ports, nullptr);
  const QWidget* field = dialog.PortValue(15);
  EXPECT_LE(field->mapTo(ports->viewport(), QPoint(field->width(), 0)).x(),
            ports->viewport()->width());
  SaveGrab(dialog, "commsettings-sixteen");
}

TEST_F(SettingsDialogs, CommSettingsStoreWhatChangedAndRefuseAPortThatCannotWork) {
  const auto before = Settings(IniPath());
  CommSettingsDialog dialog(core.host.ini, core.App().GetServices().translator, core.host.prompter);
  const int loops = dialog.Loops()->value();
  ASSERT_GE(loops, 1);
  ASSERT_EQ(dialog.PortType(0)->count(), 4);
  EXPECT_EQ(dialog.PortType(0)->itemText(0), QStringLiteral("COM port"));
  EXPECT_EQ(dialog.PortType(0)->itemText(3), QStringLiteral("Orvale HLI"));
  EXPECT_EQ(dialog.RxBuff()->text(), before.count("Comm/RxBuff")
                                         ? QString::fromStdString(before.at("Comm/RxBuff"))
                                         : QStringLiteral("4096"));
  dialog.show();
  EXPECT_TRUE(dialog.PortValue(loops - 1)->isVisible());
  EXPECT_FALSE(dialog.PortValue(loops)->isVisible());
  dialog.Loops()->setValue(loops + 1);
  EXPECT_TRUE(dialog.PortValue(loops)->isVisible());

  // A new type brings its own default value.
  dialog.PortType(loops)->setCurrentIndex(PORT_NETCONTROL);
  EXPECT_EQ(dialog.PortValue(loops)->text(), QStringLiteral("1, unknown"));
  dialog.PortValue(loops)->setText(QStringLiteral("nonsense"));
  dialog.Monitor()->setChecked(true);
  SaveGrab(dialog, "commsettings");

  const auto prompts = core.host.prompter.prompts.size();
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(core.host.prompter.prompts.size(), prompts + 1);
  EXPECT_EQ(
      core.host.prompter.prompts.back().text.rfind("Loop " + std::to_string(loops + 1) + ": ", 0),
      0u);
  EXPECT_TRUE(Changes(before, Settings(IniPath())).empty());

  dialog.PortValue(loops)->setText(QStringLiteral("2,plant-pc"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const std::string n = std::to_string(loops + 1);
  EXPECT_EQ(Changes(before, Settings(IniPath())),
            (std::map<std::string, std::string>{{"Comm/Loops", std::to_string(loops + 1)},
                                                {"Comm/Loop" + n + "PortType", "2"},
                                                {"Comm/Loop" + n + "Port", "2,plant-pc"},
                                                {"NetworkMonitoring/Enable", "1"}}));
}

TEST_F(SettingsDialogs, CommandsOpenTheWindowsAndCommSettingsOkRebuildsTheLoopsAndDisplay) {
  TDockingApp& app = core.App();
  MainFrame frame;
  frame.resize(1000, 700);
  Desktop desktop(app, core.host.ini, frame);
  frame.Attach(&app);
  core.host.events.Advance(100);
  ASSERT_NE(desktop.View(), nullptr);
  AnswerLogOn admin("Administrator");
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(&admin);

  // The bus viewer: one window, however often it is asked for.
  ASSERT_EQ(app.ExecuteCommand(CMD_BUSDISPLAY), TDockingApp::CommandResult::DONE);
  BusDispWindow* viewer = desktop.BusViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  app.ExecuteCommand(CMD_BUSDISPLAY);
  EXPECT_EQ(desktop.BusViewer(), viewer);
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(desktop.BusViewer(), nullptr);
  EXPECT_EQ(app.GetBus().GetBusViewer(), nullptr);
  app.ExecuteCommand(CMD_BUSDISPLAY);
  ASSERT_NE(desktop.BusViewer(), nullptr);

  // E-mail and pager settings open their dialogs.
  for (int id : {CMD_EMAIL, CMD_PAGER}) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      seen = qobject_cast<EmailSetupDialog*>(modal) != nullptr ||
             qobject_cast<PagerSetupDialog*>(modal) != nullptr;
      if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    });
    EXPECT_EQ(app.ExecuteCommand(id), TDockingApp::CommandResult::DONE);
    EXPECT_TRUE(seen) << id;
  }

  // Communications settings: one loop more, and a shorter failure time-out.
  const int loops = app.GetMainWindow()->GetCommHandler()->GetLoops();
  const BargraphView* oldview = desktop.View();
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<CommSettingsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->Loops()->setValue(loops + 1);
    d->Timeout()->setText(QStringLiteral("4321"));
    d->accept();
  });
  EXPECT_EQ(app.ExecuteCommand(CMD_COMMUNICATIONSETTINGS), TDockingApp::CommandResult::DONE);
  CommHandler* comms = app.GetMainWindow()->GetCommHandler();
  EXPECT_EQ(comms->GetLoops(), loops + 1);
  EXPECT_EQ(comms->GetPort(0)->GetCommFailTimeout(), 4321u);
  EXPECT_FALSE(app.GetBus().IsPollPaused());
  ASSERT_NE(desktop.View(), nullptr);
  EXPECT_NE(desktop.View(), oldview);
  // The new display stays once the old one is gone: frames arriving do not
  // build it again.
  BargraphView* newview = desktop.View();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(app.GetBus().GetMainDisplay(), &newview->GetBargraph());
  core.host.events.Advance(1000);
  EXPECT_EQ(desktop.View(), newview);
  EXPECT_EQ(app.GetBus().GetMainDisplay(), &newview->GetBargraph());
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
}

}  // namespace
}  // namespace quillark::test
