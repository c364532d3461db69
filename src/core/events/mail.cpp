#include "core/events/mail.h"

#include "core/common/ini.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

constexpr const char* DEFAULT_MAILPROGRAM = "/usr/sbin/sendmail";
constexpr const char* SUBJECT = "Quillark";
constexpr const char* NO_RECIPIENT = "** not set **";

// A header value may not carry line breaks or other controls: they would let
// a setting add headers of its own.
std::string HeaderValue(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
  return out;
}

// Local submission takes Unix line ends; our event blocks use CR LF.
std::string UnixLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string MailRecipient(INI& ini) {
  char buffer[Mail::RECIPIENTLENGTH + 1];
  ini.ReadString("Email", "Recipient", NO_RECIPIENT, buffer, sizeof buffer);
  return HeaderValue(buffer);
}

std::string MissingMailProgramText(const std::filesystem::path& program) {
  return "Error " + program.string() +
         " does not exist\n\nNo e-mail can be sent until a mail program is installed there (any "
         "sendmail-compatible one, such as the msmtp-mta or postfix package), or until "
         "\"Email\"/\"Sendmail\" in the settings names one.";
}

std::string MailHeaders(const std::string& recipient) {
  return "To: " + recipient + "\nSubject: " + SUBJECT + "\nMIME-Version: 1.0\n";
}

std::filesystem::path MailProgram(INI& ini) {
  std::string program = ini.ReadString("Email", "Sendmail", DEFAULT_MAILPROGRAM);
  return program.empty() ? std::filesystem::path(DEFAULT_MAILPROGRAM)
                         : std::filesystem::path(program);
}

std::vector<std::string> MailProgramArguments() {
  return {"-t", "-i"};
}

// --- Mail ---------------------------------------------------------------------------

Mail::Mail(INI& i, ProgramLauncher& l, Prompter& p) : ini(i), launcher(l), prompter(p) {
  Reload();
}

Mail::~Mail() = default;

void Mail::Reload() {
  recipient = MailRecipient(ini);
  program.clear();
  if (ini.ReadInt("Email", "Enable", "0") != 0) program = MailProgram(ini);
  disabled = false;
  SendNext();
}

bool Mail::IsMailAvailable() {
  return !disabled && !program.empty() && launcher.CanRun(program);
}

void Mail::Send(const std::string& text) {
  if (!IsMailAvailable()) return;
  outbox.push_back({program, recipient,
                    MailHeaders(recipient) +
                        "Content-Type: text/plain; charset=UTF-8\n"
                        "Content-Transfer-Encoding: 8bit\n\n" +
                        UnixLines(text)});
  // One mail program at a time: two side by side could hand their messages
  // over in either order, and a fire must never reach the recipient after the
  // reset that followed it. Whatever comes meanwhile waits its turn here.
  SendNext();
}

void Mail::SendNext() {
  if (sending || disabled || outbox.empty()) return;
  sending = true;
  const Message& message = outbox.front();
  launcher.Launch(message.program, MailProgramArguments(), message.text,
                  [this, guard = std::weak_ptr<char>(alive)](const LaunchResult& result) {
                    if (!guard.expired()) Sent(result);
                  });
}

void Mail::Sent(const LaunchResult& result) {
  const Message message = std::move(outbox.front());
  outbox.pop_front();
  sending = false;
  if (!result.Succeeded()) {
    disabled = true;
    lastcode = result.Code();
    const std::weak_ptr<char> guard = alive;
    AskAfterFailure(message);
    if (guard.expired()) return;  // dropped while the operator was asked
    // "No" stops e-mail for the session, the messages queued behind the
    // failed one included.
    if (disabled) {
      outbox.clear();
      return;
    }
  }
  SendNext();
}

void Mail::AskAfterFailure(const Message& message) {
  const std::string question = message.program.string() + " has returned error code " +
                               std::to_string(lastcode) + " sending to '" + message.recipient +
                               "'.\n\nDo you want to send Email notifications for this session?.";
  if (prompter.Show("", question, PromptIcon::STOP, PromptButtons::YES_NO) == PromptAnswer::YES)
    disabled = false;
}

}  // namespace quillark
