#include "core/app/mainwindow.h"

#include <cstring>

#include "core/access/commands.h"
#include "core/app/dockingapp.h"
#include "core/common/ini.h"
#include "core/comms/busrouter.h"
#include "core/events/eventinfo.h"
#include "core/events/notifier.h"
#include "core/events/syslog.h"
#include "core/platform/eventwriter.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/status/alrmdisp.h"
#include "core/status/busstatusmonitor.h"
#include "core/status/deviceoperations.h"
#include "core/status/devicestatuslist.h"
#include "core/status/devicestatusmonitor.h"
#include "core/status/matrix.h"
#include "core/status/pccommandmodule.h"
#include "core/status/soplauncher.h"

namespace quillark {

TMainWindow::TMainWindow(TDockingApp& AParent, int l)
    : Parent(AParent), bus(AParent.GetBus()), loops(l), ini(AParent.GetServices().ini) {
  const Services& services = Parent.GetServices();
  bus.SetLoops(loops);
  eventinfo = std::make_unique<EventInfo>();
  if (!Parent.GetPaths().syslog.empty())
    syslog = std::make_unique<SysLog>(Parent.GetPaths().syslog, services.events, this);
  // The event text log opens first, so that the start-up banner is in it.
  if (!Parent.GetPaths().home.empty()) {
    notifier = std::make_unique<EventNotifier>(ini, services.prompter, services.launcher,
                                               Parent.GetPaths().home,
                                               [&e = services.events] { return e.Now(); });
    notifier->SetPollingControl({[this] { return bus.IsPollPaused(); },
                                 [this] { bus.PausePolling(); },
                                 [this] { bus.ResumePolling(false); }});
    notifier->SetEventLoop(&services.events);
    eventwriter = notifier.get();
  }
  const std::string& note = Parent.GetStartupNote();
  WriteEvent(WE_INFORMATION, note.empty() ? std::string("**** Quillark startup ****")
                                          : "**** Quillark startup **** " + note);
}

TMainWindow::~TMainWindow() {
  try {
    WriteEvent(WE_INFORMATION, "**** Quillark shutdown ****");
    // What a flood left held for the e-mail, the pager and the printer goes
    // now, while polling can still be held for it.
    if (notifier != nullptr) notifier->FlushAll();
  } catch (...) {
    // Nothing may stop the shutdown.
  }
  // The windows first: settings transfers, the mass operation and the
  // alarm display.
  fnio.reset();
  soplauncher.reset();
  sopexecutive.reset();
  if (alarmdisp != nullptr) Parent.SetDeviceStatusSource(nullptr);
  alarmdisp.reset();
  // The decoder goes before the list it writes to.
  devicestatusmonitor.reset();
  devicestatuslist.reset();
  busstatusmonitor.reset();
  bus.SetRemoteAudit(nullptr);
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
  const Services& services = Parent.GetServices();
  if (!Parent.IsLiveEdition())
    services.prompter.Show("!!Demo version!!",
                           "This is the demonstration version of Quillark. This version does "
                           "not transmit bus data and is designed only for evaluating Quillark "
                           "facilities and features.",
                           PromptIcon::INFORMATION);
  security = std::make_unique<Security>(*this, ini, services.translator, services.events,
                                        services.prompter, Parent.GetPaths().home / "dovetree.ini");
  deviceops = std::make_unique<DeviceOperations>(bus, syslog.get(), security.get());
  bus.SetRemoteAudit(deviceops.get());
  eventinfo->LoadOptions(ini);
  alarmdisp =
      std::make_unique<AlarmDisp>(bus, services.sound, *eventinfo, syslog.get(),
                                  Parent.GetSiteConfig(), loops, AlarmDisp::ReadRepeat(ini));
  alarmdisp->SetActions({[this](int d, bool on) { deviceops->Isolate(d, on); },
                         [this](int d) { deviceops->Reset(d); },
                         // The Zone... and Map... buttons open the map windows through the
                         // commands, so a program without windows simply has no handler.
                         [this](int d) {
                           Parent.SetSelDetector(d);
                           Parent.ExecuteCommand(CMD_VIEWZONE);
                         },
                         [this](int d) {
                           Parent.SetSelDetector(d);
                           Parent.ExecuteCommand(CMD_VIEWMAP);
                         }});
  alarmdisp->SetAcknowledgeModel(AlarmDisp::ReadAcknowledge(ini));
  Parent.SetDeviceStatusSource(alarmdisp.get());
  sopexecutive = std::make_unique<AppSOPExecutive>(*alarmdisp, *deviceops);
  soplauncher = std::make_unique<SOPLauncher>(*sopexecutive, services.events);
  soplauncher->SetTranslator(&Parent.GetServices().translator);
  // The array cells are in the site before the display and the poll list
  // are built on it.
  if (matrixscan == nullptr) matrixscan = std::make_unique<MatrixScan>(bus, Parent);
  Parent.ShowBargraph();
  CreateCommHandler();
  auto master = std::make_unique<PCcommandModule>(&bus, Parent.GetSiteConfig(), ini, loops);
  PCcommandModule* bm = master.get();
  bm->SetArrayScanner(matrixscan.get());
  SetCommandModule(std::move(master));
  bm->SetupWindow();
  busstatusmonitor =
      std::make_unique<BusStatusMonitor>(&bus, Parent.GetPaths().home / "status.txt");
  devicestatuslist = std::make_unique<DeviceStatusList>();
  devicestatusmonitor = std::make_unique<DeviceStatusMonitor>(&bus, *devicestatuslist);
}

std::size_t TMainWindow::Acknowledge(bool all) {
  if (alarmdisp == nullptr) return 0;
  // The record names who saw the alarm; with nobody logged on that is the
  // level-0 account the program runs under.
  const std::string user = security != nullptr ? security->GetUser() : std::string();
  if (all) return alarmdisp->AcknowledgeAll(user);
  return alarmdisp->AcknowledgeSelected(user) ? 1 : 0;
}

bool TMainWindow::CanAcknowledge(bool all) const {
  if (alarmdisp == nullptr || !alarmdisp->AcknowledgeModel()) return false;
  if (all) return alarmdisp->UnacknowledgedCount() > 0;
  const int index = alarmdisp->GetSelectedIndex();
  return index >= 0 && !alarmdisp->GetLines().at(static_cast<std::size_t>(index)).acknowledged;
}

bool TMainWindow::HasPermission(int op) {
  return security != nullptr && security->HasPermission(static_cast<operation>(op), true);
}

PCcommandModule* TMainWindow::GetBusMaster() const {
  return dynamic_cast<PCcommandModule*>(commandmodule.get());
}

void TMainWindow::CreateCommHandler() {
  DestroyCommHandler();
  commhandler = std::make_unique<CommHandler>(bus);
  bus.SetCommHandler(commhandler.get());
}

void TMainWindow::DestroyCommHandler() {
  bus.SetCommHandler(nullptr);
  commhandler.reset();
}

void TMainWindow::SetCommandModule(std::unique_ptr<PollingEngine> master) {
  bus.SetPoller(nullptr);
  commandmodule = std::move(master);
  if (commandmodule != nullptr) commandmodule->SetLoops(loops);
  bus.SetPoller(commandmodule.get());
}

void TMainWindow::DestroyCommandModule() {
  bus.SetPoller(nullptr);
  commandmodule.reset();
}

void TMainWindow::SetMatrixScan(std::unique_ptr<ArrayScanner> scanner) {
  matrixscan = std::move(scanner);
  if (PCcommandModule* bm = GetBusMaster()) bm->SetArrayScanner(matrixscan.get());
}

void TMainWindow::InitMatrixScan() {
  if (matrixscan != nullptr) matrixscan->InitMatrixScan();
}

void TMainWindow::WriteEvent(int category, const std::string& text) {
  if (eventwriter != nullptr) eventwriter->WriteEvent(category, text);
  Parent.NotifyEventListeners(category, text);
}

void TMainWindow::SetLoops(int l) {
  loops = l;
  bus.SetLoops(l);
  if (alarmdisp != nullptr) {
    // The record of every device starts again with the new site.
    alarmdisp->SetLoops(l);
    alarmdisp->Clear();
  }
  if (commandmodule != nullptr) commandmodule->SetLoops(l);
}

FnIo* TMainWindow::StartFnIo(FnIo::Mode mode, FnIo::Progress progress, FnIo::Done done) {
  if (fnio != nullptr && fnio->Running()) return nullptr;
  const TSiteConfig* site = Parent.GetSiteConfig();
  std::string file = site != nullptr ? site->GetConfig() : std::string();
  if (file.empty()) file = Parent.GetPaths().site.string();
  fnio = std::make_unique<FnIo>(&bus, site, file, mode);
  fnio->Start(std::move(progress), std::move(done));
  return fnio.get();
}

}  // namespace quillark
