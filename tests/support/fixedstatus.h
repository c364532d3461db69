#pragma once

#include <map>

#include "core/status/devicestatussource.h"

namespace quillark::test {

// Status bits a test or bench sets itself, for views that ask a status
// source rather than the alarm display; a device not set reads 0.
class FixedStatus : public DeviceStatusSource {
 public:
  unsigned GetDeviceStatus(int device) const override {
    auto it = status.find(device);
    return it == status.end() ? 0 : it->second;
  }
  unsigned GetDeviceFaultStatus(int) const override { return 0; }
  std::map<int, unsigned> status;
};

}  // namespace quillark::test
