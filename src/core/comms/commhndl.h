#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/common/loops.h"
#include "core/comms/ioport.h"
#include "core/comms/netmirror.h"
#include "core/platform/eventloop.h"

namespace quillark {

class INI;
class StatusDisplay;
class BusRouter;
class Translator;

// Owns the port of every loop, fans port events out to them, watches for
// loss of communications and shows the state in the status bar.
class CommHandler {
 public:
  // The loops, their ports and the status text come from the settings and
  // services of `AParent`.
  explicit CommHandler(BusRouter& AParent);
  ~CommHandler();
  CommHandler(const CommHandler&) = delete;
  CommHandler& operator=(const CommHandler&) = delete;

  bool WriteComm(int loop, const char* data, int datalen);
  void FlushComm(int loop);
  void ResetLoops();
  bool AllTxEmpty();
  bool IsDeviceWritable(int device);
  // The loop is served by another computer's bus master (a network port).
  bool IsNetworkLoop(int loop) const;
  int GetAnswerLineTime(int loop) const;
  bool GetCommEnableState(int loop) const;
  void SetEvent(int detector, int event);
  int GetMaxDeviceTimeout();
  void EvCommNotify(int commId, int status);
  void EvTimer(int timer);
  void SetCommStatus(bool rxfail, int badloop);
  // Lets the next notification repaint the status field at once.
  void ShowStatusNow() { statusdue = true; }

  int GetLoops() const { return Loops; }
  IOPort* GetPort(int loop) const;
  // Puts `port` in place of the loop's port; the loop is enabled when the
  // port serves a loop.
  void SetPort(int loop, std::unique_ptr<IOPort> port);

  static constexpr int POLLTIMER = 2;
  static constexpr std::uint32_t POLLTIMERMS = 600;

 private:
  BusRouter& Parent;
  Translator& Translate;
  StatusDisplay* StatusText;
  int Loops = 1;
  TimerHandle polltimer;
  std::uint32_t currenttime = 0;
  bool statusdue = false;
  std::array<std::unique_ptr<IOPort>, MAXLOOPS> CommLoop;
  std::array<bool, MAXLOOPS> CommEnabled{};
  std::unique_ptr<NetMirror> NetPort;
};

}  // namespace quillark
