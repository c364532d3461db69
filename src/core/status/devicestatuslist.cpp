#include "core/status/devicestatuslist.h"

#include <algorithm>

namespace quillark {

void DeviceStatusList::Attach(DeviceStatusListObserver* observer) {
  if (observer != nullptr) observers.push_back(observer);
}

bool DeviceStatusList::Detach(DeviceStatusListObserver* observer) {
  auto it = std::find(observers.begin(), observers.end(), observer);
  if (it == observers.end() || observer == nullptr) return false;
  // An observer may detach (itself or another) from inside Update: erasing
  // would shift the slots under the running loop, so leave a hole that the
  // outermost Notify removes.
  if (notifying > 0)
    *it = nullptr;
  else
    observers.erase(it);
  return true;
}

void DeviceStatusList::Notify(int address) {
  ++notifying;
  // Observers attached during the notification hear about the next change.
  const std::size_t n = observers.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (observers[i] != nullptr) observers[i]->Update(address);
  }
  if (--notifying == 0) std::erase(observers, nullptr);
}

DeviceStatus DeviceStatusList::GetState(int address) const {
  if (address < 0 || static_cast<std::size_t>(address) >= devicestatus.size()) return {};
  return devicestatus[static_cast<std::size_t>(address)];
}

void DeviceStatusList::SetState(int address, const DeviceStatus& status) {
  if (address < 0 || static_cast<std::size_t>(address) >= MAXSIZE) return;
  const auto index = static_cast<std::size_t>(address);
  if (index >= devicestatus.size()) devicestatus.resize(index + 1);
  devicestatus[index] = status;
}

void DeviceStatusList::Resize(std::size_t n) {
  devicestatus.resize(std::min(n, MAXSIZE));
}

}  // namespace quillark
