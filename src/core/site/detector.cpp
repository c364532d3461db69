#include "core/site/detector.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"

namespace quillark {

namespace {

constexpr int MODELS = 20;
constexpr int MODELNAMES = 14200;  // text of model m is MODELNAMES + m

// Negative codes are guarded like codes past the table: the table is indexed
// directly, and a site or function file can hold any number.
bool InTable(int model) {
  return model >= 0 && model < MODELS;
}

}  // namespace

// Indexed by model code.
const std::int32_t Detector::aspiratorspeeds[20] = {
    1, 10, 1, 10, 1, 1, 16, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
};

const std::int32_t Detector::modelcaps[20] = {
    0x00000,  // 0 UNKNOWN
    0x0FE0F,  // 1 PELORINVANTOR
    0x0007F,  // 2 ARRAYSCANCELL
    0x0FE0F,  // 3 PELORINFERROW
    0x0007F,  // 4 CONTACTMONITOR
    0x00000,  // 5 PCBUSMASTER
    0x3FE7F,  // 6 PELORIN2000DETECTOR
    0x08A01,  // 7 PELORIN2000POWERSUPPLY
    0x08E7F,  // 8 PELORIN2000BUSMASTER
    0x0000F,  // 9 ORVALER7
    0x0061F,  // 10 ORVALEPRIME
    0x3FE1F,  // 11 PELORINLUMO
    0x3FE1F,  // 12 PELORINLUMO100
    0x3FE1F,  // 13 DOT25
    0x3FE1F,  // 14 DOT100
    0x3FE1F,  // 15 PELORINZEDRA
    0x0061F,  // 16 ORVALEPETITE
    0x0061F,  // 17 ORVALEKEEN
    0x00000,  // 18 ORVALEOPENHLI
    0x3FE1F,  // 19 PELORINTINDLE
};

const std::int32_t Detector::programcaps[20] = {
    0x00000,  // 0 UNKNOWN
    0x03D55,  // 1 PELORINVANTOR
    0x00000,  // 2 ARRAYSCANCELL
    0x03D55,  // 3 PELORINFERROW
    0x00000,  // 4 CONTACTMONITOR
    0x00000,  // 5 PCBUSMASTER
    0x03EAA,  // 6 PELORIN2000DETECTOR
    0x00000,  // 7 PELORIN2000POWERSUPPLY
    0x1D888,  // 8 PELORIN2000BUSMASTER
    0x00000,  // 9 ORVALER7
    0x00000,  // 10 ORVALEPRIME
    0x02DAA,  // 11 PELORINLUMO
    0x02DAA,  // 12 PELORINLUMO100
    0x02DAA,  // 13 DOT25
    0x02DAA,  // 14 DOT100
    0x02DAA,  // 15 PELORINZEDRA
    0x00000,  // 16 ORVALEPETITE
    0x00000,  // 17 ORVALEKEEN
    0x00000,  // 18 ORVALEOPENHLI
    0xE0800,  // 19 PELORINTINDLE
};

std::string Detector::GetTypeName(int Model, INI* ini) const {
  if (!InTable(Model) || translator == nullptr) return "unknown";
  // Model names are product names: always the English text, whatever the
  // language, so that the same device reads the same everywhere.
  std::string name = translator->GetTextInLanguage(MODELNAMES + Model, 0);
  if (ini != nullptr) name = ini->ReadString("DetectorNames", Format("Name%d", Model), name);
  if (name.size() > NAMELENGTH) name.resize(NAMELENGTH);
  return name;
}

int Detector::GetAspiratorSpeeds(int Model) {
  return InTable(Model) ? aspiratorspeeds[Model] : 1;
}

std::int32_t Detector::GetModelCaps(int Model, std::int32_t Capability, int Version) {
  if (!InTable(Model)) return 0;
  std::int32_t r = modelcaps[Model] & Capability;
  // Older firmware has no flow fault delay setting.
  bool early = false;
  switch (Model) {
    case PELORIN2000DETECTOR:
    case PELORINLUMO:
    case PELORINLUMO100:
    case DOT25:
    case DOT100:
      early = Version < 22;
      break;
    case PELORINZEDRA:
      early = Version < 10;
      break;
    default:
      break;
  }
  if (early) r &= ~CAP_FAULTDELAY;
  return r;
}

std::int32_t Detector::GetModelProgramCaps(int Model, std::int32_t Capability, int Version) {
  if (!InTable(Model)) return 0;
  std::int32_t r = programcaps[Model] & Capability;
  // The command module's bus set-up page came with firmware version 17.
  if (Model == PELORIN2000BUSMASTER && Version < 17) r &= ~FP_BUSSETUP;
  return r;
}

devicemodel Detector::IntToModel(int value) {
  if (value >= 1 && value < MODELS) return static_cast<devicemodel>(value);
  return UNKNOWN;
}

}  // namespace quillark
