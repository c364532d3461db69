#include "core/comms/busrouter.h"

#include <cstring>

#include "core/comms/commhndl.h"
#include "core/comms/message.h"
#include "core/comms/netmirror.h"
#include "core/comms/netphndl.h"
#include "core/platform/eventloop.h"
#include "core/platform/services.h"
#include "core/platform/statusdisplay.h"

namespace quillark {

BusRouter::BusRouter(Services& s) : services(s) {}

BusRouter::~BusRouter() {
  registry.clear();
}

// --- Registry --------------------------------------------------------------

void BusRouter::Register(MsgClass* msgclass, std::uint32_t flags) {
  if (msgclass == nullptr) return;
  if ((flags & MSG_FIRST) != 0)
    registry.push_front({msgclass, flags});
  else
    registry.push_back({msgclass, flags});
}

void BusRouter::DeRegister(MsgClass* msgclass) {
  if (msgclass == nullptr) return;
  for (auto it = registry.begin(); it != registry.end(); ++it) {
    if (it->msgclass != msgclass) continue;
    if (delivering > 0) {
      // A receiver may leave while a frame is being handed round (a window
      // that closes on its answer): blank the entry now, unlink it afterwards,
      // so the walk in progress stays valid.
      it->msgclass = nullptr;
      removedduringdelivery = true;
    } else {
      registry.erase(it);
    }
    break;
  }
}

void BusRouter::PurgeRemoved() {
  if (delivering > 0 || !removedduringdelivery) return;
  registry.remove_if([](const MsgClassInfo& e) { return e.msgclass == nullptr; });
  removedduringdelivery = false;
}

std::size_t BusRouter::RegisteredReceivers() const {
  std::size_t n = 0;
  for (const auto& e : registry)
    if (e.msgclass != nullptr) ++n;
  return n;
}

void BusRouter::DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232) {
  if (msgbuff == nullptr) return;
  const std::uint32_t flags = Message::GetMessageFlags(msgbuff, characters);

  if (busviewer != nullptr && fromrs232) busviewer->MsgRx(loop, msgbuff);

  ++delivering;
  for (auto& entry : registry)
    if (entry.msgclass != nullptr && entry.AcceptMsg(flags)) entry.MsgRx(loop, msgbuff);
  --delivering;
  PurgeRemoved();

  if (maindisplay == nullptr) BuildDisplay();

  if (poller != nullptr) poller->MsgRx(loop, msgbuff);
}

void BusRouter::BuildDisplay() {
  // The build pauses polling and waits; frames arriving meanwhile must not
  // start another build.
  if (!displaybuilder || buildingdisplay) return;
  buildingdisplay = true;
  displaybuilder();
  buildingdisplay = false;
}

void BusRouter::TxEmpty() {
  if (commhandler == nullptr || !commhandler->AllTxEmpty()) return;
  ++delivering;
  for (auto& entry : registry)
    if (entry.msgclass != nullptr && (entry.flags & MSG_TXEMPTY) != 0) entry.TxEmpty();
  --delivering;
  PurgeRemoved();
}

int BusRouter::SendBusMessage(int loop, char* msg, int msglength) {
  if (msg == nullptr || msglength <= 0) return 0;
  if (msg[0] != '?') {
    Message::CalculateAndSetXORsum(msg, msglength);
    msglength += 3;
  }
  if (busviewer != nullptr) busviewer->MsgRx(loop, msg);
  if (commhandler != nullptr) commhandler->WriteComm(loop, msg, msglength);
  return 0;
}

void BusRouter::ControlRx(int datalen, const char* data) {
  if (data == nullptr || datalen <= 0 || commhandler == nullptr) return;
  const int loop = static_cast<signed char>(data[0]);
  commhandler->WriteComm(loop, data + 1, datalen);
}

void BusRouter::PostCommNotify(int loop, int st) {
  // Every answer on every loop notifies; notifications of one loop that have
  // not been handled yet are handled together, so a busy site costs one
  // queued call per loop and turn of the event loop, not one per frame.
  std::size_t slot = 0;
  if (loop >= 0 && loop < MAXLOOPS) {
    slot = static_cast<std::size_t>(loop);
    const bool queued = pendingnotify[slot] != 0;
    pendingnotify[slot] |= st;
    if (queued && st != 0) return;
  }
  std::weak_ptr<int> guard = alive;
  const bool merged = loop >= 0 && loop < MAXLOOPS;
  services.events.Post([this, guard, loop, st, slot, merged] {
    if (!guard.lock()) return;
    int status = st;
    if (merged) {
      status = pendingnotify[slot];
      pendingnotify[slot] = 0;
    }
    if (commhandler != nullptr) commhandler->EvCommNotify(loop, status);
  });
}

// --- Polling -------------------------------------------------------------------

void BusRouter::PausePolling() {
  if (poller != nullptr) poller->PausePolling();
  paused = true;
  services.status.SetStatusText(PAUSEDTEXT, RGB_BLACK, RGB_LIGHTYELLOW);
}

void BusRouter::ResumePolling(bool reset) {
  if (reset && commhandler != nullptr) commhandler->ResetLoops();
  if (poller != nullptr) poller->ResumePolling();
  paused = false;
  // The loops' own state replaces the notice with the next notification.
  if (commhandler != nullptr) commhandler->ShowStatusNow();
}

// --- Loops -------------------------------------------------------------------

bool BusRouter::IsNetworkLoop(int loop) const {
  return commhandler != nullptr && commhandler->IsNetworkLoop(loop);
}

int BusRouter::GetAnswerLineTime(int loop) const {
  return commhandler != nullptr ? commhandler->GetAnswerLineTime(loop) : 0;
}

int BusRouter::GetMaxDeviceTimeout() const {
  return commhandler != nullptr ? commhandler->GetMaxDeviceTimeout() : 0;
}

bool BusRouter::IsWritable(int device) const {
  return commhandler != nullptr && commhandler->IsDeviceWritable(device);
}

void BusRouter::BusReset(int loop) {
  // The reset is also the fast poll of the loop's command module; the bus
  // master sees it first so that it knows the bus was reset.
  char resetmsg[FRAMEBUFFER] = {'?', static_cast<char>(0x80), '\r', '\0'};
  DespatchRxMessage(loop, resetmsg, 3, false);
  if (commhandler == nullptr) return;
  commhandler->FlushComm(loop);
  commhandler->WriteComm(loop, resetmsg, 3);
  commhandler->FlushComm(loop);
}

void BusRouter::SetRxFail(int device) {
  if (device < 0 || ShuttingDown()) return;
  // A made-up fast-poll answer with status 01 (communications failure).
  char rxfail[FRAMEBUFFER];
  rxfail[0] = '@';
  rxfail[1] = static_cast<char>((device & 0xFF) | 0x80);
  std::memcpy(rxfail + 2, "010000", 6);
  Message::CalculateAndSetXORsum(rxfail, 8);
  rxfail[10] = '\0';  // cut after the check sum
  DespatchRxMessage(device >> 8, rxfail, 10, false);
}

void BusRouter::SetEvent(int device, int event) {
  if (commhandler != nullptr) commhandler->SetEvent(device, event);
}

bool BusRouter::ShuttingDown() const {
  return shuttingdown || services.events.ShuttingDown();
}

std::unique_ptr<NetMirror> BusRouter::MakeNetMirror(int n) {
  if (netmirrorfactory) return netmirrorfactory(n, services.ini);
  if (services.tcp != nullptr)
    return std::make_unique<NetPortHandler>(*this, n, services.ini, *services.tcp);
  return nullptr;
}

}  // namespace quillark
