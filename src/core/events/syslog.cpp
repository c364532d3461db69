#include "core/events/syslog.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "core/common/statusbits.h"
#include "core/common/textutil.h"
#include "core/platform/eventloop.h"
#include "core/platform/eventwriter.h"
#include "core/platform/logfiles.h"

namespace quillark {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

SysLog::SysLog(std::filesystem::path log, const EventLoop& clock, EventWriter* events,
               LogFiles* files)
    : log(std::move(log)),
      clock(clock),
      events(events),
      files(files != nullptr ? *files : DiskLogFiles()) {}

std::string SysLog::DateText() const {
  std::time_t now = clock.Now();
  std::tm tm{};
  localtime_r(&now, &tm);
  return Format("%02x%01x%03x%02x%02x", static_cast<unsigned>(tm.tm_mday) & 0xFFu,
                static_cast<unsigned>(tm.tm_mon + 1) & 0xFu,
                static_cast<unsigned>(tm.tm_year + 1900) & 0xFFFu,
                static_cast<unsigned>(tm.tm_hour) & 0xFFu,
                static_cast<unsigned>(tm.tm_min) & 0xFFu);
}

void SysLog::WriteDate(std::FILE* file) const {
  if (file == nullptr) return;
  std::string date = DateText();
  std::fwrite(date.data(), 1, date.size(), file);
}

std::filesystem::path SysLog::DamagedName() const {
  std::time_t now = clock.Now();
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  std::filesystem::path name = log;
  name += std::string(".damaged-") + stamp;
  return name;
}

void SysLog::Report(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  if (events != nullptr) events->WriteEvent(WE_SYSLOG, text);
}

bool SysLog::SetAside(std::int64_t size) {
  const std::filesystem::path base = DamagedName();
  std::filesystem::path aside = base;
  // Never over an older damaged log: each one may hold the only copy of
  // its events.
  for (int n = 2; files.Exists(aside) && n < 1000; ++n)
    aside = base.string() + "-" + std::to_string(n);
  if (!files.MoveAside(log, aside)) return false;
  Report(
      Format("The system log %s did not end on a whole record (%lld characters); it was kept "
             "as %s and a new log was started.",
             log.string().c_str(), static_cast<long long>(size), aside.string().c_str()));
  return true;
}

void SysLog::WriteFailed() {
  if (failing) return;
  failing = true;
  Report(Format("The system log %s cannot be written: events are not being logged there.",
                log.string().c_str()));
}

bool SysLog::WriteEvent(std::uint32_t address, eventtype type, unsigned data1, unsigned data2,
                        unsigned data3) {
  std::int64_t size = files.Size(log);
  if (size > 0 && !OnBoundary(size)) {
    // Appending now would shift every later record off its place for good.
    if (!SetAside(size)) {
      WriteFailed();
      return false;
    }
    size = files.Size(log);
  }

  // One time for header and record, and one write, so that a record is
  // never split from its date.
  std::string date = DateText();
  std::string text;
  if (size <= 0) text = date;
  text += date;
  text += Format("%04x%04x%02x%02x%02x", address & 0xFFFFu, static_cast<unsigned>(type) & 0xFFFFu,
                 data1 & 0xFFu, data2 & 0xFFu, data3 & 0xFFu);
  const std::int64_t written = files.Append(log, text);
  if (written != static_cast<std::int64_t>(text.size())) {
    // Part of a record would misplace all that follow: back to the boundary.
    if (written > 0) files.Truncate(log, static_cast<std::uint64_t>(size > 0 ? size : 0));
    WriteFailed();
    return false;
  }
  if (failing) {
    failing = false;
    Report(Format("The system log %s is written again; events before this were lost.",
                  log.string().c_str()));
  }
  return true;
}

std::vector<SysLog::eventtype> SysLog::ChangeEvents(unsigned oldstatus, unsigned newstatus,
                                                    unsigned oldfault, unsigned newfault) {
  std::vector<eventtype> out;
  // A status above 0xFF is "not yet known" (the alarm display's 0x8001 for a
  // device not heard from since start-up). Its bit 0x01 is no fault: a
  // device that is out of touch from the first poll must still have its
  // communications failure logged.
  if (oldstatus > 0xFF) oldstatus = 0;
  const unsigned newalarms = newstatus & ~oldstatus;
  if (newalarms & 0x02) out.push_back(AUXALARM);
  if (newalarms & 0x04) out.push_back(PREALARM);
  if (newalarms & 0x08) out.push_back(FIRE1ALARM);
  if (newalarms & 0x10) out.push_back(FIRE2ALARM);

  // A device that newly reports a fault without saying which has stopped
  // answering: the poller makes up exactly that answer.
  if ((newalarms & 0x01) && (newfault & 0xFF) == 0) out.push_back(COMMSFAIL);

  // Faults count when they appear; isolation counts both ways.
  const unsigned changed = (newfault ^ oldfault) & (newfault | FT_ISOLATED);
  if ((changed & 0x03) == 0x03) {
    out.push_back(FLOWFAIL);
  } else {
    if (changed & 0x01) out.push_back(FLOWLOW);
    if (changed & 0x02) out.push_back(FLOWHIGH);
  }
  if (changed & 0x04) out.push_back(DETECTORFAULT);
  if (changed & 0x08) out.push_back(MAINSFAULT);
  if (changed & 0x10) out.push_back(BATTERYFAULT);
  if (changed & FT_ISOLATED) out.push_back((newfault & FT_ISOLATED) ? ISOLATE : DEISOLATE);
  if (changed & 0x40) out.push_back(SEPARATORFAULT);
  return out;
}

void SysLog::WriteStatusChange(std::uint32_t address, unsigned oldstatus, unsigned newstatus,
                               unsigned oldfault, unsigned newfault) {
  for (eventtype type : ChangeEvents(oldstatus, newstatus, oldfault, newfault))
    WriteEvent(address, type, 255, 0, 0);
}

}  // namespace quillark
