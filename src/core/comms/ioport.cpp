#include "core/comms/ioport.h"

#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/comport.h"
#include "core/comms/demoport.h"
#include "core/comms/hliport.h"
#include "core/comms/lanctlport.h"
#include "core/platform/eventloop.h"

namespace quillark {
namespace {

// Ring sizes outside this range would make the ring useless or the
// allocation absurd; such settings fall back to the default.
constexpr long MINRING = 16;
constexpr long MAXRING = 1 << 20;

}  // namespace

IOPort::IOPort(BusHost* AParent, int ALoop, INI& ini) : Parent(AParent), Loop(ALoop) {
  if (Parent != nullptr) clock = &Parent->Events();
  long rx = ini.ReadInt("Comm", "RxBuff", "5000");
  RxBuff = (rx >= MINRING && rx <= MAXRING) ? static_cast<int>(rx) : 5000;
  long tx = ini.ReadInt("Comm", "TxBuff", "128");
  TxBuff = (tx > 0 && tx <= MAXRING) ? static_cast<int>(tx) : 128;
  commfailtimeout = static_cast<std::uint32_t>(ini.ReadInt("Comm", "CommsFailTimeout", "50000"));
  RxBuffer = std::make_unique<char[]>(static_cast<std::size_t>(RxBuff));
  // Not the overridable Reset: a derived port is not constructed yet.
  currenttime = Now();
}

IOPort::~IOPort() = default;

std::uint32_t IOPort::Now() const {
  return clock != nullptr ? clock->TickCount() : 0;
}

void IOPort::Flush() {
  istart = iend = 0;
}

void IOPort::Reset() {
  currenttime = Now();
}

bool IOPort::Write(const char*, int) {
  return false;
}

bool IOPort::IsWritable() {
  return false;
}

int IOPort::GetDeviceTimeout() {
  return 3000;
}

void IOPort::SetEvent(int, int) {}

char IOPort::ProcessSpecialCharacter(char rxchar) {
  return rxchar;
}

int IOPort::NotifyRead() {
  return 0;
}

bool IOPort::Notify(int commId, int status) {
  // Judged before this event's bytes count as reception.
  const bool failed = TicksElapsed(Now(), currenttime, commfailtimeout);
  if (commId != Loop) return failed;
  if ((status & 0x4) != 0 && Parent != nullptr) Parent->TxEmpty();
  if ((status & 0x2) != 0) {
    int count = NotifyRead();
    if (count > 0) {
      SaveRxChars(count);
      currenttime = Now();
    }
  }
  return failed;
}

void IOPort::SaveRxChars(int characters) {
  if (characters > INBUFF) characters = INBUFF;
  const int positions = RxBuff - 1;  // the ring uses positions 0 .. RxBuff - 2
  for (int i = 0; i < characters; ++i) {
    RxBuffer[static_cast<std::size_t>(iend)] = inbuff[i];
    char c = ProcessSpecialCharacter(inbuff[i]);
    int next = (iend + 1) % positions;
    // When the ring is full the byte just stored is overwritten by the next.
    if (next != istart) iend = next;
    if (c == '\r') {
      char msg[FRAMEBUFFER];
      int n = CopyBusMessage(msg);
      if (n > 0) DespatchMessage(msg, n);
    }
  }
}

int IOPort::CopyBusMessage(char* msg) {
  int count = 0;
  for (;;) {
    if (istart == iend) {
      msg[count] = '\0';
      return 0;  // no CR: what was copied is dropped
    }
    char c = RxBuffer[static_cast<std::size_t>(istart)];
    msg[count] = c;
    if (++istart >= RxBuff - 1) istart = 0;
    ++count;
    if (c == '\r' || count == MAXFRAME + 1) {
      msg[count] = '\0';
      return count - 1;
    }
  }
}

void IOPort::DespatchMessage(const char* buff, int characters) {
  if (Parent != nullptr) Parent->DespatchRxMessage(Loop, buff, characters, true);
}

std::unique_ptr<IOPort> IOPortFactory::New(int Loop) {
  if (Parent == nullptr || !Parent->IsLiveEdition())
    return std::make_unique<DemoPort>(Parent, Loop, ini);
  const long type = ini.ReadInt("Comm", Format("Loop%uPortType", Loop + 1), "0");
  std::unique_ptr<IOPort> port;
  switch (type) {
    case PORT_COM:
      port = std::make_unique<COMPort>(
          Parent, &Parent->GetTranslator(), Loop, ini,
          static_cast<int>(ini.ReadInt("Comm", Format("Loop%uBaud", Loop + 1), "9600")));
      break;
    case PORT_NETMONITOR:
      if (Parent->GetServices().tcp != nullptr) port = std::make_unique<LANPort>(Parent, Loop, ini);
      break;
    case PORT_NETCONTROL:
      if (Parent->GetServices().tcp != nullptr)
        port = std::make_unique<LANControlPort>(Parent, Loop, ini);
      break;
    case PORT_HLI:
      port = std::make_unique<HLIPort>(Parent, &Parent->GetTranslator(), Loop, ini);
      break;
    default:
      break;
  }
  // An unknown type, or a transport this build cannot open, leaves the loop
  // disabled rather than simulated: a live site must never show made-up data.
  if (port == nullptr) port = std::make_unique<DisabledPort>(Parent, ini);
  return port;
}

}  // namespace quillark
