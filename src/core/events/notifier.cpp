#include "core/events/notifier.h"

#include "core/common/textutil.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/common/ini.h"
#include "core/events/email.h"
#include "core/events/pager.h"
#include "core/platform/logfiles.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"

namespace quillark {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size() ||
        std::toupper(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(prefix[i]))
      return false;
  }
  return true;
}

}  // namespace

PrinterTarget ResolvePrinterDevice(const std::string& device, const std::filesystem::path& home) {
  PrinterTarget target;
  if (device.empty()) return target;
  if (device[0] == '|') {
    const std::size_t start = device.find_first_not_of(' ', 1);
    if (start == std::string::npos) return target;
    target.valid = target.command = true;
    target.shellcommand = device.substr(start);
    return target;
  }
  // LPT1 (or "LPT1:") is the first parallel port.
  std::string name = device;
  if (name.back() == ':') name.pop_back();
  if (name.size() > 3 && name.size() <= 6 && StartsWithNoCase(name, "LPT") &&
      name.find_first_not_of("0123456789", 3) == std::string::npos) {
    const int port = std::stoi(name.substr(3));
    if (port >= 1) {
      target.valid = target.mustexist = true;
      target.path = "/dev/lp" + std::to_string(port - 1);
      return target;
    }
  }
  target.valid = true;
  target.path = home / device;  // an absolute path stays as it is
  target.mustexist = target.path.string().rfind("/dev/", 0) == 0;
  return target;
}

// One print job: a file or device written as it goes, or text collected for a
// print command that runs when the job ends.
class EventNotifier::PrinterJob {
 public:
  static std::unique_ptr<PrinterJob> Open(const PrinterTarget& target) {
    if (!target.valid) return nullptr;
    auto job = std::make_unique<PrinterJob>();
    if (target.command) {
      job->shellcommand = target.shellcommand;
      return job;
    }
    std::error_code ec;
    if (target.mustexist && !std::filesystem::exists(target.path, ec)) return nullptr;
    // Appending: a log printer that is a plain file keeps every earlier event.
    job->file.reset(std::fopen(target.path.c_str(), "ab"));
    if (job->file == nullptr) return nullptr;
    return job;
  }

  void Write(const char* bytes, std::size_t size) {
    if (file != nullptr)
      std::fwrite(bytes, 1, size, file.get());
    else
      text.append(bytes, size);
  }

  bool IsCommand() const { return file == nullptr; }
  void Close() { file.reset(); }
  const std::string& ShellCommand() const { return shellcommand; }
  std::string TakeText() { return std::move(text); }

 private:
  std::unique_ptr<std::FILE, FileCloser> file;
  std::string shellcommand;
  std::string text;
};

// Holds polling for the outermost of nested writes, unless somebody else holds
// it already.
class EventNotifier::PollingHold {
 public:
  explicit PollingHold(EventNotifier& n) : notifier(n) {
    if (notifier.pausedepth++ != 0) return;
    const PollingControl& p = notifier.polling;
    notifier.heldpolling = !(p.paused && p.paused());
    if (notifier.heldpolling && p.pause) p.pause();
  }
  ~PollingHold() {
    if (--notifier.pausedepth != 0 || !notifier.heldpolling) return;
    notifier.heldpolling = false;
    if (notifier.polling.resume) notifier.polling.resume();
  }
  PollingHold(const PollingHold&) = delete;
  PollingHold& operator=(const PollingHold&) = delete;

 private:
  EventNotifier& notifier;
};

EventNotifier::EventNotifier(INI& i, Prompter& p, ProgramLauncher& l, std::filesystem::path h,
                             Clock c, LogFiles* f)
    : ini(i),
      prompter(p),
      launcher(l),
      home(std::move(h)),
      clock(std::move(c)),
      files(f != nullptr ? *f : DiskLogFiles()) {
  if (!clock) clock = [] { return std::time(nullptr); };
  if (ini.ReadInt("Log", "DiskLogging", "1") != 0) {
    const std::string name = ini.ReadString("Log", "File", "event.log");
    // A log that cannot be opened leaves disk logging off without a word.
    if (!name.empty() && files.Append(home / name, {}) == 0) eventlog = home / name;
  }
  printerlogging = ini.ReadInt("Log", "PrinterLogging", "0") != 0;
  mailer = std::make_unique<EMail>(ini, launcher, prompter);
  pager = std::make_unique<Page>(ini, launcher, prompter, home);
}

EventNotifier::~EventNotifier() = default;

std::string EventNotifier::TimeText(std::time_t t) {
  return CTimeText(t);
}

void EventNotifier::WriteEvent(int category, const std::string& text) {
  const std::string when = TimeText(clock());
  const std::string block = when + "\r\n" + EventCategoryName(category) + ": " + text + "\r\n\r\n";
  if (!eventlog.empty()) WriteDiskLog(when, block);

  // E-mail and the pager only ever carry alarms and faults.
  const bool urgent = category == WE_ALARM || category == WE_FAULT;
  const std::string pagetext = when + " " + text;
  const bool print = printerlogging && Pass(printgate, category, text, block);
  const bool mail = urgent && mailer->IsMailAvailable() && Pass(mailgate, category, text, block);
  const bool page = urgent && pager->IsPagingEnabled() && Pass(pagegate, category, text, pagetext);
  Deliver(print ? block : std::string(), mail ? block : std::string(),
          page ? pagetext : std::string());
  ScheduleFlush();
}

bool EventNotifier::Pass(FloodGate& gate, int category, const std::string& text,
                         const std::string& block) {
  return timers == nullptr || gate.Offer(category, text, block, timers->TickCount());
}

void EventNotifier::Deliver(const std::string& print, const std::string& mail,
                            const std::string& page) {
  std::string device;
  std::unique_ptr<PrinterJob> job;
  if (!print.empty() && printerlogging) {
    device = ini.ReadString("Printer", "Device", "LPT1");
    job = OpenPrinter(device);
  }
  const bool maildue = !mail.empty() && mailer->IsMailAvailable();
  const bool pagedue = !page.empty() && pager->IsPagingEnabled();
  if (!maildue && !pagedue && job == nullptr) return;

  bool pagefailed = false;
  {
    PollingHold hold(*this);
    // Each event (or held batch) is its own print job.
    if (job != nullptr && printerlogging) {
      job->Write(print.data(), print.size());
      FinishJob(*job, device);
    }
    job.reset();
    // Returns at once: a failure is asked about when the mail program ends.
    if (maildue && mailer->IsMailAvailable()) mailer->GetMail()->Send(mail);
    if (pagedue && pager->IsPagingEnabled())
      pagefailed = pager->Launch(page, false) == Page::Outcome::FAILED;
  }
  // The operator is told only now: nobody's answer may keep polling held.
  if (pagefailed) pager->ReportFailure();
}

void EventNotifier::ScheduleFlush() {
  if (timers == nullptr) return;
  const std::uint32_t now = timers->TickCount();
  std::uint32_t next = 0;
  for (const FloodGate* gate : {&printgate, &mailgate, &pagegate}) {
    const std::uint32_t due = gate->NextDue(now);
    if (due != 0 && (next == 0 || due < next)) next = due;
  }
  if (next == 0) {
    flushtimer = {};
    return;
  }
  flushtimer = timers->SingleShot(next, [this] { FlushHeld(); });
}

void EventNotifier::FlushAll() {
  if (timers == nullptr) return;
  FlushHeld(true);
  flushtimer = {};
}

void EventNotifier::FlushHeld(bool all) {
  const std::uint32_t now = timers->TickCount();
  const std::string when = TimeText(clock());
  // One message per loop: how many of what first, then every held event as
  // it would have gone out alone.
  auto whole = [&](const FloodGate::Batch& b) {
    std::string text = when + "\r\n" + b.summary + "\r\n\r\n";
    for (const FloodGate::Held& h : b.events) text += h.block;
    return text;
  };
  const auto take = [&](FloodGate& gate) { return all ? gate.TakeAll(now) : gate.TakeDue(now); };
  for (const FloodGate::Batch& b : take(printgate)) Deliver(whole(b), {}, {});
  for (const FloodGate::Batch& b : take(mailgate)) Deliver({}, whole(b), {});
  // A page has room for the summary only; the list is in the mail and the log.
  for (const FloodGate::Batch& b : take(pagegate)) Deliver({}, {}, when + " " + b.summary);
  if (!all) ScheduleFlush();
}

void EventNotifier::WriteDiskLog(const std::string& when, const std::string& block) {
  std::string text;
  if (disklogfailed) {
    // The last write may have left half a block: end its line first.
    text = "\r\n" + when + "\r\n" + EventCategoryName(WE_SYSLOG) +
           ": Event log entries are missing here: the log could not be written.\r\n\r\n";
  }
  text += block;
  const std::int64_t written = files.Append(eventlog, text);
  if (written == static_cast<std::int64_t>(text.size())) {
    disklogfailed = false;
    return;
  }
  if (!disklogfailed)
    std::fprintf(stderr, "The event log %s cannot be written: events are being lost.\n",
                 eventlog.string().c_str());
  disklogfailed = true;
}

void EventNotifier::FinishJob(PrinterJob& job, const std::string& device) {
  if (!job.IsCommand()) {
    job.Close();
    return;
  }
  printqueue.push_back({job.ShellCommand(), device, job.TakeText()});
  PrintNext();
}

void EventNotifier::PrintNext() {
  if (printing || printqueue.empty()) return;
  // One print command at a time: a spooler queues jobs in the order they
  // reach it, and the events on paper must read in the order they happened.
  printing = true;
  const PrintCommand& job = printqueue.front();
  launcher.Launch("/bin/sh", {"-c", job.shellcommand}, job.text,
                  [this, guard = std::weak_ptr<char>(alive)](const LaunchResult& result) {
                    if (!guard.expired()) Printed(result);
                  });
}

void EventNotifier::Printed(const LaunchResult& result) {
  const PrintCommand job = std::move(printqueue.front());
  printqueue.pop_front();
  printing = false;
  if (!result.Succeeded()) {
    const std::weak_ptr<char> guard = alive;
    ReportPrinterFailure(job.device);
    if (guard.expired()) return;
  }
  // Jobs queued before a failure was known still go: they were due.
  PrintNext();
}

std::unique_ptr<EventNotifier::PrinterJob> EventNotifier::OpenPrinter(const std::string& device) {
  std::unique_ptr<PrinterJob> job = PrinterJob::Open(ResolvePrinterDevice(device, home));
  if (job == nullptr) ReportPrinterFailure(device);
  return job;
}

void EventNotifier::ReportPrinterFailure(const std::string& device) {
  if (printerreported) return;
  printerreported = true;
  const std::string message = "Printer '" + device +
                              "' cannot be opened.\n\nLog printing will not be available for "
                              "this session.";
  LogToPrinter(false);
  WriteEvent(WE_SYSLOG, message);
  prompter.Show("", message, PromptIcon::STOP);
}

std::string EventNotifier::PrinterProblem(const std::string& device) {
  const PrinterTarget target = ResolvePrinterDevice(device, home);
  if (!target.valid) return "no printer is set";
  if (target.command) {
    const std::string& command = target.shellcommand;
    const std::string name = command.substr(0, command.find_first_of(" \t"));
    // Only a plain program name can be looked up; anything cleverer (a
    // variable, a group) is left to the shell.
    if (name.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._/+-") !=
        std::string::npos)
      return {};
    if (name.find('/') != std::string::npos)
      return launcher.CanRun(name) ? "" : "the print command " + name + " cannot be run";
    const char* env = std::getenv("PATH");
    const std::string path = env != nullptr && *env != '\0' ? env : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= path.size();) {
      const std::size_t end = std::min(path.find(':', start), path.size());
      const std::string dir = path.substr(start, end - start);
      if (launcher.CanRun(std::filesystem::path(dir.empty() ? "." : dir) / name)) return {};
      start = end + 1;
    }
    return "the print command '" + name + "' was not found";
  }
  std::error_code ec;
  if (target.mustexist && !std::filesystem::exists(target.path, ec))
    return "there is no device " + target.path.string();
  // The same open as a job's, so the answer is the one the next event gets.
  std::FILE* file = std::fopen(target.path.c_str(), "ab");
  if (file == nullptr) return target.path.string() + ": " + std::strerror(errno);
  std::fclose(file);
  return {};
}

bool EventNotifier::StartPrinterLogging() {
  const std::string device = ini.ReadString("Printer", "Device", "LPT1");
  const std::string problem = PrinterProblem(device);
  if (problem.empty()) {
    // Switched on by hand: a later failure is news again.
    printerreported = false;
    LogToPrinter(true);
    return true;
  }
  LogToPrinter(false);
  const std::string message =
      "Printer '" + device + "' cannot be opened: " + problem + ".\n\nLog printing stays off.";
  WriteEvent(WE_SYSLOG, message);
  prompter.Show("", message, PromptIcon::STOP);
  return false;
}

void EventNotifier::LogToPrinter(bool on) {
  printerlogging = on;
  ini.WriteInt("Log", "PrinterLogging", on ? 1 : 0);
  if (printerobserver) printerobserver(on);
}

bool EventNotifier::SendFileToPrinter(std::FILE* file) {
  if (file == nullptr) return false;
  const std::string device = ini.ReadString("Printer", "Device", "LPT1");
  std::unique_ptr<PrinterJob> job = OpenPrinter(device);
  if (job == nullptr) return false;
  char buffer[512];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) job->Write(buffer, n);
  FinishJob(*job, device);
  return true;
}

}  // namespace quillark
