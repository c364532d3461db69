#include "core/app/dockingapp.h"

#include <cstring>
#include <exception>
#include <set>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/events/notifier.h"
#include "core/platform/eventloop.h"
#include "core/platform/prompter.h"
#include "core/platform/soundplayer.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/status/deviceoperations.h"
#include "core/status/devicestatussource.h"
#include "core/status/soplauncher.h"
#include "core/views/sitemap.h"

namespace quillark {

TDockingApp::TDockingApp(EventLoop& e, Prompter& p, StatusDisplay& st, INI& ini,
                         ProgramLauncher& launcher, SoundPlayer* sound)
    : translator(std::make_unique<Translator>(&ini, &p)),
      silentplayer(std::make_unique<SilentSoundPlayer>()),
      services{e,           p,     st,       ini,
               *translator, *this, launcher, sound != nullptr ? *sound : *silentplayer,
               nullptr,     {}},
      router(services) {
  const bool live = ToLower(Trim(ini.ReadString("Product", "Edition", "demo"))) == "live";
  router.SetLiveEdition(live);
  // The simulated events of the demonstration loops, for the selected device;
  // real loops have nothing to simulate them.
  if (!live)
    for (int id = CMD_DEMOFIRE2; id <= CMD_DEMODETFAULT; ++id)
      SetCommandHandler(id, [this, id] { DemoTest(id); });
  SetCommandHandler(CMD_LOGTOPRINTER, [this] {
    if (mainwindow == nullptr || mainwindow->GetNotifier() == nullptr) return;
    EventNotifier& notifier = *mainwindow->GetNotifier();
    if (notifier.IsPrinterLogging())
      LogToPrinter(false);
    else
      notifier.StartPrinterLogging();
  });
  // Isolate, de-isolate and reset act on the selected device; the global
  // reset on every device of every loop.
  SetCommandHandler(CMD_ISOLATE, [this] { Isolate(seldetector, true); });
  SetCommandHandler(CMD_DEISOLATE, [this] { Isolate(seldetector, false); });
  SetCommandHandler(CMD_RESET, [this] { Reset(0); });
  SetCommandHandler(CMD_SINGLERESET, [this] {
    if (mainwindow != nullptr && mainwindow->GetDeviceOperations() != nullptr)
      mainwindow->GetDeviceOperations()->SingleReset(seldetector);
  });
  for (int id : {CMD_ISOLATESELECTED, CMD_DEISOLATESELECTED}) {
    SetCommandHandler(id, [this, id] {
      if (mainwindow == nullptr || mainwindow->GetSOPLauncher() == nullptr) return;
      mainwindow->GetSOPLauncher()->LaunchSopDialog(
          id == CMD_ISOLATESELECTED ? SOPC_MASS_ISOLATE : SOPC_MASS_DEISOLATE, selection);
    });
  }
  SetCommandHandler(CMD_ACKNOWLEDGE, [this] {
    if (mainwindow != nullptr) mainwindow->Acknowledge(false);
  });
  SetCommandHandler(CMD_ACKNOWLEDGEALL, [this] {
    if (mainwindow != nullptr) mainwindow->Acknowledge(true);
  });
  SetCommandHandler(CMD_LOCK, [this] {
    if (mainwindow != nullptr && mainwindow->GetSecurity() != nullptr)
      mainwindow->GetSecurity()->LogOff();
  });
  SetCommandHandler(CMD_PASSWORDS, [this] {
    if (mainwindow != nullptr && mainwindow->GetSecurity() != nullptr)
      mainwindow->GetSecurity()->EditPasswords();
  });
  SetCommandHandler(CMD_EXIT, [this] {
    router.PausePolling();
    if (quithook) services.events.Post(quithook);
  });
}

TDockingApp::~TDockingApp() {
  Shutdown();
}

// --- Start-up ------------------------------------------------------------------

std::filesystem::path TDockingApp::ResolveSitePath(const std::string& value) const {
  if (value.find('/') != std::string::npos || value.find('\\') != std::string::npos)
    return std::filesystem::path(value);
  return paths.home / value;
}

int TDockingApp::ReadLoopSettings() {
  const int loops = LoopSettings::Read(services.ini).loops;
  router.SetLoops(loops);
  return loops;
}

void TDockingApp::InitMainWindow(const std::filesystem::path& home) {
  paths.home = home;
  paths.settings = home / "quillark.ini";
  paths.syslog = home / "system.ev2";
  const int loops = ReadLoopSettings();
  paths.site = ResolveSitePath(services.ini.ReadString("Site", "Site", "default"));
  site = std::make_unique<TSiteConfig>();
  title = GetAppName();

  mainwindow = std::make_unique<TMainWindow>(*this, loops);
  mainwindow->SetupWindow();
}

void TDockingApp::ShowBargraph() {
  router.PausePolling();
  paths.site = ResolveSitePath(services.ini.ReadString("Site", "Site", "default"));
  const int loops = ReadLoopSettings();
  if (site != nullptr) {
    // A site that cannot be read whole keeps what was read before the fault
    // and the command modules: supervising part of a site beats supervising
    // none of it. The fault goes into the event log as well, so that whoever
    // services the system later sees why devices are missing.
    if (!site->Load(paths.site.string())) {
      const std::string text =
          Format("Error loading site configuration file. Code: %d", site->GetLoadError());
      WriteEvent(WE_SYSLOG, text + Format(" (%s, line %d)", paths.site.string().c_str(),
                                          site->GetLoadErrorLine()));
      services.prompter.Show("", text, PromptIcon::STOP);
    }
    for (const TSiteConfig::Refused& r : site->GetRefused())
      WriteEvent(WE_SYSLOG, Format("Site configuration file %s, line %d: %s; the entry is not "
                                   "supervised.",
                                   paths.site.string().c_str(), r.line, r.reason.c_str()));
  }
  if (mainwindow != nullptr) {
    mainwindow->InitMatrixScan();
    mainwindow->SetLoops(loops);
  }
  title = std::string("Quillark - [") + paths.site.string() + "]";
  if (mainwindow != nullptr) router.BuildDisplay();
  router.ResumePolling();
}

void TDockingApp::CommunicationSettings(const std::function<bool()>& edit) {
  if (mainwindow == nullptr) return;
  router.PausePolling();
  const int loops = LoopSettings::Read(services.ini).loops;
  if (edit && edit()) {
    mainwindow->CreateCommHandler();
    if (LoopSettings::Read(services.ini).loops != loops) ShowBargraph();
  }
  router.ResumePolling();
}

void TDockingApp::Shutdown() {
  DestroyMainWindow();
  site.reset();
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
    case CMD_VIEWMAP:
      return site != nullptr && SiteMap::DeviceRef(*site, seldetector).has_value();
    case CMD_VIEWZONE:
      return site != nullptr && SiteMap::ZoneRefOf(*site, seldetector).has_value();
    case CMD_TOGGLEMAPVIEW:
      return site != nullptr &&
             SiteMap::HasMaps(*site, services.ini.ReadString("Maps", "Site", ""));
    case CMD_ACKNOWLEDGE:
    case CMD_ACKNOWLEDGEALL:
      // Nothing to do for a line already seen, or with acknowledgement off.
      return mainwindow != nullptr && mainwindow->CanAcknowledge(id == CMD_ACKNOWLEDGEALL);
    default:
      return true;
  }
  return flag && router.IsWritable(seldetector);
}

void TDockingApp::DemoTest(int event) {
  if (seldetector >= 0) router.SetEvent(seldetector, event);
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
  if (confirmer) {
    const std::string question = ConfirmationQuestion(id);
    if (!question.empty() && !confirmer(question)) return CommandResult::CANCELLED;
  }
  try {
    it->second();
  } catch (const std::exception& e) {
    services.prompter.Show("", e.what(), PromptIcon::STOP);
    WriteEvent(WE_INFORMATION, e.what());
  } catch (...) {
    const char* english =
        "An unknown error has occurred. Some program functionality may not be available.";
    // The operator reads it in their language; the log keeps one wording.
    services.prompter.Show("", services.translator.TextOr(89560, english), PromptIcon::STOP);
    WriteEvent(WE_INFORMATION, english);
  }
  return CommandResult::DONE;
}

namespace {

// The confirmation questions: a sentence around two counted phrases, each
// counted word in the form its number asks for in the operator's language.
constexpr int TX_RESETQUESTION = 89720;
constexpr int TX_ISOLATEQUESTION = 89740;
constexpr int TX_DEISOLATEQUESTION = 89760;
constexpr CountedWord DEVICES{89780, "device", 89800, "devices", 89820};
constexpr CountedWord LOOPS{89840, "loop", 89860, "loops", 89880};
constexpr CountedWord SELECTED{89900, "selected detector", 89920, "selected detectors", 89940};
constexpr CountedWord ALSODEISOLATED{89960, "isolated detector is de-isolated as well.", 89980,
                                     "isolated detectors are de-isolated as well.", 90200};

}  // namespace

std::string TDockingApp::ConfirmationQuestion(int id) const {
  Translator& tr = services.translator;
  std::set<int> loops;
  std::size_t devices = 0, isolated = 0;
  switch (id) {
    case CMD_RESET: {
      // The reset goes out on every polled loop, so every configured device
      // there is reset, and an isolated detector comes back into service.
      const int polled = router.GetLoops();
      if (site != nullptr) {
        for (const DeviceConfig& d : *site) {
          // Zones and the site itself are entries of the file, not devices.
          if (d.GetType() != BUSCONTROLLER && d.GetType() != POWERSUPPLY && d.GetType() != DETECTOR)
            continue;
          const int loop = static_cast<int>(d.GetLoop());
          if (loop < 0 || loop >= polled) continue;
          ++devices;
          loops.insert(loop);
          if (d.GetType() == DETECTOR &&
              (GetDeviceFaultStatus((loop << 8) | static_cast<int>(d.GetAddress() & 0xFF)) &
               0x20) != 0)
            ++isolated;
        }
      }
      std::string text =
          Format(tr.TextOr(TX_RESETQUESTION, "Reset %s on %s?").c_str(),
                 tr.Counted(devices, DEVICES).c_str(), tr.Counted(loops.size(), LOOPS).c_str());
      if (isolated != 0) text += " " + tr.Counted(isolated, ALSODEISOLATED);
      return text;
    }
    case CMD_ISOLATESELECTED:
    case CMD_DEISOLATESELECTED:
      // Counted as the operation itself will load them: never a command
      // module, nothing that cannot be addressed.
      for (int a : selection) {
        if ((a & 0xFF) == 0 || !DeviceOperations::IsValidDevice(a)) continue;
        ++devices;
        loops.insert(a >> 8);
      }
      return Format(id == CMD_ISOLATESELECTED
                        ? tr.TextOr(TX_ISOLATEQUESTION, "Isolate %s on %s?").c_str()
                        : tr.TextOr(TX_DEISOLATEQUESTION, "De-isolate %s on %s?").c_str(),
                    tr.Counted(devices, SELECTED).c_str(), tr.Counted(loops.size(), LOOPS).c_str());
    default:
      return {};
  }
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

}  // namespace quillark
