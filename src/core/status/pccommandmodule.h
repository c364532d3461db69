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
// order, one fast poll at a time across all loops, and reports a device that
// missed three polls in a row as failed. It is not a registered receiver: the
// application hands it every frame, last.
class PCcommandModule : public MsgClass, public PollingEngine {
 public:
  // Poll answer times and counts; no window shows them, the console does.
  struct Impl {
    std::vector<int> retries;  // consecutive missed polls per device number
    std::uint32_t pollstart = 0;
    std::uint32_t max = 0, min = 0, sum = 0;
    std::uint32_t polls = 0, responses = 0, dropped = 0;

    void UpdateStatistics(std::uint32_t start, std::uint32_t end, bool received);
    void ResetStatistics();
    std::uint32_t GetAvg() const { return polls == 0 ? 0 : sum / polls; }
  };

  static constexpr int POLLTIMER = 1;

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

  const Impl& Statistics() const { return *impl; }
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
  CM_state state = CM_PAUSED;
  TSiteConfig::const_iterator idevice;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
