#include "core/comms/commhndl.h"

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/busrouter.h"
#include "core/platform/eventwriter.h"
#include "core/platform/prompter.h"
#include "core/platform/statusdisplay.h"

namespace quillark {

CommHandler::CommHandler(BusRouter& AParent)
    : Parent(AParent),
      Translate(AParent.GetServices().translator),
      StatusText(&AParent.GetServices().status) {
  INI& ini = Parent.GetServices().ini;
  currenttime = Parent.Events().TickCount();

  // Fewer than one loop would leave nothing to supervise.
  const LoopSettings loops = LoopSettings::Read(ini);
  if (loops.toomany) Parent.GetPrompter().Show("", Translate.Text(52500), PromptIcon::STOP);
  Loops = loops.loops;

  NetPort = Parent.MakeNetMirror(Loops);

  IOPortFactory factory(&Parent, ini);
  for (int loop = 0; loop < Loops; ++loop) {
    CommLoop[static_cast<std::size_t>(loop)] = factory.New(loop);
    const IOPort* port = CommLoop[static_cast<std::size_t>(loop)].get();
    CommEnabled[static_cast<std::size_t>(loop)] = port != nullptr && port->GetLoop() >= 0;
  }
  polltimer = Parent.Events().SingleShot(POLLTIMERMS, [this] { EvTimer(POLLTIMER); });
}

CommHandler::~CommHandler() {
  polltimer.Cancel();
  for (int loop = 0; loop < MAXLOOPS; ++loop) {
    CommEnabled[static_cast<std::size_t>(loop)] = false;
    try {
      CommLoop[static_cast<std::size_t>(loop)].reset();
    } catch (...) {
      // One port failing to close must not keep the others open.
    }
  }
  try {
    NetPort.reset();
  } catch (...) {
  }
}

IOPort* CommHandler::GetPort(int loop) const {
  if (loop < 0 || loop >= MAXLOOPS) return nullptr;
  return CommLoop[static_cast<std::size_t>(loop)].get();
}

void CommHandler::SetPort(int loop, std::unique_ptr<IOPort> port) {
  if (loop < 0 || loop >= MAXLOOPS) return;
  const auto i = static_cast<std::size_t>(loop);
  CommEnabled[i] = false;
  CommLoop[i] = std::move(port);
  CommEnabled[i] = CommLoop[i] != nullptr && CommLoop[i]->GetLoop() >= 0 && loop < Loops;
}

bool CommHandler::GetCommEnableState(int loop) const {
  if (loop < 0 || loop >= MAXLOOPS) return false;
  return CommEnabled[static_cast<std::size_t>(loop)];
}

bool CommHandler::WriteComm(int loop, const char* data, int datalen) {
  if (!GetCommEnableState(loop)) return false;
  bool written = CommLoop[static_cast<std::size_t>(loop)]->Write(data, datalen);
  if (NetPort != nullptr) NetPort->SendToClients(loop, data, datalen);
  return written;
}

void CommHandler::FlushComm(int loop) {
  if (GetCommEnableState(loop)) CommLoop[static_cast<std::size_t>(loop)]->Flush();
}

void CommHandler::ResetLoops() {
  for (int loop = 0; loop < MAXLOOPS; ++loop)
    if (GetCommEnableState(loop)) CommLoop[static_cast<std::size_t>(loop)]->Reset();
}

bool CommHandler::AllTxEmpty() {
  for (int loop = 0; loop < MAXLOOPS; ++loop)
    if (GetCommEnableState(loop) && !CommLoop[static_cast<std::size_t>(loop)]->IsTxEmpty())
      return false;
  return true;
}

bool CommHandler::IsDeviceWritable(int device) {
  if (device < 0) return false;
  int loop = device >> 8;
  return GetCommEnableState(loop) && CommLoop[static_cast<std::size_t>(loop)]->IsWritable();
}

bool CommHandler::IsNetworkLoop(int loop) const {
  return GetCommEnableState(loop) && CommLoop[static_cast<std::size_t>(loop)]->IsNetworkLoop();
}

int CommHandler::GetAnswerLineTime(int loop) const {
  return GetCommEnableState(loop) ? CommLoop[static_cast<std::size_t>(loop)]->GetAnswerLineTime()
                                  : 0;
}

void CommHandler::SetEvent(int detector, int event) {
  if (detector < 0) return;
  if (IOPort* port = GetPort(detector >> 8)) port->SetEvent(detector, event);
}

int CommHandler::GetMaxDeviceTimeout() {
  int timeout = 100;
  for (int loop = 0; loop < MAXLOOPS; ++loop)
    if (GetCommEnableState(loop))
      timeout = std::max(timeout, CommLoop[static_cast<std::size_t>(loop)]->GetDeviceTimeout());
  return timeout;
}

void CommHandler::EvCommNotify(int commId, int status) {
  bool rxfail = false;
  int badloop = 0;
  for (int loop = 0; loop < MAXLOOPS; ++loop) {
    if (!GetCommEnableState(loop)) continue;
    // The port may be replaced while it delivers (a rebuilt handler), so it is
    // looked up afresh for every loop.
    if (CommLoop[static_cast<std::size_t>(loop)]->Notify(commId, status)) {
      rxfail = true;
      badloop = loop;
    }
  }
  // No timer is restarted here: this runs for every frame received, and a
  // timer made and dropped per frame was most of the cost of a poll.
  SetCommStatus(rxfail, badloop);
}

void CommHandler::EvTimer(int timer) {
  if (timer == POLLTIMER) polltimer.Cancel();
}

void CommHandler::SetCommStatus(bool rxfail, int badloop) {
  const std::uint32_t now = Parent.Events().TickCount();
  // The display changes at most once a second.
  if (!statusdue && !TicksElapsed(now, currenttime, 1000)) return;
  statusdue = false;
  if (Parent.IsPollPaused()) {
    // A failure seen while paused is not announced, but is remembered so
    // that its clearing is written once polling goes on.
    if (rxfail) Parent.lastrxfail = true;
    if (StatusText != nullptr) {
      StatusText->FlashCaption(false);
      StatusText->SetStatusText(BusRouter::PAUSEDTEXT, RGB_BLACK, RGB_LIGHTYELLOW);
    }
    currenttime = now;
    return;
  }

  if (rxfail && !Parent.IsPollPaused()) {
    std::string text = Format(Translate.Text(19100).c_str(), badloop + 1);
    if (StatusText != nullptr) {
      StatusText->FlashCaption(true);
      StatusText->SetStatusText(text, RGB_BLACK, RGB_LIGHTYELLOW);
      StatusText->WarningBeep();
    }
    if (!Parent.lastrxfail) Parent.WriteEvent(WE_FAULT, text);
  } else if (!rxfail) {
    std::string text = Translate.Text(18900);
    if (StatusText != nullptr) {
      StatusText->FlashCaption(false);
      StatusText->SetStatusText(text, RGB_BLACK, RGB_LIGHTGREEN);
    }
    if (Parent.lastrxfail) Parent.WriteEvent(WE_FAULT, text);
  }
  currenttime = now;
  Parent.lastrxfail = rxfail;
}

}  // namespace quillark
