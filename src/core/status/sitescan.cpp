#include "core/status/sitescan.h"

#include <cstdio>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/platform/services.h"
#include "core/site/detector.h"
#include "core/site/fnfile.h"
#include "core/site/siteeditor.h"
#include "core/status/fnio.h"
#include "core/status/scan.h"

namespace quillark {
namespace {

constexpr const char* WRITEFATAL = "Fatal error writing programmable function setting files.";
constexpr devicetype KINDS[3] = {BUSCONTROLLER, POWERSUPPLY, DETECTOR};

bool WriteWhole(const std::string& path, std::string_view text, const char* mode) {
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace

SiteScan::SiteScan(BusHost* host, std::string file)
    : MsgClass(host), sitefile(std::move(file)), site({}, true) {}

SiteScan::~SiteScan() {
  DeRegister();
  scanner.reset();
  if (paused && main != nullptr && !main->ShuttingDown()) main->ResumePolling();
}

std::string SiteScan::NewFnHeader(devicetype kind) {
  const char model = kind == BUSCONTROLLER ? '8' : kind == POWERSUPPLY ? '7' : '6';
  return std::string("!") + model + "\"127\n";
}

bool SiteScan::CreateFiles(const std::string& file, std::string& failed) {
  if (file.empty() || !WriteWhole(file, "255\n", "wb")) {
    failed = file;
    return false;
  }
  for (devicetype kind : KINDS) {
    const std::string path = FnFileName(file, kind);
    if (path.empty() || !WriteWhole(path, NewFnHeader(kind), "wb")) {
      failed = path.empty() ? file : path;
      return false;
    }
  }
  return true;
}

bool SiteScan::TakeAnswer(int loop, std::string_view frame, DeviceConfig& device,
                          std::array<int, FunctionSet::READCOUNT>& values) {
  if (loop < 0 || loop >= TSiteConfig::LOOPS || frame.size() < 3) return false;
  devicetype type;
  switch (frame[0]) {
    case '<':
      type = DETECTOR;
      break;
    case '/':
      type = BUSCONTROLLER;
      break;
    case '+':
      type = POWERSUPPLY;
      break;
    default:
      return false;
  }
  if (!FunctionSet::ParseAnswer(frame, values)) return false;
  const std::uint32_t bus = static_cast<unsigned char>(frame[1]) & 0x7Fu;
  // Only the command module answers under address 1 as itself; address 0
  // or a detector at 128 and above cannot be on the bus.
  if (bus == 0 || (type == BUSCONTROLLER && bus != 1)) return false;
  const std::uint32_t address = static_cast<std::uint32_t>(loop) * 256 + bus;
  const int modelvalue = values[FunctionSet::MODELINDEX];
  const devicemodel model = modelvalue <= Detector::GetNumberOfDetectorTypes()
                                ? static_cast<devicemodel>(modelvalue)
                                : UNKNOWN;
  DeviceConfig d(address, type, model);
  if (type != BUSCONTROLLER) {
    d.SetParentAddress(static_cast<std::uint32_t>(loop) * 256 + 1);
    d.SetParentType(BUSCONTROLLER);
  }
  device = std::move(d);
  return true;
}

std::string SiteScan::FnLines(std::uint32_t address,
                              const std::array<int, FunctionSet::READCOUNT>& values) {
  std::string out;
  out.reserve(178 * 15);
  char line[48];
  for (int function = 4; function <= FunctionSet::READCOUNT; ++function) {
    std::snprintf(line, sizeof line, "%06u:%03u:%03u\n", address, static_cast<unsigned>(function),
                  static_cast<unsigned>(values[static_cast<std::size_t>(function - 1)]));
    out += line;
  }
  return out;
}

void SiteScan::Start(Progress p, Done d) {
  progress = std::move(p);
  done = std::move(d);
  if (running) return;
  running = true;
  if (main == nullptr) {
    Finish(false, "error: no bus");
    return;
  }
  Translator* translator = &main->GetTranslator();
  std::string failed;
  if (!CreateFiles(sitefile, failed)) {
    Finish(false,
           Format(TextOr(translator, 17600, "Error writing to file\n%s.").c_str(), failed.c_str()));
    return;
  }
  main->PausePolling();
  paused = true;
  heard.assign(static_cast<std::size_t>(std::max(main->GetLoops(), 1)), false);
  scanner = std::make_unique<Scanner>(main, *this, FnIo::SettingsScan(main->GetLoops()));
  scanner->SetOnChange([this] {
    if (!running || scanner == nullptr) return;
    const int result = scanner->GetResult();
    if (result == Scanner::SCAN_RUNNING) return;
    // The scanner is still inside its own call: finish after it.
    main->Events().Post([this, result] { ScanEnded(result == Scanner::SCAN_COMPLETE); });
  });
  scanner->SetupWindow();
}

void SiteScan::Cancel() {
  if (running && scanner != nullptr) scanner->AbortScan();
}

int SiteScan::GetPercent() const {
  return scanner != nullptr ? scanner->GetPercent() : 0;
}

std::string SiteScan::GetStatusText() const {
  return scanner != nullptr ? scanner->GetStatusText() : std::string();
}

bool SiteScan::Append(devicetype kind, std::string_view text) {
  return WriteWhole(FnFileName(sitefile, kind), text, "ab");
}

void SiteScan::MsgRx(int loop, const char* msg) {
  if (!running || aborted || scanner == nullptr || msg == nullptr) return;
  DeviceConfig device;
  std::array<int, FunctionSet::READCOUNT> values{};
  if (!TakeAnswer(loop, msg, device, values)) return;
  if (!Append(device.GetType(), FnLines(device.GetAddress(), values))) {
    aborted = true;
    scanner->AbortScan();
    return;
  }
  if (site.InsertDevice(device) == nullptr) return;
  ++found;
  if (static_cast<std::size_t>(loop) < heard.size()) heard[static_cast<std::size_t>(loop)] = true;
  if (progress) {
    const std::string model(Trim(Detector(&main->GetTranslator()).GetTypeName(device.GetModel())));
    progress(SiteEditor::LoopName(device.GetType(), (device.GetAddress() >> 8) + 1,
                                  device.GetAddress(), &main->GetTranslator()) +
             ": " + model);
  }
  scanner->MessageReceived(static_cast<int>(device.GetAddress()));
}

void SiteScan::ScanEnded(bool complete) {
  if (!running) return;
  Translator* translator = &main->GetTranslator();
  // The function files are ended in every case, so a cancelled discovery
  // still leaves files a restore can read.
  bool ended = true;
  for (devicetype kind : KINDS) ended = Append(kind, "255:255:255\n") && ended;
  if (aborted || !complete || !ended) {
    // The "255" placeholder is not a site any version reads: leave an empty
    // site behind instead, which the program can open.
    TSiteConfig empty({}, true);
    empty.Save(sitefile);
    Finish(false, complete || aborted
                      ? TextOr(translator, 17500, WRITEFATAL)
                      : TextOr(translator, 89580, "cancelled: the new site has no devices"));
    return;
  }
  if (!site.Save(sitefile)) {
    Finish(false, Format(TextOr(translator, 17600, "Error writing to file\n%s.").c_str(),
                         sitefile.c_str()));
    return;
  }
  std::string summary = Format(TextOr(translator, 89600, "%d devices found").c_str(), found);
  for (std::size_t l = 0; l < heard.size(); ++l)
    if (!heard[l])
      summary += Format(TextOr(translator, 89620, "; loop %d: nothing answered").c_str(),
                        static_cast<int>(l) + 1);
  Finish(true, summary);
}

void SiteScan::Finish(bool ok, const std::string& summary) {
  if (!running) return;
  running = false;
  DeRegister();
  if (paused && main != nullptr && !main->ShuttingDown()) main->ResumePolling();
  paused = false;
  // The caller may free this object from `done`: nothing is touched after.
  Done d = std::move(done);
  if (d) d(ok, summary);
}

}  // namespace quillark
