#include "gui/access/securitydlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "core/access/security.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "guihost.h"

namespace quillark {
namespace {

// Runs `drive` on the modal dialog of type D once its exec() has started.
template <class D, class F>
void WhenShown(F drive) {
  QTimer::singleShot(0, [drive] {
    auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    drive(*dlg);
  });
}

class SecurityDlgTest : public ::testing::Test {
 protected:
  Security& Sec() { return *core.App().GetMainWindow()->GetSecurity(); }
  test::DemoCore core;
};

// Guessing through the dialog is slowed like guessing at the console: OK is
// answered later, with the program running on meanwhile.
TEST_F(SecurityDlgTest, AfterRepeatedFailuresTheDialogAnswersLaterWithoutBlocking) {
  GuiLogOnPrompt prompt;
  Sec().SetLogOnPrompt(&prompt);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(Sec().LogOn("Engineer", "guess"));
  bool answering = false;
  bool ranmeanwhile = false;
  WhenShown<SecurityEntryDlg>([&](SecurityEntryDlg& dlg) {
    dlg.AccessLevel()->setCurrentIndex(2);
    dlg.accept();
    answering = dlg.Answering() && dlg.isVisible();
    QTimer::singleShot(0, [&] { ranmeanwhile = true; });
  });
  EXPECT_TRUE(Sec().HasPermission(SA_DIAGS, true));
  EXPECT_TRUE(answering);
  EXPECT_TRUE(ranmeanwhile);
  EXPECT_EQ(Sec().GetAccessLevel(), 2u);
}

TEST_F(SecurityDlgTest, LogOnDialogListsAccountsAtTheCurrentLevelAndHandsBackTheChoice) {
  GuiLogOnPrompt prompt;
  Sec().SetLogOnPrompt(&prompt);
  ASSERT_EQ(Sec().GetAccessLevel(), 0u);

  WhenShown<SecurityEntryDlg>([](SecurityEntryDlg& dlg) {
    EXPECT_EQ(dlg.AccessLevel()->count(), 4);
    EXPECT_EQ(dlg.AccessLevel()->currentIndex(), 0);
    EXPECT_EQ(dlg.AccessLevel()->itemText(3), QStringLiteral("Administrator"));
    EXPECT_EQ(dlg.Password()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dlg.Password()->text().isEmpty());
    EXPECT_TRUE(dlg.Explanation()->text().startsWith("The correct authorization is required"));
    EXPECT_TRUE(dlg.Explanation()->text().contains("the Engineer level or above"));
    dlg.AccessLevel()->setCurrentIndex(2);
    test::SaveGrab(dlg, "securityentry");
    dlg.accept();
  });
  EXPECT_TRUE(Sec().HasPermission(SA_DIAGS, true));
  EXPECT_EQ(Sec().GetAccessLevel(), 2u);

  // Opened again at level 2, it starts on the Engineer; cancelling changes nothing.
  WhenShown<SecurityEntryDlg>([](SecurityEntryDlg& dlg) {
    EXPECT_EQ(dlg.AccessLevel()->currentIndex(), 2);
    dlg.AccessLevel()->setCurrentIndex(3);
    dlg.reject();
  });
  EXPECT_FALSE(Sec().HasPermission(SA_SITECONF, true));
  EXPECT_EQ(Sec().GetAccessLevel(), 2u);
  Sec().SetLogOnPrompt(nullptr);
}

// Answers every log-on as the administrator, who has no password yet.
class AdministratorPrompt : public LogOnPrompt {
 public:
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>&, std::size_t) override {
    return LogOnAnswer{3, ""};
  }
};

TEST_F(SecurityDlgTest, PasswordDialogKeepsWhatIsTypedOnMovingStoresOnOkAndStaysOnARefusal) {
  AdministratorPrompt admin;
  GuiPasswordEditor editor;
  Sec().SetLogOnPrompt(&admin);
  Sec().SetPasswordEditor(&editor);

  WhenShown<PasswordChangeDlg>([this](PasswordChangeDlg& dlg) {
    EXPECT_EQ(dlg.AccessLevel()->currentIndex(), 0);
    EXPECT_EQ(dlg.Password()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.Password()->maxLength(), 31);
    dlg.Password()->setText("viewer");
    dlg.AccessLevel()->setCurrentIndex(3);  // keeps the Read only password for OK
    EXPECT_TRUE(dlg.Password()->text().isEmpty());

    // A password the store cannot keep is refused: the dialog stays open on
    // the same account, showing what is stored.
    const std::size_t before = core.host.prompter.prompts.size();
    dlg.Password()->setText(QString::fromUtf8("caf\xc3\xa9"));
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_GT(core.host.prompter.prompts.size(), before);
    EXPECT_EQ(dlg.AccessLevel()->currentIndex(), 3);

    dlg.Password()->setText("Adm1n");
    test::SaveGrab(dlg, "passwordchange");
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
  });
  EXPECT_TRUE(Sec().EditPasswords());

  EXPECT_TRUE(Sec().LogOn("Read only", "viewer"));
  EXPECT_TRUE(Sec().LogOn("Administrator", "Adm1n"));
  EXPECT_FALSE(Sec().LogOn("Administrator", ""));

  // Moving to an account shows its stored password, masked.
  WhenShown<PasswordChangeDlg>([](PasswordChangeDlg& dlg) {
    dlg.AccessLevel()->setCurrentIndex(3);
    EXPECT_EQ(dlg.Password()->text(), QStringLiteral("Adm1n"));
    dlg.Password()->setText("ignored");
    dlg.reject();
  });
  EXPECT_TRUE(Sec().EditPasswords());
  EXPECT_TRUE(Sec().LogOn("Administrator", "Adm1n"));
  Sec().SetLogOnPrompt(nullptr);
  Sec().SetPasswordEditor(nullptr);
}

TEST_F(SecurityDlgTest, PasswordDialogCancelAfterMovingOnWritesNothing) {
  AdministratorPrompt admin;
  GuiPasswordEditor editor;
  Sec().SetLogOnPrompt(&admin);
  Sec().SetPasswordEditor(&editor);
  const auto store = Sec().GetPasswordStore();
  ASSERT_FALSE(std::filesystem::exists(store));

  WhenShown<PasswordChangeDlg>([](PasswordChangeDlg& dlg) {
    dlg.Password()->setText("first");
    dlg.AccessLevel()->setCurrentIndex(2);
    dlg.Password()->setText("second");
    dlg.AccessLevel()->setCurrentIndex(0);
    EXPECT_EQ(dlg.Password()->text(), QStringLiteral("first"));  // as typed, before OK
    dlg.reject();
  });
  EXPECT_TRUE(Sec().EditPasswords());
  EXPECT_FALSE(std::filesystem::exists(store));
  EXPECT_TRUE(Sec().LogOn("Read only", ""));
  EXPECT_TRUE(Sec().LogOn("Engineer", ""));
  Sec().SetLogOnPrompt(nullptr);
  Sec().SetPasswordEditor(nullptr);
}

}  // namespace
}  // namespace quillark
