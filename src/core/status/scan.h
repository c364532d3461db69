#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"

namespace quillark {

// What a scan's owner tells it: the answer of `device` (loop << 8 | bus
// address) was taken.
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;
  virtual void MessageReceived(int device) = 0;
};

// What to scan: positions startdevice..enddevice on `loops` loops, sending
// `msg` with its first two characters replaced by the kind and address byte,
// waiting the ports' device time-out plus `extratimeout` ms per position.
struct ScanRequest {
  int loops = 1;
  int startdevice = 1;
  int enddevice = 127;
  std::string msg;
  std::uint32_t extratimeout = 0;
  // Loops below this one are not asked (a single device's own loop only).
  int firstloop = 0;
};

// Runs a scan modally for `owner` and returns when it ends (1 complete, 2
// cancelled). `running` points at the scan while it runs and is cleared after.
using ScanRunner =
    std::function<int(MsgClass& owner, const ScanRequest& request, ScanProgress*& running)>;

// Walks a range of bus positions, sending one request to each position on
// every loop at once, and hands every answer from the position being asked
// to its owner. A step ends when every loop's answer was taken or when the
// step time-out runs out, so a silent position costs one time-out.
//
// Positions: 0 the command module, 1-127 detectors, 129-255 power supplies
// (position - 128); 128 is never asked.
class Scanner : public MsgClass, public ScanProgress {
 public:
  enum Result : int { SCAN_RUNNING = 0, SCAN_COMPLETE = 1, SCAN_CANCELLED = 2 };
  static constexpr std::size_t MAXMSG = 32;

  Scanner(BusHost* app, MsgClass& owner, const ScanRequest& request);
  ~Scanner() override;
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;

  // Starts listening and asks the first position.
  void SetupWindow();
  // SetupWindow, then runs the event loop until the scan ends; the result.
  int Run();

  void MsgRx(int loop, const char* msg) override;
  void TxEmpty() override;
  void MessageReceived(int device) override;
  // Ends the scan as cancelled (the Cancel button, an owner that cannot
  // keep what it is given).
  void AbortScan();

  int GetDevice() const { return device; }
  int GetResult() const { return result; }
  // "Command module", "Detector 5", "Power supply 2".
  const std::string& GetStatusText() const { return statustext; }
  // How far the scan is, in per cent, and the caption that says so.
  int GetPercent() const;
  std::string GetCaption() const;
  // Told after every step and when the scan ends.
  void SetOnChange(std::function<void()> f) { onchange = std::move(f); }

 private:
  // A text of the table in the current language, `english` without one.
  std::string Text(int id, const char* english) const;
  void NextDevice();
  void StartStepTimer();

  MsgClass& owner;
  int numloops;
  int firstloop;
  int device;
  int startdevice, enddevice;
  std::string scanmsg;
  std::uint32_t msglength;
  int rxmessages = 0;
  int result = SCAN_RUNNING;
  bool stepping = false;  // a step is being sent: answers arriving now end it later
  bool stepdue = false;
  std::string statustext;
  TimerHandle scantimer;
  std::function<void()> onchange;
};

}  // namespace quillark
