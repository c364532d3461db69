#include "core/comms/netphndl.h"

#include <cstring>

#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/netpserv.h"
#include "core/comms/remoteaudit.h"
#include "core/platform/eventloop.h"

namespace quillark {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

NetPortHandler::NetPortHandler(BusHost& app, int loops, INI& ini, TcpFactory& t)
    : MsgClass(&app), parent(app), tcp(t) {
  Register(this, MSG_SHORT | MSG_LONG);
  const long portbase = ini.ReadInt("NetworkMonitoring", "PortBase", "3001");
  // Sent items go out at once until the first batch is due.
  nextflush = parent.Events().TickCount();
  if (ini.ReadInt("NetworkMonitoring", "Enable", "0") == 0) return;

  readonly = ini.ReadInt("NetworkMonitoring", "ReadOnly", "0") != 0;
  const std::string hosts = ini.ReadString("NetworkMonitoring", "AllowedHosts", "");
  std::size_t from = 0;
  while (from <= hosts.size()) {
    std::size_t comma = hosts.find(',', from);
    if (comma == std::string::npos) comma = hosts.size();
    std::string host = Trim(hosts.substr(from, comma - from));
    if (!host.empty()) allowedhosts.push_back(ToLower(host));
    from = comma + 1;
  }

  const long maxconnections = ini.ReadInt("NetworkMonitoring", "MaxLoopConnections", "10");
  for (int i = 0; i < loops; ++i) {
    const long port = portbase + i;
    auto server = std::make_unique<NetPortServer>(
        *this, i, (port > 0 && port <= 65535) ? static_cast<int>(port) : -1,
        static_cast<int>(maxconnections));
    // A loop whose port cannot be had stays unserved; the others go on.
    server->OpenSocket();
    NetPortServers.push_back(std::move(server));
  }
  enabled = true;
}

NetPortHandler::~NetPortHandler() {
  DeRegister();
  DeleteAllPortServers();
}

void NetPortHandler::DeleteAllPortServers() {
  NetPortServers.clear();
}

bool NetPortHandler::IsAllowedHost(const std::string& address) const {
  if (allowedhosts.empty()) return true;
  const std::string a = ToLower(address);
  for (const auto& h : allowedhosts)
    if (h == a) return true;
  return false;
}

NetPortServer* NetPortHandler::GetServer(int loop) const {
  for (const auto& s : NetPortServers)
    if (s->GetLoop() == loop) return s.get();
  return nullptr;
}

void NetPortHandler::MsgRx(int loop, const char* msg) {
  if (!enabled || msg == nullptr) return;
  SendMessageA(loop, msg, static_cast<int>(strnlen(msg, FRAMEBUFFER)));
}

void NetPortHandler::SendMessageA(int loop, const char* data, int length) {
  if (!enabled) return;
  for (auto& s : NetPortServers)
    if (s->GetLoop() == loop) s->SendMessageA(data, length);
}

void NetPortHandler::DespatchRxMessage(int loop, const char* data, int length,
                                       const std::string& client) {
  if (length <= 0) return;
  auto buffer = std::make_shared<std::vector<char>>(static_cast<std::size_t>(length) + 1);
  (*buffer)[0] = static_cast<char>(loop);
  std::memcpy(buffer->data() + 1, data, static_cast<std::size_t>(length));
  // The item arrived inside a socket callback; writing it to the bus there
  // could remove the very client it came from, so it is written just after.
  std::weak_ptr<int> guard = alive;
  parent.Events().Post([this, guard, buffer, length, loop, client] {
    if (!guard.lock()) return;
    parent.ControlRx(length, buffer->data());
    // A remote operator's isolate or reset is recorded like a local one, or
    // the log would show devices changing state with nobody having acted.
    RemoteAudit* audit = parent.GetRemoteAudit();
    if (audit == nullptr) return;
    if (auto op = DecodeRemoteOperation(loop, buffer->data() + 1, length))
      audit->RecordRemote(*op, loop, client);
  });
}

void NetPortHandler::WriteEvent(int type, const std::string& text) {
  parent.WriteEvent(type, text);
}

}  // namespace quillark
