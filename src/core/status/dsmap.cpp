#include "core/status/dsmap.h"

#include <algorithm>
#include <new>
#include <utility>

namespace quillark {

DeviceStatusMap::DeviceStatusMap(const DeviceStatusMap& other) {
  *this = other;
}

DeviceStatusMap& DeviceStatusMap::operator=(const DeviceStatusMap& other) {
  if (this == &other) return *this;
  std::unique_ptr<Entry[]> copy;
  if (other.capacity > 0) {
    copy.reset(new Entry[static_cast<std::size_t>(other.capacity)]);
    std::copy_n(other.entries.get(), other.nentries, copy.get());
  }
  entries = std::move(copy);
  nentries = other.nentries;
  capacity = other.capacity;
  return *this;
}

DeviceStatusMap::DeviceStatusMap(DeviceStatusMap&& other) noexcept {
  *this = std::move(other);
}

DeviceStatusMap& DeviceStatusMap::operator=(DeviceStatusMap&& other) noexcept {
  if (this == &other) return *this;
  entries = std::move(other.entries);
  nentries = std::exchange(other.nentries, 0);
  capacity = std::exchange(other.capacity, 0);
  return *this;
}

bool DeviceStatusMap::Empty() {
  entries.reset();
  nentries = 0;
  capacity = 0;
  return true;
}

int DeviceStatusMap::Find(std::int32_t device) const {
  for (int i = 0; i < nentries; ++i) {
    if (entries[static_cast<std::size_t>(i)].device == device) return i;
  }
  return -1;
}

bool DeviceStatusMap::Reallocate(int newcapacity) {
  if (newcapacity == 0) {
    entries.reset();
    capacity = 0;
    return true;
  }
  std::unique_ptr<Entry[]> storage(new (std::nothrow) Entry[static_cast<std::size_t>(newcapacity)]);
  if (!storage) return false;
  std::copy_n(entries.get(), std::min(nentries, newcapacity), storage.get());
  entries = std::move(storage);
  capacity = newcapacity;
  return true;
}

bool DeviceStatusMap::SetDeviceStatus(std::int32_t device, std::int32_t status,
                                      std::int32_t faultstatus) {
  int index = Find(device);
  if (index < 0) {
    const int needed = CapacityFor(nentries + 1);
    if (needed != capacity && !Reallocate(needed)) return false;
    index = nentries++;
  }
  entries[static_cast<std::size_t>(index)] = {device, status, faultstatus};
  return true;
}

bool DeviceStatusMap::GetDeviceStatus(std::int32_t device, std::int32_t& status,
                                      std::int32_t& faultstatus) const {
  const int index = Find(device);
  if (index < 0) return false;
  status = entries[static_cast<std::size_t>(index)].status;
  faultstatus = entries[static_cast<std::size_t>(index)].faultstatus;
  return true;
}

bool DeviceStatusMap::GetDeviceStatusByIndex(int index, std::int32_t& device, std::int32_t& status,
                                             std::int32_t& faultstatus) const {
  if (!ValidIndex(index)) return false;
  const Entry& e = entries[static_cast<std::size_t>(index)];
  device = e.device;
  status = e.status;
  faultstatus = e.faultstatus;
  return true;
}

bool DeviceStatusMap::SetDeviceStatusByIndex(int index, std::int32_t status,
                                             std::int32_t faultstatus) {
  if (!ValidIndex(index)) return false;
  Entry& e = entries[static_cast<std::size_t>(index)];
  e.status = status;
  e.faultstatus = faultstatus;
  return true;
}

bool DeviceStatusMap::GetDeviceAddressByIndex(int index, std::int32_t& device) const {
  if (!ValidIndex(index)) return false;
  device = entries[static_cast<std::size_t>(index)].device;
  return true;
}

void DeviceStatusMap::RemoveDevice(std::int32_t device) {
  const int index = Find(device);
  if (index < 0) return;
  Entry* first = entries.get();
  std::move(first + index + 1, first + nentries, first + index);
  --nentries;
  const int needed = CapacityFor(nentries);
  // A failed shrink keeps the larger storage, which is still correct.
  if (needed != capacity) Reallocate(needed);
}

}  // namespace quillark
