#pragma once

#include <cstdint>
#include <string>

namespace quillark {

// The service manager's notification protocol (systemd's sd_notify): one
// datagram of "KEY=VALUE" lines to the socket named by NOTIFY_SOCKET. Sent
// without waiting; a manager that is not listening loses the message, never
// the program its thread. False when there is no manager or the datagram
// could not be sent.
bool NotifyServiceManager(const std::string& state);

// The watchdog period the service manager expects keep-alives within
// (WATCHDOG_USEC, for this process only), in milliseconds; 0 when none.
std::uint32_t ServiceWatchdogMs();

}  // namespace quillark
