#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"
#include "core/site/functionset.h"

namespace quillark {

class Scanner;
struct ScanRequest;
class TSiteConfig;

// The settings of every device at once, in the background of the one thread:
//  - SAVE reads every command module and detector of every loop ("G" over
//    positions 0 to 127) into new function settings files beside the site.
//    The files are written whole when the scan ends, so a cancelled or
//    failed save leaves the previous files as they were.
//  - RESTORE writes every device found in those files back to it, on every
//    loop, command modules and power supplies as well as detectors.
//  - SETCLOCKS writes the PC's local time into every configured device and
//    reads it back, listing the devices that did not take it.
// Polling is paused while one runs.
class FnIo : public MsgClass {
 public:
  enum Mode { SAVE, RESTORE, SETCLOCKS };
  static constexpr std::uint32_t SCANEXTRA = 500;      // ms per scanned position
  static constexpr std::uint32_t RESTORESTART = 2000;  // before the first device
  static constexpr std::uint32_t WRITEPAUSE = 500;     // before each device's write
  // A device whose clock reads back this many seconds after the time written
  // took it: the minute may turn between the write and the read.
  static constexpr int CLOCKSLACK = 120;
  // The walk that reads the settings of every device on `loops` loops:
  // command module, detectors, power supplies.
  static ScanRequest SettingsScan(int loops);

  using Progress = std::function<void(const std::string& line)>;
  using Done = std::function<void(bool ok, const std::string& summary)>;

  FnIo(BusHost* host, const TSiteConfig* site, const std::string& sitefile, Mode mode);
  ~FnIo() override;
  FnIo(const FnIo&) = delete;
  FnIo& operator=(const FnIo&) = delete;

  // Starts the work; `progress` hears one line per device, `done` once at
  // the end (also when the start fails).
  void Start(Progress progress, Done done);
  void Cancel();
  bool Running() const { return running; }
  Mode GetMode() const { return mode; }
  // The window's gauge and status text.
  int GetPercent() const;
  const std::string& GetStatusText() const { return statustext; }
  std::string GetCaption() const;
  // The devices that did not take the time (SETCLOCKS).
  const std::vector<std::string>& GetFailures() const { return failures; }
  // "Detector 1-005" in the operator's language.
  std::string DeviceName(int device) const;

  void MsgRx(int loop, const char* msg) override;

 private:
  void StartSave();
  void FinishSave(bool complete);
  void StartRestore();
  void RestoreNext();
  void StartSetClocks();
  void ClockNext();
  void ClockRead();
  void ClockAnswered(bool taken);
  void Send(int device, const std::string& frame);
  void Finish(bool ok, const std::string& summary);
  void Say(const std::string& line);
  // Table text `id` (English without a translator), and one with "%s" for
  // the device's name.
  std::string Text(int id, const char* english) const;
  std::string DeviceLine(int id, const char* english, int device) const;

  const TSiteConfig* site;
  std::string sitefile;
  Mode mode;
  bool running = false;
  bool paused = false;
  Progress progress;
  Done done;
  std::string statustext;
  std::vector<std::string> failures;

  // SAVE
  std::unique_ptr<Scanner> scanner;
  std::array<std::string, 3> texts;  // by devicetype: command modules, power supplies, detectors
  int saved = 0;
  // RESTORE and SETCLOCKS: the devices still to do, and how many in all.
  std::deque<int> queue;
  std::size_t total = 0;
  std::size_t finished = 0;
  std::array<std::string, 3> restoretexts;
  int restored = 0;
  // SETCLOCKS
  FunctionSet readback;
  std::time_t written = 0;
  bool pending = false;
  TimerHandle timer;
};

}  // namespace quillark
