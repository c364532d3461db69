#include "core/status/devicestatus.h"

namespace quillark {

DeviceStatus::DeviceStatus(unsigned alarmfaultstatus, unsigned faultflags, unsigned bargraphlevel,
                           unsigned fire2level, unsigned fire1level, unsigned prealarmlevel,
                           unsigned auxlevel, unsigned detectorlevel)
    : alarmfaultstatus(alarmfaultstatus),
      faultflags(faultflags),
      bargraphlevel(static_cast<std::uint8_t>(bargraphlevel)),
      fire2level(static_cast<std::uint8_t>(fire2level)),
      fire1level(static_cast<std::uint8_t>(fire1level)),
      prealarmlevel(static_cast<std::uint8_t>(prealarmlevel)),
      auxlevel(static_cast<std::uint8_t>(auxlevel)),
      detectorlevel(static_cast<std::uint8_t>(detectorlevel)),
      hasvalues(true) {}

bool DeviceStatus::Equ(const DeviceStatus& other) const {
  return alarmfaultstatus == other.alarmfaultstatus && faultflags == other.faultflags &&
         bargraphlevel == other.bargraphlevel && fire2level == other.fire2level &&
         fire1level == other.fire1level && prealarmlevel == other.prealarmlevel &&
         auxlevel == other.auxlevel && detectorlevel == other.detectorlevel &&
         hasvalues == other.hasvalues;
}

bool DeviceStatus::SetLevelsIfRequired(std::uint8_t fire2, std::uint8_t fire1,
                                       std::uint8_t prealarm, std::uint8_t aux,
                                       std::uint8_t detector) {
  bool changed = false;
  auto raise = [&changed](std::uint8_t& stored, std::uint8_t value) {
    if (value > stored) {
      stored = value;
      changed = true;
    }
  };
  raise(fire2level, fire2);
  raise(fire1level, fire1);
  raise(prealarmlevel, prealarm);
  raise(auxlevel, aux);
  if (detector != detectorlevel) {
    detectorlevel = detector;
    changed = true;
  }
  if (!hasvalues) hasvalues = changed;
  return changed;
}

}  // namespace quillark
