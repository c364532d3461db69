#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace quillark {

class INI;
class ProgramLauncher;
class Prompter;

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
