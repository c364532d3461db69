#include "core/events/pager.h"

#include <cstring>

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

void Page::SendTestPage(std::function<void(bool)> done) {
  const std::string password = ReadLimited(ini, "Password", 31);
  const std::optional<Call> call = BuildCall(ReadLimited(ini, "CallCentre", 31), password,
                                             ReadLimited(ini, "Pager", 127), "Test message");
  auto finish = [this, done](bool sent, const std::string& report) {
    prompter.Show("Pager test", report, sent ? PromptIcon::INFORMATION : PromptIcon::STOP);
    if (done) done(sent);
  };
  if (!call) {
    finish(false,
           "The test page was not sent: call centre, password, pager number and message "
           "together are longer than " +
               std::to_string(PARAMETERLENGTH) + " characters.");
    return;
  }
  const std::filesystem::path program = ProgramPath();
  if (!launcher.CanRun(program)) {
    finish(false, "The test page was not sent: there is no pager program at " + program.string() +
                      ".\n\nPaging needs a program called \"pager\" in the program folder, or in "
                      "the folder that \"Directories\"/\"InstallDir\" of the settings names.");
    return;
  }
  // The password is the one thing of the call an onlooker must not read.
  const std::string shown = BuildCall(call->arguments[0], std::string(password.size(), '*'),
                                      call->arguments[2], call->arguments[3])
                                ->parameters;
  const std::string ran = program.string() + " " + shown;
  launcher.Launch(
      program, call->arguments, std::nullopt,
      [guard = std::weak_ptr<char>(alive), finish, ran](const LaunchResult& result) {
        if (guard.expired()) return;
        finish(result.Succeeded(), DescribeTestResult(ran, result));
      },
      TEST_TIMEOUT_MS);
}

std::string Page::DescribeTestResult(const std::string& ran, const LaunchResult& result) {
  std::string how;
  if (result.Succeeded()) {
    how = "The pager program finished without error: the test message is on its way.";
  } else if (!result.started) {
    how =
        "The pager program could not be started: " + std::string(std::strerror(result.error)) + ".";
  } else if (!result.finished) {
    how = "The pager program did not finish within " + std::to_string(TEST_TIMEOUT_MS / 60000) +
          " minutes and was stopped. The modem or the call centre may not be answering.";
  } else if (result.exitcode > 128) {
    how = "The pager program was ended by signal " + std::to_string(result.exitcode - 128) + ".";
  } else {
    how = "The pager program reported failure (exit status " + std::to_string(result.exitcode) +
          "): the message was not sent. Check the call centre number, the password, the pager "
          "number, the port and the modem.";
  }
  return "Ran: " + ran + "\n\n" + how;
}

bool Page::SendPagerNotification(const std::string& text) {
  return IsPagingEnabled() && SendPage(text);
}

}  // namespace quillark
