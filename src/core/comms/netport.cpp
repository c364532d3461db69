#include "core/comms/netport.h"

#include "core/comms/netpserv.h"
#include "core/platform/tcp.h"

namespace quillark {

void NetItemRing::AddToBuffer(const char* data, int length, const ItemHandler& item) {
  for (int i = 0; i < length; ++i) {
    inbuff[iend] = data[i];
    const int next = (iend + 1) % POSITIONS;
    // A full ring keeps overwriting its last position.
    if (next != istart) iend = next;
    if (data[i] == '\r') DespatchRxMessage(item);
  }
}

void NetItemRing::DespatchRxMessage(const ItemHandler& item) {
  char msg[INBUFF];
  int count = 0;
  while (count < INBUFF) {
    // No CR before the end: the line did not fit the ring and is dropped.
    if (istart == iend) return;
    const char c = inbuff[istart];
    msg[count++] = c;
    if (++istart >= POSITIONS) istart = 0;
    if (c == '\r') break;
  }
  if (item) item(msg, count);
}

NetPort::NetPort(NetPortServer& AParent, std::unique_ptr<TcpStream> socket, bool control)
    : parent(AParent), sendsocket(std::move(socket)), controlenabled(control) {
  peer = sendsocket->PeerAddress();
  sendsocket->OnReadyRead([this] { OnReadable(); });
  // The list is pruned at the next relay, as for a failed send.
  sendsocket->OnDisconnected([this] { MarkAsZombie(); });
  sendsocket->OnError([this](TcpError) { MarkAsZombie(); });
}

NetPort::~NetPort() {
  sendsocket->Close();
}

void NetPort::SendMessageA(const char* data, int length) {
  if (zombie) return;
  const long sent = sendsocket->Write(data, static_cast<std::size_t>(length));
  if (sent < length || sendsocket->BytesToWrite() > MAXBACKLOG) MarkAsZombie();
}

void NetPort::DespatchRxMessage(const char* data, int length) {
  parent.DespatchRxMessage(data, length, peer);
}

void NetPort::OnReadable() {
  char buf[NetItemRing::INBUFF];
  for (;;) {
    const std::size_t n = sendsocket->Read(buf, sizeof buf);
    if (n == 0) break;
    // A monitoring-only client may not drive the bus: what it sends is read
    // and forgotten.
    if (!controlenabled || zombie) continue;
    ring.AddToBuffer(buf, static_cast<int>(n),
                     [this](const char* item, int len) { DespatchRxMessage(item, len); });
  }
}

}  // namespace quillark
