#pragma once

#include "core/comms/busrouter.h"

namespace quillark {

// What the main window needs of the bus master: it sees every frame last, it
// is paused and resumed around work that needs the bus to itself, and it
// follows the loop count.
class PollingEngine : public BusPoller {
 public:
  virtual void SetLoops(int loops) = 0;
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
