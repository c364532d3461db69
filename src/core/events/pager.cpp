#include "core/events/pager.h"

#include "core/common/ini.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

std::string ReadLimited(INI& ini, const char* key, int size) {
  std::string buffer(static_cast<std::size_t>(size), '\0');
  const int n = ini.ReadString("Pager", key, "", buffer.data(), size);
  buffer.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return buffer;
}

}  // namespace

std::optional<Page::Call> Page::BuildCall(const std::string& callcentre,
                                          const std::string& password, const std::string& pager,
                                          const std::string& text) {
  // Event texts are padded with blanks; a run of three ends what is worth paging.
  const std::string message = text.substr(0, text.find("   "));
  Call call;
  call.parameters =
      "\"" + callcentre + "\" \"" + password + "\" \"" + pager + "\" \"" + message + "\"";
  if (call.parameters.size() > PARAMETERLENGTH) return std::nullopt;
  call.arguments = {callcentre, password, pager, message};
  return call;
}

Page::Page(INI& i, ProgramLauncher& l, Prompter& p, std::filesystem::path h)
    : ini(i), launcher(l), prompter(p), home(std::move(h)) {
  Init();
}

std::filesystem::path Page::ProgramPath() {
  const std::string dir = ini.ReadString("Directories", "InstallDir", "");
  // A relative directory is taken in the program home, like every other file.
  return (dir.empty() ? home : home / dir) / "pager";
}

void Page::Init() {
  available = launcher.CanRun(ProgramPath());
  enabled = available && ini.ReadInt("Pager", "Enable", "0") != 0;
}

Page::Outcome Page::Launch(const std::string& text, bool showparameters) {
  const std::optional<Call> call =
      BuildCall(ReadLimited(ini, "CallCentre", 31), ReadLimited(ini, "Password", 31),
                ReadLimited(ini, "Pager", 127), text);
  if (!call) return Outcome::TOOLONG;
  const std::filesystem::path program = ProgramPath();
  if (showparameters) prompter.Show(program.string(), call->parameters, PromptIcon::STOP);
  const LaunchResult result = launcher.Start(program, call->arguments);
  if (result.started) return Outcome::SENT;
  enabled = false;
  lastcode = result.Code();
  return Outcome::FAILED;
}

void Page::ReportFailure() {
  prompter.Show("",
                "Error " + std::to_string(lastcode) +
                    " sending message to pager. Paging will be disabled for this session.",
                PromptIcon::STOP);
}

bool Page::SendPage(const std::string& text) {
  const Outcome outcome = Launch(text, false);
  if (outcome == Outcome::FAILED) ReportFailure();
  return outcome == Outcome::SENT;
}

bool Page::SendTestPage() {
  const Outcome outcome = Launch("Test message", true);
  if (outcome == Outcome::FAILED) ReportFailure();
  return outcome == Outcome::SENT;
}

bool Page::SendPagerNotification(const std::string& text) {
  return IsPagingEnabled() && SendPage(text);
}

}  // namespace quillark
