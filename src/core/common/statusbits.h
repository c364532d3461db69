#pragma once

namespace quillark {

// The bits of the status byte a device reports in every fast-poll answer
// ("alarmfaultstatus").
enum StatusBit : unsigned {
  ST_FAULT = 0x01,      // a fault is present: the fault byte says which
  ST_AUX = 0x02,        // aux alarm
  ST_PREALARM = 0x04,   // pre-alarm
  ST_FIRE1 = 0x08,      // fire 1 alarm
  ST_FIRE2 = 0x10,      // fire 2 alarm
  ST_INPUT1 = 0x20,     // input 1 active
  ST_INPUT2 = 0x40,     // input 2 active
  ST_LOOPERROR = 0x80,  // command module only: the loop is broken
  ST_ALARMS = ST_AUX | ST_PREALARM | ST_FIRE1 | ST_FIRE2,
};

// The bits of the fault byte ("faultflags"), meaningful only while ST_FAULT
// is set; ST_FAULT with no fault bit at all is a communications failure.
enum FaultBit : unsigned {
  FT_LOWFLOW = 0x01,
  FT_HIGHFLOW = 0x02,
  FT_FLOWFAIL = FT_LOWFLOW | FT_HIGHFLOW,  // both together: the flow sensor failed
  FT_DETECTOR = 0x04,
  FT_MAINS = 0x08,
  FT_BATTERY = 0x10,
  FT_ISOLATED = 0x20,   // the device is isolated
  FT_SEPARATOR = 0x40,  // dust separator
  FT_WATCHDOG = 0x80,   // watchdog reset
};

// The level byte's low bits are the detector's bargraph level (0..31).
inline constexpr unsigned LEVEL_MASK = 0x1F;

// Status and fault words of a device nothing has been heard from yet; both lie
// outside the byte range of real values.
inline constexpr unsigned STATUS_UNKNOWN = 0x8001;
inline constexpr unsigned FAULTS_UNKNOWN = 0x100;

}  // namespace quillark
