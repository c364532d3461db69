#include "core/comms/lanport.h"

#include <cstdio>

#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/platform/tcp.h"

namespace quillark {
namespace {

// "n,host": the remote loop from 1 and the remote computer's name. False for
// anything else.
bool ParseLoopPort(const std::string& value, unsigned& remoteloop, std::string& host) {
  const std::string text = value.substr(0, 127);
  const auto comma = text.find(',');
  if (comma == std::string::npos || comma == 0) return false;
  unsigned n = 0;
  for (std::size_t i = 0; i < comma; ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    if (c < '0' || c > '9' || n > 1000) return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  std::string h = text.substr(comma + 1);
  const auto first = h.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  h = h.substr(first);
  h = h.substr(0, h.find_first_of(" \t"));
  remoteloop = n;
  host = h;
  return true;
}

}  // namespace

LANPort::LANPort(BusHost* AParent, int ALoop, INI& i) : IOPort(AParent, ALoop, i), ini(i) {
  OpenPort();
}

LANPort::~LANPort() {
  retrytimer.Cancel();
  ClosePort();
}

bool LANPort::IsConnected() const {
  return s != nullptr && s->IsConnected();
}

bool LANPort::Write(const char*, int) {
  return false;
}

void LANPort::ClosePort() {
  if (s != nullptr) s->Close();
}

void LANPort::OpenPort() {
  ClosePort();
  s.reset();
  peerclosed = false;
  if (Parent == nullptr || Parent->GetServices().tcp == nullptr) return;

  unsigned remoteloop = 0;
  const std::string value =
      ini.ReadString("Comm", Format("Loop%uPort", static_cast<unsigned>(Loop + 1)), "unknown");
  const long portbase = ini.ReadInt("NetworkMonitoring", "PortBase", "3001");
  if (!ParseLoopPort(value, remoteloop, host)) {
    // Nothing to connect to; tried again later, with no message.
    Retry(RETRYMS);
    return;
  }
  const long remoteport = portbase + static_cast<long>(remoteloop) - 1;
  if (remoteport <= 0 || remoteport > 65535) {
    Retry(RETRYMS);
    return;
  }
  portnumber = static_cast<int>(remoteport);

  s = Parent->GetServices().tcp->NewStream();
  s->OnReadyRead([this] {
    if (Parent != nullptr) Parent->PostCommNotify(Loop, 0x2);
  });
  s->OnError([this](TcpError e) {
    if (e == TcpError::REMOTECLOSED)
      PeerClosed();
    else
      Retry(RETRYMS);
  });
  s->OnDisconnected([this] { PeerClosed(); });
  ++attempts;
  s->Connect(host, static_cast<std::uint16_t>(portnumber));
}

void LANPort::PeerClosed() {
  if (peerclosed) return;
  peerclosed = true;
  // The connection is given up after a while, then made again after the
  // usual pause.
  Retry(PEERCLOSEDMS + RETRYMS);
}

void LANPort::Retry(std::uint32_t ms) {
  // One reconnection at a time: a refusal also reports the closed socket.
  if (retrytimer.Active()) return;
  if (Parent == nullptr) return;
  retrytimer = Parent->Events().SingleShot(ms, [this] { OpenPort(); });
}

int LANPort::NotifyRead() {
  if (s == nullptr) return 0;
  const int n = static_cast<int>(s->Read(inbuff, INBUFF));
  // More than one buffer waits: read the rest on another event.
  if (s->BytesAvailable() > 0 && Parent != nullptr) Parent->PostCommNotify(Loop, 0x2);
  if (n > 0) {
    ++packetsin;
    bytesin += static_cast<unsigned long>(n);
  }
  return n;
}

}  // namespace quillark
