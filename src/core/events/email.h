#pragma once

#include <memory>

#include "core/events/mail.h"

namespace quillark {

class INI;
class ProgramLauncher;
class Prompter;

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

}  // namespace quillark
