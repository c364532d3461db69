#include "core/status/busstatusmonitor.h"

#include "core/common/atomicfile.h"
#include "core/common/textutil.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "core/comms/bushost.h"
#include "core/platform/eventloop.h"

namespace quillark {

namespace {

// The date line of the report, with a two-digit day ("Tue Dec 08 04:05:00 2026").
std::string DateLine(std::time_t now) {
  return CTimeText(now, true) + "\n";
}

// Text files of the program end their lines with CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool IsKnownCommand(char letter) {
  switch (letter) {
    case 'A':
    case 'C':
    case 'D':
    case 'E':
    case 'G':
    case 'H':
    case 'I':
    case 'L':
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
    case 'T':
    case 'U':
      return true;
    default:
      return false;
  }
}

}  // namespace

BusStatusMonitor::BusStatusMonitor(BusHost* application, std::filesystem::path reportfile)
    : MsgClass(application), reportfile(std::move(reportfile)) {
  Register(this, MSG_SHORT | MSG_LONG | MSG_INVALID | MSG_TXEMPTY);
}

BusStatusMonitor::~BusStatusMonitor() {
  DeRegister();
}

void BusStatusMonitor::MsgRx(int /*loop*/, const char* msg) {
  if (msg == nullptr) return;
  status.rxmessages.Add(1);
  switch (msg[0]) {
    case '\0':
      break;
    case '@':
    case '*':
      ProcessFastPoll(msg);
      break;
    case '>':
    case '<':
    case ':':
    case '/':
      ProcessStandardPoll(msg);
      break;
    default:
      status.rxunknownpolls.Add(1);
      status.rxbadmessages.Add(1);
      break;
  }
  if (TimeToSaveStatusData()) {
    SaveStatusData();
    Reset();
  }
}

void BusStatusMonitor::TxEmpty() {
  status.txmessages.Add(1);
}

void BusStatusMonitor::ProcessFastPoll(const char* msg) {
  status.rxfastpolls.Add(1);
  if (!IsValidAddress(static_cast<unsigned char>(msg[1]))) status.rxbadmessages.Add(1);
}

void BusStatusMonitor::ProcessStandardPoll(const char* msg) {
  status.rxstdpolls.Add(1);
  const auto addressbyte = static_cast<unsigned char>(msg[1]);
  if (!IsValidAddress(addressbyte)) {
    status.rxbadmessages.Add(1);
    return;
  }
  // A frame that ends at its address byte has no letter to look at.
  const char letter = addressbyte != 0 ? msg[2] : '\0';
  if (!IsKnownCommand(letter)) {
    status.rxunknowncommands.Add(1);
    status.rxbadmessages.Add(1);
  }
}

bool BusStatusMonitor::TimeToSaveStatusData() {
  if (main == nullptr) return false;
  const std::uint32_t now = main->Events().TickCount();
  // Compared on the wrapping tick counter: a plain comparison would, in the
  // hour before the wrap, write a report and clear the counts on every frame.
  if (saved && static_cast<std::int32_t>(now - nextsave) < 0) return false;
  saved = true;
  nextsave = now + SAVEINTERVAL;
  return true;
}

void BusStatusMonitor::SaveStatusData() {
  if (reportfile.empty() || main == nullptr) return;
  std::ostringstream text;
  text << DateLine(main->Events().Now()) << "\n";
  status.Put(text);
  const std::string bytes = WithCrLf(text.str());

  // A reader never sees half a report, and a failed write keeps the last one.
  WriteFileAtomically(reportfile, bytes);
}

}  // namespace quillark
