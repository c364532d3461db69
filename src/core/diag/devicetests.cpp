#include "core/diag/devicetests.h"

#include <algorithm>
#include <cstring>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/message.h"
#include "core/diag/diag.h"

namespace quillark {
namespace {

// Whether a frame heard on `loop` is from `device`.
bool FromDevice(int loop, const char* msg, int device) {
  if (msg == nullptr || msg[0] == '\0' || msg[1] == '\0') return false;
  return loop * 256 + (static_cast<unsigned char>(msg[1]) & 0x7F) == device;
}

}  // namespace

void DiagSendRequest(MsgClass& sender, int device, const std::string& body) {
  char frame[FRAMEBUFFER] = {};
  frame[0] = '>';
  frame[1] = static_cast<char>(((device & 0xFF) + 128) & 0xFF);
  const std::size_t n = std::min(body.size(), static_cast<std::size_t>(MAXFRAME - 8));
  std::memcpy(frame + 2, body.data(), n);
  sender.SendBusMessage(device >> 8, frame, static_cast<int>(n + 2));
}

// --- Self-test -------------------------------------------------------------

Diagnose::Diagnose(BusHost* app, int d) : MsgClass(app), device(d) {}

Diagnose::~Diagnose() {
  timer.Cancel();
  DeRegister();
  if (paused && main != nullptr) main->ResumePolling();
}

void Diagnose::Start() {
  if (main == nullptr || IsRegistered()) return;
  // The device's answers to the polls would be taken for the test's.
  main->PausePolling();
  paused = true;
  Register(this, MSG_LONG);
  DiagSendRequest(*this, device, "D000");
  timer = main->Events().SingleShot(POLLMS, [this] { Tick(); });
}

void Diagnose::Tick() {
  timer = main->Events().SingleShot(POLLMS, [this] { Tick(); });
  DiagSendRequest(*this, device, "Q000");
  if (++polls == SILENTPOLLS && !started) {
    problem = main->GetTranslator().Text(answered ? TX_DIAGNOSELFTEST : TX_DIAGNOANSWER);
    Changed();
  }
}

void Diagnose::MsgRx(int loop, const char* msg) {
  if (finished || !FromDevice(loop, msg, device)) return;
  DiagIdentity identity;
  if (!DiagReadIdentity(loop, msg, "<+", identity)) return;
  answered = true;
  statustext = DiagStatusText(main->GetTranslator(), identity.status);
  if (identity.status > 128) {
    gauge = identity.status == 255 ? 0 : std::min(identity.status - 128, 10);
    if (identity.status != 255) {
      started = true;
      problem.clear();
    }
  } else {
    started = true;
    problem.clear();
    timer.Cancel();
    gauge = 10;
    finished = true;
  }
  Changed();
}

// --- Continuous read -------------------------------------------------------

std::string ContRead::Reading::Field(int index) const {
  if (index == 0) return Format("%03u", static_cast<unsigned>(level));
  const int value = pipes[std::clamp(index - 1, 0, 3)];
  // A pipe that is not fitted reads above 100: it is left blank, except
  // the first, which every detector has.
  if (index > 1 && value > 100) return {};
  return Format("%03u", static_cast<unsigned>(value));
}

ContRead::ContRead(BusHost* app, int d) : MsgClass(app), device(d) {}

ContRead::~ContRead() {
  timer.Cancel();
  DeRegister();
  if (paused && main != nullptr) main->ResumePolling();
}

void ContRead::Start() {
  if (main == nullptr || IsRegistered()) return;
  main->PausePolling();
  paused = true;
  Register(this, MSG_LONG);
  Send();
}

void ContRead::Send() {
  if (waiting) ++unanswered;
  waiting = true;
  DiagSendRequest(*this, device, Format("G004%02x%02x", 63, 91));
  timer = main->Events().SingleShot(READMS, [this] { Send(); });
}

bool ContRead::ParseReading(std::string_view frame, Reading& reading) {
  // The last pipe ends at 60, and the check sum follows it.
  if (frame.size() < 62 || frame[0] != '<' || frame[2] != 'G') return false;
  Reading r;
  r.level = DiagHexByte(frame, 6);
  static constexpr std::size_t PIPES[4] = {40, 46, 52, 58};
  for (int i = 0; i < 4; ++i) r.pipes[i] = DiagHexByte(frame, PIPES[i]);
  if (r.level < 0) return false;
  for (int p : r.pipes)
    if (p < 0) return false;
  reading = r;
  return true;
}

void ContRead::MsgRx(int loop, const char* msg) {
  if (!FromDevice(loop, msg, device)) return;
  Reading r;
  if (!ParseReading(msg, r)) return;
  waiting = false;
  ++readings;
  last = r;
  if (onreading) onreading(last);
}

// --- Relays ------------------------------------------------------------------

RelayTest::RelayTest(BusHost* app, int d) : MsgClass(app), device(d) {
  Register(this, MSG_LONG);
}

RelayTest::~RelayTest() {
  timer.Cancel();
  DeRegister();
}

void RelayTest::SetMask(int m) {
  mask = m & 0x1F;
  confirmed = false;
  DiagSendRequest(*this, device, Format("L002%02x", static_cast<unsigned>(mask)));
  timer = main->Events().SingleShot(CONFIRMMS, [this] {
    if (confirmed) return;
    problem = main->GetTranslator().Text(TX_DIAGNORELAYS);
    if (onchange) onchange();
  });
  if (onchange) onchange();
}

bool RelayTest::IsConfirmation(std::string_view frame, int mask) {
  // The device echoes the request: "<", its address, "L002" and the mask it
  // set, then the check sum. Another mask is an older setting's answer, not
  // this one's; an answer cut short would read the check sum as the mask.
  return frame.size() >= 10 && frame[0] == '<' && frame.substr(2, 4) == "L002" &&
         DiagHexByte(frame, 6) == (mask & 0x1F);
}

void RelayTest::MsgRx(int loop, const char* msg) {
  if (confirmed || !FromDevice(loop, msg, device) || !IsConfirmation(msg, mask)) return;
  confirmed = true;
  problem.clear();
  timer.Cancel();
  if (onchange) onchange();
}

}  // namespace quillark
