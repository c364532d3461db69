#include "platform/qttcp.h"

#include <QHostAddress>
#include <QSignalBlocker>
#include <QTcpServer>
#include <QTcpSocket>

namespace quillark {
namespace {

TcpError Classify(QAbstractSocket::SocketError e) {
  switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
      return TcpError::REFUSED;
    case QAbstractSocket::HostNotFoundError:
      return TcpError::HOSTNOTFOUND;
    case QAbstractSocket::RemoteHostClosedError:
      return TcpError::REMOTECLOSED;
    default:
      return TcpError::NETWORK;
  }
}

class QtTcpStream : public TcpStream {
 public:
  explicit QtTcpStream(QTcpSocket* s) : socket(s) {
    // Our callbacks may destroy this object; Qt must not be inside the socket
    // when it goes, so the socket itself is only ever deleted later.
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] { EmitConnected(); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { EmitReadyRead(); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                     [this](qint64 n) { EmitBytesWritten(static_cast<std::size_t>(n)); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] { EmitDisconnected(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [this](QAbstractSocket::SocketError e) { EmitError(Classify(e)); });
  }
  ~QtTcpStream() override {
    if (socket != nullptr) {
      socket->disconnect();
      socket->abort();
      socket->deleteLater();
    }
  }

  void Connect(const std::string& host, std::uint16_t port) override {
    socket->abort();
    socket->connectToHost(QString::fromStdString(host), port);
  }
  long Write(const char* data, std::size_t len) override {
    if (socket->state() != QAbstractSocket::ConnectedState) return -1;
    return static_cast<long>(socket->write(data, static_cast<qint64>(len)));
  }
  std::size_t Read(char* buf, std::size_t max) override {
    qint64 n = socket->read(buf, static_cast<qint64>(max));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  std::size_t BytesAvailable() const override {
    return static_cast<std::size_t>(socket->bytesAvailable());
  }
  std::size_t BytesToWrite() const override {
    return static_cast<std::size_t>(socket->bytesToWrite());
  }
  bool IsConnected() const override { return socket->state() == QAbstractSocket::ConnectedState; }
  std::string PeerAddress() const override {
    QHostAddress a = socket->peerAddress();
    bool ok = false;
    // A dual-stack listener reports IPv4 peers as ::ffff:a.b.c.d.
    quint32 v4 = a.toIPv4Address(&ok);
    if (ok) return QHostAddress(v4).toString().toStdString();
    return a.toString().toStdString();
  }
  void Close() override {
    // Closing is our own doing: no callback reports it back.
    QSignalBlocker quiet(socket);
    socket->abort();
  }

 private:
  QTcpSocket* socket;
};

class QtTcpListener : public TcpListener {
 public:
  QtTcpListener() {
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
      while (QTcpSocket* s = server.nextPendingConnection()) {
        s->setParent(nullptr);
        EmitAccepted(std::make_unique<QtTcpStream>(s));
      }
    });
  }
  bool Listen(std::uint16_t port) override { return server.listen(QHostAddress::Any, port); }
  void Close() override { server.close(); }
  int ErrorCode() const override { return static_cast<int>(server.serverError()); }
  std::string ErrorText() const override { return server.errorString().toStdString(); }

 private:
  QTcpServer server;
};

}  // namespace

std::unique_ptr<TcpStream> QtTcpFactory::NewStream() {
  return std::make_unique<QtTcpStream>(new QTcpSocket());
}

std::unique_ptr<TcpListener> QtTcpFactory::NewListener() {
  return std::make_unique<QtTcpListener>();
}

}  // namespace quillark
