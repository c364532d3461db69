#include "core/app/fnconsole.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/access/commands.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/textutil.h"
#include "core/site/config.h"
#include "core/site/detector.h"
#include "core/site/fnfile.h"
#include "core/site/fnpages.h"
#include "core/status/fnio.h"
#include "core/status/fnlink.h"

namespace quillark {
namespace {

using Lines = Console::Lines;
using Args = Console::Args;

class FnConsole {
 public:
  FnConsole(Console& c, TDockingApp& a) : console(c), app(a) {}

  Lines Functions(const Args& args);
  Lines SetFn(const Args& args);
  Lines Transfer(int command, FnIo::Mode mode);

 private:
  // The checks of the menu command `id`: enabled for the selection, and
  // the operator's right to it.
  std::optional<Lines> Guard(int id);
  // The selected device's entry, or the reason there is none.
  const DeviceConfig* Selected(int& device, Lines& error);
  // Reads the selected device, then `then` with the link holding its
  // functions (null when it did not answer).
  Lines ReadSelected(const std::string& file, std::function<Lines(FunctionLink*)> then);
  // The late answer ends the command: the link goes once its call is over.
  void Finish(Lines lines);

  Console& console;
  TDockingApp& app;
  std::unique_ptr<FunctionLink> link;
};

std::optional<Lines> FnConsole::Guard(int id) {
  return CommandRefusal(app, id);
}

const DeviceConfig* FnConsole::Selected(int& device, Lines& error) {
  device = app.GetSelDetector();
  if (device < 0) {
    error = {"error: select a device first"};
    return nullptr;
  }
  const TSiteConfig* site = app.GetSiteConfig();
  const DeviceConfig* d =
      site != nullptr ? site->GetDevice(static_cast<std::uint32_t>(device)) : nullptr;
  if (d == nullptr) error = {"error: " + Console::DeviceName(device) + " is not in the site"};
  if (app.GetMainWindow() == nullptr) {
    error = {"error: not running"};
    return nullptr;
  }
  return d;
}

void FnConsole::Finish(Lines lines) {
  app.GetServices().events.Post([this, lines = std::move(lines)] {
    link.reset();
    console.SetBusy(false);
    console.LateAnswer(lines);
  });
}

Lines FnConsole::ReadSelected(const std::string& file, std::function<Lines(FunctionLink*)> then) {
  int device = -1;
  Lines error;
  const DeviceConfig* d = Selected(device, error);
  if (d == nullptr) return error;
  if (link != nullptr) return {"error: a device is being read"};
  link = std::make_unique<FunctionLink>(&app.GetBus(), device, d->GetModel(), file, true);
  console.SetBusy(true);
  link->Read([this, then = std::move(then)](const FunctionSet::Answer& answer) {
    if (!answer.taken) {
      Finish({"error: " + Console::DeviceName(link->Set().GetDevice()) + " did not answer"});
      return;
    }
    Finish(then(link.get()));
  });
  return {};
}

Lines FnConsole::Functions(const Args& args) {
  if (!args.empty()) return {"error: usage: functions"};
  if (auto refused = Guard(CMD_EDITDEVFN)) return *refused;
  return ReadSelected({}, [this](FunctionLink* l) {
    const FunctionSet& set = l->Set();
    Translator* translator = &app.GetServices().translator;
    Lines out{Format("functions of %s, %s:", Console::DeviceName(set.GetDevice()).c_str(),
                     std::string(Trim(Detector(translator).GetTypeName(set.GetType()))).c_str())};
    std::set<int> shown;
    for (const FnPage& page : FnPagesForModel(set.GetType(), set.GetVersion(), translator)) {
      const std::vector<FnEntry> entries = FnLoadPage(page, set);
      for (std::size_t i = 0; i < page.controls.size(); ++i) {
        const FnControl& c = page.controls[i];
        if (c.index >= 0 && !shown.insert(c.index * 64 + c.extra).second) continue;
        std::string head = c.label;
        if (c.index >= 0) head += Format(" (%d)", c.index + 1);
        out.push_back(head + ": " + FnShowEntry(c, entries[i], set));
      }
    }
    return out;
  });
}

Lines FnConsole::SetFn(const Args& args) {
  if (args.empty() || args.size() % 2 != 0)
    return {"error: usage: setfn FUNCTION VALUE [FUNCTION VALUE ...]"};
  std::vector<std::pair<int, std::string>> pairs;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string& f = args[i];
    if (f.empty() || f.size() > 3 || f.find_first_not_of("0123456789") != std::string::npos ||
        AtoL(f) < 1 || AtoL(f) > FunctionSet::COUNT)
      return {"error: '" + f + "' is not a function number (1 to 201)"};
    pairs.emplace_back(static_cast<int>(AtoL(f)), args[i + 1]);
  }
  if (auto refused = Guard(CMD_EDITDEVFN)) return *refused;
  int device = app.GetSelDetector();
  if (device >= 0 && !app.GetBus().IsWritable(device))
    return {"refused: " + Console::DeviceName(device) + " is on another computer's loop"};
  const TSiteConfig* site = app.GetSiteConfig();
  const std::string file =
      site != nullptr ? FnFileName(site->GetConfig(), FnDeviceKind(device)) : std::string();
  std::error_code ec;
  const bool hasfile = !file.empty() && std::filesystem::exists(file, ec);
  return ReadSelected(hasfile ? file : std::string(), [this, pairs](FunctionLink* l) {
    FunctionSet& set = l->Set();
    std::vector<FnPage> pages =
        FnPagesForModel(set.GetType(), set.GetVersion(), &app.GetServices().translator);
    std::vector<std::vector<FnEntry>> entries;
    for (const FnPage& p : pages) entries.push_back(FnLoadPage(p, set));
    Lines out;
    std::set<std::size_t> touched;
    for (const auto& [function, value] : pairs) {
      bool found = false;
      for (std::size_t p = 0; p < pages.size() && !found; ++p) {
        for (std::size_t i = 0; i < pages[p].controls.size() && !found; ++i) {
          const FnControl& c = pages[p].controls[i];
          if (c.index != function - 1 || c.readonly || c.kind == FnKind::FIXED ||
              c.kind == FnKind::BIT)
            continue;
          found = true;
          std::string why;
          if (!FnEnterText(c, value, entries[p][i], why)) return Lines{"error: " + why};
          touched.insert(p);
          out.push_back(Format("%s (%d): %s", c.label.c_str(), function, value.c_str()));
        }
      }
      if (!found)
        return Lines{Format("error: function %d is not a setting of this device", function)};
    }
    for (std::size_t p : touched)
      for (const std::string& m :
           FnApplyPage(pages[p], entries[p], set, &app.GetServices().translator))
        out.push_back("refused: " + m);
    if (!set.AnyModified()) {
      out.push_back("nothing to write");
      return out;
    }
    // The file first: the write clears the marks it goes by. Polling
    // resumes when the link goes, after this answer has been handled.
    l->SaveFile();
    l->Write();
    out.push_back("written to " + Console::DeviceName(set.GetDevice()));
    return out;
  });
}

Lines FnConsole::Transfer(int command, FnIo::Mode mode) {
  if (auto refused = Guard(command)) return *refused;
  TMainWindow* window = app.GetMainWindow();
  if (window == nullptr) return {"error: not running"};
  console.SetBusy(true);
  EventLoop& events = app.GetServices().events;
  FnIo* io = window->StartFnIo(
      mode,
      [this, &events](const std::string& line) {
        events.Post([this, line] { console.LateAnswer({line}); });
      },
      [this, &events](bool ok, const std::string& summary) {
        std::string text = summary;
        for (char& c : text)
          if (c == '\n') c = ' ';
        events.Post([this, ok, text] {
          console.SetBusy(false);
          console.LateAnswer({(ok ? "" : "error: ") + text});
        });
      });
  if (io == nullptr) {
    console.SetBusy(false);
    return {"error: a save, restore or clock setting is still running"};
  }
  return {};
}

}  // namespace

void AddFunctionWords(Console& console, TDockingApp& app) {
  auto fn = std::make_shared<FnConsole>(console, app);
  console.AddWord({"functions", "",
                   "read the selected device's settings and show them as its pages do",
                   [fn](const Args& a) { return fn->Functions(a); }});
  console.AddWord({"setfn", "FUNCTION VALUE [...]",
                   "write settings to the selected device, by function number, as its pages "
                   "would",
                   [fn](const Args& a) { return fn->SetFn(a); }});
  console.AddWord({"savefns", "", "save every device's settings into the site's function files",
                   [fn](const Args& a) {
                     return a.empty() ? fn->Transfer(CMD_SAVEFNS, FnIo::SAVE)
                                      : Lines{"error: usage: savefns"};
                   }});
  console.AddWord({"restorefns", "",
                   "write the settings in the site's function files back to every device",
                   [fn](const Args& a) {
                     return a.empty() ? fn->Transfer(CMD_RESTOREFNS, FnIo::RESTORE)
                                      : Lines{"error: usage: restorefns"};
                   }});
  console.AddWord({"setclocks", "", "set every configured device's clock to this computer's time",
                   [fn](const Args& a) {
                     return a.empty() ? fn->Transfer(CMD_SETCLOCKS, FnIo::SETCLOCKS)
                                      : Lines{"error: usage: setclocks"};
                   }});
}

}  // namespace quillark
