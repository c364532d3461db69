#include "core/app/siteconsole.h"

#include <memory>
#include <optional>
#include <string>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/events/fileext.h"
#include "core/site/actions.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/site/siteeditor.h"
#include "core/status/sitescan.h"

namespace quillark {
namespace {

using Lines = Console::Lines;
using Args = Console::Args;

constexpr std::uint32_t SLOTS = 256;

// A device number of the console (L-AAA: 0 the command module, 1 to 127
// detectors, 128 to 255 power supplies) as a configured address and type.
bool Configured(int device, std::uint32_t& address, devicetype& type) {
  if (device < 0) return false;
  const std::uint32_t loop = static_cast<std::uint32_t>(device) / SLOTS;
  const std::uint32_t slot = static_cast<std::uint32_t>(device) % SLOTS;
  if (slot == 0) {
    address = loop * SLOTS + 1;
    type = BUSCONTROLLER;
  } else if (slot <= 127) {
    address = loop * SLOTS + slot;
    type = DETECTOR;
  } else {
    address = loop * SLOTS + slot - 127;
    type = POWERSUPPLY;
  }
  return true;
}

int DeviceNumber(const DeviceConfig& d) {
  const std::uint32_t loop = d.GetLoop() * SLOTS;
  switch (d.GetType()) {
    case BUSCONTROLLER:
      return static_cast<int>(loop);
    case POWERSUPPLY:
      return static_cast<int>(loop + d.GetAddress() % SLOTS + 127);
    default:
      return static_cast<int>(d.GetAddress());
  }
}

const char* TypeName(devicetype t) {
  switch (t) {
    case BUSCONTROLLER:
      return "command module";
    case POWERSUPPLY:
      return "power supply";
    case DETECTOR:
      return "detector";
    default:
      return "other";
  }
}

class SiteConsole {
 public:
  SiteConsole(Console& c, TDockingApp& a) : console(c), app(a) {}

  Lines Site(const Args& args);
  Lines Add(const Args& args, devicetype type);
  Lines Remove(const Args& args);
  Lines Location(const Args& args);
  Lines Zone(const Args& args);
  Lines Save(const Args& args);
  Lines Actions(const Args& args);
  Lines NewSite(const Args& args);

 private:
  std::optional<Lines> Guard(int id);
  // The working copy, made from the site in use on the first change.
  SiteEditor* Editor();
  // The entry of an L-AAA argument in the working copy, or why there is none.
  DeviceConfig* Find(const std::string& arg, Lines& error);
  std::string Describe(const DeviceConfig& d) const;

  Console& console;
  TDockingApp& app;
  std::unique_ptr<SiteEditor> editor;
  std::unique_ptr<SiteScan> scan;
};

std::optional<Lines> SiteConsole::Guard(int id) {
  return CommandRefusal(app, id, false);
}

SiteEditor* SiteConsole::Editor() {
  const TSiteConfig* site = app.GetSiteConfig();
  // Another site was loaded since: the old changes belong to no file now.
  if (editor != nullptr && (site == nullptr || editor->GetFileName() != site->GetConfig()))
    editor.reset();
  if (editor == nullptr && site != nullptr)
    editor =
        std::make_unique<SiteEditor>(*site, &app.GetServices().translator, app.GetBus().GetLoops());
  return editor.get();
}

DeviceConfig* SiteConsole::Find(const std::string& arg, Lines& error) {
  std::uint32_t address = 0;
  devicetype type = DETECTOR;
  if (!Configured(Console::ParseDevice(arg), address, type)) {
    error = {"error: '" + arg + "' is not a device (L-AAA)"};
    return nullptr;
  }
  SiteEditor* e = Editor();
  DeviceConfig* d = e != nullptr ? e->Site().GetDevice(address, type) : nullptr;
  if (d == nullptr) error = {"error: " + arg + " is not in the site"};
  return d;
}

std::string SiteConsole::Describe(const DeviceConfig& d) const {
  const Detector models(&app.GetServices().translator);
  std::string line =
      Format("%s %s, %s", Console::DeviceName(DeviceNumber(d)).c_str(), TypeName(d.GetType()),
             std::string(Trim(models.GetTypeName(d.GetModel()))).c_str());
  line += d.GetZone() > 0 ? Format(", zone %03d", d.GetZone()) : std::string(", zone ---");
  if (d.GetParentAddress() != DeviceConfig::NOADDRESS) {
    DeviceConfig parent(d.GetParentAddress(), d.GetParentType());
    line += ", parent " + Console::DeviceName(DeviceNumber(parent));
  }
  if (!d.GetLocation().empty()) line += ", location " + d.GetLocation();
  return line;
}

Lines SiteConsole::Site(const Args& args) {
  if (!args.empty()) return {"error: usage: site"};
  // What is being edited, or else the site in use.
  const TSiteConfig* site = editor != nullptr && app.GetSiteConfig() != nullptr &&
                                    editor->GetFileName() == app.GetSiteConfig()->GetConfig()
                                ? &editor->Site()
                                : app.GetSiteConfig();
  if (site == nullptr) return {"error: no site"};
  Lines out{"site " + site->GetConfig() + (site == app.GetSiteConfig() ? "" : " (not saved)")};
  const int loops = app.GetBus().GetLoops();
  for (const DeviceConfig& d : *site) {
    if (d.GetType() != BUSCONTROLLER && d.GetType() != POWERSUPPLY && d.GetType() != DETECTOR)
      continue;
    if (static_cast<int>(d.GetLoop()) >= loops) continue;
    out.push_back(Describe(d));
  }
  return out;
}

Lines SiteConsole::Add(const Args& args, devicetype type) {
  const bool det = type == DETECTOR;
  if (args.empty() || args.size() > (det ? 2u : 1u))
    return {det ? "error: usage: adddet L-AAA [MODEL]" : "error: usage: addpsu L-AAA"};
  const int device = Console::ParseDevice(args[0]);
  const int slot = device & 0xFF;
  if (device < 0 || slot < 1 || slot > 127)
    return {"error: '" + args[0] + "' is not an address (L-AAA, AAA 1 to 127)"};
  int model = UNKNOWN;
  if (args.size() == 2) {
    const std::string& m = args[1];
    if (m.empty() || m.size() > 2 || m.find_first_not_of("0123456789") != std::string::npos ||
        AtoL(m) >= Detector::GetNumberOfDetectorTypes())
      return {"error: '" + m + "' is not a model number (0 to 19)"};
    model = static_cast<int>(AtoL(m));
  }
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  SiteEditor* e = Editor();
  if (e == nullptr) return {"error: no site"};
  const std::uint32_t loop = static_cast<std::uint32_t>(device) / SLOTS;
  if (static_cast<int>(loop) >= app.GetBus().GetLoops()) return {"error: the loop is not in use"};
  e->Select(loop * SLOTS + 1, BUSCONTROLLER);
  Translator& t = app.GetServices().translator;
  const int refusal = det ? e->AddDetector(slot) : e->AddPSU(slot);
  if (refusal != 0) return {"refused: " + t.Text(refusal)};
  const std::uint32_t address = loop * SLOTS + static_cast<std::uint32_t>(slot);
  DeviceConfig* d = e->Site().GetDevice(address, type);
  if (d != nullptr) d->SetModel(static_cast<devicemodel>(model));
  return {"added " + (d != nullptr ? Describe(*d) : args[0]) + " (savesite keeps it)"};
}

Lines SiteConsole::Remove(const Args& args) {
  if (args.size() != 1) return {"error: usage: remove L-AAA"};
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  Lines error;
  DeviceConfig* d = Find(args[0], error);
  if (d == nullptr) return error;
  const std::string name = Describe(*d);
  SiteEditor* e = Editor();
  e->Select(d->GetAddress(), d->GetType());
  if (!e->Remove()) return {"refused: a loop's command module cannot be removed"};
  return {"removed " + name};
}

Lines SiteConsole::Location(const Args& args) {
  if (args.size() < 2) return {"error: usage: location L-AAA TEXT"};
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  Lines error;
  DeviceConfig* d = Find(args[0], error);
  if (d == nullptr) return error;
  std::string text = args[1];
  for (std::size_t i = 2; i < args.size(); ++i) text += " " + args[i];
  d->SetLocation(text);
  return {Describe(*d)};
}

Lines SiteConsole::Zone(const Args& args) {
  if (args.size() != 2) return {"error: usage: zone L-AAA N (0 for none)"};
  const std::string& n = args[1];
  if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
      AtoL(n) > SiteEditor::ZONES)
    return {"error: '" + n + "' is not a zone (0 to 127)"};
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  Lines error;
  DeviceConfig* d = Find(args[0], error);
  if (d == nullptr) return error;
  d->SetZone(static_cast<std::int32_t>(AtoL(n)));
  return {Describe(*d)};
}

Lines SiteConsole::Save(const Args& args) {
  if (!args.empty()) return {"error: usage: savesite"};
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  SiteEditor* e = Editor();
  if (e == nullptr) return {"error: no site"};
  const std::string file = e->GetFileName();
  if (!e->Ok(app.GetServices().ini, &app.GetServices().prompter))
    return {"error: the site was not saved to " + file + "; the file was not changed"};
  editor.reset();
  TMainWindow* window = app.GetMainWindow();
  const Security* security = window != nullptr ? window->GetSecurity() : nullptr;
  app.WriteEvent(1, Format("Edit site configuration by user '%s'",
                           security != nullptr ? security->GetUser().c_str() : ""));
  // The displays, the polling list and the alarm display follow the file.
  app.ShowBargraph();
  return {"saved " + file};
}

Lines SiteConsole::Actions(const Args& args) {
  if (args.size() != 1) return {"error: usage: actions L-AAA"};
  if (auto refused = Guard(CMD_SITECONF)) return *refused;
  Lines error;
  DeviceConfig* d = Find(args[0], error);
  if (d == nullptr) return error;
  AlarmActions sheet(Editor()->Site(), d->GetAddress(), d->GetType());
  Lines out{Describe(*d)};
  if (sheet.Pages().empty()) out.push_back("no alarm actions for this model");
  Translator& t = app.GetServices().translator;
  for (const AlarmActions::Page& p : sheet.Pages()) {
    std::string line = t.Text(p.title) + ": sound " + (p.sound.empty() ? "none" : p.sound) +
                       ", text " + (p.text.empty() ? "none" : p.text);
    if (p.input) line += p.busreset ? ", bus reset" : ", no bus reset";
    out.push_back(line);
  }
  return out;
}

Lines SiteConsole::NewSite(const Args& args) {
  if (args.size() != 1) return {"error: usage: newsite FILE"};
  if (auto refused = Guard(CMD_NEW)) return *refused;
  if (app.GetMainWindow() == nullptr) return {"error: not running"};
  if (scan != nullptr && scan->Running()) return {"error: a site scan is running"};
  std::string file = args[0];
  if (GetExtension(file).empty()) file += ".cfg";
  const std::string path = app.ResolveSitePath(file).string();
  console.SetBusy(true);
  EventLoop& events = app.GetServices().events;
  scan = std::make_unique<SiteScan>(&app.GetBus(), path);
  scan->Start(
      [this, &events](const std::string& line) {
        events.Post([this, line] { console.LateAnswer({"found " + line}); });
      },
      [this, &events, path](bool ok, const std::string& summary) {
        std::string text = summary;
        for (char& c : text)
          if (c == '\n') c = ' ';
        events.Post([this, ok, text, path] {
          scan.reset();
          Lines out{(ok ? "" : "error: ") + text};
          if (ok) {
            app.GetServices().ini.WriteString("Site", "Site", path);
            editor.reset();
            app.ShowBargraph();
            out.push_back("site " + path + " loaded");
          }
          console.SetBusy(false);
          console.LateAnswer(out);
        });
      });
  return {"scanning the loops for " + path};
}

}  // namespace

void AddSiteWords(Console& console, TDockingApp& app) {
  auto s = std::make_shared<SiteConsole>(console, app);
  console.AddWord({"site", "", "list the site's devices: type, model, zone, parent, location",
                   [s](const Args& a) { return s->Site(a); }});
  console.AddWord({"adddet", "L-AAA [MODEL]", "add a detector to the site being edited",
                   [s](const Args& a) { return s->Add(a, DETECTOR); }});
  console.AddWord({"addpsu", "L-AAA", "add power supply AAA to the site being edited",
                   [s](const Args& a) { return s->Add(a, POWERSUPPLY); }});
  console.AddWord({"remove", "L-AAA",
                   "remove a device from the site being edited (a power supply with its "
                   "detectors)",
                   [s](const Args& a) { return s->Remove(a); }});
  console.AddWord({"location", "L-AAA TEXT", "set a device's location text",
                   [s](const Args& a) { return s->Location(a); }});
  console.AddWord({"zone", "L-AAA N", "set a device's zone (0: none)",
                   [s](const Args& a) { return s->Zone(a); }});
  console.AddWord({"savesite", "", "save the edited site and run on it",
                   [s](const Args& a) { return s->Save(a); }});
  console.AddWord({"actions", "L-AAA", "a device's alarm sounds and action texts",
                   [s](const Args& a) { return s->Actions(a); }});
  console.AddWord({"newsite", "FILE", "create a site by scanning every loop, then run on it",
                   [s](const Args& a) { return s->NewSite(a); }});
}

}  // namespace quillark
