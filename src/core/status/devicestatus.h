#pragma once

#include <cstdint>

namespace quillark {

// The last known state of one device: the three bytes of its fast-poll answer
// and the alarm thresholds and detector level of its level poll.
class DeviceStatus {
 public:
  // Markers for "nothing heard from this device yet"; both lie outside the
  // byte range that a real answer can carry.
  static constexpr std::uint32_t UNKNOWNSTATUS = 0x8001;
  static constexpr std::uint32_t UNKNOWNFAULTS = 0x100;

  DeviceStatus() = default;
  // A record decoded from the bus; levels keep their low 8 bits.
  DeviceStatus(unsigned alarmfaultstatus, unsigned faultflags, unsigned bargraphlevel,
               unsigned fire2level, unsigned fire1level, unsigned prealarmlevel, unsigned auxlevel,
               unsigned detectorlevel);

  std::uint32_t GetAlarmFaultStatus() const { return alarmfaultstatus; }
  std::uint32_t GetFaultFlags() const { return faultflags; }
  std::uint8_t GetBargraphLevel() const { return bargraphlevel; }
  std::uint8_t GetFire2Level() const { return fire2level; }
  std::uint8_t GetFire1Level() const { return fire1level; }
  std::uint8_t GetPreAlarmLevel() const { return prealarmlevel; }
  std::uint8_t GetAuxLevel() const { return auxlevel; }
  std::uint8_t GetDetectorLevel() const { return detectorlevel; }
  bool HasValues() const { return hasvalues; }

  // Compares the alarm and fault bits only; the loop-error bit 0x80 and the
  // marker bits above it do not count.
  bool SameStatus(std::uint32_t status) const {
    return (alarmfaultstatus & 0x7F) == (status & 0x7F);
  }
  bool Equ(const DeviceStatus& other) const;
  bool operator==(const DeviceStatus& other) const { return Equ(other); }

  // Takes the thresholds of a level poll. Thresholds only ever rise (a lower
  // value is a stale answer); the detector level follows every change.
  // Returns true when anything was stored.
  bool SetLevelsIfRequired(std::uint8_t fire2, std::uint8_t fire1, std::uint8_t prealarm,
                           std::uint8_t aux, std::uint8_t detector);

 private:
  std::uint32_t alarmfaultstatus = UNKNOWNSTATUS;
  std::uint32_t faultflags = UNKNOWNFAULTS;
  std::uint8_t bargraphlevel = 0;
  std::uint8_t fire2level = 0;
  std::uint8_t fire1level = 0;
  std::uint8_t prealarmlevel = 0;
  std::uint8_t auxlevel = 0;
  std::uint8_t detectorlevel = 0;
  bool hasvalues = false;
};

}  // namespace quillark
