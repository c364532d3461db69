#include "core/comms/netpserv.h"

#include <cstring>

#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/netphndl.h"
#include "core/comms/netport.h"
#include "core/platform/eventwriter.h"
#include "core/platform/prompter.h"
#include "core/platform/tcp.h"

namespace quillark {

NetPortServer::NetPortServer(NetPortHandler& AParent, int l, int port, int maxconn)
    : parent(AParent), loop(l), portnumber(port), maxconnections(maxconn) {}

NetPortServer::~NetPortServer() {
  enabled = false;
  releasetimer.Cancel();
  refusaltimer.Cancel();
  DeleteAllNetPorts();
  if (s != nullptr) s->Close();
}

bool NetPortServer::OpenSocket() {
  s = parent.Tcp().NewListener();
  s->OnAccepted([this](std::unique_ptr<TcpStream> socket) { Accept(std::move(socket)); });
  const bool inrange = portnumber > 0 && portnumber <= 65535;
  if (inrange && s->Listen(static_cast<std::uint16_t>(portnumber))) return true;
  parent.GetApp().GetPrompter().Show(
      "", Format("bind() fail: code %d", inrange ? s->ErrorCode() : -1), PromptIcon::STOP);
  return false;
}

void NetPortServer::Accept(std::unique_ptr<TcpStream> socket) {
  const std::string peer = socket->PeerAddress();
  if (!parent.IsAllowedHost(peer)) {
    socket->Close();
    Refuse(peer);
    return;
  }
  if (static_cast<long>(NetPorts.size()) < maxconnections) {
    CreatePort(std::move(socket));
    parent.WriteEvent(WE_INFORMATION, Format("Remote port connect loop %u", loop + 1));
  } else {
    socket->Close();
    parent.WriteEvent(WE_SYSLOG, Format("Too many connections loop %u", loop + 1));
  }
}

void NetPortServer::Refuse(const std::string& peer) {
  // Hosts beyond the limit share one count, so the table cannot grow with
  // every address an attacker can make up.
  const std::string host =
      refused.count(peer) != 0 || refused.size() < MAXREFUSEDHOSTS ? peer : "other hosts";
  auto [entry, first] = refused.try_emplace(host, 0u);
  if (!first) {
    ++entry->second;
    return;
  }
  parent.WriteEvent(WE_SYSLOG,
                    Format("Remote connection from %s refused loop %u", host.c_str(), loop + 1));
  if (!refusaltimer.Active())
    refusaltimer =
        parent.GetApp().Events().Repeating(REFUSALSUMMARYMS, [this] { SummariseRefusals(); });
}

void NetPortServer::SummariseRefusals() {
  for (auto it = refused.begin(); it != refused.end();) {
    if (it->second == 0) {
      // A quiet minute: the host's next refusal is logged as a first again.
      it = refused.erase(it);
      continue;
    }
    parent.WriteEvent(WE_SYSLOG, Format("Remote connection from %s refused %u more times loop %u",
                                        it->first.c_str(), it->second, loop + 1));
    it->second = 0;
    ++it;
  }
  if (refused.empty()) refusaltimer.Cancel();
}

void NetPortServer::CreatePort(std::unique_ptr<TcpStream> socket) {
  NetPorts.push_back(std::make_unique<NetPort>(*this, std::move(socket), !parent.IsReadOnly()));
}

void NetPortServer::DeleteAllNetPorts() {
  enabled = false;
  NetPorts.clear();
}

void NetPortServer::DespatchRxMessage(const char* data, int length, const std::string& client) {
  parent.DespatchRxMessage(loop, data, length, client);
}

void NetPortServer::RemoveZombies() {
  for (auto it = NetPorts.begin(); it != NetPorts.end();) {
    if ((*it)->IsZombie()) {
      parent.WriteEvent(WE_INFORMATION, Format("Remote port disconnect loop %u", loop + 1));
      it = NetPorts.erase(it);
    } else {
      ++it;
    }
  }
}

void NetPortServer::SendToAll(const char* data, int length) {
  for (auto& port : NetPorts) port->SendMessageA(data, length);
}

void NetPortServer::Release() {
  releasetimer.Cancel();
  if (txlen > 0) SendToAll(txbuff, txlen);
  parent.NextFlush() = parent.GetApp().Events().TickCount() + BATCHMS;
  txlen = 0;
}

void NetPortServer::ArmRelease(std::uint32_t now) {
  // Due even when another loop's release has moved the shared time on since:
  // otherwise a loop whose traffic always comes just after another's could be
  // held back until its buffer fills.
  releasetimer = parent.GetApp().Events().SingleShot(parent.NextFlush() - now, [this] {
    RemoveZombies();
    if (txlen > 0) Release();
  });
}

void NetPortServer::SendMessageA(const char* data, int length) {
  if (!enabled || data == nullptr || length < 0) return;
  RemoveZombies();
  // What is collected goes first when the new item would not fit behind it;
  // an item too long for the buffer on its own goes straight out after it.
  if (txlen + length + 1 > TXBUFF) {
    Release();
    if (length + 1 > TXBUFF) {
      SendToAll(data, length);
      SendToAll("\r", 1);
      return;
    }
  }
  std::memcpy(txbuff + txlen, data, static_cast<std::size_t>(length));
  txbuff[txlen + length] = '\r';
  txlen += length + 1;

  const std::uint32_t now = parent.GetApp().Events().TickCount();
  const bool batched = length > 0 && (data[0] == '?' || data[0] == '@');
  const bool early = static_cast<std::int32_t>(now - parent.NextFlush()) < 0;
  if (batched && txlen <= RELEASE && early) {
    // Held items also go out when the time is up and the bus has gone quiet.
    if (!releasetimer.Active()) ArmRelease(now);
    return;
  }
  Release();
}

}  // namespace quillark
