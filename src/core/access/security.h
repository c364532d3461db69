#pragma once

#include <cstddef>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/access/logonprompt.h"
#include "core/common/inifile.h"
#include "core/platform/eventloop.h"

namespace quillark {

class EventLoop;
class EventWriter;
class INI;
class Prompter;
class Translator;

// Secured operations. The values are fixed: command tables store them.
enum operation : int {
  SA_BUSDISP = 0,
  SA_FNPGM = 1,
  SA_CHARTREC = 2,
  SA_HISTVIEW = 3,
  SA_EVENTLOG = 4,
  SA_DIAGS = 5,
  SA_SITECONF = 6,
  SA_COMMSET = 7,
  SA_OPENFILE = 8,
  SA_NEWSITE = 9,
  SA_LANGUAGE = 10,
  SA_ALARMDISP = 11,
  SA_RESET = 12,
  SA_EXIT = 13,
  SA_ISOLATE = 14,
  SA_PRINTERLOG = 15,
  SA_FRONTPANEL = 16,
  SA_BUSMASTER = 17,
  SA_HISTOGRAM = 18,
  SA_CHARTLOG = 19,
  SA_PASSWORDEDIT = 20,
  SA_FNSAVE = 21,
  SA_FNRESTORE = 22,
  SA_EMAIL = 23,
  SA_PAGER = 24,
  SA_ACKNOWLEDGE = 25,  // acknowledging alarm and fault lines
  SA_LAST = SA_ACKNOWLEDGE,
};

// Access levels run from 0 (read only) to 3 (administrator).
constexpr unsigned MAXACCESSLEVEL = 3;
constexpr std::size_t MAXUSERNAME = 32;
constexpr std::size_t MAXPASSWORD = 32;
// The dialogs take one character less than the store holds.
constexpr std::size_t PASSWORDEDITLIMIT = 31;

// The store's encoding: byte i XORed with 0x80 + i, at most MAXPASSWORD bytes,
// followed by the scrambled terminator. It hides a password from a casual
// glance at the file; the file's mode is what keeps it private. A byte equal
// to its own key scrambles to zero and ends the stored text there, which is
// one reason IsStorablePassword keeps such bytes out.
std::string ScramblePassword(std::string_view password);
// Undoes ScramblePassword; the restored terminator (or a zero byte) ends the
// password and anything stored behind it is ignored.
std::string UnscramblePassword(std::string_view stored);
// Whether `password` can be stored and read back unchanged: at most
// PASSWORDEDITLIMIT printable ASCII characters. Anything else could scramble
// to a zero byte or a line end, and the store would hand back a different
// password from the one the operator typed.
bool IsStorablePassword(std::string_view password);

class UserAccount {
 public:
  UserAccount(std::string name, std::string password, unsigned level)
      : name(std::move(name)), password(std::move(password)), level(level) {}
  const std::string& GetName() const { return name; }
  const std::string& GetPassword() const { return password; }
  unsigned GetLevel() const { return level; }

 private:
  std::string name;
  std::string password;
  unsigned level;
};

class Security;

// One run of the password dialog (see PasswordEditor). A password typed for an
// entry is checked when the operator moves to another entry and kept in the
// session; only "OK" writes the store, so "Cancel" leaves every password as
// it was.
class PasswordEditSession {
 public:
  const std::vector<std::string>& Names() const { return names; }
  std::size_t Selection() const { return selection; }
  // The stored password of the selected entry, for the (masked) edit box.
  const std::string& Password() const { return password; }

  // Keeps `edittext` for the entry selected so far, then selects `entry` and
  // shows its password (as typed in this session, else as stored). False,
  // with the selection unchanged, when the text could not be stored (the
  // operator has been told why) or `entry` is not in the list.
  bool Select(std::size_t entry, const std::string& edittext);
  // Keeps `edittext` for the selected entry and writes every changed
  // password; false when one could not be (the rest are still written).
  bool Ok(const std::string& edittext);

 private:
  friend class Security;
  explicit PasswordEditSession(Security& security);
  bool Keep(const std::string& edittext);

  Security& security;
  std::vector<std::string> names;
  std::size_t selection = 0;
  std::string password;
  // The passwords typed in this session, by entry, not yet written.
  std::map<std::size_t, std::string> pending;
};

// Decides which guarded commands the current operator may run, and keeps the
// user accounts and their passwords.
class Security {
 public:
  // `ini` holds the "Security" and "UserNames" settings; `passwordstore` is the
  // password file (dovetree.ini in the program home), created private to the
  // user when a password is first stored. `events` receives the security
  // events, `clock` gives the time for the time-out, `prompter` shows refusals.
  Security(EventWriter& events, INI& ini, Translator& translate, EventLoop& clock,
           Prompter& prompter, std::filesystem::path passwordstore);
  Security(const Security&) = delete;
  Security& operator=(const Security&) = delete;

  // The dialogs; without them a prompt counts as cancelled and password
  // editing does nothing.
  void SetLogOnPrompt(LogOnPrompt* p) { logonprompt = p; }
  void SetPasswordEditor(PasswordEditor* e) { passwordeditor = e; }

  bool LoadUserAccounts();
  void LoadUserAccountsForAccessLevel(std::string_view names, unsigned level);
  void SetUserAndAccessLevel(std::string_view name, unsigned level);

  // Logs on without a dialog: true, with the account's level set and the
  // level change written as an event, when `name` is an account and
  // `password` is its password exactly (letter case counts); false with
  // nothing changed otherwise.
  bool LogOn(const std::string& name, const std::string& password);
  // Failed log-ons are slowed once they come in numbers: with FAILURELIMIT
  // failures in the last FAILUREWINDOWMS, each further attempt is answered
  // only after this many milliseconds (0: at once). Nobody is ever locked
  // out: in an emergency the right password still works, a little later.
  std::uint32_t LogOnDelay() const;
  static constexpr std::size_t FAILURELIMIT = 5;
  static constexpr std::uint32_t FAILUREWINDOWMS = 60000;
  static constexpr std::uint32_t SLOWLOGONMS = 2000;
  // The "LOCK" command: back to the first account at level 0.
  void LogOff();
  // The "PASSWORDS" command. False when refused or there is no editor.
  bool EditPasswords();

  // True if `op` may run now. A raised level that has timed out drops to 0
  // first; when the level is not enough and `prompt` is set, the operator is
  // asked to log on.
  bool HasPermission(operation op, bool prompt);
  bool AccessTimeout() const;
  bool PromptForUserAccessChange(operation op);
  static bool IsAccessLevelSufficientForOperation(operation op, unsigned level);

  // "Read only", "Operator", "Engineer", "Administrator".
  static const char* LevelName(unsigned level);
  // The level `op` needs (above MAXACCESSLEVEL for an unknown operation).
  static unsigned NeededLevel(operation op);
  // Seconds until a raised level drops back; 0 at level 0.
  long long SecondsLeft() const;
  // Drops a raised level whose time is up back to the first account, and
  // writes the change as a log-on is written. True when it dropped.
  bool DropExpiredAccess();
  // Who is logged on, at which level, and for how long, for the status bar:
  // "Engineer (level 2 Engineer), 4:59 left".
  std::string StatusText() const;

  const std::string& GetUser() const { return currentuser; }
  unsigned GetAccessLevel() const { return currentaccesslevel; }
  const std::vector<UserAccount>& GetAccounts() const { return accounts; }
  long long GetTimeoutPeriod() const { return timeoutperiod; }
  const std::filesystem::path& GetPasswordStore() const { return passwordstore.Path(); }

 private:
  friend class PasswordEditSession;

  void TightenPasswordStore();
  std::string GetPassword(std::string_view name);
  // Refusals (bad password, unusable name, write failure) are shown to the
  // operator and answered false.
  bool SetPassword(std::string_view name, const std::string& password);
  // Whether SetPassword could take `password` for `name`; a refusal is shown.
  bool CheckPassword(std::string_view name, const std::string& password);
  std::vector<std::string> AccountNames() const;
  // Every failure is a security event; a run that was slowed down ends with
  // one event that counts it.
  void LogOnFailed(const std::string& name);
  void EndFailureRun();

  std::deque<std::uint32_t> failures;  // tick counts within the window
  std::size_t runfailures = 0;
  bool runslowed = false;
  TimerHandle runend;

  EventWriter& events;
  INI& ini;
  Translator& translate;
  EventLoop& clock;
  Prompter& prompter;
  INIfile passwordstore;
  LogOnPrompt* logonprompt = nullptr;
  PasswordEditor* passwordeditor = nullptr;

  long long timeoutperiod = 300;
  std::string currentuser;
  unsigned currentaccesslevel = 0;
  std::vector<UserAccount> accounts;
  std::time_t lasttime = 0;
};

}  // namespace quillark
