// Time from a frame written to a loop until a remote client has read it, for
// a frame that is not batched: relay, Qt socket, loopback, Qt socket.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include "core/comms/busrouter.h"
#include "core/comms/netphndl.h"
#include "platform/qteventloop.h"
#include "platform/qttcp.h"
#include "support/nullservices.h"

namespace {

using namespace quillark;

// A port nobody listens on just now.
int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

void FrameToClient(benchmark::State& state) {
  QtEventLoop events;
  test::MemoryINI ini;
  const int port = FreePort();
  ini.WriteString("NetworkMonitoring", "Enable", "1");
  ini.WriteString("NetworkMonitoring", "PortBase", std::to_string(port));
  test::NullServices null(events, ini);
  BusRouter app(null.services);
  QtTcpFactory tcp;
  NetPortHandler handler(app, 1, ini, tcp);

  QTcpSocket client;
  client.connectToHost("127.0.0.1", static_cast<quint16>(port));
  while (client.state() != QAbstractSocket::ConnectedState || handler.GetServer(0) == nullptr)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  // The server has taken the connection once a relay reaches the client.
  const char frame[] = "<\x85W0001a2\r";
  QByteArray got;
  for (;;) {
    handler.SendMessageA(0, frame, 10);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    got += client.readAll();
    if (!got.isEmpty()) break;
  }
  for (auto _ : state) {
    handler.SendMessageA(0, frame, 10);
    std::size_t have = 0;
    while (have < 11) {
      QCoreApplication::processEvents();
      have += static_cast<std::size_t>(client.readAll().size());
    }
  }
}
BENCHMARK(FrameToClient)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication qapp(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
