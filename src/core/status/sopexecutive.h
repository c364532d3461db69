#pragma once

namespace quillark {

class DeviceOperations;
class DeviceStatusSource;

// How a mass operation acts on devices and sees their state.
class SOPExecutive {
 public:
  virtual ~SOPExecutive() = default;
  // Sends isolate on (`isolate` true) or off to a device.
  virtual void Isolate(int device, bool isolate) = 0;
  // The device's last status and fault words as the program recorded them.
  virtual unsigned GetDeviceStatus(int device) = 0;
  virtual unsigned GetDeviceFaultStatus(int device) = 0;
};

// The executive over the program: isolation through the device operations,
// status through the record of each device (the alarm display keeps it).
class AppSOPExecutive : public SOPExecutive {
 public:
  AppSOPExecutive(const DeviceStatusSource& status, DeviceOperations& ops)
      : status(status), ops(ops) {}
  // The operation was permitted when it was launched; the repeated commands
  // of later passes come from a timer and must never stop to ask for a
  // log-on (each prompt would run the timer again underneath it). If the
  // access level lapses meanwhile, the commands simply stop.
  void Isolate(int device, bool isolate) override;
  unsigned GetDeviceStatus(int device) override;
  unsigned GetDeviceFaultStatus(int device) override;

 private:
  const DeviceStatusSource& status;
  DeviceOperations& ops;
};

}  // namespace quillark
