#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "core/platform/eventloop.h"

namespace quillark {

class NetPort;
class NetPortHandler;
class TcpListener;
class TcpStream;

// Serves one loop: listens at its TCP port, keeps the connected remote
// computers and relays the loop's traffic to them, batching the frequent
// polls and poll answers.
class NetPortServer {
 public:
  static constexpr int TXBUFF = 8192;
  // Collected polls and answers go out once this much is waiting.
  static constexpr int RELEASE = 4096;
  static constexpr std::uint32_t BATCHMS = 500;

  NetPortServer(NetPortHandler& AParent, int loop, int portnumber, int maxconnections);
  ~NetPortServer();
  NetPortServer(const NetPortServer&) = delete;
  NetPortServer& operator=(const NetPortServer&) = delete;

  // Takes the port; says why in a message box when it cannot.
  bool OpenSocket();
  void SendMessageA(const char* data, int length);
  void CreatePort(std::unique_ptr<TcpStream> socket);
  void DeleteAllNetPorts();
  int GetLoop() const { return loop; }
  int GetPortNumber() const { return portnumber; }
  void DespatchRxMessage(const char* data, int length, const std::string& client = "");
  // A refused host is logged once, then counted: at most one line per host
  // and minute, so a host that keeps trying cannot flood the log.
  static constexpr std::uint32_t REFUSALSUMMARYMS = 60000;
  static constexpr std::size_t MAXREFUSEDHOSTS = 256;

  std::size_t Connections() const { return NetPorts.size(); }
  int Pending() const { return txlen; }

 private:
  void Accept(std::unique_ptr<TcpStream> socket);
  void Refuse(const std::string& peer);
  void SummariseRefusals();
  void RemoveZombies();
  void SendToAll(const char* data, int length);
  void Release();
  void ArmRelease(std::uint32_t now);

  NetPortHandler& parent;
  int loop;
  int portnumber;
  int maxconnections;
  bool enabled = true;
  std::unique_ptr<TcpListener> s;
  char txbuff[TXBUFF];
  int txlen = 0;
  std::list<std::unique_ptr<NetPort>> NetPorts;
  TimerHandle releasetimer;
  std::map<std::string, unsigned> refused;  // host: refusals not yet logged
  TimerHandle refusaltimer;
};

}  // namespace quillark
