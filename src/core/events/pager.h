#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillark {

class INI;
struct LaunchResult;
class ProgramLauncher;
class Prompter;

// Pager notification through the external program `pager` in
// "Directories"/"InstallDir" (the program home when unset). The program gets
// call centre, password, pager number and message as its four arguments; the
// same four quoted and joined make the parameter string, which may not pass
// 255 characters. It reads baud rate, format and port from the settings itself.
class Page {
 public:
  static constexpr int PARAMETERLENGTH = 255;

  // What one call to the pager program needs.
  struct Call {
    std::string parameters;  // "\"centre\" \"password\" \"pager\" \"text\""
    std::vector<std::string> arguments;
  };
  // Builds the call; the message is cut before the first three blanks in a
  // row. None when the parameter string would be longer than PARAMETERLENGTH.
  static std::optional<Call> BuildCall(const std::string& callcentre, const std::string& password,
                                       const std::string& pager, const std::string& text);

  enum class Outcome { SENT, TOOLONG, FAILED };

  Page(INI& ini, ProgramLauncher& launcher, Prompter& prompter, std::filesystem::path home);

  // Re-reads availability (the program is there) and "Pager"/"Enable"; a page
  // that failed earlier in the run is forgotten.
  void Init();
  bool IsPagingAvailable() const { return available; }
  bool IsPagingEnabled() const { return available && enabled; }

  // The setup dialog's Test: runs the pager program with "Test message",
  // waits for it to end without holding anything up, then tells the operator
  // what was run (password masked) and in plain words how it went. `done`
  // (may be empty) hears whether the program ran to a clean end.
  static constexpr std::uint32_t TEST_TIMEOUT_MS = 120000;
  void SendTestPage(std::function<void(bool)> done = {});
  // The report of a test page, from the command shown and how it ended.
  static std::string DescribeTestResult(const std::string& ran, const LaunchResult& result);
  // Sends `text` when paging is enabled; false when it was not sent.
  bool SendPagerNotification(const std::string& text);
  // Sends `text`; a failure switches paging off for the run and is reported.
  bool SendPage(const std::string& text);

  // Sending without talking to the operator, for callers that must not hold
  // anything up meanwhile; ReportFailure then says what went wrong.
  Outcome Launch(const std::string& text, bool showparameters);
  void ReportFailure();

  std::filesystem::path ProgramPath();

 private:
  INI& ini;
  ProgramLauncher& launcher;
  Prompter& prompter;
  std::filesystem::path home;
  bool available = false;
  bool enabled = false;
  int lastcode = 0;
  // A test page may end after this pager was dropped.
  std::shared_ptr<char> alive = std::make_shared<char>();
};

}  // namespace quillark
