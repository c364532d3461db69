#include "core/events/syslog.h"

#include <ctime>
#include <memory>
#include <system_error>

#include "core/common/statusbits.h"
#include "core/common/textutil.h"
#include "core/platform/eventloop.h"

namespace quillark {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

SysLog::SysLog(std::filesystem::path log, const EventLoop& clock)
    : log(std::move(log)), clock(clock) {}

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

bool SysLog::WriteEvent(std::uint32_t address, eventtype type, unsigned data1, unsigned data2,
                        unsigned data3) {
  std::error_code ec;
  const bool existed = std::filesystem::exists(log, ec);
  File file(std::fopen(log.c_str(), "ab"));
  if (!file) return false;

  // One time for header and record, and one write, so that a record is
  // never split from its date.
  std::string date = DateText();
  std::string text;
  if (!existed) text = date;
  text += date;
  text += Format("%04x%04x%02x%02x%02x", address & 0xFFFFu, static_cast<unsigned>(type) & 0xFFFFu,
                 data1 & 0xFFu, data2 & 0xFFu, data3 & 0xFFu);
  bool ok = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  ok = std::fclose(file.release()) == 0 && ok;
  return ok;
}

std::vector<SysLog::eventtype> SysLog::ChangeEvents(unsigned oldstatus, unsigned newstatus,
                                                    unsigned oldfault, unsigned newfault) {
  std::vector<eventtype> out;
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
