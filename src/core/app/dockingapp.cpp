#include "core/app/dockingapp.h"

#include <cstring>

#include "core/access/translator.h"
#include "core/app/mainwindow.h"
#include "core/comms/message.h"
#include "core/comms/netmirror.h"
#include "core/platform/eventloop.h"

namespace quillark {

TDockingApp::TDockingApp(EventLoop& e, Prompter& p, StatusDisplay& s, INI& i)
    : events(e),
      prompter(p),
      status(s),
      ini(i),
      translator(std::make_unique<Translator>(&ini, &prompter)) {}

TDockingApp::~TDockingApp() {
  DestroyMainWindow();
  registry.clear();
}

// --- Registry --------------------------------------------------------------

void TDockingApp::Register(MsgClass* msgclass, std::uint32_t flags) {
  if (msgclass == nullptr) return;
  if ((flags & MSG_FIRST) != 0)
    registry.push_front({msgclass, flags});
  else
    registry.push_back({msgclass, flags});
}

void TDockingApp::DeRegister(MsgClass* msgclass) {
  if (msgclass == nullptr) return;
  busy = true;
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
  busy = false;
}

void TDockingApp::PurgeRemoved() {
  if (delivering > 0 || !removedduringdelivery) return;
  registry.remove_if([](const MsgClassInfo& e) { return e.msgclass == nullptr; });
  removedduringdelivery = false;
}

std::size_t TDockingApp::RegisteredReceivers() const {
  std::size_t n = 0;
  for (const auto& e : registry)
    if (e.msgclass != nullptr) ++n;
  return n;
}

void TDockingApp::DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232) {
  if (msgbuff == nullptr) return;
  const std::uint32_t flags = Message::GetMessageFlags(msgbuff, characters);

  if (busviewer != nullptr && fromrs232) busviewer->MsgRx(loop, msgbuff);

  if (!busy) {
    ++delivering;
    for (auto& entry : registry)
      if (entry.msgclass != nullptr && entry.AcceptMsg(flags)) entry.MsgRx(loop, msgbuff);
    --delivering;
    PurgeRemoved();
  }

  if (maindisplay == nullptr && displaybuilder && !buildingdisplay) {
    // The build pauses polling and waits; frames arriving meanwhile must not
    // start another build.
    buildingdisplay = true;
    displaybuilder();
    buildingdisplay = false;
  }

  if (mainwindow != nullptr) {
    if (PollingEngine* master = mainwindow->GetCommandModule()) master->MsgRx(loop, msgbuff);
  }
}

void TDockingApp::TxEmpty() {
  if (busy || mainwindow == nullptr) return;
  CommHandler* comms = mainwindow->GetCommHandler();
  if (comms == nullptr || !comms->AllTxEmpty()) return;
  ++delivering;
  for (auto& entry : registry)
    if (entry.msgclass != nullptr && (entry.flags & MSG_TXEMPTY) != 0) entry.TxEmpty();
  --delivering;
  PurgeRemoved();
}

int TDockingApp::SendBusMessage(int loop, char* msg, int msglength) {
  if (msg == nullptr || msglength <= 0) return 0;
  if (msg[0] != '?') {
    Message::CalculateAndSetXORsum(msg, msglength);
    msglength += 3;
  }
  if (busviewer != nullptr) busviewer->MsgRx(loop, msg);
  if (mainwindow != nullptr) mainwindow->SendBusMessage(loop, msg, msglength);
  return 0;
}

void TDockingApp::ControlRx(int datalen, const char* data) {
  if (mainwindow != nullptr) mainwindow->ControlRx(datalen, data);
}

// --- Main window -------------------------------------------------------------

void TDockingApp::SetMainWindow(std::unique_ptr<TMainWindow> window) {
  DestroyMainWindow();
  mainwindow = std::move(window);
}

void TDockingApp::DestroyMainWindow() {
  mainwindow.reset();
}

void TDockingApp::WriteEvent(int category, const std::string& text) {
  if (mainwindow != nullptr) mainwindow->WriteEvent(category, text);
}

void TDockingApp::PausePolling() {
  if (mainwindow != nullptr) mainwindow->PausePolling();
}

void TDockingApp::ResumePolling() {
  if (mainwindow != nullptr) mainwindow->ResumePolling(true);
}

bool TDockingApp::IsPollPaused() const {
  return mainwindow == nullptr || mainwindow->IsPollPaused();
}

bool TDockingApp::IsWritable(int device) const {
  return mainwindow != nullptr && mainwindow->IsWritable(device);
}

void TDockingApp::SetRxFail(int device) {
  if (mainwindow != nullptr && !ShuttingDown()) mainwindow->SetRxFail(device);
}

void TDockingApp::SetEvent(int device, int event) {
  if (mainwindow != nullptr) mainwindow->SetEvent(device, event);
}

void TDockingApp::BusReset(int loop) {
  // The reset is also the fast poll of the loop's command module; the bus
  // master sees it first so that it knows the bus was reset.
  char resetmsg[FRAMEBUFFER] = {'?', static_cast<char>(0x80), '\r', '\0'};
  DespatchRxMessage(loop, resetmsg, 3, false);
  if (mainwindow != nullptr) mainwindow->BusReset(loop, resetmsg, 3);
}

void TDockingApp::EvTimer(int timer) {
  if (mainwindow != nullptr) mainwindow->EvTimer(timer);
}

void TDockingApp::EvCommNotify(int commId, int st) {
  if (mainwindow != nullptr) mainwindow->EvCommNotify(commId, st);
}

int TDockingApp::GetMaxDeviceTimeout() const {
  return mainwindow != nullptr ? mainwindow->GetMaxDeviceTimeout() : 0;
}

void TDockingApp::ScanArrayDevice(int device) {
  if (mainwindow != nullptr) mainwindow->ScanArrayDevice(device);
}

void TDockingApp::PostCommNotify(int loop, int st) {
  std::weak_ptr<int> guard = alive;
  events.Post([this, guard, loop, st] {
    if (guard.lock()) EvCommNotify(loop, st);
  });
}

std::unique_ptr<NetMirror> TDockingApp::MakeNetMirror(int loops) {
  return netmirrorfactory ? netmirrorfactory(loops, ini) : nullptr;
}

bool TDockingApp::ShuttingDown() const {
  return shuttingdown || events.ShuttingDown();
}

}  // namespace quillark
