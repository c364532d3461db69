#pragma once

#include <cstdint>

#include "core/comms/msgclass.h"
#include "core/status/devicestatuslist.h"

namespace quillark {

class BusHost;

// Keeps a DeviceStatusList current from the traffic on every loop: each
// fast-poll answer is decoded into its device's entry, and in the background
// one detector address at a time is asked for its alarm thresholds and
// detector level. Level polls are paced by received frames, so a silent bus
// is never asked.
class DeviceStatusMonitor : public MsgClass {
 public:
  // Level polls go out at most this often.
  static constexpr std::uint32_t LEVELPOLLINTERVAL = 8000;

  // `devicestatuslist` is not owned and must outlive the monitor. Registers
  // for short and long frames at once.
  DeviceStatusMonitor(BusHost* application, DeviceStatusList& devicestatuslist);
  ~DeviceStatusMonitor() override;

  void MsgRx(int loop, const char* msg) override;

  void DecodeAndStoreFastPoll(int device, const char* msg);
  void DecodeAndStoreLevels(int device, const char* msg);
  bool TimeToSendAlarmLevelPoll();
  void SendNextAlarmLevelPoll();

  // The bus address that the next level poll asks.
  unsigned GetNextAddress() const { return address; }

  // The number of loops the list has entries for (highest loop + 1).
  static int GetEnabledLoops(const DeviceStatusList& list);
  // True when `address` has answered on at least one of those loops.
  static bool IsEnabledAddress(const DeviceStatusList& list, unsigned address);
  // The next address after `address` (wrapping from 127 to 1) that has
  // answered somewhere; `address` itself when no other one has.
  static unsigned GetNextEnabledDetector(const DeviceStatusList& list, unsigned address);

 private:
  DeviceStatusList& devicestatuslist;
  std::uint32_t nextsend = 0;
  // The first frame asks at once, whatever the tick count happens to be.
  bool levelpollsent = false;
  unsigned address = 1;
};

}  // namespace quillark
