#include "core/events/email.h"
#include "core/events/nmailer.h"

#include <gtest/gtest.h>

#include "core/common/inifile.h"
#include "fakelauncher.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {
namespace {

class MailTest : public ::testing::Test {
 protected:
  void EnableMail() {
    ini.WriteString("Email", "Enable", "1");
    ini.WriteString("Email", "Sendmail", "/opt/mta");
    ini.WriteString("Email", "Recipient", "ops@example.com");
    launcher.runnable.insert("/opt/mta");
  }
  // The bodies of the messages handed to the mail program so far.
  std::vector<std::string> Bodies() const {
    std::vector<std::string> out;
    for (const auto& c : launcher.calls) out.push_back(c.input->substr(c.input->find("\n\n") + 2));
    return out;
  }

  TempDir home;
  INIfile ini{home / "quillark.ini"};
  RecordingPrompter prompter;
  VirtualEventLoop loop;
  FakeLauncher launcher{loop};
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
  EXPECT_EQ(prompter.prompts[0].text.rfind("Error /usr/sbin/sendmail does not exist\n\n", 0), 0u);
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
  mail.Send("x\r\ny\rz");
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
  std::vector<int> codes;
  auto record = [&](int code) { codes.push_back(code); };
  const std::string paths = (home / "a.rcw").string() + ";" + (home / "b.rcw").string();
  EXPECT_TRUE(mailer.SendDocuments(paths, "Chart \"1\".rcw", ';', record));
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
  EXPECT_TRUE(codes.empty());  // only from the event loop
  loop.RunPending();
  EXPECT_EQ(codes, std::vector<int>{0});

  launcher.result = {true, true, 67, 0};
  EXPECT_TRUE(mailer.SendDocuments((home / "a.rcw").string(), "", ';', record));
  EXPECT_FALSE(mailer.SendDocuments((home / "gone.rcw").string(), "", ';', record));
  loop.RunPending();
  EXPECT_EQ(launcher.calls.size(), 2u);
  EXPECT_EQ(codes, (std::vector<int>{0, 67}));
}

TEST_F(MailTest, FailedSendAsksWhenItEndsAndNoStopsTheRest) {
  EnableMail();
  launcher.hold = true;
  Mail mail(ini, launcher, prompter);
  mail.Send("fire");
  mail.Send("fault");
  EXPECT_TRUE(prompter.prompts.empty());

  prompter.answers = {PromptAnswer::NO};
  launcher.Complete({true, true, 75, 0});  // sendmail's "try again later"
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].text,
            "/opt/mta has returned error code 75 sending to 'ops@example.com'.\n\n"
            "Do you want to send Email notifications for this session?.");
  EXPECT_EQ(prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(prompter.prompts[0].buttons, PromptButtons::YES_NO);
  EXPECT_FALSE(mail.IsMailAvailable());
  mail.Send("ignored");
  EXPECT_EQ(Bodies(), std::vector<std::string>{"fire"});

  // Back on (the setup dialog's OK): "fault" went with the "No"; "Yes" goes on
  // with what waited.
  mail.Reload();
  mail.Send("one");
  mail.Send("two");
  prompter.answers = {PromptAnswer::YES};
  launcher.Complete({false, false, -1, 2});  // could not even be started: errno
  EXPECT_EQ(prompter.prompts.size(), 2u);
  EXPECT_NE(prompter.prompts[1].text.find("error code 2 sending"), std::string::npos);
  EXPECT_TRUE(mail.IsMailAvailable());
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"fire", "one", "two"}));
}

TEST_F(MailTest, RebuiltMailerKeepsItsQueueAndADroppedOneHearsNothing) {
  EnableMail();
  launcher.hold = true;
  EMail email(ini, launcher, prompter);
  Mail* mail = email.GetMail();
  mail->Send("fire");
  mail->Send("fault");
  ini.WriteString("Email", "Recipient", "night@example.com");
  email.Init();
  EXPECT_EQ(email.GetMail(), mail);
  launcher.Complete({true, true, 0, 0});
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"fire", "fault"}));
  mail->Send("reset");
  EXPECT_EQ(launcher.calls.back().input->rfind("To: ops@example.com\n", 0), 0u);
  launcher.Complete({true, true, 0, 0});
  EXPECT_EQ(launcher.calls.back().input->rfind("To: night@example.com\n", 0), 0u);

  // Switched off while a message is with the mail program: its end reaches nobody.
  ini.WriteString("Email", "Enable", "0");
  email.Init();
  EXPECT_EQ(email.GetMail(), nullptr);
  launcher.Complete({true, true, 1, 0});
  EXPECT_TRUE(prompter.prompts.empty());
}

}  // namespace
}  // namespace quillark::test
