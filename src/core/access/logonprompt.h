#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillark {

class PasswordEditSession;

// What the operator chose in the log-on dialog.
struct LogOnAnswer {
  std::size_t entry = 0;  // index into the listed names
  std::string password;   // as typed; Security does the checking
};

// The log-on dialog. The GUI shows it modally over the main window; a console
// that cannot ask anybody answers as if cancelled.
class LogOnPrompt {
 public:
  virtual ~LogOnPrompt() = default;
  // Lists `names` in order with `preselected` selected and an empty, masked
  // password box. Nothing when the operator cancels. The dialog only collects
  // the answer: whether the password is right is decided by Security, so the
  // dialog never sees a stored password.
  virtual std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>& names,
                                                 std::size_t preselected) = 0;
  // While log-ons are being guessed, the next answer is taken only after
  // `ms` milliseconds (0: at once). The dialog keeps running meanwhile.
  virtual void SetAnswerDelay(std::uint32_t ms) { (void)ms; }

  // The name of the access level the command being asked about needs, set
  // before each AskForLogOn so that the dialog can say it.
  void SetRequiredLevel(std::string level) { required = std::move(level); }
  const std::string& RequiredLevel() const { return required; }

 private:
  std::string required;
};

// The password-editing dialog: a view over a PasswordEditSession. It shows the
// session's names, selection and password, and turns a change of selection
// into Select() and "OK" into Ok(); when either refuses, the session has told
// the operator why, and the dialog shows the session's state again (and stays
// open after a refused "OK"). "Cancel" just closes.
class PasswordEditor {
 public:
  virtual ~PasswordEditor() = default;
  // Modal; returns when the dialog is closed.
  virtual void EditPasswords(PasswordEditSession& session) = 0;
};

}  // namespace quillark
