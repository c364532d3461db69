#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
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

// E-mail notification as the settings ask for it: a Mail when "Email"/"Enable"
// is on and the mail program is there.
class EMail {
 public:
  EMail(INI& ini, ProgramLauncher& launcher, Prompter& prompter);

  // Builds the mailer again from the settings (start-up, and after the setup
  // dialog's OK); says so when e-mail is on but the mail program is missing.
  void Init();
  bool IsMailAvailable();
  Mail* GetMail() const { return mailer.get(); }

 private:
  INI& ini;
  ProgramLauncher& launcher;
  Prompter& prompter;
  std::unique_ptr<Mail> mailer;
};

// Thrown when no mailer can be made for sending documents.
class MailerUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sends whole files (a saved chart) as attachments of one message to the
// recipient of the settings.
class NMailer {
 public:
  // Throws MailerUnavailable when the mail program cannot be run; says so
  // first when `reportmissing` is set.
  NMailer(INI& ini, ProgramLauncher& launcher, Prompter& prompter, bool reportmissing);

  bool IsMAPIAvailable();
  // `paths` and `names` are lists separated by `delimiter`; a missing name is
  // taken from its path. False when a file could not be read: nothing is sent
  // and `done` is never called. Otherwise `done` gets, from the event loop, 0
  // when the message was handed over, else the mail program's exit status (or
  // why it could not be started).
  bool SendDocuments(const std::string& paths, const std::string& names, char delimiter,
                     std::function<void(int code)> done);

 private:
  INI& ini;
  ProgramLauncher& launcher;
  std::filesystem::path program;
};

}  // namespace quillark
