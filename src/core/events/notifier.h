#pragma once

#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/events/floodgate.h"
#include "core/platform/eventloop.h"
#include "core/platform/eventwriter.h"

namespace quillark {

class EMail;
class INI;
class LogFiles;
class Page;
class ProgramLauncher;
class Prompter;
struct LaunchResult;

// How the notifier holds polling while a slow output (printer, e-mail, pager)
// runs. `paused` says that somebody else holds polling already: then it is
// left alone, so an event during a scan cannot restart polling under it.
struct PollingControl {
  std::function<bool()> paused;
  std::function<void()> pause;
  std::function<void()> resume;
};

// Where the log printer's output goes, from "Printer"/"Device": LPTn is
// /dev/lp{n-1}, "|command" pipes each event to a shell command, anything else
// is a file or device path (relative ones in the program home).
struct PrinterTarget {
  bool valid = false;  // something to open at all
  bool command = false;
  std::string shellcommand;
  std::filesystem::path path;
  bool mustexist = false;  // a device: never create it
};
PrinterTarget ResolvePrinterDevice(const std::string& device, const std::filesystem::path& home);

// Writes every event: one block to the disk event log, and when set up, to the
// log printer, by e-mail and to the pager (the last two for alarms and faults
// only). Polling is held while the outputs are written or their programs
// started, and nowhere else: the mail program and a print command then run on
// their own, one message at a time each. Operator messages about failures come
// after polling runs again.
class EventNotifier : public EventWriter {
 public:
  using Clock = std::function<std::time_t()>;

  // Opens the disk log ("Log"/"DiskLogging", "Log"/"File" in `home`), reads
  // "Log"/"PrinterLogging" and makes the mailer and the pager. `files`
  // defaults to the disk.
  EventNotifier(INI& ini, Prompter& prompter, ProgramLauncher& launcher, std::filesystem::path home,
                Clock clock, LogFiles* files = nullptr);
  ~EventNotifier() override;
  EventNotifier(const EventNotifier&) = delete;
  EventNotifier& operator=(const EventNotifier&) = delete;

  void SetPollingControl(PollingControl control) { polling = std::move(control); }
  // Told whenever printer logging is switched (the menu's check mark).
  void SetPrinterLoggingObserver(std::function<void(bool)> observer) {
    printerobserver = std::move(observer);
  }

  void WriteEvent(int category, const std::string& text) override;

  // With a clock for its timers, the notifier keeps a flood off the printer,
  // e-mail and the pager: per output and loop at most one message every
  // FLOODINTERVAL ms, the held events following together in the next one.
  // The disk log always has every event as it comes. Without it (null)
  // every event goes out on its own.
  static constexpr std::uint32_t FLOODINTERVAL = 30000;
  void SetEventLoop(EventLoop* loop) { timers = loop; }
  // Sends everything still held, due or not: on an orderly shutdown the
  // e-mail, the pager and the printer must not lose what the disk log has.
  void FlushAll();
  std::size_t HeldCount() const {
    return printgate.HeldCount() + mailgate.HeldCount() + pagegate.HeldCount();
  }

  // Switches printer logging and stores it in "Log"/"PrinterLogging".
  void LogToPrinter(bool on);
  // The operator ticking "Log to printer": the printer is tried there and
  // then, so a missing device or print command is found now and not at the
  // next alarm. On failure logging stays off, and the reason is written as a
  // system event and shown. True when logging is on.
  bool StartPrinterLogging();
  // Why the printer of "Printer"/"Device" cannot take a job; empty when it can.
  std::string PrinterProblem(const std::string& device);
  bool IsPrinterLogging() const { return printerlogging; }
  // Copies the rest of `file` to the log printer as one job. True when it
  // was printed or queued for the print command, whose failure is reported
  // when it comes.
  bool SendFileToPrinter(std::FILE* file);

  bool IsDiskLogging() const { return !eventlog.empty(); }
  EMail* GetMailer() const { return mailer.get(); }
  Page* GetPager() const { return pager.get(); }

  // The time as ctime gives it, without the newline ("Thu Jan  1 00:00:00 1970").
  static std::string TimeText(std::time_t t);

 private:
  class PrinterJob;
  class PollingHold;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  struct PrintCommand {
    std::string shellcommand;
    std::string device;  // as the settings name it, for the report
    std::string text;
  };

  // Whether `gate` lets the event out now (always without timers).
  bool Pass(FloodGate& gate, int category, const std::string& text, const std::string& block);
  // Sends what is not empty: a print job, a mail, a page.
  void Deliver(const std::string& print, const std::string& mail, const std::string& page);
  void ScheduleFlush();
  void FlushHeld(bool all = false);
  // The printer for one job, or none (the first failure of a run is reported).
  std::unique_ptr<PrinterJob> OpenPrinter(const std::string& device);
  // Ends a job: a file is closed, a print command's text joins the queue.
  void FinishJob(PrinterJob& job, const std::string& device);
  void PrintNext();
  void Printed(const LaunchResult& result);
  // Once a run: printer logging off, a system event and a message.
  void ReportPrinterFailure(const std::string& device);

  INI& ini;
  Prompter& prompter;
  ProgramLauncher& launcher;
  std::filesystem::path home;
  Clock clock;
  PollingControl polling;
  std::function<void(bool)> printerobserver;

  // The disk log, written one whole block per write so that a full disk can
  // cut a block short but never glue two together. After a failure the next
  // block that fits starts on a line of its own, after a note that entries
  // are missing; the failure itself is said once on standard error (the log
  // cannot carry news of its own failure).
  void WriteDiskLog(const std::string& when, const std::string& block);
  LogFiles& files;
  std::filesystem::path eventlog;  // empty: no disk logging
  bool disklogfailed = false;
  bool printerlogging = false;
  bool printerreported = false;
  std::unique_ptr<EMail> mailer;
  std::unique_ptr<Page> pager;
  EventLoop* timers = nullptr;
  FloodGate printgate{FLOODINTERVAL}, mailgate{FLOODINTERVAL}, pagegate{FLOODINTERVAL};
  TimerHandle flushtimer;
  int pausedepth = 0;
  bool heldpolling = false;
  // Front: the job the print command is working on while `printing`.
  std::deque<PrintCommand> printqueue;
  bool printing = false;
  // Print command results may arrive after the notifier is gone.
  std::shared_ptr<char> alive = std::make_shared<char>();
};

}  // namespace quillark
