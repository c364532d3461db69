#pragma once

#include <string>

#include "core/common/loops.h"
#include "core/comms/remoteaudit.h"

namespace quillark {

class Security;
class SysLog;
class BusHost;

// The operator's commands to a device: isolate, de-isolate, reset one device
// and the global reset of every loop. Each goes out as bus frames between a
// polling pause and resume; nothing is awaited, because the devices confirm
// only through what they report in the following fast polls (an isolated
// device sets fault bit 0x20).
class DeviceOperations : public RemoteAudit {
 public:
  // `security` decides who may act and names the user in the event texts;
  // without it nothing is permitted. `syslog` receives the reset records and
  // may be null.
  DeviceOperations(BusHost& app, SysLog* syslog, Security* security);
  DeviceOperations(const DeviceOperations&) = delete;
  DeviceOperations& operator=(const DeviceOperations&) = delete;

  void SetSecurity(Security* s) { security = s; }
  void SetSysLog(SysLog* s) { syslog = s; }

  // An operation a network monitoring client sent straight to the bus: the
  // same events and system log records as the local command, naming the
  // client and the loop instead of a user.
  void RecordRemote(const RemoteOperation& op, int loop, const std::string& client) override;

  // Isolates (`isolate` true) or de-isolates a device. With `prompt` the
  // operator is asked to log on when the access level is not enough. False
  // when nothing was sent (not permitted, no such device).
  bool Isolate(int device, bool isolate, bool prompt = true);
  // Resets one device; a device number whose slot is 0 (a command module,
  // device 0 included) resets every device of every loop.
  bool Reset(int device);
  // The single-device reset command: the reset of `device` (the selected
  // one), then the same reset on the demonstration loop's simulated device.
  bool SingleReset(int device);

  // Device numbers these operations can address: loops 0..15; slot 255 would
  // be power supply 128, beyond the 7-bit bus address.
  static bool IsValidDevice(int device) {
    return device >= 0 && (device >> 8) < MAXLOOPS && (device & 0xFF) != 255;
  }

 private:
  bool Permitted(int op, bool prompt);
  // Sends one frame body on `loop`, with its check sum appended.
  void Send(int loop, const std::string& body);
  std::string User() const;
  void GlobalReset();

  BusHost& app;
  SysLog* syslog;
  Security* security;
};

}  // namespace quillark
