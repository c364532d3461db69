#include "core/comms/demoport.h"

#include <cstdio>
#include <cstring>

#include "core/common/statusbits.h"
#include "core/comms/bushost.h"
#include "core/site/functionset.h"

namespace quillark {
namespace {

// The device type text that the simulated detectors report.
constexpr char DEVICETEXT[] = "Pelorin-Vantor 2";

constexpr char CHARTHEAD[] = "<!C190010004b01206630c252c";
constexpr char EVENTANSWER[] =
    "<!E0460f37d00e120f37d00e1101660000000b37d0010301760000000917cf0a110165000000";
constexpr char FUNCTIONHEAD[] =
    "<!G16a00006d016d6d000f6e060a0505056d6d100c0c06086d6d0f6d1e6d6d6e6d010208136e6e6e04006d6d"
    "0f636d0616086e6d6e636e6e6d6e0145000008016d09";
constexpr char FUNCTIONTAIL[] = "483a584b3e5e4b3d5d4b3a5808140005";
constexpr char HISTOGRAMANSWER[] =
    "<!H0a620020025004e00070e0644b7d0d0100000000000005c03a000000000000000000000000000000000000"
    "0000000000000000012080c5802000000000000000000000000000000000000000000000000";
constexpr char IDENTITYHEAD[] = "<!Q01a0616ff";

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

DemoPort::DemoPort(BusHost* AParent, int ALoop, INI& AnINI)
    : IOPort(AParent, ALoop, AnINI), random(static_cast<std::uint32_t>(ALoop + 1)) {
  for (auto& device : written) device.fill(-1);
  commandmodule.fill(-1);
}

DemoPort::~DemoPort() = default;

bool DemoPort::Write(const char* data, int datalen) {
  CreateDemoAnswer(data, datalen);
  return true;
}

bool DemoPort::Notify(int commId, int status) {
  IOPort::Notify(commId, status);
  return false;
}

void DemoPort::Summarise() {
  std::int32_t stat = 0, fault = 0;
  for (int a = 1; a <= 126; ++a) {
    stat |= detstat[static_cast<std::size_t>(a)];
    fault |= detfault[static_cast<std::size_t>(a)];
  }
  detstat[0] = stat;
  detfault[0] = fault;
}

void DemoPort::SetEvent(int address, int event) {
  if ((address >> 8) != Loop) return;
  const std::size_t addr = static_cast<std::size_t>(address & 0xFF);
  switch (event) {
    case DEMO_RESET:
      detstat[addr] = 0;
      detfault[addr] = 0;
      break;
    case DEMO_FIRE2:
      detstat[addr] |= 0x10 | 0x08 | 0x04 | 0x02;
      break;
    case DEMO_FIRE1:
      detstat[addr] |= 0x08 | 0x04 | 0x02;
      break;
    case DEMO_PREALARM:
      detstat[addr] |= 0x04 | 0x02;
      break;
    case DEMO_AUX:
      detstat[addr] |= 0x02;
      break;
    case DEMO_DETFAULT:
      detstat[addr] |= 0x01;
      detfault[addr] |= 0x04;
      break;
    default:
      return;
  }
  if (addr != 0) Summarise();
}

void DemoPort::CreateDemoAnswer(const char* msg, int length) {
  if (msg == nullptr || length < 2) return;
  const char addrbyte = msg[1];
  const std::size_t addr = static_cast<std::size_t>(addrbyte & 0x7F);
  int n = 0;

  if (msg[0] == '?') {
    const std::int32_t stat = detstat[addr];
    const int alarms = (stat & 0x08) ? 0x10 : (stat & 0x04) ? 0x0C : (stat & 0x02) ? 0x08 : 0;
    const int level = static_cast<int>(random() % 4) + alarms;
    n = std::snprintf(inbuff, INBUFF, "@%c%02x%02x%02x", addrbyte ? addrbyte : '\x80',
                      static_cast<unsigned>(stat & 0xFF),
                      static_cast<unsigned>(detfault[addr] & 0xFF), static_cast<unsigned>(level));
    inbuff[1] = addrbyte;
  } else if (msg[0] == '>' && length >= 3) {
    std::string answer;
    switch (msg[2]) {
      case 'C':
        answer = CHARTHEAD;
        for (int i = 0; i < 100; ++i) answer += "430d";
        break;
      case 'E': {
        answer = EVENTANSWER;
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(addr));
        for (std::size_t pos : {26u, 46u, 66u}) answer.replace(pos, 2, hex, 2);
        break;
      }
      case 'G':
        answer = FunctionAnswer(written[addr], -1);
        break;
      case 'H':
        answer = HISTOGRAMANSWER;
        break;
      case 'Q': {
        char text[17];
        std::snprintf(text, sizeof text, "%-16.16s", DEVICETEXT);
        answer = std::string(IDENTITYHEAD) + text + "0001";
        break;
      }
      case 'I': {
        const bool on = !(length > 6 && msg[6] == '0');
        if (on) {
          detfault[addr] |= FT_ISOLATED;
          detstat[addr] |= 0x01;
        } else {
          detfault[addr] &= ~FT_ISOLATED;
          if (detfault[addr] == 0) detstat[addr] &= ~0x01;
        }
        if (addr != 0) Summarise();
        answer = Acknowledge(msg, length);
        break;
      }
      case 'R': {
        auto reset = [this](std::size_t a) {
          detfault[a] &= ~FT_ISOLATED;
          // A fault that is still there keeps its status bit, so the answer
          // never reports fault bits without the fault flag.
          detstat[a] = detfault[a] == 0 ? 0 : (detstat[a] | 0x01);
        };
        if (addr == 0) {
          for (std::size_t a = 1; a <= 127; ++a) reset(a);
        } else {
          reset(addr);
        }
        Summarise();
        answer = Acknowledge(msg, length);
        break;
      }
      case 'P':
        StoreFunctions(addr, msg, length);
        return;  // never answered
      default:
        return;  // A, B, D, L ... are never answered
    }
    answer[1] = addrbyte;
    n = static_cast<int>(std::min(answer.size(), static_cast<std::size_t>(MAXFRAME - 2)));
    std::memcpy(inbuff, answer.data(), static_cast<std::size_t>(n));
  } else if (msg[0] == ':' && length >= 3 && (addrbyte & 0x7F) == 1) {
    // The loop's command module, asked as a device: it answers its function
    // reads under its own kind, so a site discovered here gets command
    // module settings like any other device's.
    std::string answer;
    if (msg[2] == 'G') {
      answer = FunctionAnswer(commandmodule, PELORIN2000BUSMASTER);
      answer[0] = '/';
    } else if (msg[2] == 'P') {
      StoreFunctions(commandmodule, msg, length);
      return;
    } else {
      return;
    }
    answer[1] = addrbyte;
    n = static_cast<int>(std::min(answer.size(), static_cast<std::size_t>(MAXFRAME - 2)));
    std::memcpy(inbuff, answer.data(), static_cast<std::size_t>(n));
  } else {
    return;
  }
  Deliver(n);
}

std::string DemoPort::FunctionAnswer(const Functions& values, int model) {
  std::string answer = FUNCTIONHEAD;
  char text[17] = {};
  std::memcpy(text, DEVICETEXT, std::min(sizeof text - 1, std::strlen(DEVICETEXT)));
  char hex[3];
  for (unsigned char c : std::string_view(text, 16)) {
    std::snprintf(hex, sizeof hex, "%02x", c);
    answer += hex;
  }
  answer += FUNCTIONTAIL;
  answer.append(172, 'f');
  // The model the device reports stands among its settings.
  if (model >= 0) {
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(model & 0xFF));
    answer.replace(6 + 2 * FunctionSet::MODELINDEX, 2, hex, 2);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int v = values[i];
    if (v < 0) continue;
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(v & 0xFF));
    answer.replace(6 + 2 * i, 2, hex, 2);
  }
  return answer;
}

void DemoPort::StoreFunctions(std::size_t addr, const char* msg, int length) {
  if (addr == 0) {
    // Address 0 is every detector at once.
    for (std::size_t a = 1; a < written.size(); ++a) StoreFunctions(written[a], msg, length);
  } else if (addr < written.size()) {
    StoreFunctions(written[addr], msg, length);
  }
}

void DemoPort::StoreFunctions(Functions& into, const char* msg, int length) {
  // "P", three length digits, then pairs of function number and value; the
  // check sum follows them.
  auto hex = [&](int at) {
    int v = 0;
    for (int i = at; i < at + 2; ++i) {
      const char c = msg[i];
      if (!IsLowerHex(c)) return -1;
      v = v * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return v;
  };
  int end = length - 2;
  if (length >= 1 && msg[length - 1] == '\r') end = length - 3;
  for (int at = 6; at + 4 <= end; at += 4) {
    const int function = hex(at), value = hex(at + 2);
    if (function < 1 || function > 181 || value < 0) return;
    into[static_cast<std::size_t>(function - 1)] = static_cast<std::int16_t>(value);
  }
}

std::string DemoPort::Acknowledge(const char* msg, int length) {
  // The device confirms a command with a long answer carrying the same letter
  // and the request's payload. The payload ends before the request's check
  // sum (and CR, when it came with one).
  std::string answer = "<!";
  answer += msg[2];
  int end = length - 2;
  if (length >= 1 && msg[length - 1] == '\r') end = length - 3;
  for (int i = 3; i < end && i < 3 + 64; ++i) {
    if (!IsLowerHex(msg[i])) return answer.substr(0, 3);
    answer += msg[i];
  }
  return answer;
}

void DemoPort::Deliver(int length) {
  Message::CalculateAndSetXORsum(inbuff, length);
  length += 2;  // cut after the check sum: no CR
  // Hand out a copy: a receiver that sends in reply gets its own answer built
  // in inbuff while later receivers still read this one.
  char frame[FRAMEBUFFER];
  std::memcpy(frame, inbuff, static_cast<std::size_t>(length));
  frame[length] = '\0';
  DespatchMessage(frame, length);
  if (Parent != nullptr) Parent->PostCommNotify(Loop, 0x2);
}

}  // namespace quillark
