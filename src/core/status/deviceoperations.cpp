#include "core/status/deviceoperations.h"

#include <cstring>

#include "core/access/security.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/demoport.h"
#include "core/comms/message.h"
#include "core/events/syslog.h"
#include "core/platform/eventwriter.h"

namespace quillark {
namespace {

// The start character and address byte that reach the device in slot `slot`
// with a command. A command module answers commands under bus address 1;
// a power supply is addressed by its own bus address (slot - 127) in '#'
// frames, since adding 0x80 to its slot would overflow the address byte and
// land on a detector's address instead.
std::string Addressed(int slot) {
  if (slot == 0) return {':', static_cast<char>(0x81)};
  if (slot < 128) return {'>', static_cast<char>(slot | 0x80)};
  return {'#', static_cast<char>((slot - 127) | 0x80)};
}

int Slot(int device) {
  return device & 0xFF;
}

int LoopOf(int device) {
  return device >> 8;
}

}  // namespace

DeviceOperations::DeviceOperations(BusHost& a, SysLog* log, Security* s)
    : app(a), syslog(log), security(s) {}

bool DeviceOperations::Permitted(int op, bool prompt) {
  // Without a security object nobody is known, so nobody may act.
  return security != nullptr && security->HasPermission(static_cast<operation>(op), prompt);
}

std::string DeviceOperations::User() const {
  return security != nullptr ? security->GetUser() : std::string();
}

void DeviceOperations::Send(int loop, const std::string& body) {
  char buf[FRAMEBUFFER];
  std::memcpy(buf, body.data(), body.size());
  buf[body.size()] = '\0';
  app.SendBusMessage(loop, buf, static_cast<int>(body.size()));
}

bool DeviceOperations::Isolate(int device, bool isolate, bool prompt) {
  if (!IsValidDevice(device)) return false;
  if (!Permitted(SA_ISOLATE, prompt)) return false;

  const std::string body = Addressed(Slot(device)) + "I001" + (isolate ? "1" : "0");
  // Every command module is named as one, whichever loop it is on: the
  // record must say what was isolated.
  // Named as the screens name it ("2-005"), so that the log and the
  // panels can be compared at a glance.
  const int slot = Slot(device);
  const char* what = slot == 0 ? "command module" : slot >= 128 ? "power supply" : "detector";
  const std::string text = Format("Isolate %s %s %d-%03d by user '%s'", isolate ? "on" : "off",
                                  what, LoopOf(device) + 1, slot, User().c_str());

  // The bus is ours between pause and resume: no poll can come between.
  app.PausePolling();
  Send(LoopOf(device), body);
  app.ResumePolling();
  app.WriteEvent(WE_INFORMATION, text);
  return true;
}

void DeviceOperations::GlobalReset() {
  // Detectors, power supplies and command modules each take their own reset
  // frame; every loop gets one kind before the next kind goes out.
  const int loops = app.GetLoops();
  for (const char kind : {'>', '#', ':'}) {
    for (int loop = 0; loop < loops; ++loop)
      Send(loop, std::string{kind, static_cast<char>(0x80)} + "R000");
  }
}

bool DeviceOperations::Reset(int device) {
  if (!IsValidDevice(device)) return false;
  if (!Permitted(SA_RESET, true)) return false;

  // A command module stands for its whole site: its reset is the global one,
  // and it is announced and logged as such.
  const bool global = Slot(device) == 0;
  app.PausePolling();
  if (global)
    GlobalReset();
  else
    Send(LoopOf(device), Addressed(Slot(device)) + "R000");
  app.ResumePolling();

  const std::string user = User();
  app.WriteEvent(WE_INFORMATION, global ? Format("Global reset by user '%s'", user.c_str())
                                        : Format("Reset %s %d-%03d by user '%s'",
                                                 Slot(device) >= 128 ? "power supply" : "detector",
                                                 LoopOf(device) + 1, Slot(device), user.c_str()));
  if (syslog != nullptr) syslog->WriteReset(global ? 0u : static_cast<std::uint32_t>(device));
  return true;
}

namespace {

// Named as the local operations name them.
const char* KindOfDevice(int slot) {
  return slot == 0 ? "command module" : "detector";
}

}  // namespace

void DeviceOperations::RecordRemote(const RemoteOperation& op, int loop,
                                    const std::string& client) {
  const std::string who = Format("remote client %s on loop %d",
                                 client.empty() ? "(unknown)" : client.c_str(), loop + 1);
  const char* what = KindOfDevice(Slot(op.device));
  switch (op.kind) {
    case RemoteOperation::ISOLATE:
    case RemoteOperation::DEISOLATE:
      app.WriteEvent(WE_INFORMATION, Format("Isolate %s %s %d by %s",
                                            op.kind == RemoteOperation::ISOLATE ? "on" : "off",
                                            what, op.device, who.c_str()));
      return;
    case RemoteOperation::RESET:
      app.WriteEvent(WE_INFORMATION, Format("Reset %s %d by %s", what, op.device, who.c_str()));
      if (syslog != nullptr) syslog->WriteReset(static_cast<std::uint32_t>(op.device));
      return;
    case RemoteOperation::LOOPRESET: {
      // A global reset is three frames per loop (detectors, power supplies,
      // command modules); the detectors' one stands for it in the log.
      const char* whom = op.target == '>'   ? "detectors"
                         : op.target == '#' ? "power supplies"
                                            : "command modules";
      app.WriteEvent(WE_INFORMATION, Format("Reset of all %s by %s", whom, who.c_str()));
      if (op.target == '>' && syslog != nullptr)
        syslog->WriteReset(static_cast<std::uint32_t>(op.device));
      return;
    }
    case RemoteOperation::FUNCTIONWRITE:
      app.WriteEvent(WE_INFORMATION,
                     Format("Function write to %s %d by %s", what, op.device, who.c_str()));
      return;
  }
}

bool DeviceOperations::SingleReset(int device) {
  if (!Reset(device)) return false;
  // A demonstration loop also forgets the device's simulated alarms and faults.
  app.SetEvent(device, DEMO_RESET);
  return true;
}

}  // namespace quillark
