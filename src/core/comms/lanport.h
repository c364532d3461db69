#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/comms/ioport.h"
#include "core/platform/eventloop.h"

namespace quillark {

class TcpStream;

// A loop of another computer, followed over TCP through that computer's
// network monitoring server. Its bus traffic arrives as text items ended by
// CR and goes through the usual receive framing. Nothing is sent: the other
// computer is the bus master.
class LANPort : public IOPort {
 public:
  // Pause before connecting again after a refused or lost connection.
  static constexpr std::uint32_t RETRYMS = 10000;
  // How long a connection that the other side closed is given before it is
  // abandoned (then the usual pause, then a new connection).
  static constexpr std::uint32_t PEERCLOSEDMS = 30000;

  // Reads "Comm"/"Loop%uPort" ("n,host": the remote loop from 1 and the
  // remote computer) and "NetworkMonitoring"/"PortBase", and connects.
  LANPort(BusHost* AParent, int ALoop, INI& ini);
  ~LANPort() override;

  bool Write(const char* msg, int length) override;
  bool IsTxEmpty() override { return true; }
  int NotifyRead() override;
  bool IsNetworkLoop() const override { return true; }

  void OpenPort();
  void ClosePort();

  const std::string& GetHost() const { return host; }
  int GetPortNumber() const { return portnumber; }
  bool IsConnected() const;
  // Connection attempts made so far.
  int Attempts() const { return attempts; }
  unsigned long bytesout = 0, bytesin = 0, packetsout = 0, packetsin = 0;

 protected:
  std::unique_ptr<TcpStream> s;

 private:
  void Retry(std::uint32_t ms);
  void PeerClosed();

  INI& ini;
  int portnumber = 0;
  std::string host;
  int attempts = 0;
  bool peerclosed = false;
  TimerHandle retrytimer;
};

}  // namespace quillark
