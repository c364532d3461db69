#include "core/status/scan.h"

#include <algorithm>
#include <cstring>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/message.h"

namespace quillark {

namespace {

// Texts of the scan's progress.
constexpr int TX_SCANNING = 58050;
constexpr int TX_COMMANDMODULE = 58100;
constexpr int TX_DETECTOR = 16900;
constexpr int TX_POWERSUPPLY = 58150;
constexpr int TX_PERCENT = 58200;

}  // namespace

std::string Scanner::Text(int id, const char* english) const {
  return TextOr(main != nullptr ? &main->GetTranslator() : nullptr, id, english);
}

Scanner::Scanner(BusHost* app, MsgClass& o, const ScanRequest& request)
    : MsgClass(app),
      owner(o),
      numloops(std::max(1, request.loops)),
      firstloop(std::clamp(request.firstloop, 0, numloops - 1)),
      device(request.startdevice - 1),
      startdevice(request.startdevice),
      enddevice(request.enddevice),
      scanmsg(request.msg.substr(0, MAXMSG)),
      msglength(request.extratimeout),
      statustext(Text(TX_SCANNING, "Scanning devices...")) {}

Scanner::~Scanner() {
  DeRegister();
}

void Scanner::SetupWindow() {
  Register(this, MSG_LONG | MSG_TXEMPTY);
  NextDevice();
}

int Scanner::Run() {
  SetupWindow();
  if (result == SCAN_RUNNING && main != nullptr)
    main->Events().RunUntil([this] { return result != SCAN_RUNNING; });
  // The program is closing: what was not asked was not read.
  if (result == SCAN_RUNNING) AbortScan();
  return result;
}

void Scanner::StartStepTimer() {
  if (main == nullptr) return;
  const std::uint32_t wait =
      static_cast<std::uint32_t>(std::max(0, main->GetMaxDeviceTimeout())) + msglength;
  scantimer = main->Events().SingleShot(wait, [this] { NextDevice(); });
}

void Scanner::NextDevice() {
  // An answer taken while a step is being sent ends that step once the
  // sending is done, not in the middle of it.
  if (stepping) {
    stepdue = true;
    return;
  }
  do {
    stepdue = false;
    scantimer.Cancel();
    if (result != SCAN_RUNNING) return;
    if (++device == 128) ++device;
    if (device > enddevice) {
      result = SCAN_COMPLETE;
      if (onchange) onchange();
      return;
    }
    rxmessages = 0;
    char kind;
    int address;
    if (device == 0) {
      statustext = Text(TX_COMMANDMODULE, "Command module");
      kind = ':';
      address = 1;
    } else if (device < 128) {
      statustext = Text(TX_DETECTOR, "Detector") + Format(" %d", device);
      kind = '>';
      address = device;
    } else {
      statustext = Format(Text(TX_POWERSUPPLY, "Power supply %d").c_str(), device - 128);
      kind = '#';
      address = device - 128;
    }
    char buf[FRAMEBUFFER];
    const std::size_t len = std::max<std::size_t>(2, scanmsg.size());
    std::memset(buf, 0, sizeof buf);
    std::memcpy(buf, scanmsg.data(), scanmsg.size());
    buf[0] = kind;
    buf[1] = static_cast<char>(address | 0x80);
    stepping = true;
    for (int loop = firstloop; loop < numloops && result == SCAN_RUNNING; ++loop) {
      char frame[FRAMEBUFFER];
      std::memcpy(frame, buf, sizeof frame);
      SendBusMessage(loop, frame, static_cast<int>(len));
    }
    stepping = false;
    if (result != SCAN_RUNNING) return;
    // Also timed from the sending, so a port that never says its
    // transmitter is empty cannot hold the scan up for ever.
    if (!stepdue) StartStepTimer();
    if (onchange) onchange();
  } while (stepdue);
}

void Scanner::MsgRx(int loop, const char* msg) {
  if (result != SCAN_RUNNING || msg == nullptr || msg[0] == '\0' || msg[1] == '\0') return;
  const int address = static_cast<unsigned char>(msg[1]) & 0x7F;
  // The position's own bus address: a power supply answers under its own,
  // the command module under address 1.
  const int expected = device == 0 ? 1 : (device > 128 ? device - 128 : device);
  if (address == expected || (device == 0 && address == 0)) owner.MsgRx(loop, msg);
}

void Scanner::TxEmpty() {
  if (result == SCAN_RUNNING && !stepping) StartStepTimer();
}

void Scanner::MessageReceived(int) {
  if (result != SCAN_RUNNING) return;
  if (++rxmessages >= numloops - firstloop) NextDevice();
}

void Scanner::AbortScan() {
  scantimer.Cancel();
  if (result != SCAN_RUNNING) return;
  result = SCAN_CANCELLED;
  if (onchange) onchange();
}

int Scanner::GetPercent() const {
  const int span = std::max(enddevice - startdevice, 1);
  return std::clamp((device - startdevice) * 100 / span, 0, 100);
}

std::string Scanner::GetCaption() const {
  return Format(Text(TX_PERCENT, "Scanning %d%%").c_str(), GetPercent());
}

}  // namespace quillark
