#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"
#include "core/site/config.h"
#include "core/status/pollingengine.h"

namespace quillark {

class INI;

enum CM_state { CM_NEW = 0, CM_POLL = 1, CM_RESET = 2, CM_PAUSED = 3 };

// The PC as bus master of every loop: walks the configured devices in site
// order and reports a device that missed three polls in a row as failed. It
// is not a registered receiver: the application hands it every frame, last.
//
// Each loop is its own bus, so by default every loop has its own walk with
// one poll outstanding, and a site's cycle is its longest loop's cycle rather
// than the sum of all of them. [BusMaster] PollOneAtATime=1 keeps one poll
// outstanding across the whole site, for a command-module bridge that cannot
// take traffic on several loops at once.
class PCcommandModule : public MsgClass, public PollingEngine {
 public:
  // Poll answer times and counts, for the site and for each loop.
  struct Counts {
    std::uint32_t max = 0, min = 0, sum = 0;
    std::uint32_t polls = 0, responses = 0, dropped = 0;
    // Milliseconds of the last complete walk (0 until one has completed).
    std::uint32_t cycle = 0;

    void UpdateStatistics(std::uint32_t start, std::uint32_t end, bool received);
    void ResetStatistics();
    std::uint32_t GetAvg() const { return polls == 0 ? 0 : sum / polls; }
  };
  struct Impl : Counts {
    std::vector<int> retries;  // consecutive missed polls per device number
    std::uint32_t pollstart = 0;
  };

  static constexpr int POLLTIMER = 1;
  // How often a loop with nothing to poll (none configured, or a network
  // loop) looks again: often enough to pick up a change, rare enough to cost
  // nothing.
  static constexpr std::uint32_t IDLELOOKMS = 1000;

  PCcommandModule(BusHost* app, TSiteConfig* site, INI& ini, int loops);
  ~PCcommandModule() override;

  // Starts polling one second from now (the settings window is set up).
  void SetupWindow();
  void SetLoops(int loops) override;
  void MsgRx(int loop, const char* msg) override;
  void EvTimer(int id);
  void Poll(int device);
  int GetNextPollDevice();
  void PausePolling() override;
  void ResumePolling() override;
  // The settings window's OK: restart the statistics and resume.
  void Ok();

  // The whole site's figures; per loop its own. In the per-loop walk the
  // site's cycle is the longest loop cycle.
  const Impl& Statistics() const { return *impl; }
  const Counts& LoopStatistics(int loop) const;
  int GetLoops() const { return loops; }
  bool GetOneAtATime() const { return oneatatime; }
  // Takes effect when polling next starts or resumes; kept in [BusMaster].
  void SetOneAtATime(bool on);
  CM_state GetState() const { return state; }
  int GetPollDevice() const { return polldevice; }
  const std::string& GetTimeoutString() const { return timeoutstring; }
  bool GetEcho() const { return mssecho != 0; }
  void SetBusMaster(bool on) { busmaster = on; }
  void SetFastPoll(bool on) { fastpoll = on; }
  int GetRetries(int device) const;
  // Array cells are read through their command module by this scanner.
  void SetArrayScanner(ArrayScanner* scanner) { arrayscanner = scanner; }

 private:
  bool Pollable(const DeviceConfig& d) const;
  bool OnNetworkLoop(int device) const;
  void StartTimer(std::uint32_t ms);
  void NextPoll();
  // The per-loop walk.
  struct LoopWalk {
    TSiteConfig::const_iterator entry;
    bool atstart = true;  // entry is not yet valid: the walk starts at the top
    int polldevice = -1;  // the poll outstanding on this loop, -1 for none
    bool recsuccess = false;
    std::uint32_t pollstart = 0;
    std::uint32_t cyclestart = 0;
    std::uint32_t period = 0;  // of the running timer
    bool cycled = false;       // cyclestart marks the start of a whole walk
    TimerHandle timer;
    Counts counts;
  };
  void StartLoops();
  void RestartWalk(LoopWalk& w);
  void LoopTick(int loop);
  int NextLoopDevice(int loop);
  void LoopAnswer(int loop, const char* msg);
  void Echo(int loop, const char* msg);
  // Counts a missed poll; the third in a row (and every one after) reports
  // the device failed. True when it was reported.
  bool CountMiss(int device);
  std::uint32_t Tick() const;

  TSiteConfig* site;
  INI& ini;
  int loops = 1;
  const DeviceConfig* deviceinfo = nullptr;
  ArrayScanner* arrayscanner = nullptr;
  std::unique_ptr<Impl> impl;
  std::string timeoutstring;
  bool busmaster = true;
  bool fastpoll = false;
  std::uint32_t polltimeout = 10;
  int polldevice = 0;
  int mssecho = 0;
  TimerHandle polltimer;
  bool recsuccess = false;
  bool oneatatime = false;     // the setting
  bool activeperloop = false;  // the walk running now
  bool injecting = false;      // a made-up failure answer is going round
  bool cycled = false;
  CM_state state = CM_PAUSED;
  TSiteConfig::const_iterator idevice;
  std::uint32_t cyclestart = 0;
  std::vector<LoopWalk> walks;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
