#include "core/events/mail.h"

#include <gtest/gtest.h>

#include "core/common/inifile.h"
#include "fakelauncher.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

class MailTest : public ::testing::Test {
 protected:
  TempDir home;
  INIfile ini{home / "quillark.ini"};
  RecordingPrompter prompter;
  FakeLauncher launcher;
};

TEST_F(MailTest, MissingMailProgramIsReportedWhenMailIsWanted) {
  EMail off(ini, launcher, prompter);
  EXPECT_FALSE(off.IsMailAvailable());
  EXPECT_TRUE(prompter.prompts.empty());

  ini.WriteString("Email", "Enable", "1");
  EMail on(ini, launcher, prompter);
  EXPECT_FALSE(on.IsMailAvailable());
  EXPECT_EQ(on.GetMail(), nullptr);
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].text, "Error /usr/sbin/sendmail does not exist");
  EXPECT_EQ(prompter.prompts[0].icon, PromptIcon::STOP);
  // The document mailer needs it whether e-mail is on or not.
  EXPECT_THROW(NMailer(ini, launcher, prompter, false), MailerUnavailable);
  EXPECT_THROW(NMailer(ini, launcher, prompter, true), MailerUnavailable);
  EXPECT_EQ(prompter.prompts.size(), 2u);

  launcher.runnable.insert("/usr/sbin/sendmail");
  on.Init();
  EXPECT_TRUE(on.IsMailAvailable());
  // The program going away later makes mail unavailable, not a crash.
  launcher.runnable.clear();
  EXPECT_FALSE(on.IsMailAvailable());
}

TEST_F(MailTest, RecipientDefaultsAndCannotAddHeaders) {
  ini.WriteString("Email", "Enable", "1");
  launcher.runnable.insert("/usr/sbin/sendmail");
  EXPECT_EQ(Mail(ini, launcher, prompter).GetRecipient(), "** not set **");
  ini.WriteString("Email", "Recipient", std::string(200, 'r'));
  EXPECT_EQ(Mail(ini, launcher, prompter).GetRecipient(), std::string(128, 'r'));
  ini.WriteString("Email", "Recipient", "a@b\tc");
  Mail mail(ini, launcher, prompter);
  EXPECT_EQ(mail.GetRecipient(), "a@bc");
  EXPECT_TRUE(mail.SendMailNotification("x\r\ny\rz"));
  ASSERT_EQ(launcher.calls.size(), 1u);
  const std::string& input = *launcher.calls[0].input;
  EXPECT_EQ(input.substr(0, input.find('\n')), "To: a@bc");
  EXPECT_EQ(input.substr(input.find("\n\n") + 2), "x\ny\nz");
}

TEST_F(MailTest, DocumentsGoAsBase64Attachments) {
  ini.WriteString("Email", "Sendmail", "/opt/mta");
  ini.WriteString("Email", "Recipient", "charts@example.com");
  launcher.runnable.insert("/opt/mta");
  home.Write("a.rcw", "Man");
  home.Write("b.rcw", std::string(57, 'M') + "Ma");
  NMailer mailer(ini, launcher, prompter, true);
  EXPECT_TRUE(mailer.IsMAPIAvailable());
  const std::string paths = (home / "a.rcw").string() + ";" + (home / "b.rcw").string();
  EXPECT_EQ(mailer.SendDocuments(paths, "Chart \"1\".rcw", ';'), 0);
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0].program, "/opt/mta");
  EXPECT_EQ(launcher.calls[0].arguments, MailProgramArguments());
  std::string line57;
  for (int i = 0; i < 19; ++i) line57 += "TU1N";
  EXPECT_EQ(*launcher.calls[0].input,
            "To: charts@example.com\nSubject: Quillark\nMIME-Version: 1.0\n"
            "Content-Type: multipart/mixed; boundary=\"=_quillark_attachment_\"\n\n"
            "--=_quillark_attachment_\nContent-Type: application/octet-stream\n"
            "Content-Transfer-Encoding: base64\n"
            "Content-Disposition: attachment; filename*=UTF-8''Chart%20%221%22.rcw\n\n"
            "TWFu\n"
            "--=_quillark_attachment_\nContent-Type: application/octet-stream\n"
            "Content-Transfer-Encoding: base64\n"
            "Content-Disposition: attachment; filename=\"b.rcw\"\n\n" +
                line57 + "\nTWE=\n--=_quillark_attachment_--\n");

  launcher.result = {true, true, 67, 0};
  EXPECT_EQ(mailer.SendDocuments((home / "a.rcw").string(), "", ';'), 67);
  EXPECT_EQ(mailer.SendDocuments((home / "gone.rcw").string(), "", ';'), -1);
  EXPECT_EQ(launcher.calls.size(), 2u);
}

}  // namespace
}  // namespace quillark::test
