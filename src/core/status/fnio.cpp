#include "core/status/fnio.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/message.h"
#include "core/site/config.h"
#include "core/site/fnfile.h"
#include "core/site/fnpages.h"
#include "core/site/siteeditor.h"
#include "core/status/scan.h"

namespace quillark {
namespace {

// Texts of the window and the console's answers.
constexpr int TX_WRITEFATAL = 17500;
constexpr int TX_WRITEERROR = 17600;
constexpr int TX_SAVECAPTION = 89000;
constexpr int TX_RESTORECAPTION = 89020;
constexpr int TX_CLOCKSCAPTION = 89040;
constexpr int TX_SAVED = 89060;
constexpr int TX_LOADING = 89080;
constexpr int TX_RESTORING = 89100;
constexpr int TX_CLOCKSET = 89120;
constexpr int TX_CLOCKREFUSED = 89140;
constexpr int TX_NOANSWER = 89160;
constexpr int TX_SAVEDALL = 89180;
constexpr int TX_RESTOREDALL = 89200;
constexpr int TX_CLOCKSSET = 89220;
constexpr int TX_CLOCKFAILURES = 89240;
constexpr int TX_READFATAL = 89260;
constexpr int TX_SAVECANCELLED = 89280;
constexpr int TX_CANCELLED = 89300;
constexpr int TX_NOBUS = 89320;
constexpr const char* WRITEFATAL = "Fatal error writing programmable function setting files.";
constexpr const char* READFATAL = "Fatal error reading programmable function setting files.";
constexpr devicetype KINDS[3] = {BUSCONTROLLER, POWERSUPPLY, DETECTOR};

// The device number of a file line's device, or -1 when the address cannot
// be a device of that kind on `loops` loops.
int FileDevice(devicetype kind, unsigned address, int loops) {
  const int loop = static_cast<int>(address >> 8);
  const int bus = static_cast<int>(address & 0xFF);
  if (loop >= loops) return -1;
  switch (kind) {
    case BUSCONTROLLER:
      return bus == 1 ? loop << 8 : -1;
    case POWERSUPPLY:
      return bus >= 1 && bus <= 128 ? (loop << 8 | (bus + 127)) : -1;
    default:
      return bus >= 1 && bus <= 127 ? static_cast<int>(address) : -1;
  }
}

std::time_t ClockOf(const FunctionSet& set) {
  std::tm t{};
  const int year = set.GetFunction(20);
  t.tm_year = (year < 70 ? 100 : 0) + year;
  t.tm_mon = set.GetFunction(19) - 1;
  t.tm_mday = set.GetFunction(18);
  t.tm_hour = set.GetFunction(16);
  t.tm_min = set.GetFunction(17);
  t.tm_isdst = -1;
  return std::mktime(&t);
}

}  // namespace

ScanRequest FnIo::SettingsScan(int loops) {
  ScanRequest request;
  request.loops = loops;
  request.startdevice = 0;
  request.enddevice = 127;
  request.msg = "xx" + FunctionSet::ReadRequest(1).substr(2);
  request.extratimeout = SCANEXTRA;
  return request;
}

FnIo::FnIo(BusHost* host, const TSiteConfig* s, const std::string& file, Mode m)
    : MsgClass(host), site(s), sitefile(file), mode(m) {}

FnIo::~FnIo() {
  timer.Cancel();
  DeRegister();
  scanner.reset();
  if (paused && main != nullptr && !main->ShuttingDown()) main->ResumePolling();
}

std::string FnIo::Text(int id, const char* english) const {
  return TextOr(main != nullptr ? &main->GetTranslator() : nullptr, id, english);
}

std::string FnIo::DeviceName(int device) const {
  const devicetype kind = FnDeviceKind(device);
  const unsigned address =
      static_cast<unsigned>(kind == POWERSUPPLY ? FnBusAddress(device) : device);
  return SiteEditor::LoopName(kind, static_cast<unsigned>((device >> 8) + 1), address,
                              main != nullptr ? &main->GetTranslator() : nullptr);
}

std::string FnIo::DeviceLine(int id, const char* english, int device) const {
  return Format(Text(id, english).c_str(), DeviceName(device).c_str());
}

void FnIo::Start(Progress p, Done d) {
  progress = std::move(p);
  done = std::move(d);
  if (running) return;
  running = true;
  if (main == nullptr) {
    Finish(false, Text(TX_NOBUS, "error: no bus"));
    return;
  }
  main->PausePolling();
  paused = true;
  switch (mode) {
    case SAVE:
      StartSave();
      break;
    case RESTORE:
      StartRestore();
      break;
    case SETCLOCKS:
      StartSetClocks();
      break;
  }
}

void FnIo::Say(const std::string& line) {
  statustext = line;
  if (progress) progress(line);
}

void FnIo::Finish(bool ok, const std::string& summary) {
  if (!running) return;
  running = false;
  timer.Cancel();
  pending = false;
  DeRegister();
  if (paused && main != nullptr && !main->ShuttingDown()) main->ResumePolling();
  paused = false;
  statustext = summary;
  // The caller may free this object from `done`: nothing is touched after.
  Done d = std::move(done);
  if (d) d(ok, summary);
}

void FnIo::Cancel() {
  if (!running) return;
  if (mode == SAVE && scanner != nullptr) {
    scanner->AbortScan();  // ends through the scanner's change report
    return;
  }
  Finish(false, Text(TX_CANCELLED, "cancelled"));
}

int FnIo::GetPercent() const {
  if (mode == SAVE) return scanner != nullptr ? scanner->GetPercent() : 0;
  if (total == 0) return running ? 0 : 100;
  return static_cast<int>(finished * 100 / total);
}

std::string FnIo::GetCaption() const {
  switch (mode) {
    case SAVE:
      return Text(TX_SAVECAPTION, "Save function settings");
    case RESTORE:
      return Text(TX_RESTORECAPTION, "Restore function settings");
    default:
      return Text(TX_CLOCKSCAPTION, "Set device clocks");
  }
}

void FnIo::Send(int device, const std::string& out) {
  char frame[FRAMEBUFFER] = {};
  const std::size_t n = std::min(out.size(), sizeof frame - 4);
  std::memcpy(frame, out.data(), n);
  SendBusMessage(device >> 8, frame, static_cast<int>(n));
}

// --- Save ---------------------------------------------------------------

void FnIo::StartSave() {
  for (int k = 0; k < 3; ++k) texts[static_cast<std::size_t>(k)] = FnNewFileText(KINDS[k]);
  // Nothing is worth reading when the answers cannot be kept.
  for (devicetype kind : KINDS) {
    const std::string path = FnFileName(sitefile, kind);
    if (path.empty()) {
      Finish(false, Text(TX_WRITEFATAL, WRITEFATAL));
      return;
    }
  }
  scanner = std::make_unique<Scanner>(main, *this, SettingsScan(main->GetLoops()));
  scanner->SetOnChange([this] {
    if (!running || scanner == nullptr) return;
    statustext = scanner->GetStatusText();
    const int result = scanner->GetResult();
    if (result == Scanner::SCAN_RUNNING) return;
    // The scanner is still inside its own call: finish after it.
    main->Events().Post([this, result] { FinishSave(result == Scanner::SCAN_COMPLETE); });
  });
  scanner->SetupWindow();
}

void FnIo::MsgRx(int loop, const char* msg) {
  if (!running || msg == nullptr) return;
  const std::string_view frame(msg);
  if (mode == SETCLOCKS) {
    if (pending && readback.TakeAnswer(loop, frame).taken) ClockAnswered(true);
    return;
  }
  if (mode != SAVE || scanner == nullptr || frame.size() < 3 || frame[2] != 'G') return;
  std::size_t k;
  switch (frame[0]) {
    case '/':
      k = 0;
      break;
    case '+':
      k = 1;
      break;
    case '<':
      k = 2;
      break;
    default:
      return;
  }
  std::array<int, FunctionSet::READCOUNT> values{};
  if (!FunctionSet::ParseAnswer(frame, values)) return;
  const unsigned address =
      static_cast<unsigned>(loop << 8 | (static_cast<unsigned char>(frame[1]) & 0x7F));
  texts[k] += FnAnswerLines(address, values);
  ++saved;
  const int device = FnAnswerDevice(loop, frame[0], frame[1]);
  Say(DeviceLine(TX_SAVED, "%s: saved", device));
  scanner->MessageReceived(static_cast<int>(address));
}

void FnIo::FinishSave(bool complete) {
  if (!running) return;
  if (!complete) {
    Finish(false,
           Text(TX_SAVECANCELLED, "cancelled: the function settings files were not changed"));
    return;
  }
  for (int k = 0; k < 3; ++k) {
    const std::string path = FnFileName(sitefile, KINDS[k]);
    if (!WriteFileAtomic(path, texts[static_cast<std::size_t>(k)] + FN_ENDLINE)) {
      Finish(false,
             Format(Text(TX_WRITEERROR, "Error writing to file\n%s.").c_str(), path.c_str()));
      return;
    }
  }
  Finish(
      true,
      Format(Text(TX_SAVEDALL, "All function settings have been transferred (%d devices).").c_str(),
             saved));
}

// --- Restore ------------------------------------------------------------

void FnIo::StartRestore() {
  const int loops = main->GetLoops();
  bool any = false;
  for (int k = 0; k < 3; ++k) {
    std::string& text = restoretexts[static_cast<std::size_t>(k)];
    const std::string path = FnFileName(sitefile, KINDS[k]);
    std::error_code ec;
    // A kind the save never found may have no file; a damaged file stops
    // the restore before anything is sent.
    if (path.empty() || !std::filesystem::exists(path, ec)) continue;
    FnFileHeader header;
    if (!ReadFnFile(path, text) || !ParseFnHeader(text, header)) {
      Finish(false, Text(TX_READFATAL, READFATAL));
      return;
    }
    FnLineReader reader(text);
    for (FnLine line; reader.Next(line);) {
    }
    if (!reader.SawEndLine()) {
      Finish(false, Text(TX_READFATAL, READFATAL));
      return;
    }
    any = true;
    for (unsigned address : FnFileDevices(text)) {
      const int device = FileDevice(KINDS[k], address, loops);
      if (device >= 0) queue.push_back(device);
    }
  }
  if (!any) {
    Finish(false, Text(TX_READFATAL, READFATAL));
    return;
  }
  total = queue.size();
  Say(Text(TX_LOADING, "Loading functions from disk"));
  timer = main->Events().SingleShot(RESTORESTART, [this] { RestoreNext(); });
}

void FnIo::RestoreNext() {
  while (running && !queue.empty()) {
    const int device = queue.front();
    queue.pop_front();
    ++finished;
    const std::size_t k = FnDeviceKind(device) == BUSCONTROLLER ? 0
                          : FnDeviceKind(device) == POWERSUPPLY ? 1
                                                                : 2;
    FunctionSet set;
    FnRestoreValues(restoretexts[k], static_cast<unsigned>(FnFileAddress(device)), set);
    std::string frame = FnRestoreFrame(device, set);
    if (frame.empty()) continue;  // nothing stored: no pause
    Say(DeviceLine(TX_RESTORING, "%s: restoring", device));
    timer = main->Events().SingleShot(WRITEPAUSE, [this, device, frame] {
      Send(device, frame);
      ++restored;
      main->Events().Post([this] { RestoreNext(); });
    });
    return;
  }
  if (running)
    Finish(true, Format(Text(TX_RESTOREDALL, "Function settings restored to %d devices.").c_str(),
                        restored));
}

// --- Device clocks ------------------------------------------------------

void FnIo::StartSetClocks() {
  const int loops = main->GetLoops();
  if (site != nullptr) {
    for (const DeviceConfig& d : *site) {
      const int loop = static_cast<int>(d.GetAddress() >> 8);
      const int bus = static_cast<int>(d.GetAddress() & 0xFF);
      if (loop >= loops) continue;
      switch (d.GetType()) {
        case BUSCONTROLLER:
          if (bus == 1) queue.push_back(loop << 8);
          break;
        case POWERSUPPLY:
          if (bus >= 1 && bus <= 128) queue.push_back(loop << 8 | (bus + 127));
          break;
        case DETECTOR:
          if (bus >= 1 && bus <= 127) queue.push_back(loop << 8 | bus);
          break;
        default:
          break;
      }
    }
  }
  total = queue.size();
  Register(this, MSG_LONG);
  ClockNext();
}

void FnIo::ClockNext() {
  if (!running) return;
  if (queue.empty()) {
    const std::size_t set = total - failures.size();
    std::string summary =
        Format(Text(TX_CLOCKSSET, "Clocks set on %zu of %zu devices.").c_str(), set, total);
    if (!failures.empty()) {
      summary += " " + Text(TX_CLOCKFAILURES, "Did not take the time:");
      for (const std::string& f : failures) summary += " " + f + ";";
      summary.pop_back();
    }
    Finish(failures.empty(), summary);
    return;
  }
  const int device = queue.front();
  statustext = DeviceName(device);
  FunctionSet set;
  set.SetDevice(device);
  for (int i = 0; i < FunctionSet::COUNT; ++i) set.SetFunction(i, FN_NOTSET);
  written = main->Events().Now();
  std::tm local{};
  localtime_r(&written, &local);
  local.tm_sec = 0;
  written = std::mktime(&local);
  FnSetClock(set, local);
  Send(device, set.WriteFrame());
  // The device needs a moment with the new time before it is asked for it.
  timer = main->Events().SingleShot(WRITEPAUSE, [this] { ClockRead(); });
}

void FnIo::ClockRead() {
  const int device = queue.front();
  readback = FunctionSet();
  readback.SetDevice(device);
  pending = true;
  Send(device, FunctionSet::ReadRequest(device));
  const std::uint32_t wait =
      static_cast<std::uint32_t>(std::max(0, main->GetMaxDeviceTimeout())) + SCANEXTRA;
  timer = main->Events().SingleShot(wait, [this] { ClockAnswered(false); });
}

void FnIo::ClockAnswered(bool taken) {
  if (!pending || queue.empty()) return;
  pending = false;
  timer.Cancel();
  const int device = queue.front();
  queue.pop_front();
  ++finished;
  bool ok = false;
  if (taken) {
    const double drift = std::difftime(ClockOf(readback), written);
    ok = drift >= 0 && drift <= CLOCKSLACK;
  }
  if (!ok) failures.push_back(DeviceName(device));
  if (ok)
    Say(DeviceLine(TX_CLOCKSET, "%s: clock set", device));
  else if (taken)
    Say(DeviceLine(TX_CLOCKREFUSED, "%s: did not take the time", device));
  else
    Say(DeviceLine(TX_NOANSWER, "%s: no answer", device));
  main->Events().Post([this] { ClockNext(); });
}

}  // namespace quillark
