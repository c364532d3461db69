#include "core/app/console.h"

#include <algorithm>
#include <sstream>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/app/diagconsole.h"
#include "core/app/dockingapp.h"
#include "core/app/fnconsole.h"
#include "core/app/langconsole.h"
#include "core/app/mainwindow.h"
#include "core/app/siteconsole.h"
#include "core/app/viewconsole.h"
#include "core/common/atomicfile.h"
#include "core/common/loops.h"
#include "core/common/textutil.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "core/status/alrmdisp.h"
#include "core/status/busstatusmonitor.h"
#include "core/status/devicestatuslist.h"
#include "core/status/pccommandmodule.h"
#include "core/status/soplauncher.h"
#include "core/views/eventlog.h"

namespace quillark {

Console::Console(TDockingApp& a) : app(a) {
  words = {
      {"help", "", "list the commands", [this](const Args&) { return Help(); }},
      {"select", "L-AAA | cm L | add L-AAA",
       "select a device (loop from 1, address) or a loop's command module; add: add a "
       "device to the selection",
       [this](const Args& a) { return Select(a); }},
      {"fire2", "", "simulate Fire 2 on the selected device",
       [this](const Args&) { return Demo(CMD_DEMOFIRE2); }},
      {"fire1", "", "simulate Fire 1 on the selected device",
       [this](const Args&) { return Demo(CMD_DEMOFIRE1); }},
      {"prealarm", "", "simulate a pre-alarm on the selected device",
       [this](const Args&) { return Demo(CMD_DEMOPREALARM); }},
      {"aux", "", "simulate an aux alarm on the selected device",
       [this](const Args&) { return Demo(CMD_DEMOAUX); }},
      {"detfault", "", "simulate a detector fault on the selected device",
       [this](const Args&) { return Demo(CMD_DEMODETFAULT); }},
      {"status", "[L-AAA]", "decoded status of a device (default: the selected one)",
       [this](const Args& a) { return Status(a); }},
      {"stats", "", "poll statistics, site and per loop, and bus counters",
       [this](const Args&) { return Stats(); }},
      {"alarms", "", "the alarm viewer's lines, each with its colour",
       [this](const Args&) { return Alarms(); }},
      {"ack", "L-AAA", "acknowledge the alarm viewer's line of a device",
       [this](const Args& a) { return Acknowledge(a); }},
      {"ackall", "", "acknowledge every line that waits for it",
       [this](const Args&) { return AcknowledgeAll(); }},
      {"silence", "", "silence the alarm sound (and the devices' sounders)",
       [this](const Args&) { return Silence(); }},
      {"isolate", "", "isolate the selected device",
       [this](const Args&) { return Run(CMD_ISOLATE); }},
      {"deisolate", "", "de-isolate the selected device",
       [this](const Args&) { return Run(CMD_DEISOLATE); }},
      {"reset", "", "reset the selected device",
       [this](const Args&) { return Run(CMD_SINGLERESET); }},
      {"globalreset", "[yes]",
       "reset every device of every loop, de-isolating them; asks for 'yes' on the next line "
       "unless given",
       [this](const Args& a) { return GlobalReset(a); }},
      {"massisolate", "", "isolate every selected detector, one by one",
       [this](const Args&) { return Mass(CMD_ISOLATESELECTED); }},
      {"massdeisolate", "", "de-isolate every selected detector, one by one",
       [this](const Args&) { return Mass(CMD_DEISOLATESELECTED); }},
      {"mass", "", "progress of the mass isolate or de-isolate",
       [this](const Args&) { return MassState(); }},
      {"events", "[N] | --csv FILE [SEARCH]",
       "the last N lines of the system log (default 20), or all of it (or what SEARCH finds) "
       "as CSV into FILE",
       [this](const Args& a) { return Events(a); }},
      {"search", "[device:L-AAA] [zone:N] [category:NAME] [from:DATE] [to:DATE] [TEXT]",
       "the system log's lines of that device, zone, category and period that contain TEXT "
       "(any case; DATE as 2026-12-09), the last 50",
       [this](const Args& a) { return Search(a); }},
      {"logon", "NAME [PASSWORD]", "log on at the user's access level",
       [this](const Args& a) { return LogOn(a); }},
      {"lock", "", "log off: back to the lowest access level",
       [this](const Args&) { return Run(CMD_LOCK); }},
      {"quit", "", "shut down and exit",
       [this](const Args&) {
         quit = true;
         return Lines{"shutting down"};
       }},
  };
  AddFunctionWords(*this, app);
  AddLanguageWords(*this, app);
  AddSiteWords(*this, app);
  AddDiagWords(*this, app);
  AddViewWords(*this, app);
}

void Console::AddWord(Word word) {
  words.push_back(std::move(word));
}

Console::Lines Console::Execute(const std::string& line) {
  std::istringstream in(line);
  Args args;
  for (std::string w; in >> w;) args.push_back(w);
  if (resetasked) {
    // Only a plain "yes" goes on; anything else cancels and is run as typed.
    resetasked = false;
    if (args.size() == 1 && ToLower(args.front()) == "yes") return Run(CMD_RESET);
    Lines out{"global reset cancelled"};
    if (!args.empty()) {
      Lines rest = Execute(line);
      out.insert(out.end(), rest.begin(), rest.end());
    }
    return out;
  }
  if (args.empty()) return {};
  const std::string name = ToLower(args.front());
  args.erase(args.begin());
  for (const auto& w : words)
    if (w.name == name) return w.run(args);
  return {"error: unknown command '" + name + "'; type 'help' for the list"};
}

Console::Lines Console::Help() const {
  Lines out;
  for (const auto& w : words) {
    std::string head = w.name + (w.usage.empty() ? "" : " " + w.usage);
    if (head.size() < 24) head.resize(24, ' ');
    out.push_back(head + " " + w.help);
  }
  return out;
}

int Console::ParseDevice(const std::string& text) {
  auto dash = text.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 >= text.size()) return -1;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != dash && (text[i] < '0' || text[i] > '9')) return -1;
  if (dash > 2 || text.size() - dash - 1 > 3) return -1;
  int loop = std::stoi(text.substr(0, dash));
  int address = std::stoi(text.substr(dash + 1));
  if (loop < 1 || loop > 16 || address > 255) return -1;
  return (loop - 1) * 256 + address;
}

std::string Console::DeviceName(int device) {
  return Format("%d-%03d", (device >> 8) + 1, device & 0xFF);
}

Console::Lines Console::Select(const Args& args) {
  int device = -1;
  if (args.size() == 2 && ToLower(args[0]) == "add") {
    device = ParseDevice(args[1]);
    if (device < 0) return {"error: usage: select add L-AAA"};
    app.GetSelection().InsertInternalAddress(device);
    app.SetSelDetector(device);
    return {Format("selection holds %d device(s)", app.GetSelection().Count())};
  }
  if (args.size() == 2 && ToLower(args[0]) == "cm") {
    int loop = static_cast<int>(AtoL(args[1]));
    if (loop >= 1 && loop <= 16) device = (loop - 1) * 256;
  } else if (args.size() == 1) {
    device = ParseDevice(args[0]);
  }
  if (device < 0) return {"error: usage: select L-AAA | select cm L"};
  app.SetSelDetector(device);
  // A plain select starts a new selection of one.
  app.GetSelection().Empty();
  app.GetSelection().InsertInternalAddress(device);
  const TSiteConfig* site = app.GetSiteConfig();
  const DeviceConfig* d =
      site != nullptr ? site->GetDevice(static_cast<std::uint32_t>(device)) : nullptr;
  if (d == nullptr) return {"selected " + DeviceName(device) + " (not in the site)"};
  std::string where = d->GetLocation().empty() ? "" : ", " + d->GetLocation();
  return {"selected " + DeviceName(device) + where};
}

Console::Lines Console::Demo(int command) {
  if (app.IsLiveEdition())
    return {"error: simulated events exist only in the demonstration edition"};
  const int device = app.GetSelDetector();
  if (device < 0) return {"error: select a device first"};
  // The bus master would answer for a device that is not there, and the
  // operator would believe the simulated event reached it.
  const TSiteConfig* site = app.GetSiteConfig();
  if (site == nullptr || site->GetDevice(static_cast<std::uint32_t>(device)) == nullptr)
    return {"error: " + DeviceName(device) + " is not in the site"};
  return Run(command);
}

namespace {
const char* const TOOLOW =
    "refused: the access level is too low; log on first (logon NAME PASSWORD)";
const char* const DISABLED = "refused: not available for the selected device";
}  // namespace

std::optional<Console::Lines> CommandRefusal(TDockingApp& app, int command, bool checkenabled) {
  if (checkenabled && !app.IsCommandEnabled(command)) return Console::Lines{DISABLED};
  const CommandInfo* info = FindCommand(command);
  return PermissionRefusal(app, info != nullptr ? info->permission : NOPERMISSION);
}

std::optional<Console::Lines> PermissionRefusal(TDockingApp& app, int permission) {
  if (permission != NOPERMISSION && !app.HasPermission(permission)) return Console::Lines{TOOLOW};
  return std::nullopt;
}

Console::Lines Console::Run(int command) {
  switch (app.ExecuteCommand(command)) {
    case TDockingApp::CommandResult::DONE:
      return {"ok"};
    case TDockingApp::CommandResult::REFUSED:
      return {TOOLOW};
    case TDockingApp::CommandResult::DISABLED:
      return {DISABLED};
    case TDockingApp::CommandResult::CANCELLED:
      return {"cancelled"};
    case TDockingApp::CommandResult::UNHANDLED:
      break;
  }
  return {"error: not available in this build"};
}

Console::Lines Console::GlobalReset(const Args& args) {
  if (args.size() == 1 && ToLower(args.front()) == "yes") return Run(CMD_RESET);
  if (!args.empty()) return {"error: usage: globalreset [yes]"};
  resetasked = true;
  return {app.ConfirmationQuestion(CMD_RESET), "type 'yes' to reset; anything else cancels"};
}

namespace {

// The names of the event colours, for a console that cannot show colour.
std::string ColourName(const EventInfo* info, EventInfo::colour c) {
  static const char* const names[EventInfo::EC_COUNT] = {
      "aux", "prealarm", "fire1", "fire2", "fault", "normal", "firstfire", "isolated"};
  if (info != nullptr)
    for (int i = 0; i < EventInfo::EC_COUNT; ++i)
      if (info->GetEventColour(i) == c) return names[i];
  return Format("#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace

Console::Lines Console::Alarms() const {
  const TMainWindow* window = app.GetMainWindow();
  const AlarmDisp* alarms = window != nullptr ? window->GetAlarmDisplay() : nullptr;
  if (alarms == nullptr) return {"error: not running"};
  Lines out;
  const std::string banner = alarms->FloodBanner();
  if (!banner.empty()) out.push_back(banner);
  if (alarms->IsEmpty()) out.push_back("no alarms or faults");
  for (const auto& line : alarms->GetLines()) {
    std::string colour =
        line.firstfire ? "firstfire" : ColourName(window->GetEventInfo(), line.colour);
    // The state goes behind the text, so that a script reading the lines
    // as they were still finds them there.
    std::string text = "[" + colour + "] " + line.text;
    if (alarms->AcknowledgeModel()) text += "  [" + std::string(line.StateName()) + "]";
    out.push_back(text);
  }
  return out;
}

Console::Lines Console::Acknowledge(const Args& args) {
  if (args.size() != 1 || ParseDevice(args[0]) < 0) return {"error: usage: ack L-AAA"};
  const int device = ParseDevice(args[0]);
  TMainWindow* window = app.GetMainWindow();
  AlarmDisp* alarms = window != nullptr ? window->GetAlarmDisplay() : nullptr;
  if (alarms == nullptr) return {"error: not running"};
  if (!alarms->AcknowledgeModel())
    return {"error: acknowledgement is off ([AlarmViewer] Acknowledge=1 turns it on)"};
  const int index = alarms->FindDevice(device);
  if (index < 0) return {"error: " + DeviceName(device) + " has no line in the alarm viewer"};
  if (alarms->GetLines()[static_cast<std::size_t>(index)].acknowledged)
    return {DeviceName(device) + " is acknowledged already"};
  // Through the command, so that the access level is checked as for every
  // other guarded operation.
  alarms->Select(index);
  Lines out = Run(CMD_ACKNOWLEDGE);
  if (out.front() == "ok") out.front() = "acknowledged " + DeviceName(device);
  return out;
}

Console::Lines Console::AcknowledgeAll() {
  TMainWindow* window = app.GetMainWindow();
  AlarmDisp* alarms = window != nullptr ? window->GetAlarmDisplay() : nullptr;
  if (alarms == nullptr) return {"error: not running"};
  if (!alarms->AcknowledgeModel())
    return {"error: acknowledgement is off ([AlarmViewer] Acknowledge=1 turns it on)"};
  const std::size_t waiting = alarms->UnacknowledgedCount();
  if (waiting == 0) return {"nothing to acknowledge"};
  Lines out = Run(CMD_ACKNOWLEDGEALL);
  if (out.front() == "ok") out.front() = Format("acknowledged %zu line(s)", waiting);
  return out;
}

Console::Lines Console::Silence() {
  TMainWindow* window = app.GetMainWindow();
  AlarmDisp* alarms = window != nullptr ? window->GetAlarmDisplay() : nullptr;
  if (alarms == nullptr) return {"error: not running"};
  alarms->Silence();
  return {"silenced"};
}

Console::Lines Console::Mass(int command) {
  if (app.GetSelection().Count() == 0) return {"error: select devices first (select add L-AAA)"};
  Lines out = Run(command);
  if (out.front() != "ok") return out;
  SOPLauncher* launcher = app.GetMainWindow()->GetSOPLauncher();
  if (SOPDialog* dialog = launcher != nullptr ? launcher->GetSopDialog() : nullptr) {
    // Nobody can close the window here: let it close itself when done.
    dialog->HandleAutoCloseCheckBox(true);
    dialog->SetupWindow();
  }
  return MassState();
}

Console::Lines Console::MassState() const {
  const TMainWindow* window = app.GetMainWindow();
  SOPLauncher* launcher = window != nullptr ? window->GetSOPLauncher() : nullptr;
  const SOPDialog* dialog = launcher != nullptr ? launcher->GetSopDialog() : nullptr;
  if (dialog == nullptr) return {"no mass operation open"};
  std::string text = dialog->GetCaption() + ":";
  for (int id = 0; id < 5; ++id)
    text += " " + dialog->GetLabel(501 + id) + " " + dialog->GetFieldText(521 + id) + ";";
  text += dialog->IsFinished() ? " finished" : " running";
  return {text};
}

Console::Lines Console::Events(const Args& args) const {
  if (!args.empty() && args[0] == "--csv") return EventsCsv(args);
  long n = args.empty() ? 20 : AtoL(args[0]);
  if (n <= 0) return {"error: usage: events [N]"};
  const TMainWindow* window = app.GetMainWindow();
  if (window == nullptr) return {"error: not running"};
  std::error_code ec;
  if (!std::filesystem::exists(app.GetPaths().syslog, ec)) return {"the system log is empty"};
  EventLog log(nullptr, window->GetLoops(), 0, app.GetServices().translator);
  const std::size_t want = static_cast<std::size_t>(std::min<long>(n, EventLog::MAXRECORDS));
  if (!log.LoadLast(app.GetPaths().syslog.string(), want))
    return {"error: the system log cannot be read"};
  Lines out;
  const std::size_t count = log.EventCount();
  const std::size_t first = count > want ? count - want : 0;
  for (std::size_t i = first; i < count; ++i) out.push_back(log.GetEventLine(i));
  if (out.empty()) out.push_back("the system log is empty");
  return out;
}

Console::Lines Console::EventsCsv(const Args& args) const {
  if (args.size() < 2) return {"error: usage: events --csv FILE [SEARCH]"};
  EventLog log(nullptr, MAXLOOPS, 0, app.GetServices().translator);
  std::string error;
  if (!LoadSystemLog(args, 2, log, error)) return {"error: " + error};
  AtomicFileWriter file(args[1]);
  if (!file.IsOpen()) return {"error: cannot write " + args[1]};
  if (!log.WriteCsv(file.File()) || !file.Commit())
    return {"error: " + args[1] + " could not be written whole"};
  return {Format("wrote %zu events to %s", log.EventCount(), args[1].c_str())};
}

bool Console::LoadSystemLog(const Args& args, std::size_t first, EventLog& log,
                            std::string& error) const {
  const TMainWindow* window = app.GetMainWindow();
  if (window == nullptr) {
    error = "not running";
    return false;
  }
  std::string text;
  for (std::size_t i = first; i < args.size(); ++i) text += (text.empty() ? "" : " ") + args[i];
  EventSearch search;
  if (!ParseEventSearch(text, app.GetSiteConfig(), search, error, &app.GetServices().translator))
    return false;
  std::error_code ec;
  if (std::filesystem::exists(app.GetPaths().syslog, ec) &&
      !log.Load(app.GetPaths().syslog.string())) {
    error = "the system log cannot be read";
    return false;
  }
  if (!search.Empty()) log.SetSearch(std::move(search));
  return true;
}

Console::Lines Console::Search(const Args& args) const {
  if (args.empty())
    return {
        "error: usage: search [device:L-AAA] [zone:N] [category:NAME] [from:DATE] "
        "[to:DATE] [TEXT]"};
  EventLog log(nullptr, MAXLOOPS, 0, app.GetServices().translator);
  std::string error;
  if (!LoadSystemLog(args, 0, log, error)) return {"error: " + error};
  // Only the newest matches are listed; the count says how many there are.
  constexpr std::size_t SHOWN = 50;
  Lines out;
  const std::size_t matches = log.EventCount();
  for (std::size_t i = matches > SHOWN ? matches - SHOWN : 0; i < matches; ++i)
    out.push_back(log.GetEventLine(i));
  out.push_back(Format("%zu of %zu events match", matches, log.RecordCount()));
  return out;
}

Console::Lines Console::LogOn(const Args& args) {
  Security* security =
      app.GetMainWindow() != nullptr ? app.GetMainWindow()->GetSecurity() : nullptr;
  if (security == nullptr) return {"error: not running"};
  if (args.empty() || args.size() > 2) return {"error: usage: logon NAME [PASSWORD]"};
  const std::uint32_t delay = security->LogOnDelay();
  if (delay == 0 || !lateanswer) return TryLogOn(args);
  // Guessing is slowed without holding up the loops: the attempt is made,
  // and answered, once the delay has passed.
  busy = true;
  latetimer = app.GetServices().events.SingleShot(delay, [this, args] {
    busy = false;
    Lines answer = TryLogOn(args);
    if (lateanswer) lateanswer(answer);
  });
  return {};
}

Console::Lines Console::TryLogOn(const Args& args) {
  Security* security =
      app.GetMainWindow() != nullptr ? app.GetMainWindow()->GetSecurity() : nullptr;
  if (security == nullptr) return {"error: not running"};
  if (!security->LogOn(args[0], args.size() == 2 ? args[1] : std::string()))
    return {"refused: unknown name or wrong password"};
  return {Format("logged on as %s, access level %u", security->GetUser().c_str(),
                 security->GetAccessLevel())};
}

Console::Lines Console::Status(const Args& args) const {
  int device = app.GetSelDetector();
  if (!args.empty()) device = ParseDevice(args[0]);
  if (device < 0) return {"error: usage: status [L-AAA] (or select a device first)"};
  const TMainWindow* window = app.GetMainWindow();
  const DeviceStatusList* list = window != nullptr ? window->GetDeviceStatusList() : nullptr;
  if (list == nullptr) return {"error: no status monitor is running"};
  const DeviceStatus s = list->GetState(device);
  if (!s.HasValues()) return {DeviceName(device) + " no answer decoded yet"};
  return {
      Format("%s status 0x%02x faults 0x%02x level %u fire2 %u fire1 %u prealarm %u aux %u "
             "detector %u",
             DeviceName(device).c_str(), s.GetAlarmFaultStatus(), s.GetFaultFlags(),
             s.GetBargraphLevel(), s.GetFire2Level(), s.GetFire1Level(), s.GetPreAlarmLevel(),
             s.GetAuxLevel(), s.GetDetectorLevel())};
}

Console::Lines Console::Stats() const {
  const TMainWindow* window = app.GetMainWindow();
  if (window == nullptr) return {"error: not running"};
  Lines out;
  if (const PCcommandModule* bm = window->GetBusMaster()) {
    const auto& st = bm->Statistics();
    out.push_back(
        Format("polls %u responses %u dropped %u min %u ms max %u ms avg %u ms cycle %u ms",
               st.polls, st.responses, st.dropped, st.min, st.max, st.GetAvg(), st.cycle));
  }
  if (const BusStatusMonitor* bus = window->GetBusStatusMonitor()) {
    const auto& c = bus->GetStatus();
    out.push_back(
        Format("received %u fast polls %u standard polls %u unknown polls %u "
               "unknown commands %u bad %u sent %u",
               unsigned(c.rxmessages), unsigned(c.rxfastpolls), unsigned(c.rxstdpolls),
               unsigned(c.rxunknownpolls), unsigned(c.rxunknowncommands), unsigned(c.rxbadmessages),
               unsigned(c.txmessages)));
  }
  // Each loop is its own bus: a slow or silent loop shows here, not in the sum.
  if (const PCcommandModule* bm = window->GetBusMaster()) {
    for (int loop = 0; loop < bm->GetLoops(); ++loop) {
      const auto& c = bm->LoopStatistics(loop);
      out.push_back(Format("loop %d polls %u answers %u cycle %u ms", loop + 1, c.polls,
                           c.responses, c.cycle));
    }
  }
  return out;
}

}  // namespace quillark
