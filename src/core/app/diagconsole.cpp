#include "core/app/diagconsole.h"

#include <memory>
#include <optional>
#include <string>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/diag/devicetests.h"
#include "core/diag/diag.h"
#include "core/diag/transfer.h"
#include "core/events/fileext.h"

namespace quillark {
namespace {

using Lines = Console::Lines;
using Args = Console::Args;

constexpr long MAXREADSECONDS = 3600;

// One test or transfer at a time: it owns the console until its last line.
class DiagConsole {
 public:
  DiagConsole(Console& c, TDockingApp& a) : console(c), app(a) {}

  Lines List(const Args& args);
  Lines SelfTest(const Args& args);
  Lines Read(const Args& args);
  Lines Relays(const Args& args);
  Lines SendTexts(const Args& args);
  Lines SendLogo(const Args& args);

 private:
  std::optional<Lines> Guard(int id);
  std::optional<Lines> GuardFile(int type);
  // The selected device, or the reason there is none.
  int Selected(Lines& error);
  void Say(Lines lines) { console.LateAnswer(lines); }
  // The late answer ends the command; what ran goes once its call is over.
  void Finish(Lines lines);
  void WriteEvent(const Diag& diag);
  std::string User() const;
  // Who the words of a test are done for: the user they were permitted to,
  // taken when they start. Like an isolation or an acknowledgement, the
  // record names whoever was allowed to act (with nobody logged on, the
  // level-0 account the program runs under), not whoever holds the level
  // when a long test ends and a timed-out level may have dropped.
  std::string EventUser() const { return permitted; }
  bool Permit(int id, Lines& refusal);
  void FollowTransfer(DeviceTransfer* transfer, const std::string& what);

  Console& console;
  TDockingApp& app;
  std::unique_ptr<Diag> diag;
  std::unique_ptr<Diagnose> selftest;
  std::unique_ptr<ContRead> read;
  std::unique_ptr<RelayTest> relays;
  std::unique_ptr<DeviceTransfer> transfer;
  TimerHandle readtimer;
  int lastpercent = -1;
  std::string permitted;
};

std::optional<Lines> DiagConsole::Guard(int id) {
  if (app.GetMainWindow() == nullptr) return Lines{"error: not running"};
  return CommandRefusal(app, id);
}

std::optional<Lines> DiagConsole::GuardFile(int type) {
  if (app.GetMainWindow() == nullptr) return Lines{"error: not running"};
  return PermissionRefusal(app, TDockingApp::FilePermission(type));
}

int DiagConsole::Selected(Lines& error) {
  const int device = app.GetSelDetector();
  if (device < 0 || (device & 0xFF) < 1 || (device & 0xFF) > 127) {
    error = {"error: select a detector first (select L-AAA)"};
    return -1;
  }
  if ((device >> 8) >= app.GetBus().GetLoops()) {
    error = {"error: " + DiagDeviceName(device) + " is on a loop this site does not have"};
    return -1;
  }
  return device;
}

bool DiagConsole::Permit(int id, Lines& refusal) {
  if (auto refused = Guard(id)) {
    refusal = *refused;
    return false;
  }
  permitted = User();
  return true;
}

std::string DiagConsole::User() const {
  const Security* security =
      app.GetMainWindow() != nullptr ? app.GetMainWindow()->GetSecurity() : nullptr;
  return security != nullptr ? security->GetUser() : std::string();
}

void DiagConsole::WriteEvent(const Diag& d) {
  app.WriteEvent(1, d.ClosingEvent(EventUser()));
}

void DiagConsole::Finish(Lines lines) {
  app.GetServices().events.Post([this, lines = std::move(lines)] {
    diag.reset();
    selftest.reset();
    read.reset();
    relays.reset();
    transfer.reset();
    readtimer.Cancel();
    console.SetBusy(false);
    console.LateAnswer(lines);
  });
}

Lines DiagConsole::List(const Args& args) {
  long loop = -1;
  if (args.size() > 1) return {"error: usage: diag [L]"};
  if (args.size() == 1) {
    loop = AtoL(args[0]);
    if (loop < 1 || loop > app.GetBus().GetLoops() ||
        args[0].find_first_not_of("0123456789") != std::string::npos)
      return {Format("error: the loop is 1 to %d", app.GetBus().GetLoops())};
  }
  if (Lines refusal; !Permit(CMD_DIAGNOSTICS, refusal)) return refusal;
  console.SetBusy(true);
  diag = std::make_unique<Diag>(&app.GetBus(), app.GetBus().GetLoops());
  if (loop > 0) diag->SetLoop(static_cast<int>(loop - 1));
  diag->ScanLoops([this](int result) {
    Lines out{diag->Header()};
    out.insert(out.end(), diag->Rows().begin(), diag->Rows().end());
    out.push_back(Format("%zu device(s) answered%s", diag->Rows().size(),
                         result == Scanner::SCAN_COMPLETE ? "" : "; the scan was cut short"));
    WriteEvent(*diag);
    Finish(std::move(out));
  });
  return {};
}

Lines DiagConsole::SelfTest(const Args& args) {
  if (!args.empty()) return {"error: usage: selftest"};
  Lines error;
  const int device = Selected(error);
  if (device < 0) return error;
  if (Lines refusal; !Permit(CMD_SINGLEDIAGNOSTICS, refusal)) return refusal;
  console.SetBusy(true);
  selftest = std::make_unique<Diagnose>(&app.GetBus(), device);
  selftest->SetOnChange([this, device] {
    const std::string name = DiagDeviceName(device);
    if (selftest->Finished()) {
      app.WriteEvent(1, Diag(&app.GetBus(), 1, device).ClosingEvent(EventUser()));
      Finish({Format("%s self-test finished: %s", name.c_str(),
                     std::string(Trim(selftest->GetStatusText())).c_str())});
      return;
    }
    if (!selftest->GetProblem().empty()) {
      app.WriteEvent(1, Diag(&app.GetBus(), 1, device).ClosingEvent(EventUser()));
      Finish({"error: " + name + ": " + selftest->GetProblem()});
      return;
    }
    Say({Format("%s self-test: %s (%d/10)", name.c_str(),
                std::string(Trim(selftest->GetStatusText())).c_str(), selftest->GetGauge())});
  });
  selftest->Start();
  return {Format("self-test of %s started", DiagDeviceName(device).c_str())};
}

Lines DiagConsole::Read(const Args& args) {
  long seconds = 10;
  if (args.size() > 1) return {"error: usage: read [SECONDS]"};
  if (args.size() == 1) {
    seconds = AtoL(args[0]);
    if (args[0].find_first_not_of("0123456789") != std::string::npos || seconds < 1 ||
        seconds > MAXREADSECONDS)
      return {Format("error: SECONDS is 1 to %ld", MAXREADSECONDS)};
  }
  Lines error;
  const int device = Selected(error);
  if (device < 0) return error;
  if (Lines refusal; !Permit(CMD_SINGLEDIAGNOSTICS, refusal)) return refusal;
  console.SetBusy(true);
  read = std::make_unique<ContRead>(&app.GetBus(), device);
  read->SetOnReading([this](const ContRead::Reading& r) {
    Say({Format("level %s pipe1 %s pipe2 %s pipe3 %s pipe4 %s", r.Field(0).c_str(),
                r.Field(1).c_str(), r.Field(2).c_str(), r.Field(3).c_str(), r.Field(4).c_str())});
  });
  // The first request goes once this command's own line is out, so that
  // every reading is printed after it (a demonstration loop answers at
  // once, inside the send); the seconds count from that request, not from
  // the wait that lets the last polls settle first.
  app.GetServices().events.Post([this, device, seconds] {
    if (read == nullptr) return;
    read->Start();
    readtimer = app.GetServices().events.SingleShot(
        static_cast<std::uint32_t>(seconds) * 1000, [this, device] {
          app.WriteEvent(1, Diag(&app.GetBus(), 1, device).ClosingEvent(EventUser()));
          if (read->Readings() == 0)
            Finish({"error: " + DiagDeviceName(device) + ": " +
                    app.GetServices().translator.Text(TX_DIAGNOANSWER)});
          else
            Finish({Format("read ended: %d reading(s)", read->Readings())});
        });
  });
  return {Format("reading %s for %ld s", DiagDeviceName(device).c_str(), seconds)};
}

Lines DiagConsole::Relays(const Args& args) {
  if (args.size() != 1)
    return {
        "error: usage: relays MASK (0-1f: Fire 2 10, Fire 1 08, "
        "Pre-Alarm 04, Aux 02, Fault 01)"};
  std::string text = ToLower(args[0]);
  if (text.rfind("0x", 0) == 0) text = text.substr(2);
  if (text.empty() || text.size() > 2 ||
      text.find_first_not_of("0123456789abcdef") != std::string::npos)
    return {"error: MASK is two hex digits, 00 to 1f"};
  const int mask = static_cast<int>(std::stol(text, nullptr, 16));
  if (mask > 0x1F) return {"error: MASK is two hex digits, 00 to 1f"};
  Lines error;
  const int device = Selected(error);
  if (device < 0) return error;
  if (Lines refusal; !Permit(CMD_SINGLEDIAGNOSTICS, refusal)) return refusal;
  console.SetBusy(true);
  relays = std::make_unique<RelayTest>(&app.GetBus(), device);
  relays->SetOnChange([this, device, mask] {
    if (!relays->Confirmed() && relays->GetProblem().empty()) return;
    app.WriteEvent(1, Diag(&app.GetBus(), 1, device).ClosingEvent(EventUser()));
    if (relays->Confirmed())
      Finish({Format("%s relays set to %02x", DiagDeviceName(device).c_str(), mask)});
    else
      Finish({"error: " + DiagDeviceName(device) + ": " + relays->GetProblem()});
  });
  relays->SetMask(mask);
  return {Format("relays of %s: sending %02x", DiagDeviceName(device).c_str(), mask)};
}

void DiagConsole::FollowTransfer(DeviceTransfer* t, const std::string& what) {
  lastpercent = -1;
  t->SetOnChange([this, t, what] {
    if (t->GetResult() == DeviceTransfer::DONE) {
      Finish({what + " sent"});
      return;
    }
    if (t->GetResult() == DeviceTransfer::CANCELLED) {
      Finish({"error: " + what + " cancelled"});
      return;
    }
    if (t->GetPercent() == lastpercent) return;
    lastpercent = t->GetPercent();
    Say({t->GetCaption()});
  });
}

Lines DiagConsole::SendTexts(const Args& args) {
  if (args.size() != 1) return {"error: usage: sendtexts FILE.ilt"};
  if (auto refused = GuardFile(FT_LANGUAGE)) return *refused;
  IltFile file;
  std::string why;
  if (!IltFile::Load(args[0], file, why)) return {"error: " + why};
  const bool hascm = (app.GetServices().ini.ReadInt("Comm", "CTSflow", "1") & 1) != 0;
  console.SetBusy(true);
  auto t = std::make_unique<LanguageTransfer>(&app.GetBus(), app.GetBus().GetLoops(),
                                              std::move(file), hascm);
  FollowTransfer(t.get(), "language texts");
  transfer = std::move(t);
  transfer->Start();
  return {app.GetServices().translator.Text(TX_SETTINGLANGUAGE)};
}

Lines DiagConsole::SendLogo(const Args& args) {
  if (args.size() != 1) return {"error: usage: sendlogo FILE.lgo"};
  if (auto refused = GuardFile(FT_LOGO)) return *refused;
  LgoFile file;
  std::string why;
  if (!LgoFile::Load(args[0], file, why))
    return {"error: " + app.GetServices().translator.Text(TX_BITMAPERROR) + ": " + why};
  console.SetBusy(true);
  auto t = std::make_unique<LogoTransfer>(&app.GetBus(), app.GetBus().GetLoops(), std::move(file));
  FollowTransfer(t.get(), "logo");
  transfer = std::move(t);
  transfer->Start();
  return {app.GetServices().translator.Text(TX_SETTINGLOGO)};
}

}  // namespace

void AddDiagWords(Console& console, TDockingApp& app) {
  auto d = std::make_shared<DiagConsole>(console, app);
  console.AddWord({"diag", "[L]",
                   "list the devices answering on every loop (or loop L) with type, firmware, "
                   "self-test state and text",
                   [d](const Args& a) { return d->List(a); }});
  console.AddWord({"selftest", "", "run the self-test of the selected device, with its progress",
                   [d](const Args& a) { return d->SelfTest(a); }});
  console.AddWord({"read", "[SECONDS]",
                   "read the selected device's level and pipe flows every 1.5 s (default 10 s)",
                   [d](const Args& a) { return d->Read(a); }});
  console.AddWord({"relays", "MASK",
                   "set the selected device's relays: hex mask of Fire 2 10, Fire 1 08, "
                   "Pre-Alarm 04, Aux 02, Fault 01",
                   [d](const Args& a) { return d->Relays(a); }});
  console.AddWord({"sendtexts", "FILE.ilt", "send a language text file into every device",
                   [d](const Args& a) { return d->SendTexts(a); }});
  console.AddWord({"sendlogo", "FILE.lgo", "send a logo into every loop's command module",
                   [d](const Args& a) { return d->SendLogo(a); }});
}

}  // namespace quillark
