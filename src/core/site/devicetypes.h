#pragma once

#include <cstdint>

namespace quillark {

// What a node of the site is. Stored as a number in site files.
enum devicetype : std::int32_t {
  NONE = -100,  // no device / no parent
  LOOP = -3,
  SITE = -2,
  ZONE = -1,
  BUSCONTROLLER = 0,  // command module
  POWERSUPPLY = 1,
  DETECTOR = 2,
  DEVICE = 3,
};

// Model codes as devices report them (function 45) and site files store them.
enum devicemodel : std::int32_t {
  UNKNOWN = 0,
  PELORINVANTOR = 1,
  ARRAYSCANCELL = 2,
  PELORINFERROW = 3,
  CONTACTMONITOR = 4,
  PCBUSMASTER = 5,
  PELORIN2000DETECTOR = 6,
  PELORIN2000POWERSUPPLY = 7,
  PELORIN2000BUSMASTER = 8,
  ORVALER7 = 9,
  ORVALEPRIME = 10,
  PELORINLUMO = 11,
  PELORINLUMO100 = 12,
  DOT25 = 13,
  DOT100 = 14,
  PELORINZEDRA = 15,
  ORVALEPETITE = 16,
  ORVALEKEEN = 17,
  ORVALEOPENHLI = 18,
  PELORINTINDLE = 19,
  DEFAULT_DETECTOR = 20,  // not a row of the model table
};

}  // namespace quillark
