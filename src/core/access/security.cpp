#include "core/access/security.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/platform/eventloop.h"
#include "core/platform/eventwriter.h"
#include "core/platform/prompter.h"

namespace quillark {
namespace {

constexpr const char* PASSWORDSECTION = "Quillark Passwords";
constexpr int ACCOUNTNAMES = 14100;  // + level: the default account names
constexpr int ACCESSDISABLED = 19600;
constexpr int FILEWRITEERROR = 17600;
constexpr std::size_t USERNAMESLENGTH = 3200;

constexpr const char* LEVELNAMES[] = {"Read only", "Operator", "Engineer", "Administrator"};
static_assert(std::size(LEVELNAMES) == MAXACCESSLEVEL + 1);
constexpr const char* BADPASSWORD =
    "The password was not stored. A password can have at most 31 characters, each a letter, a "
    "digit, a blank or a punctuation mark of the keyboard.";
constexpr const char* BADUSERNAME =
    "The password was not stored. A user name that starts with '[' or contains '=' cannot have a "
    "password.";

// The level each operation needs, by operation value.
constexpr unsigned neededlevel[] = {
    2,  // SA_BUSDISP
    2,  // SA_FNPGM
    1,  // SA_CHARTREC
    1,  // SA_HISTVIEW
    1,  // SA_EVENTLOG
    2,  // SA_DIAGS
    3,  // SA_SITECONF
    2,  // SA_COMMSET
    3,  // SA_OPENFILE
    3,  // SA_NEWSITE
    3,  // SA_LANGUAGE
    0,  // SA_ALARMDISP
    1,  // SA_RESET
    2,  // SA_EXIT
    1,  // SA_ISOLATE
    3,  // SA_PRINTERLOG
    1,  // SA_FRONTPANEL
    2,  // SA_BUSMASTER
    1,  // SA_HISTOGRAM
    1,  // SA_CHARTLOG
    3,  // SA_PASSWORDEDIT
    3,  // SA_FNSAVE
    3,  // SA_FNRESTORE
    3,  // SA_EMAIL
    3,  // SA_PAGER
    1,  // SA_ACKNOWLEDGE
};
static_assert(std::size(neededlevel) == SA_LAST + 1);

unsigned char ScrambleKey(std::size_t i) {
  return static_cast<unsigned char>(0x80 + i);
}

// The profile file trims key names when it reads them, so a name listed as
// "Ann, Bob" must be stored under "Bob" or its password would never be found.
std::string_view StoreKey(std::string_view name) {
  return Trim(name);
}

// A key with '=' would be split at it, and one starting with '[' would read as
// a new section and hide every password after it.
bool IsUsableKey(std::string_view key) {
  return key.find('=') == std::string_view::npos && (key.empty() || key.front() != '[');
}

unsigned GetAccessLevelForUser(std::string_view name, const std::vector<UserAccount>& accounts) {
  for (const auto& account : accounts)
    if (account.GetName() == name) return account.GetLevel();
  return 0;
}

}  // namespace

std::string ScramblePassword(std::string_view password) {
  std::size_t n = std::min(password.size(), MAXPASSWORD);
  std::string out;
  out.reserve(n + 1);
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(static_cast<unsigned char>(password[i]) ^ ScrambleKey(i));
    if (c == 0) return out;  // the stored text ends at a zero byte
    out.push_back(static_cast<char>(c));
  }
  out.push_back(static_cast<char>(ScrambleKey(n)));  // the terminator, scrambled
  return out;
}

std::string UnscramblePassword(std::string_view stored) {
  std::string out;
  for (std::size_t i = 0; i < stored.size() && stored[i] != '\0'; ++i) {
    auto c = static_cast<unsigned char>(static_cast<unsigned char>(stored[i]) ^ ScrambleKey(i));
    if (c == 0) break;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

bool IsStorablePassword(std::string_view password) {
  if (password.size() > PASSWORDEDITLIMIT) return false;
  return std::all_of(password.begin(), password.end(),
                     [](char c) { return c >= 0x20 && c <= 0x7e; });
}

// --- PasswordEditSession

PasswordEditSession::PasswordEditSession(Security& s) : security(s), names(s.AccountNames()) {
  // The box starts with the first entry's own password: moving on without
  // typing must not overwrite it with an empty one.
  password = security.GetPassword(names.at(0));
}

bool PasswordEditSession::Keep(const std::string& edittext) {
  // Leaving a password as it was changes nothing, so a stored value the
  // dialog could not have produced is kept rather than refused.
  if (edittext == password) return true;
  if (!security.CheckPassword(names[selection], edittext)) return false;
  pending[selection] = edittext;
  password = edittext;
  return true;
}

bool PasswordEditSession::Select(std::size_t entry, const std::string& edittext) {
  if (entry >= names.size()) return false;
  if (!Keep(edittext)) return false;
  selection = entry;
  auto typed = pending.find(entry);
  password = typed != pending.end() ? typed->second : security.GetPassword(names[entry]);
  return true;
}

bool PasswordEditSession::Ok(const std::string& edittext) {
  if (!Keep(edittext)) return false;
  bool all = true;
  for (auto it = pending.begin(); it != pending.end();) {
    // A written entry leaves the session, so a second OK after a failure
    // writes only what is still missing.
    if (security.SetPassword(names[it->first], it->second)) {
      it = pending.erase(it);
    } else {
      all = false;
      ++it;
    }
  }
  return all;
}

// --- Security

Security::Security(EventWriter& ev, INI& settings, Translator& tr, EventLoop& cl, Prompter& pr,
                   std::filesystem::path store)
    : events(ev),
      ini(settings),
      translate(tr),
      clock(cl),
      prompter(pr),
      passwordstore(std::move(store)) {
  TightenPasswordStore();
  timeoutperiod = ini.ReadInt("Security", "Timeout", "300");
  currentaccesslevel = 0;
  LoadUserAccounts();
  SetUserAndAccessLevel(accounts[0].GetName(), 0);
}

void Security::TightenPasswordStore() {
  // The passwords are only scrambled: a store that others may read or write
  // gives the access levels away.
  struct stat st {};
  const auto& path = passwordstore.Path();
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) == 0) return;
  const bool done = ::chmod(path.c_str(), st.st_mode & 0700) == 0;
  events.WriteEvent(
      WE_SECURITY,
      Format(done ? "The password file %s was open to other users (mode %04o); it is now private "
                    "to its owner."
                  : "The password file %s is open to other users (mode %04o) and could not be "
                    "made private.",
             path.string().c_str(), static_cast<unsigned>(st.st_mode & 07777)));
}

bool Security::LoadUserAccounts() {
  accounts.clear();
  for (unsigned level = 0; level <= MAXACCESSLEVEL; ++level) {
    char buffer[USERNAMESLENGTH + 1];
    ini.ReadString("UserNames", std::to_string(level), "", buffer, sizeof buffer);
    std::string names = buffer;
    // Default names are always English: they are also the store's keys.
    if (names.empty())
      names = translate.GetTextInLanguage(ACCOUNTNAMES + static_cast<int>(level), 0);
    if (names.size() > USERNAMESLENGTH) names.resize(USERNAMESLENGTH);
    LoadUserAccountsForAccessLevel(names, level);
  }
  return true;
}

void Security::LoadUserAccountsForAccessLevel(std::string_view names, unsigned level) {
  for (;;) {
    std::size_t comma = names.find(',');
    std::string_view name = names.substr(0, comma).substr(0, MAXUSERNAME);
    accounts.emplace_back(std::string(name), GetPassword(name), level);
    if (comma == std::string_view::npos) break;
    names.remove_prefix(comma + 1);
  }
}

void Security::SetUserAndAccessLevel(std::string_view name, unsigned level) {
  currentuser = std::string(name.substr(0, MAXUSERNAME));
  currentaccesslevel = std::min(level, MAXACCESSLEVEL);
}

std::string Security::GetPassword(std::string_view name) {
  std::string_view key = StoreKey(name);
  if (!IsUsableKey(key)) return {};
  char buffer[MAXPASSWORD + 1];
  passwordstore.ReadString(PASSWORDSECTION, std::string(key), "", buffer, sizeof buffer);
  return UnscramblePassword(buffer);
}

bool Security::CheckPassword(std::string_view name, const std::string& password) {
  if (!IsStorablePassword(password)) {
    prompter.Show("", BADPASSWORD, PromptIcon::STOP);
    return false;
  }
  if (!IsUsableKey(StoreKey(name))) {
    prompter.Show("", BADUSERNAME, PromptIcon::STOP);
    return false;
  }
  return true;
}

bool Security::SetPassword(std::string_view name, const std::string& password) {
  if (!CheckPassword(name, password)) return false;
  std::string_view key = StoreKey(name);
  // The store is replaced through a temporary file on every write; a private
  // umask makes both private from the moment they exist, and the chmod covers
  // a store that was already there with a looser mode.
  mode_t oldmask = ::umask(077);
  bool written =
      passwordstore.WriteString(PASSWORDSECTION, std::string(key), ScramblePassword(password));
  ::umask(oldmask);
  std::error_code ec;
  if (written)
    std::filesystem::permissions(
        passwordstore.Path(),
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace, ec);
  if (!written || ec) {
    std::string text = translate.Text(FILEWRITEERROR);
    auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, passwordstore.Path().string());
    prompter.Show("", text, PromptIcon::STOP);
    return false;
  }
  return true;
}

std::vector<std::string> Security::AccountNames() const {
  std::vector<std::string> names;
  names.reserve(accounts.size());
  for (const auto& account : accounts) names.push_back(account.GetName());
  return names;
}

bool Security::LogOn(const std::string& name, const std::string& password) {
  auto account = std::find_if(accounts.begin(), accounts.end(),
                              [&](const UserAccount& a) { return a.GetName() == name; });
  // An unknown name has no stored password, but logging on as nobody must
  // still fail.
  if (account == accounts.end() || account->GetPassword() != password) {
    LogOnFailed(name);
    return false;
  }
  EndFailureRun();
  SetUserAndAccessLevel(name, account->GetLevel());
  lasttime = clock.Now();
  events.WriteEvent(WE_SECURITY, "Access level change. New access level '" + currentuser + "'.");
  return true;
}

namespace {

// A name typed at the console goes into the logs as it was typed, but never
// as a flood or with line ends that would forge further entries.
std::string LoggedName(const std::string& name) {
  std::string out = name.substr(0, 64);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  if (name.size() > out.size()) out += "...";
  return out;
}

}  // namespace

std::uint32_t Security::LogOnDelay() const {
  const std::uint32_t now = clock.TickCount();
  std::size_t recent = 0;
  for (const std::uint32_t at : failures)
    if (!TicksElapsed(now, at, FAILUREWINDOWMS)) ++recent;
  return recent >= FAILURELIMIT ? SLOWLOGONMS : 0;
}

void Security::LogOnFailed(const std::string& name) {
  // The password is never written: a mistyped one is often nearly the real one.
  events.WriteEvent(WE_SECURITY, "Log-on failed for user '" + LoggedName(name) + "'.");
  const std::uint32_t now = clock.TickCount();
  while (!failures.empty() && TicksElapsed(now, failures.front(), FAILUREWINDOWMS))
    failures.pop_front();
  failures.push_back(now);
  ++runfailures;
  if (failures.size() >= FAILURELIMIT) runslowed = true;
  // A minute without another failure ends the run.
  runend = clock.SingleShot(FAILUREWINDOWMS, [this] { EndFailureRun(); });
}

void Security::EndFailureRun() {
  runend.Cancel();
  if (runslowed)
    events.WriteEvent(
        WE_SECURITY,
        Format("Log-on slowed down after repeated failures: %zu failed log-ons.", runfailures));
  runfailures = 0;
  runslowed = false;
  failures.clear();
}

void Security::LogOff() {
  events.WriteEvent(WE_SECURITY, translate.Text(ACCESSDISABLED));
  SetUserAndAccessLevel(accounts[0].GetName(), 0);
}

bool Security::EditPasswords() {
  if (passwordeditor == nullptr) return false;
  if (!HasPermission(SA_PASSWORDEDIT, true)) return false;
  PasswordEditSession session(*this);
  passwordeditor->EditPasswords(session);
  LoadUserAccounts();
  return true;
}

const char* Security::LevelName(unsigned level) {
  return LEVELNAMES[std::min(level, MAXACCESSLEVEL)];
}

unsigned Security::NeededLevel(operation op) {
  const int index = static_cast<int>(op);
  if (index < 0 || index > SA_LAST) return MAXACCESSLEVEL + 1;
  return neededlevel[index];
}

long long Security::SecondsLeft() const {
  if (currentaccesslevel == 0) return 0;
  const long long used = static_cast<long long>(clock.Now()) - static_cast<long long>(lasttime);
  return used >= timeoutperiod ? 0 : timeoutperiod - used;
}

bool Security::DropExpiredAccess() {
  if (!AccessTimeout()) return false;
  SetUserAndAccessLevel(accounts[0].GetName(), 0);
  events.WriteEvent(WE_SECURITY, "Access level change. New access level '" + currentuser + "'.");
  return true;
}

std::string Security::StatusText() const {
  // The account and level names stay as they are; only the words around them
  // follow the operator's language.
  const std::string level = LevelName(currentaccesslevel);
  std::string text = Format(translate.TextOr(76100, "%s (level %d %s)").c_str(),
                            currentuser.c_str(), currentaccesslevel, level.c_str());
  if (currentaccesslevel == 0) return text;
  const long long left = SecondsLeft();
  char buffer[48];
  if (left >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", left / 3600, left / 60 % 60,
                  left % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", left / 60, left % 60);
  return Format(translate.TextOr(76200, "%s, %s left").c_str(), text.c_str(), buffer);
}

bool Security::HasPermission(operation op, bool prompt) {
  DropExpiredAccess();
  if (IsAccessLevelSufficientForOperation(op, currentaccesslevel)) return true;
  return prompt && PromptForUserAccessChange(op);
}

bool Security::AccessTimeout() const {
  // Written as a difference so that a huge time-out setting cannot overflow.
  return currentaccesslevel != 0 &&
         static_cast<long long>(clock.Now()) - static_cast<long long>(lasttime) > timeoutperiod;
}

bool Security::PromptForUserAccessChange(operation op) {
  if (logonprompt == nullptr) return false;
  // The level doubles as the list index: with one account per level that is
  // the current level's own account.
  std::size_t preselected = std::min<std::size_t>(currentaccesslevel, accounts.size() - 1);
  logonprompt->SetAnswerDelay(LogOnDelay());
  const unsigned needed = NeededLevel(op);
  logonprompt->SetRequiredLevel(needed <= MAXACCESSLEVEL ? LevelName(needed) : "");
  auto answer = logonprompt->AskForLogOn(AccountNames(), preselected);
  if (!answer) return false;

  std::size_t chosen = preselected;
  bool wrongpassword = answer->entry >= accounts.size();
  if (!wrongpassword) {
    const std::string& password = accounts[answer->entry].GetPassword();
    std::string_view typed = std::string_view(answer->password).substr(0, PASSWORDEDITLIMIT);
    if (password.empty() || EqualsNoCase(typed, password))
      chosen = answer->entry;
    else
      wrongpassword = true;
  }

  if (chosen != answer->entry)
    LogOnFailed(answer->entry < accounts.size() ? accounts[answer->entry].GetName() : "");
  else
    EndFailureRun();

  // A wrong password lands on the preselected entry, whose level is never
  // above the current one; the change is logged either way so that failed
  // attempts show in the log.
  std::string name = accounts[chosen].GetName();
  SetUserAndAccessLevel(name, GetAccessLevelForUser(name, accounts));
  lasttime = clock.Now();
  events.WriteEvent(WE_SECURITY, "Access level change. New access level '" + name + "'.");

  if (IsAccessLevelSufficientForOperation(op, currentaccesslevel)) return true;
  // A mistyped password and an account without the right need different
  // remedies, so the operator is told which it was.
  std::string text;
  if (wrongpassword) {
    text = "Wrong password for '" +
           (answer->entry < accounts.size() ? accounts[answer->entry].GetName() : name) + "'.";
  } else {
    text = "This account may not do that: '" + name + "' has the " + LevelName(currentaccesslevel) +
           " level";
    text += needed <= MAXACCESSLEVEL
                ? std::string(", and this needs the ") + LevelName(needed) + " level or above."
                : ", and nobody may do this.";
  }
  prompter.Show("", text, PromptIcon::STOP, PromptButtons::OK);
  return false;
}

bool Security::IsAccessLevelSufficientForOperation(operation op, unsigned level) {
  int index = static_cast<int>(op);
  if (index < 0 || index > SA_LAST) return false;
  return level >= neededlevel[index];
}

}  // namespace quillark
