// The main window, its dialogs and the event log window in the operator's
// language: every text fits in every offered language, an open window takes
// the new words at once, and message boxes name their buttons in it too.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>
#include <optional>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/access/security.h"
#include "core/access/stringtable.h"
#include "core/access/translator.h"
#include "core/app/mainwindow.h"
#include "core/events/notifier.h"
#include "gui/access/languagedlg.h"
#include "gui/access/securitydlg.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "gui/common/progressdialog.h"
#include "gui/common/uitext.h"
#include "gui/comms/commsettingsdlg.h"
#include "gui/events/eventfilterdlg.h"
#include "gui/events/eventlogwindow.h"
#include "gui/events/notifysetupdlg.h"
#include "gui/guiprompter.h"
#include "guihost.h"
#include "textfit.h"

namespace quillark::test {
namespace {

const int LANGUAGES[] = {0, 2, 3, 4, 6, 8, 9, 11, 17};

class WindowLanguage : public ::testing::Test {
 protected:
  WindowLanguage() { core.host.prompter.prompts.clear(); }
  ~WindowLanguage() override { Switch(0); }
  Translator& Tr() { return core.App().GetServices().translator; }
  // Switches the language as the LANGUAGE command does and lets every open
  // window see the change.
  void Switch(int language) {
    Tr().SetLanguage(language);
    AnnounceLanguageChange();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
  }
  EventNotifier& Notifier() { return *core.App().GetMainWindow()->GetNotifier(); }
  DemoCore core;
};

// Each window once, switched through every language while it is open: a
// text that does not fit, or one that stays English where the table has a
// translation, is named with the window and the language.
TEST_F(WindowLanguage, EveryWindowFitsItsTextsInEveryOfferedLanguage) {
  struct Window {
    const char* name;
    std::unique_ptr<QWidget> widget;
    // A text the window shows and the table number it comes from.
    std::function<QString()> shown;
    int id;
  };
  std::vector<Window> windows;
  auto* language = new LanguageDlg(Tr(), core.host.ini);
  windows.push_back({"language", std::unique_ptr<QWidget>(language),
                     [language] { return language->windowTitle(); }, 82600});
  auto* security = new SecurityEntryDlg({"Read only", "Operator", "Engineer", "Administrator"}, 1,
                                        nullptr, "Engineer", &Tr());
  windows.push_back({"security", std::unique_ptr<QWidget>(security),
                     [security] { return security->windowTitle(); }, 82700});
  auto* comms = new CommSettingsDialog(core.host.ini, Tr(), core.host.prompter);
  windows.push_back({"comms", std::unique_ptr<QWidget>(comms),
                     [comms] { return comms->findChild<QGroupBox*>()->title(); }, 83400});
  auto* log = new EventLogWindow(core.App(), 0x101);
  windows.push_back({"eventlog", std::unique_ptr<QWidget>(log),
                     [log] { return log->ButtonAt(EventLogWindow::BN_RELOAD)->text(); }, 84900});
  auto* filter = new EventFilterDialog(EventFilterStruct{}, Tr());
  windows.push_back({"filter", std::unique_ptr<QWidget>(filter),
                     [filter] { return filter->windowTitle(); }, 85500});
  auto* email =
      new EmailSetupDialog(core.host.ini, Notifier().GetMailer(), core.host.prompter, Tr());
  windows.push_back({"email", std::unique_ptr<QWidget>(email),
                     [email] { return email->Enable()->text(); }, 85900});
  auto* pager =
      new PagerSetupDialog(core.host.ini, Notifier().GetPager(), core.App().GetServices().launcher,
                           core.host.prompter, Tr(), core.host.home.Path());
  windows.push_back({"pager", std::unique_ptr<QWidget>(pager),
                     [pager] { return pager->TestButton()->text(); }, 86700});
  auto* progress = new ProgressDialog(Tr());
  windows.push_back({"progress", std::unique_ptr<QWidget>(progress),
                     [progress] { return progress->findChild<QPushButton*>()->text(); }, 82200});

  for (int l : LANGUAGES) {
    Switch(l);
    for (Window& w : windows) {
      const QStringList clipped = ClippedTexts(*w.widget);
      EXPECT_TRUE(clipped.isEmpty())
          << w.name << " in language " << l << ": " << clipped.join(", ").toStdString();
      EXPECT_EQ(w.shown(), Table(w.id, l)) << w.name << " in language " << l;
      // Qt renames standard buttons on a language change; ours stay.
      for (auto* box : w.widget->findChildren<QDialogButtonBox*>()) {
        if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) {
          EXPECT_EQ(cancel->text(), Table(82200, l)) << w.name << " in language " << l;
        }
      }
    }
  }
  // Laid out in the new words before the picture is taken.
  const auto grab = [](QWidget& w, const std::string& name) {
    EXPECT_TRUE(ClippedTexts(w).isEmpty()) << name;
    SaveGrab(w, name);
  };
  Switch(4);
  grab(*security, "security-german");
  grab(*comms, "commsettings-german");
  grab(*log, "eventlog-german");
  grab(*pager, "pager-german");
  grab(*filter, "eventfilter-german");
  Switch(3);
  grab(*comms, "commsettings-french");
  grab(*email, "email-french");
  Switch(17);
  grab(*security, "security-russian");
  Switch(0);
  grab(*security, "security-english");
  grab(*comms, "commsettings-english");
  grab(*log, "eventlog-english");
}

// The LANGUAGE command reaches an event log window that is open: its title,
// buttons and the line under the search box change without reopening it.
TEST_F(WindowLanguage, AnOpenEventLogWindowChangesItsTextsOnTheLanguageCommand) {
  MainFrame frame;
  Desktop desktop(core.App(), core.host.ini, frame);
  frame.Attach(&core.App());
  EventLogWindow log(core.App(), 0x101, {}, &frame);
  log.show();
  log.SearchBox()->setText(QStringLiteral("from:2026-12-09 to:2026-12-01"));
  log.Search();
  ASSERT_TRUE(log.SearchMessage()->text().startsWith(QStringLiteral("Search not done: ")));
  EXPECT_EQ(log.ButtonAt(EventLogWindow::BN_CLOSE)->text(), QStringLiteral("Close"));
  const int selected = log.DeviceBox()->currentIndex();
  EXPECT_EQ(log.DeviceBox()->currentText(), QStringLiteral("Detector 001"));

  AnswerLogOn administrator("Administrator");
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(&administrator);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<LanguageDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Set language"));
    dialog->Languages()->setCurrentIndex(dialog->Languages()->findText("German"));
    dialog->accept();
  });
  frame.Action(CMD_LANGUAGE)->trigger();
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
  ASSERT_EQ(Tr().GetCurrentLanguage(), 4);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);

  EXPECT_TRUE(log.windowTitle().startsWith(QStringLiteral("Ereignisprotokolle")))
      << log.windowTitle().toStdString();
  EXPECT_EQ(log.ButtonAt(EventLogWindow::BN_CLOSE)->text(), QStringLiteral("Schließen"));
  EXPECT_EQ(log.ButtonAt(EventLogWindow::BN_RELOAD)->text(), QStringLiteral("&Neu laden"));
  // The device selector relabels its entries and keeps the one chosen.
  EXPECT_EQ(log.DeviceBox()->currentIndex(), selected);
  EXPECT_EQ(log.DeviceBox()->currentText(), QStringLiteral("Melder 001"));
  EXPECT_EQ(log.DeviceBox()->itemText(0), QStringLiteral("Zentrale"));
  EXPECT_EQ(log.DeviceBox()->itemText(log.DeviceBox()->count() - 1), QStringLiteral("Alle Melder"));
  // The reason changes language too; the keywords in it stay as typed.
  EXPECT_EQ(log.SearchMessage()->text(),
            QStringLiteral("Suche nicht ausgeführt: from: liegt nach to:"));
  // The open window grows to its longer German words once its layout runs.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  EXPECT_TRUE(ClippedTexts(log).isEmpty()) << ClippedTexts(log).join(", ").toStdString();
  SaveGrab(log, "eventlog-refused-german");
  EXPECT_EQ(desktop.Help().windowTitle(), QStringLiteral("Quillark-Hilfe"));
  // The status field still says the program is starting, now in German,
  // and the toolbar is named in German.
  EXPECT_EQ(frame.findChild<QToolBar*>()->windowTitle(), QStringLiteral("Befehle"));

  log.SearchBox()->setText(QString());
  log.Search();
  EXPECT_FALSE(log.SearchMessage()->isVisibleTo(&log));
  log.hide();
}

TEST_F(WindowLanguage, TheMainWindowShowsItsOwnTextsInTheLanguageItStartsIn) {
  Tr().SetLanguage(4);
  MainFrame frame;
  EXPECT_EQ(frame.StatusText(), QStringLiteral("Initialising..."));
  Desktop desktop(core.App(), core.host.ini, frame);
  frame.Attach(&core.App());
  frame.resize(1000, 400);
  frame.show();
  EXPECT_EQ(frame.StatusText(), QStringLiteral("Initialisierung..."));
  SaveGrab(frame, "mainframe-status-german");
  // A status from communications is shown as it comes and no longer
  // replaced by the starting text on a language change.
  frame.SetStatusText("Kommunikation OK", RGB_BLACK, RGB_LIGHTYELLOW);
  Switch(0);
  frame.Retranslate();
  EXPECT_EQ(frame.StatusText(), QStringLiteral("Kommunikation OK"));
  EXPECT_EQ(frame.findChild<QToolBar*>()->windowTitle(), QStringLiteral("Commands"));
  SaveGrab(frame, "mainframe-status-english");
  frame.hide();
}

// Runs `drive` on the message box once its exec() has started.
void WhenBox(std::function<void(QMessageBox&)> drive) {
  QTimer::singleShot(0, [drive] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    drive(*box);
  });
}

QStringList ButtonTexts(QMessageBox& box) {
  QStringList texts;
  for (QAbstractButton* b : box.buttons()) texts << b->text();
  texts.sort();
  return texts;
}

TEST_F(WindowLanguage, MessageBoxesAndQuestionsNameTheirButtonsInTheLanguage) {
  QWidget owner;
  GuiPrompter prompter(&owner);
  prompter.SetTranslator(&Tr());
  Tr().SetLanguage(3);
  QStringList shown;
  WhenBox([&](QMessageBox& box) {
    shown = ButtonTexts(box);
    box.button(QMessageBox::No)->click();
  });
  EXPECT_EQ(prompter.Show("", "?", PromptIcon::QUESTION, PromptButtons::YES_NO_CANCEL),
            PromptAnswer::NO);
  EXPECT_EQ(shown, (QStringList{"Annuler", "Non", "Oui"}));

  // Without a translator the words stay English.
  GuiPrompter bare(&owner);
  Tr().SetLanguage(4);
  WhenBox([&](QMessageBox& box) {
    shown = ButtonTexts(box);
    box.button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(bare.Show("", "!", PromptIcon::STOP, PromptButtons::OK_CANCEL), PromptAnswer::OK);
  EXPECT_EQ(shown, (QStringList{"Cancel", "OK"}));

  // The desktop's confirmation before a mass command: German, No first.
  MainFrame frame;
  Desktop desktop(core.App(), core.host.ini, frame);
  frame.Attach(&core.App());
  core.host.events.Advance(100);  // the first frame builds the device display
  core.App().GetSelection().Empty();
  core.App().GetSelection().InsertInternalAddress(6);
  AnswerLogOn administrator("Administrator");
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(&administrator);
  WhenBox([&](QMessageBox& box) {
    shown = ButtonTexts(box);
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    box.defaultButton()->click();
  });
  EXPECT_EQ(core.App().ExecuteCommand(CMD_ISOLATESELECTED), TDockingApp::CommandResult::CANCELLED);
  core.App().GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
  EXPECT_EQ(shown, (QStringList{"Ja", "Nein"}));
}

}  // namespace
}  // namespace quillark::test
