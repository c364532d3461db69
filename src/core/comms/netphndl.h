#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/comms/netmirror.h"

namespace quillark {

class INI;
class NetPortServer;
class TcpFactory;

// Network monitoring: serves the traffic of every loop to remote computers
// over TCP, one listening port per loop, and writes what they send onto the
// loop. Hears every received frame as a receiver and every written frame
// from the communication handler.
class NetPortHandler : public MsgClass, public NetMirror {
 public:
  // Reads "NetworkMonitoring": "Enable", "PortBase", "MaxLoopConnections",
  // "ReadOnly" and "AllowedHosts".
  NetPortHandler(BusHost& app, int loops, INI& ini, TcpFactory& tcp);
  ~NetPortHandler() override;

  void MsgRx(int loop, const char* msg) override;
  void SendToClients(int loop, const char* data, int datalen) override {
    SendMessageA(loop, data, datalen);
  }
  void SendMessageA(int loop, const char* data, int length);
  // A complete item from a remote computer, written to the loop once the
  // current work is done, as if this program had sent it.
  // `client` is the sender's address, for the record of what it did.
  void DespatchRxMessage(int loop, const char* data, int length, const std::string& client = "");
  void WriteEvent(int type, const std::string& text);
  void DeleteAllPortServers();

  bool IsEnabled() const { return enabled; }
  bool IsReadOnly() const { return readonly; }
  // True when no list is set or `address` is on it.
  bool IsAllowedHost(const std::string& address) const;
  NetPortServer* GetServer(int loop) const;
  BusHost& GetApp() const { return parent; }
  TcpFactory& Tcp() const { return tcp; }
  // When the collected polls and answers of every loop go out next.
  std::uint32_t& NextFlush() { return nextflush; }

 private:
  BusHost& parent;
  TcpFactory& tcp;
  bool enabled = false;
  bool readonly = false;
  std::vector<std::string> allowedhosts;
  std::vector<std::unique_ptr<NetPortServer>> NetPortServers;
  std::uint32_t nextflush = 0;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
