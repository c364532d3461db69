#pragma once

namespace quillark {

// Answers what every display and operation takes as a device's current status:
// the last status and fault bits recorded for it (the alarm display keeps them).
class DeviceStatusSource {
 public:
  virtual ~DeviceStatusSource() = default;
  virtual unsigned GetDeviceStatus(int device) const = 0;
  virtual unsigned GetDeviceFaultStatus(int device) const = 0;
};

}  // namespace quillark
