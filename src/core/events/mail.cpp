#include "core/events/mail.h"

#include <fstream>
#include <iterator>

#include "core/common/ini.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

constexpr const char* DEFAULT_MAILPROGRAM = "/usr/sbin/sendmail";
constexpr const char* SUBJECT = "Quillark";
constexpr const char* NO_RECIPIENT = "** not set **";
// Base64 never uses '_', so this can never occur inside an attachment.
constexpr const char* BOUNDARY = "=_quillark_attachment_";

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

std::string ReadRecipient(INI& ini) {
  char buffer[Mail::RECIPIENTLENGTH + 1];
  ini.ReadString("Email", "Recipient", NO_RECIPIENT, buffer, sizeof buffer);
  return HeaderValue(buffer);
}

std::string Headers(const std::string& recipient) {
  return "To: " + recipient + "\nSubject: " + SUBJECT + "\nMIME-Version: 1.0\n";
}

std::string Base64(const std::string& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t linelength = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += digits[(v >> 18) & 63];
    out += digits[(v >> 12) & 63];
    out += n > 1 ? digits[(v >> 6) & 63] : '=';
    out += n > 2 ? digits[v & 63] : '=';
    linelength += 4;
    if (linelength == 76) {
      out += '\n';
      linelength = 0;
    }
  }
  if (linelength != 0) out += '\n';
  return out;
}

// The attachment's file name parameter: quoted when it is plain ASCII,
// otherwise percent-encoded UTF-8 so that no byte can break the header.
std::string FilenameParameter(const std::string& name) {
  bool plain = !name.empty();
  for (unsigned char c : name)
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') plain = false;
  if (plain) return "filename=\"" + name + "\"";
  static const char* hex = "0123456789ABCDEF";
  std::string out = "filename*=UTF-8''";
  for (unsigned char c : name) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& list, char delimiter) {
  std::vector<std::string> parts;
  if (list.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(delimiter, start);
    parts.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

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
  recipient = ReadRecipient(ini);
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
                    Headers(recipient) +
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

// --- EMail --------------------------------------------------------------------------

EMail::EMail(INI& i, ProgramLauncher& l, Prompter& p) : ini(i), launcher(l), prompter(p) {
  Init();
}

void EMail::Init() {
  // Switched off, or no mail program: messages not yet sent go nowhere.
  if (ini.ReadInt("Email", "Enable", "0") == 0) {
    mailer.reset();
    return;
  }
  const std::filesystem::path program = MailProgram(ini);
  if (!launcher.CanRun(program)) {
    mailer.reset();
    prompter.Show("", "Error " + program.string() + " does not exist", PromptIcon::STOP);
    return;
  }
  // A mailer still sending keeps its queue, so nothing is lost or reordered.
  if (mailer != nullptr)
    mailer->Reload();
  else
    mailer = std::make_unique<Mail>(ini, launcher, prompter);
}

bool EMail::IsMailAvailable() {
  return mailer != nullptr && mailer->IsMailAvailable();
}

// --- NMailer ------------------------------------------------------------------------

NMailer::NMailer(INI& i, ProgramLauncher& l, Prompter& prompter, bool reportmissing)
    : ini(i), launcher(l), program(MailProgram(i)) {
  if (launcher.CanRun(program)) return;
  const std::string message = "Error " + program.string() + " does not exist";
  if (reportmissing) prompter.Show("", message, PromptIcon::STOP);
  throw MailerUnavailable(message);
}

bool NMailer::IsMAPIAvailable() {
  return launcher.CanRun(program);
}

bool NMailer::SendDocuments(const std::string& paths, const std::string& names, char delimiter,
                            std::function<void(int code)> done) {
  const std::vector<std::string> files = Split(paths, delimiter);
  const std::vector<std::string> titles = Split(names, delimiter);
  if (files.empty()) return false;

  std::string message = Headers(ReadRecipient(ini)) + "Content-Type: multipart/mixed; boundary=\"" +
                        BOUNDARY + "\"\n\n";
  for (std::size_t n = 0; n < files.size(); ++n) {
    std::ifstream in(files[n], std::ios::binary);
    if (!in) return false;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return false;
    std::string title = n < titles.size() ? titles[n] : std::string();
    if (title.empty()) title = std::filesystem::path(files[n]).filename().string();
    message += std::string("--") + BOUNDARY +
               "\nContent-Type: application/octet-stream\n"
               "Content-Transfer-Encoding: base64\n"
               "Content-Disposition: attachment; " +
               FilenameParameter(title) + "\n\n" + Base64(bytes);
  }
  message += std::string("--") + BOUNDARY + "--\n";
  launcher.Launch(program, MailProgramArguments(), std::move(message),
                  [done = std::move(done)](const LaunchResult& result) {
                    if (done) done(result.Code());
                  });
  return true;
}

}  // namespace quillark
