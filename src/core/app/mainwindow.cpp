#include "core/app/mainwindow.h"

#include <cstring>

#include "core/app/dockingapp.h"
#include "core/comms/message.h"
#include "core/events/eventinfo.h"
#include "core/events/eventwriter.h"
#include "core/events/notifier.h"
#include "core/events/syslog.h"
#include "core/platform/prompter.h"
#include "core/status/alrmdisp.h"
#include "core/status/bmaster.h"
#include "core/status/busstatusmonitor.h"
#include "core/status/devicestatuslist.h"
#include "core/status/devicestatusmonitor.h"
#include "core/status/isolate.h"
#include "core/status/sopdialog.h"

namespace quillark {

TMainWindow::TMainWindow(TDockingApp& AParent, int l, INI& i) : Parent(AParent), loops(l), ini(i) {
  eventinfo = std::make_unique<EventInfo>();
  if (!Parent.GetPaths().syslog.empty())
    syslog = std::make_unique<SysLog>(Parent.GetPaths().syslog, Parent.Events());
  // The event text log opens first, so that the start-up banner is in it.
  if (!Parent.GetPaths().home.empty()) {
    notifier = std::make_unique<EventNotifier>(ini, Parent.GetPrompter(), Parent.GetLauncher(),
                                               Parent.GetPaths().home,
                                               [&e = Parent.Events()] { return e.Now(); });
    notifier->SetPollingControl({[this] { return BMPaused; }, [this] { PausePolling(); },
                                 [this] { ResumePolling(false); }});
    eventwriter = notifier.get();
  }
  WriteEvent(WE_INFORMATION, "**** Quillark startup ****");
}

TMainWindow::~TMainWindow() {
  try {
    WriteEvent(WE_INFORMATION, "**** Quillark shutdown ****");
  } catch (...) {
    // Nothing may stop the shutdown.
  }
  // The windows first: the mass operation and the alarm display.
  soplauncher.reset();
  sopexecutive.reset();
  if (alarmdisp != nullptr) Parent.SetDeviceStatusSource(nullptr);
  alarmdisp.reset();
  // The decoder goes before the list it writes to.
  devicestatusmonitor.reset();
  devicestatuslist.reset();
  busstatusmonitor.reset();
  deviceops.reset();
  security.reset();
  matrixscan.reset();
  DestroyCommHandler();
  DestroyCommandModule();
  // Last, so that everything said while shutting down is still logged.
  eventwriter = nullptr;
  notifier.reset();
  syslog.reset();
}

void TMainWindow::SetupWindow() {
  if (!Parent.IsLiveEdition())
    Parent.GetPrompter().Show("!!Demo version!!",
                              "This is the demonstration version of Quillark. This version does "
                              "not transmit bus data and is designed only for evaluating Quillark "
                              "facilities and features.",
                              PromptIcon::INFORMATION);
  security =
      std::make_unique<Security>(*this, ini, Parent.GetTranslator(), Parent.Events(),
                                 Parent.GetPrompter(), Parent.GetPaths().home / "dovetree.ini");
  deviceops = std::make_unique<DeviceOperations>(Parent, syslog.get(), security.get());
  eventinfo->LoadOptions(ini);
  alarmdisp =
      std::make_unique<AlarmDisp>(Parent, Parent.GetSoundPlayer(), *eventinfo, syslog.get(),
                                  Parent.GetSiteConfig(), loops, AlarmDisp::ReadRepeat(ini));
  alarmdisp->SetActions({[this](int d, bool on) { deviceops->Isolate(d, on); },
                         [this](int d) { deviceops->Reset(d); }, nullptr, nullptr});
  Parent.SetDeviceStatusSource(alarmdisp.get());
  sopexecutive = std::make_unique<AppSOPExecutive>(Parent, *deviceops);
  soplauncher = std::make_unique<SOPLauncher>(*sopexecutive, Parent.Events());
  Parent.ShowBargraph();
  CreateCommHandler();
  auto master = std::make_unique<PCcommandModule>(&Parent, Parent.GetSiteConfig(), ini, loops);
  PCcommandModule* bm = master.get();
  SetCommandModule(std::move(master));
  bm->SetupWindow();
  busstatusmonitor =
      std::make_unique<BusStatusMonitor>(&Parent, Parent.GetPaths().home / "status.txt");
  devicestatuslist = std::make_unique<DeviceStatusList>();
  devicestatusmonitor = std::make_unique<DeviceStatusMonitor>(&Parent, *devicestatuslist);
}

bool TMainWindow::HasPermission(int op) {
  return security != nullptr && security->HasPermission(static_cast<operation>(op), true);
}

PCcommandModule* TMainWindow::GetBusMaster() const {
  return dynamic_cast<PCcommandModule*>(commandmodule.get());
}

void TMainWindow::CreateCommHandler() {
  commhandler.reset();
  commhandler = std::make_unique<CommHandler>(Parent, Parent.GetTranslator(),
                                              &Parent.GetStatusDisplay(), ini);
}

void TMainWindow::DestroyCommHandler() {
  commhandler.reset();
}

void TMainWindow::SetCommandModule(std::unique_ptr<PollingEngine> master) {
  commandmodule = std::move(master);
  if (commandmodule != nullptr) commandmodule->SetLoops(loops);
}

void TMainWindow::DestroyCommandModule() {
  commandmodule.reset();
}

void TMainWindow::InitMatrixScan() {
  if (matrixscan != nullptr) matrixscan->InitMatrixScan();
}

void TMainWindow::ScanArrayDevice(int device) {
  if (matrixscan != nullptr) matrixscan->ScanArrayDevice(device);
}

void TMainWindow::WriteEvent(int category, const std::string& text) {
  if (eventwriter != nullptr) eventwriter->WriteEvent(category, text);
  Parent.NotifyEventListeners(category, text);
}

void TMainWindow::SendBusMessage(int loop, const char* msg, int msglength) {
  if (commhandler != nullptr) commhandler->WriteComm(loop, msg, msglength);
}

void TMainWindow::ControlRx(int datalen, const char* data) {
  if (data == nullptr || datalen <= 0 || commhandler == nullptr) return;
  const int loop = static_cast<signed char>(data[0]);
  commhandler->WriteComm(loop, data + 1, datalen);
}

void TMainWindow::BusReset(int loop, const char* msg, int len) {
  if (commhandler == nullptr) return;
  commhandler->FlushComm(loop);
  commhandler->WriteComm(loop, msg, len);
  commhandler->FlushComm(loop);
}

void TMainWindow::PausePolling() {
  if (commandmodule != nullptr) commandmodule->PausePolling();
  BMPaused = true;
}

void TMainWindow::ResumePolling(bool reset) {
  if (reset && commhandler != nullptr) commhandler->ResetLoops();
  if (commandmodule != nullptr) commandmodule->ResumePolling();
  BMPaused = false;
}

bool TMainWindow::IsNetworkLoop(int loop) const {
  return commhandler != nullptr && commhandler->IsNetworkLoop(loop);
}

int TMainWindow::GetAnswerLineTime(int loop) const {
  return commhandler != nullptr ? commhandler->GetAnswerLineTime(loop) : 0;
}

bool TMainWindow::IsWritable(int device) const {
  return commhandler != nullptr && commhandler->IsDeviceWritable(device);
}

void TMainWindow::SetRxFail(int device) {
  if (device < 0) return;
  char rxfail[FRAMEBUFFER];
  rxfail[0] = '@';
  rxfail[1] = static_cast<char>((device & 0xFF) | 0x80);
  std::memcpy(rxfail + 2, "010000", 6);
  Message::CalculateAndSetXORsum(rxfail, 8);
  rxfail[10] = '\0';  // cut after the check sum
  Parent.DespatchRxMessage(device >> 8, rxfail, 10, false);
}

void TMainWindow::SetEvent(int detector, int event) {
  if (commhandler != nullptr) commhandler->SetEvent(detector, event);
}

void TMainWindow::SetLoops(int l) {
  loops = l;
  if (alarmdisp != nullptr) {
    // The record of every device starts again with the new site.
    alarmdisp->SetLoops(l);
    alarmdisp->Clear();
  }
  if (commandmodule != nullptr) commandmodule->SetLoops(l);
}

void TMainWindow::EvTimer(int timer) {
  if (commhandler != nullptr) commhandler->EvTimer(timer);
}

void TMainWindow::EvCommNotify(int commId, int status) {
  if (commhandler != nullptr) commhandler->EvCommNotify(commId, status);
}

int TMainWindow::GetMaxDeviceTimeout() const {
  return commhandler != nullptr ? commhandler->GetMaxDeviceTimeout() : 0;
}

}  // namespace quillark
