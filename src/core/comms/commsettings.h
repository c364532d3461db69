#pragma once

#include <array>
#include <string>

#include "core/common/loops.h"
#include "core/comms/ioport.h"

namespace quillark {

class Translator;

class INI;

// The communication settings as the settings dialog shows and stores them:
// the loop count, each loop's port, the port buffers, the failure time-out
// and whether the loops are served to the network.
class CommSettings {
 public:
  static constexpr int MAXLOOPS = quillark::MAXLOOPS;
  static constexpr int PORTTYPES = 4;
  // The translated name of port type t is text PORTTYPENAMES + 100 * t.
  static constexpr int PORTTYPENAMES = 50300;
  // Shown for the receive buffer while the settings hold none.
  static constexpr const char* RXBUFFSHOWN = "4096";

  struct LoopPort {
    int type = PORT_COM;
    std::string value;
  };

  // The settings as stored, with the built-in defaults for what is missing.
  static CommSettings Read(INI& ini);
  // Stores every value that was in the settings when `before` was read or
  // that differs from it. A value never set and left alone stays unset, so
  // its built-in default keeps applying (the receive buffer is shown as 4096
  // but the ports use 5000 while it is unset).
  bool Write(INI& ini, const CommSettings& before) const;

  // The value a loop's port starts with for each type.
  static const char* DefaultPortValue(int type);
  // Why `value` cannot serve as the port of a loop of `type`; empty when it can.
  // Without a translator the problems are in English.
  static std::string CheckPortValue(int type, const std::string& value,
                                    Translator* translator = nullptr);
  // The first problem with the settings, naming the field; empty when none.
  std::string Check(Translator* translator = nullptr) const;

  int loops = 1;
  std::array<LoopPort, MAXLOOPS> ports{};
  std::string rxbuff = RXBUFFSHOWN;
  std::string txbuff = "128";
  std::string commsfailtimeout = "50000";
  bool monitor = false;  // "NetworkMonitoring"/"Enable"

 private:
  struct Present {
    bool loops = false, rxbuff = false, txbuff = false, timeout = false, monitor = false;
    std::array<bool, MAXLOOPS> type{}, value{};
  };
  Present present;
};

}  // namespace quillark
