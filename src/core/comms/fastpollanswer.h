#pragma once

#include <optional>

#include "core/common/statusbits.h"

namespace quillark {

// A device's answer to a fast poll: '@', the bus address byte, then the
// status, fault and level bytes as two hex digits each and the check sum.
// Every receiver that reads these answers decodes them here, so they agree
// on which frames count and what the bytes say.
struct FastPollAnswer {
  unsigned address = 0;  // bus address (the byte AND 0x7F)
  unsigned status = 0;   // status byte (StatusBit)
  unsigned fault = 0;    // fault byte as sent (FaultBit)
  unsigned level = 0;    // level byte as sent

  // The answer in `msg` (a CR may follow it), or nothing when `msg` is not a
  // fast-poll answer or is cut before its check sum: a short frame would
  // have its bytes read past its end. A power supply's short answer ('*')
  // carries a power-supply address and is not one.
  static std::optional<FastPollAnswer> Decode(const char* msg);

  // The fault bits, which mean nothing while ST_FAULT is clear.
  unsigned Faults() const { return (status & ST_FAULT) != 0 ? fault : 0; }
  // The detector's bargraph level.
  unsigned Level() const { return level & LEVEL_MASK; }
  bool IsIsolated() const { return (Faults() & FT_ISOLATED) != 0; }
};

}  // namespace quillark
