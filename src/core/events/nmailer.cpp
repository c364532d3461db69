#include "core/events/nmailer.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "core/common/ini.h"
#include "core/events/mail.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

// Base64 never uses '_', so this can never occur inside an attachment.
constexpr const char* BOUNDARY = "=_quillark_attachment_";

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

NMailer::NMailer(INI& i, ProgramLauncher& l, Prompter& prompter, bool reportmissing)
    : ini(i), launcher(l), program(MailProgram(i)) {
  if (launcher.CanRun(program)) return;
  const std::string message = MissingMailProgramText(program);
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

  std::string message = MailHeaders(MailRecipient(ini)) +
                        "Content-Type: multipart/mixed; boundary=\"" + BOUNDARY + "\"\n\n";
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
