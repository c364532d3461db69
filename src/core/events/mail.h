#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillark {

class INI;
class ProgramLauncher;
struct LaunchResult;
class Prompter;

// E-mail leaves through a sendmail-compatible program ("Email"/"Sendmail",
// /usr/sbin/sendmail when unset), which reads one message on its standard
// input and takes the recipients from its headers.
std::filesystem::path MailProgram(INI& ini);
// The arguments handed to it: recipients from the headers, and a line holding
// a single dot does not end the message early.
std::vector<std::string> MailProgramArguments();
// The recipient of the settings ("Email"/"Recipient"), cut to a header value.
std::string MailRecipient(INI& ini);
// What the operator is told when the mail program is not there: the failure
// and what to do about it.
std::string MissingMailProgramText(const std::filesystem::path& program);
// The headers every message starts with.
std::string MailHeaders(const std::string& recipient);

// One notification mailer: sends event blocks to the recipient of the
// settings. A failure switches it off for the run unless the operator says to
// go on.
class Mail {
 public:
  static constexpr int RECIPIENTLENGTH = 128;

  // Reads the recipient; takes the mail program only when e-mail is enabled.
  Mail(INI& ini, ProgramLauncher& launcher, Prompter& prompter);
  ~Mail();
  Mail(const Mail&) = delete;
  Mail& operator=(const Mail&) = delete;

  // Not switched off after a failure, and the mail program can be run.
  bool IsMailAvailable();
  // Sends `text` as the body of one message, after every message sent before
  // it. Returns at once; when the mail program fails, e-mail is switched off
  // and the operator is asked whether to keep sending.
  void Send(const std::string& text);
  // Reads recipient and mail program again and forgets an earlier failure;
  // messages already on their way still go out, in order.
  void Reload();

  const std::string& GetRecipient() const { return recipient; }

 private:
  struct Message {
    std::filesystem::path program;
    std::string recipient;
    std::string text;  // headers and body, as the mail program takes it
  };
  void SendNext();
  void Sent(const LaunchResult& result);
  void AskAfterFailure(const Message& message);

  INI& ini;
  ProgramLauncher& launcher;
  Prompter& prompter;
  std::string recipient;
  std::filesystem::path program;  // empty: no mailer
  bool disabled = false;
  int lastcode = 0;
  // Front: the message the mail program is working on while `sending`.
  std::deque<Message> outbox;
  bool sending = false;
  // Launch results may arrive after this mailer was rebuilt or dropped.
  std::shared_ptr<char> alive = std::make_shared<char>();
};

}  // namespace quillark
