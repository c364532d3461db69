#pragma once

namespace quillark {

// What the main window needs of the bus master: it sees every frame last, and
// it is paused and resumed around work that needs the bus to itself.
class PollingEngine {
 public:
  virtual ~PollingEngine() = default;
  virtual void PausePolling() = 0;
  virtual void ResumePolling() = 0;
  virtual void SetLoops(int loops) = 0;
  virtual void MsgRx(int loop, const char* msg) = 0;
};

// The array scanner: array-scan cells are read through their command module
// instead of being polled.
class ArrayScanner {
 public:
  virtual ~ArrayScanner() = default;
  virtual void InitMatrixScan() = 0;
  virtual void ScanArrayDevice(int device) = 0;
};

}  // namespace quillark
