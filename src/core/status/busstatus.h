#pragma once

#include <iosfwd>

#include "core/status/counter.h"

namespace quillark {

// Frame counts of all loops since the last report. Every count sticks at its
// maximum rather than wrapping.
class BusStatus {
 public:
  struct Status {
    Counter rxmessages;
    Counter rxfastpolls;
    Counter rxstdpolls;
    Counter rxunknownpolls;
    Counter rxunknowncommands;
    Counter rxbadmessages;
    Counter txmessages;

    // The counts block of the report, lines ended by '\n'.
    std::ostream& Put(std::ostream& os) const;
  };

  const Status& GetStatus() const { return status; }
  void Reset() { status = Status{}; }

 protected:
  Status status;
};

inline std::ostream& operator<<(std::ostream& os, const BusStatus::Status& s) {
  return s.Put(os);
}

}  // namespace quillark
