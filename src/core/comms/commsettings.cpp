#include "core/comms/commsettings.h"

#include <cctype>
#include <cstdlib>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"

namespace quillark {
namespace {

// A default no settings file holds as a whole value, to tell a missing key
// from a stored one (defaults are trimmed like values, so no blanks).
constexpr const char* ABSENT = "\x01";

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// A whole decimal number within [low, high].
bool IsNumber(const std::string& text, long long low, long long high) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 12) return false;
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const long long v = std::atoll(t.c_str());
  return v >= low && v <= high;
}

std::string LoopKey(int loop, const char* suffix) {
  return Format("Loop%u%s", static_cast<unsigned>(loop + 1), suffix);
}

}  // namespace

const char* CommSettings::DefaultPortValue(int type) {
  switch (type) {
    case PORT_NETMONITOR:
    case PORT_NETCONTROL:
      return "1, unknown";
    case PORT_HLI:
      return "1,0";
    default:
      return "1";
  }
}

CommSettings CommSettings::Read(INI& ini) {
  CommSettings s;
  std::string v = ini.ReadString("Comm", "Loops", ABSENT);
  s.present.loops = v != ABSENT;
  s.loops = LoopSettings::Read(ini).loops;

  for (int loop = 0; loop < MAXLOOPS; ++loop) {
    auto& port = s.ports[static_cast<std::size_t>(loop)];
    const std::string typekey = LoopKey(loop, "PortType");
    s.present.type[static_cast<std::size_t>(loop)] =
        ini.ReadString("Comm", typekey, ABSENT) != ABSENT;
    const long type = ini.ReadInt("Comm", typekey, "0");
    // A type this program does not know is shown as the first one.
    port.type = type >= 0 && type < PORTTYPES ? static_cast<int>(type) : PORT_COM;
    v = ini.ReadString("Comm", LoopKey(loop, "Port"), ABSENT);
    s.present.value[static_cast<std::size_t>(loop)] = v != ABSENT;
    port.value = v != ABSENT ? v : DefaultPortValue(port.type);
  }

  v = ini.ReadString("Comm", "RxBuff", ABSENT);
  s.present.rxbuff = v != ABSENT;
  s.rxbuff = s.present.rxbuff ? v : RXBUFFSHOWN;
  v = ini.ReadString("Comm", "TxBuff", ABSENT);
  s.present.txbuff = v != ABSENT;
  s.txbuff = s.present.txbuff ? v : "128";
  v = ini.ReadString("Comm", "CommsFailTimeout", ABSENT);
  s.present.timeout = v != ABSENT;
  s.commsfailtimeout = s.present.timeout ? v : "50000";
  v = ini.ReadString("NetworkMonitoring", "Enable", ABSENT);
  s.present.monitor = v != ABSENT;
  s.monitor = ini.ReadInt("NetworkMonitoring", "Enable", "0") != 0;
  return s;
}

bool CommSettings::Write(INI& ini, const CommSettings& before) const {
  const Present& was = before.present;
  bool ok = true;
  if (was.loops || loops != before.loops) ok &= ini.WriteInt("Comm", "Loops", loops);
  for (int loop = 0; loop < MAXLOOPS; ++loop) {
    const auto i = static_cast<std::size_t>(loop);
    // A changed type writes its value too, so the two always belong together.
    const bool typechanged = ports[i].type != before.ports[i].type;
    if (was.type[i] || typechanged)
      ok &= ini.WriteInt("Comm", LoopKey(loop, "PortType"), ports[i].type);
    if (was.value[i] || typechanged || Trim(ports[i].value) != Trim(before.ports[i].value))
      ok &= ini.WriteString("Comm", LoopKey(loop, "Port"), Trim(ports[i].value));
  }
  if (was.rxbuff || Trim(rxbuff) != Trim(before.rxbuff))
    ok &= ini.WriteString("Comm", "RxBuff", Trim(rxbuff));
  if (was.txbuff || Trim(txbuff) != Trim(before.txbuff))
    ok &= ini.WriteString("Comm", "TxBuff", Trim(txbuff));
  if (was.timeout || Trim(commsfailtimeout) != Trim(before.commsfailtimeout))
    ok &= ini.WriteString("Comm", "CommsFailTimeout", Trim(commsfailtimeout));
  if (was.monitor || monitor != before.monitor)
    ok &= ini.WriteString("NetworkMonitoring", "Enable", monitor ? "1" : "0");
  return ok;
}

std::string CommSettings::CheckPortValue(int type, const std::string& value,
                                         Translator* translator) {
  const auto text = [translator](int id, const char* english) {
    return TextOr(translator, id, english);
  };
  const std::string v = Trim(value);
  const auto comma = v.find(',');
  switch (type) {
    case PORT_COM:
      // "none" is what the program writes for a port that was not there.
      if (IsNumber(v, 1, 255) || v == "none" || (!v.empty() && v[0] == '/')) return {};
      return text(
          75200,
          "the port must be a COM port number, a device path such as /dev/ttyUSB0, or none.");
    case PORT_NETMONITOR:
    case PORT_NETCONTROL:
      if (comma != std::string::npos && IsNumber(v.substr(0, comma), 1, MAXLOOPS) &&
          !Trim(v.substr(comma + 1)).empty())
        return {};
      return text(75300,
                  "the port must be the loop number on the remote computer, a comma and the remote "
                  "computer's name, such as 1,plant-pc.");
    case PORT_HLI:
      if (comma != std::string::npos && IsNumber(v.substr(0, comma), 1, 255) &&
          IsNumber(v.substr(comma + 1), 0, 255))
        return {};
      return text(
          75400,
          "the port must be the COM port number, a comma and the HLI network id, such as 1,0.");
    default:
      return text(75500, "unknown port type.");
  }
}

std::string CommSettings::Check(Translator* translator) const {
  const auto text = [translator](int id, const char* english) {
    return TextOr(translator, id, english);
  };
  if (loops < 1 || loops > MAXLOOPS)
    return Format(text(75600, "The number of loops must be 1 to %d.").c_str(), MAXLOOPS);
  for (int loop = 0; loop < loops; ++loop) {
    const auto& port = ports[static_cast<std::size_t>(loop)];
    const std::string problem = CheckPortValue(port.type, port.value, translator);
    if (!problem.empty())
      return Format(text(75700, "Loop %d: %s").c_str(), loop + 1, problem.c_str());
  }
  // The bounds the ports accept; anything else would quietly fall back.
  if (!IsNumber(rxbuff, 16, 1 << 20))
    return text(75800, "The receive buffer must be a number of bytes from 16 to 1048576.");
  if (!IsNumber(txbuff, 1, 1 << 20))
    return text(75900, "The transmit buffer must be a number of bytes from 1 to 1048576.");
  if (!IsNumber(commsfailtimeout, 1, 2147483647))
    return text(76000,
                "The communications failure time-out must be a number of milliseconds above 0.");
  return {};
}

}  // namespace quillark
