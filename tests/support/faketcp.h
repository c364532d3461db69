#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "core/platform/eventloop.h"
#include "core/platform/tcp.h"

namespace quillark::test {

class FakeTcpNetwork;

// Both ends of one connection: what each end has received and not read yet.
struct FakeLink {
  class FakeTcpStream* ends[2] = {nullptr, nullptr};
  std::string inbound[2];
  bool open = true;
};

// A stream of the loopback double. Every delivery (connection, bytes, close)
// is posted to the event loop, as a real network would deliver it later.
class FakeTcpStream : public TcpStream {
 public:
  FakeTcpStream(FakeTcpNetwork& n) : net(n) {}
  FakeTcpStream(FakeTcpNetwork& n, std::shared_ptr<FakeLink> l, int s, std::string p)
      : net(n), link(std::move(l)), side(s), peer(std::move(p)) {
    link->ends[side] = this;
  }
  ~FakeTcpStream() override {
    Close();
    if (link != nullptr) link->ends[side] = nullptr;
  }

  void Connect(const std::string& host, std::uint16_t port) override;
  long Write(const char* data, std::size_t len) override;
  std::size_t Read(char* buf, std::size_t max) override {
    if (link == nullptr) return 0;
    std::string& in = link->inbound[side];
    const std::size_t n = std::min(max, in.size());
    in.copy(buf, n);
    in.erase(0, n);
    return n;
  }
  std::size_t BytesAvailable() const override {
    return link != nullptr ? link->inbound[side].size() : 0;
  }
  std::size_t BytesToWrite() const override { return backlog; }
  bool IsConnected() const override { return link != nullptr && link->open; }
  std::string PeerAddress() const override { return IsConnected() ? peer : ""; }
  void Close() override;

  // The test's knobs: sends fail, or pile up unsent.
  bool failwrites = false;
  std::size_t backlog = 0;

 private:
  friend class FakeTcpNetwork;
  void Attach(std::shared_ptr<FakeLink> l, int s, std::string p) {
    link = std::move(l);
    side = s;
    peer = std::move(p);
    link->ends[side] = this;
  }
  // Runs `fn` on the end `s` of `l` later, if that end still exists.
  void PostTo(const std::shared_ptr<FakeLink>& l, int s, std::function<void(FakeTcpStream&)> fn);

  FakeTcpNetwork& net;
  std::shared_ptr<FakeLink> link;
  int side = 0;
  std::string peer;
};

class FakeTcpListener : public TcpListener {
 public:
  explicit FakeTcpListener(FakeTcpNetwork& n) : net(n) {}
  ~FakeTcpListener() override { Close(); }
  bool Listen(std::uint16_t port) override;
  void Close() override;
  int ErrorCode() const override { return error; }
  std::string ErrorText() const override { return error ? "address in use" : ""; }
  void Accept(std::unique_ptr<TcpStream> s) { EmitAccepted(std::move(s)); }

 private:
  FakeTcpNetwork& net;
  int port = -1;
  int error = 0;
};

// A network inside the test: listeners by port, streams that reach them by
// any of the known host names, all on the test's event loop.
class FakeTcpNetwork : public TcpFactory {
 public:
  explicit FakeTcpNetwork(EventLoop& l) : loop(l) {}
  std::unique_ptr<TcpStream> NewStream() override { return std::make_unique<FakeTcpStream>(*this); }
  std::unique_ptr<TcpListener> NewListener() override {
    return std::make_unique<FakeTcpListener>(*this);
  }

  EventLoop& loop;
  std::map<std::uint16_t, FakeTcpListener*> listeners;
  std::set<std::uint16_t> busy;  // ports that someone else holds
  std::set<std::string> hosts{"localhost", "127.0.0.1", "pc-a"};
  // The address a listener sees for the next connection.
  std::string clientaddress = "127.0.0.1";
  int connects = 0;
};

inline void FakeTcpStream::PostTo(const std::shared_ptr<FakeLink>& l, int s,
                                  std::function<void(FakeTcpStream&)> fn) {
  std::weak_ptr<FakeLink> weak = l;
  net.loop.Post([weak, s, fn = std::move(fn)] {
    if (auto k = weak.lock())
      if (k->ends[s] != nullptr) fn(*k->ends[s]);
  });
}

inline void FakeTcpStream::Connect(const std::string& host, std::uint16_t port) {
  Close();
  if (link != nullptr) link->ends[side] = nullptr;
  link.reset();
  ++net.connects;
  auto self = std::make_shared<FakeLink>();
  Attach(self, 0, host);
  self->open = false;
  const bool known = net.hosts.count(host) != 0;
  auto it = net.listeners.find(port);
  if (!known || it == net.listeners.end()) {
    const TcpError e = known ? TcpError::REFUSED : TcpError::HOSTNOTFOUND;
    PostTo(self, 0, [e](FakeTcpStream& me) { me.EmitError(e); });
    return;
  }
  self->open = true;
  auto server = std::make_unique<FakeTcpStream>(net, self, 1, net.clientaddress);
  FakeTcpListener* listener = it->second;
  std::shared_ptr<std::unique_ptr<TcpStream>> pending =
      std::make_shared<std::unique_ptr<TcpStream>>(std::move(server));
  net.loop.Post([listener, pending, &n = net, port] {
    // The listener may have closed meanwhile.
    auto again = n.listeners.find(port);
    if (again != n.listeners.end() && again->second == listener)
      listener->Accept(std::move(*pending));
  });
  PostTo(self, 0, [](FakeTcpStream& me) { me.EmitConnected(); });
}

inline long FakeTcpStream::Write(const char* data, std::size_t len) {
  if (!IsConnected() || failwrites) return -1;
  const int other = 1 - side;
  link->inbound[other].append(data, len);
  PostTo(link, other, [](FakeTcpStream& peer) {
    if (peer.BytesAvailable() > 0) peer.EmitReadyRead();
  });
  return static_cast<long>(len);
}

inline void FakeTcpStream::Close() {
  if (link == nullptr || !link->open) return;
  link->open = false;
  PostTo(link, 1 - side, [](FakeTcpStream& peer) {
    peer.EmitError(TcpError::REMOTECLOSED);
    peer.EmitDisconnected();
  });
}

inline bool FakeTcpListener::Listen(std::uint16_t p) {
  Close();
  if (net.busy.count(p) != 0 || net.listeners.count(p) != 0) {
    error = 8;  // address in use
    return false;
  }
  port = p;
  net.listeners[p] = this;
  return true;
}

inline void FakeTcpListener::Close() {
  if (port < 0) return;
  net.listeners.erase(static_cast<std::uint16_t>(port));
  port = -1;
}

// A remote computer in a test: connects, collects what arrives, sends lines.
class FakeClient {
 public:
  FakeClient(FakeTcpNetwork& net, std::uint16_t port, const std::string& host = "localhost")
      : stream(net.NewStream()) {
    stream->OnConnected([this] { connected = true; });
    stream->OnReadyRead([this] {
      char buf[4096];
      while (std::size_t n = stream->Read(buf, sizeof buf)) received.append(buf, n);
    });
    stream->OnError([this](TcpError e) {
      errors++;
      lasterror = e;
    });
    stream->OnDisconnected([this] { closed = true; });
    stream->Connect(host, port);
  }
  void Send(const std::string& text) { stream->Write(text.data(), text.size()); }
  // What arrived since the last call.
  std::string Take() {
    std::string r;
    r.swap(received);
    return r;
  }

  std::unique_ptr<TcpStream> stream;
  std::string received;
  bool connected = false, closed = false;
  int errors = 0;
  TcpError lasterror = TcpError::NETWORK;
};

}  // namespace quillark::test
