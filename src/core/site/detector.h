#pragma once

#include <cstdint>

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

// The read-only model table: names, capabilities, function pages and aspirator
// speeds of every model code. Cheap to make wherever it is needed.
class Detector {
 public:
  static constexpr std::int32_t all = -1;
  static constexpr std::int32_t none = 0;

  explicit Detector(Translator* translator) : translator(translator) {}

  // Display name of a model; the INI section "DetectorNames" may rename it.
  // Returns a shared buffer that the next call overwrites: copy it at once.
  const char* GetTypeName(int Model, INI* ini = nullptr);
  static int GetNumberOfDetectorTypes() { return 20; }
  static int GetAspiratorSpeeds(int Model);
  static std::int32_t GetModelCaps(int Model, std::int32_t Capability, int Version);
  static std::int32_t GetModelProgramCaps(int Model, std::int32_t Capability, int Version);
  static devicemodel IntToModel(int value);

 private:
  Translator* translator;
  static char namebuffer[33];
};

}  // namespace quillark
