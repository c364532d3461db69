#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillark {

// A small table of device numbers with a status and a fault word each, in
// insertion order. Storage comes in blocks of 10 entries and is given back as
// entries leave, so the many maps of a site stay small.
class DeviceStatusMap {
 public:
  static constexpr int BLOCK = 10;

  DeviceStatusMap() = default;
  DeviceStatusMap(const DeviceStatusMap& other);
  DeviceStatusMap& operator=(const DeviceStatusMap& other);
  DeviceStatusMap(DeviceStatusMap&& other) noexcept;
  DeviceStatusMap& operator=(DeviceStatusMap&& other) noexcept;
  ~DeviceStatusMap() = default;

  // Releases all storage.
  bool Empty();
  // Updates the device's entry in place, or appends one. False (and nothing
  // changed) when the storage cannot grow.
  bool SetDeviceStatus(std::int32_t device, std::int32_t status, std::int32_t faultstatus);
  bool GetDeviceStatus(std::int32_t device, std::int32_t& status, std::int32_t& faultstatus) const;
  bool GetDeviceStatusByIndex(int index, std::int32_t& device, std::int32_t& status,
                              std::int32_t& faultstatus) const;
  bool SetDeviceStatusByIndex(int index, std::int32_t status, std::int32_t faultstatus);
  bool GetDeviceAddressByIndex(int index, std::int32_t& device) const;
  // Keeps the order of the others.
  void RemoveDevice(std::int32_t device);
  int Count() const { return nentries; }
  // Entries the storage can hold: Count rounded up to a multiple of BLOCK.
  int Capacity() const { return capacity; }

 private:
  struct Entry {
    std::int32_t device;
    std::int32_t status;
    std::int32_t faultstatus;
  };

  static int CapacityFor(int n) { return (n + BLOCK - 1) / BLOCK * BLOCK; }
  int Find(std::int32_t device) const;
  bool ValidIndex(int index) const { return index >= 0 && index < nentries; }
  // Moves the entries into storage of the given capacity; false on no memory.
  bool Reallocate(int newcapacity);

  std::unique_ptr<Entry[]> entries;
  int nentries = 0;
  int capacity = 0;
};

}  // namespace quillark
