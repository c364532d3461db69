#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/site/config.h"
#include "core/site/functionset.h"

namespace quillark {

class Scanner;

// Discovers a new site: creates the site file and its three function
// settings files, scans every loop ("G" over positions 0 to 127), turns
// each answer into a configured device and appends its settings to the
// function file of its kind, then ends the function files and saves the
// site. Runs in the background of the one thread with polling paused.
class SiteScan : public MsgClass {
 public:
  static constexpr int TX_WRITEFATAL = 17500;
  static constexpr int TX_WRITEERROR = 17600;

  using Progress = std::function<void(const std::string& line)>;
  using Done = std::function<void(bool ok, const std::string& summary)>;

  SiteScan(BusHost* host, std::string sitefile);
  ~SiteScan() override;
  SiteScan(const SiteScan&) = delete;
  SiteScan& operator=(const SiteScan&) = delete;

  // Starts the scan; `progress` hears one line per device found, `done`
  // once at the end (also when the files cannot be created).
  void Start(Progress progress, Done done);
  void Cancel();
  bool Running() const { return running; }
  int GetPercent() const;
  std::string GetStatusText() const;
  const TSiteConfig& Site() const { return site; }
  const std::string& GetFileName() const { return sitefile; }

  void MsgRx(int loop, const char* msg) override;

  // --- The parts without a bus, for tests and the fuzzer
  // Writes the empty site file ("255" and a line feed) and the three
  // function file headers. False with the name of the file that failed.
  static bool CreateFiles(const std::string& sitefile, std::string& failed);
  // The header of a new function file of `kind` ("!6\"127" and a line feed
  // for detectors, 7 power supplies, 8 command modules).
  static std::string NewFnHeader(devicetype kind);
  // An answer of a scanned device as a site entry; false when the frame is
  // not a whole "G" answer of a command module, power supply or detector.
  static bool TakeAnswer(int loop, std::string_view frame, DeviceConfig& device,
                         std::array<int, FunctionSet::READCOUNT>& values);
  // The function file lines of one answer: functions 4 to 181.
  static std::string FnLines(std::uint32_t address,
                             const std::array<int, FunctionSet::READCOUNT>& values);

 private:
  void Finish(bool ok, const std::string& summary);
  void ScanEnded(bool complete);
  bool Append(devicetype kind, std::string_view text);

  std::string sitefile;
  TSiteConfig site;
  bool running = false;
  bool paused = false;
  bool aborted = false;
  Progress progress;
  Done done;
  std::unique_ptr<Scanner> scanner;
  std::vector<bool> heard;  // by loop: anything answered
  int found = 0;
};

}  // namespace quillark
