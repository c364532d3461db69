#include "core/app/dockingapp.h"

#include <cstring>
#include <exception>

#include "core/access/translator.h"
#include "core/app/commands.h"
#include "core/app/devicestatussource.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/demoport.h"
#include "core/comms/message.h"
#include "core/comms/netmirror.h"
#include "core/comms/netphndl.h"
#include "core/events/eventwriter.h"
#include "core/events/notifier.h"
#include "core/platform/eventloop.h"
#include "core/platform/posixlauncher.h"
#include "core/platform/prompter.h"
#include "core/platform/serialline.h"
#include "core/platform/soundplayer.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/status/isolate.h"
#include "core/status/sopdialog.h"

namespace quillark {
namespace {

class SilentPlayer : public SoundPlayer {
 public:
  void Play(const std::filesystem::path&, bool) override {}
  void Stop() override {}
};

}  // namespace

TDockingApp::TDockingApp(EventLoop& e, Prompter& p, StatusDisplay& s, INI& i)
    : events(e),
      prompter(p),
      status(s),
      ini(i),
      translator(std::make_unique<Translator>(&ini, &prompter)),
      launcher(std::make_unique<PosixLauncher>(e)),
      silentplayer(std::make_unique<SilentPlayer>()),
      soundplayer(silentplayer.get()) {
  live = ToLower(Trim(ini.ReadString("Product", "Edition", "demo"))) == "live";
  // The simulated events of the demonstration loops, for the selected device;
  // real loops have nothing to simulate them.
  if (!live)
    for (int id = CMD_DEMOFIRE2; id <= CMD_DEMODETFAULT; ++id)
      SetCommandHandler(id, [this, id] { DemoTest(id); });
  SetCommandHandler(CMD_LOGTOPRINTER, [this] {
    if (mainwindow != nullptr && mainwindow->GetNotifier() != nullptr)
      LogToPrinter(!mainwindow->GetNotifier()->IsPrinterLogging());
  });
  // Isolate, de-isolate and reset act on the selected device; the global
  // reset on every device of every loop.
  SetCommandHandler(CMD_ISOLATE, [this] { Isolate(seldetector, true); });
  SetCommandHandler(CMD_DEISOLATE, [this] { Isolate(seldetector, false); });
  SetCommandHandler(CMD_RESET, [this] { Reset(0); });
  SetCommandHandler(CMD_SINGLERESET, [this] {
    if (mainwindow != nullptr && mainwindow->GetDeviceOperations() != nullptr)
      mainwindow->GetDeviceOperations()->SingleReset();
  });
  for (int id : {CMD_ISOLATESELECTED, CMD_DEISOLATESELECTED}) {
    SetCommandHandler(id, [this, id] {
      if (mainwindow == nullptr || mainwindow->GetSOPLauncher() == nullptr) return;
      mainwindow->GetSOPLauncher()->LaunchSopDialog(
          id == CMD_ISOLATESELECTED ? SOPC_MASS_ISOLATE : SOPC_MASS_DEISOLATE, selection);
    });
  }
  SetCommandHandler(CMD_LOCK, [this] {
    if (mainwindow != nullptr && mainwindow->GetSecurity() != nullptr)
      mainwindow->GetSecurity()->LogOff();
  });
  SetCommandHandler(CMD_PASSWORDS, [this] {
    if (mainwindow != nullptr && mainwindow->GetSecurity() != nullptr)
      mainwindow->GetSecurity()->EditPasswords();
  });
  SetCommandHandler(CMD_EXIT, [this] {
    PausePolling();
    if (quithook) events.Post(quithook);
  });
}

TDockingApp::~TDockingApp() {
  Shutdown();
  registry.clear();
}

// --- Start-up ------------------------------------------------------------------

std::filesystem::path TDockingApp::ResolveSitePath(const std::string& value) const {
  if (value.find('/') != std::string::npos || value.find('\\') != std::string::npos)
    return std::filesystem::path(value);
  return paths.home / value;
}

void TDockingApp::InitMainWindow(const std::filesystem::path& home) {
  paths.home = home;
  paths.settings = home / "quillark.ini";
  paths.mimic = home / "mimic.bmp";
  paths.help = home / "quillark.hlp";
  paths.syslog = home / "system.ev2";
  long loops = ini.ReadInt("Comm", "Loops", "1");
  // The communication handler warns about more than 16 and uses 16.
  int looped = loops < 1 ? 1 : (loops > 16 ? 16 : static_cast<int>(loops));
  paths.site = ResolveSitePath(ini.ReadString("Site", "Site", "default"));
  site = std::make_unique<TSiteConfig>();
  title = GetAppName();

  auto window = std::make_unique<TMainWindow>(*this, looped, ini);
  mainwindow = std::move(window);
  mainwindow->SetupWindow();
}

void TDockingApp::ShowBargraph() {
  PausePolling();
  paths.site = ResolveSitePath(ini.ReadString("Site", "Site", "default"));
  long loops = ini.ReadInt("Comm", "Loops", "1");
  int looped = loops < 1 ? 1 : (loops > 16 ? 16 : static_cast<int>(loops));
  if (site != nullptr) {
    // A site that cannot be read is reported and leaves an empty site.
    if (!site->Load(paths.site.string())) {
      prompter.Show("",
                    "Cannot load the site configuration " + paths.site.string() + " (error " +
                        std::to_string(site->GetLoadError()) + ").",
                    PromptIcon::STOP);
      site->DeleteAllDevices();
    }
  }
  if (mainwindow != nullptr) {
    mainwindow->InitMatrixScan();
    mainwindow->SetLoops(looped);
  }
  title = std::string("Quillark - [") + paths.site.string() + "]";
  if (displaybuilder && mainwindow != nullptr && !buildingdisplay) {
    buildingdisplay = true;
    displaybuilder();
    buildingdisplay = false;
  }
  ResumePolling();
}

void TDockingApp::CommunicationSettings(const std::function<bool()>& edit) {
  if (mainwindow == nullptr) return;
  PausePolling();
  const long loops = ini.ReadInt("Comm", "Loops", "1");
  if (edit && edit()) {
    mainwindow->CreateCommHandler();
    if (ini.ReadInt("Comm", "Loops", "1") != loops) ShowBargraph();
  }
  ResumePolling();
}

void TDockingApp::Shutdown() {
  DestroyMainWindow();
  site.reset();
}

void TDockingApp::Pause(std::uint32_t timeout, bool pumpmessages) {
  if (pumpmessages)
    events.Wait(timeout);
  else if (!ShuttingDown())
    events.Wait(timeout);
}

// --- Selection and commands -------------------------------------------------------

void TDockingApp::SetSelDetector(int detector) {
  seldetector = detector;
  chartlogenabled = eventlogenabled = histogramenabled = isolateenabled = resetenabled = false;
  const DeviceConfig* d = (site != nullptr && detector >= 0)
                              ? site->GetDevice(static_cast<std::uint32_t>(detector))
                              : nullptr;
  if (d == nullptr) return;
  const int model = d->GetModel();
  chartlogenabled = Detector::GetModelCaps(model, CAP_CHARTLOG, Detector::none) != 0;
  eventlogenabled = Detector::GetModelCaps(model, CAP_EVENTLOG, Detector::none) != 0;
  histogramenabled = Detector::GetModelCaps(model, CAP_HISTOGRAM, Detector::none) != 0;
  isolateenabled = Detector::GetModelCaps(model, CAP_ISOLATE, Detector::none) != 0;
  resetenabled = Detector::GetModelCaps(model, CAP_RESET, Detector::none) != 0;
}

bool TDockingApp::IsCommandEnabled(int id) const {
  bool flag = true;
  switch (id) {
    case CMD_CHARTLOG:
      flag = chartlogenabled;
      break;
    case CMD_EVENTLOG:
      flag = eventlogenabled;
      break;
    case CMD_HISTOGRAM:
      flag = histogramenabled;
      break;
    case CMD_ISOLATE:
    case CMD_DEISOLATE:
      flag = isolateenabled;
      break;
    case CMD_RESET:
    case CMD_SINGLERESET:
      flag = resetenabled;
      break;
    default:
      return true;
  }
  return flag && IsWritable(seldetector);
}

void TDockingApp::DemoTest(int event) {
  if (seldetector >= 0) SetEvent(seldetector, event);
}

bool TDockingApp::HasPermission(int op) {
  return mainwindow != nullptr && mainwindow->HasPermission(op);
}

TDockingApp::CommandResult TDockingApp::ExecuteCommand(int id) {
  auto it = handlers.find(id);
  if (it == handlers.end()) return CommandResult::UNHANDLED;
  if (!IsCommandEnabled(id)) return CommandResult::DISABLED;
  const CommandInfo* info = FindCommand(id);
  if (info != nullptr && info->permission != NOPERMISSION && !HasPermission(info->permission))
    return CommandResult::REFUSED;
  try {
    it->second();
  } catch (const std::exception& e) {
    prompter.Show("", e.what(), PromptIcon::STOP);
    WriteEvent(WE_INFORMATION, e.what());
  } catch (...) {
    const std::string text =
        "An unknown error has occurred. Some program functionality may not be available.";
    prompter.Show("", text, PromptIcon::STOP);
    WriteEvent(WE_INFORMATION, text);
  }
  return CommandResult::DONE;
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

unsigned TDockingApp::GetDeviceStatus(int device) const {
  return statussource != nullptr ? statussource->GetDeviceStatus(device) : 0x8001;
}

unsigned TDockingApp::GetDeviceFaultStatus(int device) const {
  return statussource != nullptr ? statussource->GetDeviceFaultStatus(device) : 0x100;
}

void TDockingApp::SetSoundPlayer(SoundPlayer* player) {
  soundplayer = player != nullptr ? player : silentplayer.get();
}

bool TDockingApp::Isolate(int device, bool on) {
  return mainwindow != nullptr && mainwindow->GetDeviceOperations() != nullptr &&
         mainwindow->GetDeviceOperations()->Isolate(device, on);
}

bool TDockingApp::Reset(int device) {
  return mainwindow != nullptr && mainwindow->GetDeviceOperations() != nullptr &&
         mainwindow->GetDeviceOperations()->Reset(device);
}

void TDockingApp::LogToPrinter(bool on) {
  if (mainwindow != nullptr && mainwindow->GetNotifier() != nullptr)
    mainwindow->GetNotifier()->LogToPrinter(on);
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
  if (netmirrorfactory) return netmirrorfactory(loops, ini);
  if (tcpfactory != nullptr)
    return std::make_unique<NetPortHandler>(*this, loops, ini, *tcpfactory);
  return nullptr;
}

int TDockingApp::GetAnswerLineTime(int loop) const {
  return mainwindow != nullptr ? mainwindow->GetAnswerLineTime(loop) : 0;
}

bool TDockingApp::IsNetworkLoop(int loop) const {
  return mainwindow != nullptr && mainwindow->IsNetworkLoop(loop);
}

std::unique_ptr<SerialLine> TDockingApp::MakeSerialLine() {
  return seriallinefactory ? seriallinefactory() : nullptr;
}

bool TDockingApp::ShuttingDown() const {
  return shuttingdown || events.ShuttingDown();
}

}  // namespace quillark
