#pragma once

#include "core/comms/lanport.h"

namespace quillark {

// A network loop that this computer may also drive: what it writes goes to
// the remote computer, which puts it on its bus.
class LANControlPort : public LANPort {
 public:
  using LANPort::LANPort;

  bool Write(const char* msg, int length) override;
  bool IsWritable() override { return true; }
};

}  // namespace quillark
