#include "core/events/email.h"

#include "core/common/ini.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

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
    prompter.Show("", MissingMailProgramText(program), PromptIcon::STOP);
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

}  // namespace quillark
