#pragma once

#include <cstddef>
#include <vector>

#include "core/status/devicestatus.h"

namespace quillark {

// Told about every change of a device's entry in a DeviceStatusList.
class DeviceStatusListObserver {
 public:
  virtual ~DeviceStatusListObserver() = default;
  virtual void Update(int address) = 0;
};

// The status of every device, indexed by device number (loop * 256 + slot).
class DeviceStatusList {
 public:
  static constexpr std::size_t INITIALSIZE = 128;
  // Device numbers run from 0 to 16 loops * 256 slots - 1. The table never
  // grows beyond that, so a corrupt device number cannot make it huge.
  static constexpr std::size_t MAXSIZE = 16 * 256;

  DeviceStatusList() : devicestatus(INITIALSIZE) {}

  // Observers are not owned; they are told in the order they were attached.
  void Attach(DeviceStatusListObserver* observer);
  // Removes the first occurrence; false when it was not attached. Safe to call
  // from within Update, also for the observer being told.
  bool Detach(DeviceStatusListObserver* observer);
  // While a notification is running, detached observers show as null slots.
  const std::vector<DeviceStatusListObserver*>& GetAttachedObservers() const { return observers; }
  void Notify(int address);

  // A default record for device numbers the table does not hold.
  DeviceStatus GetState(int address) const;
  // Grows the table to hold `address` when needed; device numbers outside
  // 0 to MAXSIZE - 1 are ignored.
  void SetState(int address, const DeviceStatus& status);
  std::size_t size() const { return devicestatus.size(); }
  // New entries are defaults; capped at MAXSIZE.
  void Resize(std::size_t n);

 private:
  std::vector<DeviceStatus> devicestatus;
  std::vector<DeviceStatusListObserver*> observers;
  int notifying = 0;  // depth of running Notify calls
};

}  // namespace quillark
