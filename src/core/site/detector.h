#pragma once

#include <cstdint>
#include <string>

#include "core/site/devicetypes.h"

namespace quillark {

class INI;
class Translator;

// Model capability bits (GetModelCaps).
enum : std::int32_t {
  CAP_FAULT = 0x00001,
  CAP_AUX = 0x00002,
  CAP_PREALARM = 0x00004,
  CAP_FIRE1 = 0x00008,
  CAP_FIRE2 = 0x00010,
  CAP_INPUT1 = 0x00020,
  CAP_INPUT2 = 0x00040,
  CAP_RESET = 0x00200,
  CAP_ISOLATE = 0x00400,
  CAP_NONCRITICALFAULT = 0x00800,
  CAP_BARGRAPH = 0x01000,
  CAP_HISTOGRAM = 0x02000,
  CAP_CHARTLOG = 0x04000,
  CAP_EVENTLOG = 0x08000,
  CAP_SEPARATORDATE = 0x10000,
  CAP_FAULTDELAY = 0x20000,
};

// Function page bits (GetModelProgramCaps): one page of the device settings
// window each.
enum : std::int32_t {
  FP_LEVELS = 0x00001,
  FP_LEVELS2K = 0x00002,
  FP_ACTIONS = 0x00004,
  FP_ACTIONS2K = 0x00008,
  FP_REFERENCING = 0x00010,
  FP_REFERENCING2K = 0x00020,
  FP_POWER = 0x00040,
  FP_POWER2K = 0x00080,
  FP_FLOW = 0x00100,
  FP_FLOW2K = 0x00200,
  FP_DAYNIGHT = 0x00400,
  FP_TIME = 0x00800,
  FP_PANEL = 0x01000,
  FP_MISCELLANEOUS = 0x02000,
  FP_PAGER = 0x04000,
  FP_ARRAY = 0x08000,
  FP_BUSSETUP = 0x10000,
  FP_MISCTINDLE = 0x20000,
  FP_LEVELSTINDLE = 0x40000,
  FP_FLOWTINDLE = 0x80000,
};

// The read-only model table: names, capabilities, function pages and aspirator
// speeds of every model code. Cheap to make wherever it is needed. A code
// outside the table, negative ones included, is an unknown model: name
// "unknown", no capabilities, one aspirator speed.
class Detector {
 public:
  static constexpr std::int32_t all = -1;
  static constexpr std::int32_t none = 0;

  explicit Detector(Translator* translator) : translator(translator) {}

  // Display name of a model, at most 32 characters; the INI section
  // "DetectorNames" may rename it.
  std::string GetTypeName(int Model, INI* ini = nullptr) const;
  static int GetNumberOfDetectorTypes() { return 20; }
  static int GetAspiratorSpeeds(int Model);
  static std::int32_t GetModelCaps(int Model, std::int32_t Capability, int Version);
  static std::int32_t GetModelProgramCaps(int Model, std::int32_t Capability, int Version);
  static devicemodel IntToModel(int value);

 private:
  Translator* translator;
  static constexpr std::size_t NAMELENGTH = 32;
  static const std::int32_t aspiratorspeeds[20];
  static const std::int32_t modelcaps[20];
  static const std::int32_t programcaps[20];
};

}  // namespace quillark
