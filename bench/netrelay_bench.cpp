// Cost of relaying loop traffic to remote computers: every frame of 16 loops,
// each followed by 10 clients. Streams only count what they are given, so the
// figure is the relay's own work.
#include <benchmark/benchmark.h>

#include <map>

#include "core/comms/busrouter.h"
#include "core/comms/netphndl.h"
#include "core/comms/netpserv.h"
#include "core/platform/tcp.h"
#include "support/nullservices.h"
#include "support/virtualeventloop.h"

namespace {

using namespace quillark;

class CountingStream : public TcpStream {
 public:
  void Connect(const std::string&, std::uint16_t) override {}
  long Write(const char*, std::size_t len) override {
    bytes += len;
    return static_cast<long>(len);
  }
  std::size_t Read(char*, std::size_t) override { return 0; }
  std::size_t BytesAvailable() const override { return 0; }
  std::size_t BytesToWrite() const override { return 0; }
  bool IsConnected() const override { return true; }
  std::string PeerAddress() const override { return "127.0.0.1"; }
  void Close() override {}
  std::size_t bytes = 0;
};

class BenchListener : public TcpListener {
 public:
  explicit BenchListener(std::map<int, BenchListener*>& r) : registry(r) {}
  bool Listen(std::uint16_t port) override {
    registry[port] = this;
    return true;
  }
  void Close() override {}
  int ErrorCode() const override { return 0; }
  std::string ErrorText() const override { return ""; }
  void Accept() { EmitAccepted(std::make_unique<CountingStream>()); }
  std::map<int, BenchListener*>& registry;
};

class BenchTcp : public TcpFactory {
 public:
  std::unique_ptr<TcpStream> NewStream() override { return std::make_unique<CountingStream>(); }
  std::unique_ptr<TcpListener> NewListener() override {
    return std::make_unique<BenchListener>(listeners);
  }
  std::map<int, BenchListener*> listeners;
};

// `batched`: fast-poll answers, mostly collected; otherwise frames that go
// out at once to every client of their loop.
void Relay(benchmark::State& state, bool batched) {
  test::VirtualEventLoop events;
  test::MemoryINI ini;
  ini.WriteString("NetworkMonitoring", "Enable", "1");
  test::NullServices null(events, ini);
  BusRouter app(null.services);
  BenchTcp tcp;
  NetPortHandler handler(app, 16, ini, tcp);
  for (auto& [port, listener] : tcp.listeners)
    for (int i = 0; i < 10; ++i) listener->Accept();
  const char* frame = batched ? "@\x85"
                                "0e0001f0\r"
                              : "<\x85W0001a2\r";
  const int length = 11;
  int loop = 0;
  std::uint64_t n = 0;
  for (auto _ : state) {
    handler.SendMessageA(loop, frame, length);
    loop = (loop + 1) & 15;
    // Ten polls and answers a second on every loop: the batch falls due now
    // and then.
    if (batched && (++n % 160) == 0) events.Advance(100);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void RelayImmediate(benchmark::State& state) {
  Relay(state, false);
}
void RelayBatched(benchmark::State& state) {
  Relay(state, true);
}
BENCHMARK(RelayImmediate);
BENCHMARK(RelayBatched);

}  // namespace
