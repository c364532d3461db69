#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillark {

// Why a connection failed or ended.
enum class TcpError {
  REFUSED,       // nobody listens at that port
  HOSTNOTFOUND,  // the name did not resolve
  REMOTECLOSED,  // the peer closed the connection
  NETWORK,       // anything else: reset, time-out, unreachable
};

// One TCP connection, driven by callbacks on the program's one thread. A
// stream made by a factory is unconnected until Connect; a stream handed out
// by a listener is connected already.
class TcpStream {
 public:
  virtual ~TcpStream() = default;

  // Starts connecting; `connected` or `error` follows later.
  virtual void Connect(const std::string& host, std::uint16_t port) = 0;
  // Queues `len` bytes for sending; returns how many were taken, -1 when the
  // stream is not connected.
  virtual long Write(const char* data, std::size_t len) = 0;
  // Takes up to `max` waiting bytes.
  virtual std::size_t Read(char* buf, std::size_t max) = 0;
  virtual std::size_t BytesAvailable() const = 0;
  // Bytes written but not yet handed to the network.
  virtual std::size_t BytesToWrite() const = 0;
  virtual bool IsConnected() const = 0;
  // The peer's address as text ("127.0.0.1", "::1"); empty when unconnected.
  virtual std::string PeerAddress() const = 0;
  // Closes at once; no callback follows.
  virtual void Close() = 0;

  void OnConnected(std::function<void()> fn) { connected = std::move(fn); }
  void OnReadyRead(std::function<void()> fn) { readyread = std::move(fn); }
  void OnBytesWritten(std::function<void(std::size_t)> fn) { byteswritten = std::move(fn); }
  void OnDisconnected(std::function<void()> fn) { disconnected = std::move(fn); }
  void OnError(std::function<void(TcpError)> fn) { error = std::move(fn); }

 protected:
  // Implementations call these; a callback may destroy the stream, so they
  // must touch nothing of it afterwards.
  void EmitConnected() {
    if (connected) connected();
  }
  void EmitReadyRead() {
    if (readyread) readyread();
  }
  void EmitBytesWritten(std::size_t n) {
    if (byteswritten) byteswritten(n);
  }
  void EmitDisconnected() {
    if (disconnected) disconnected();
  }
  void EmitError(TcpError e) {
    if (error) error(e);
  }

 private:
  std::function<void()> connected, readyread, disconnected;
  std::function<void(std::size_t)> byteswritten;
  std::function<void(TcpError)> error;
};

// Listens on one port on every local address and hands out each accepted
// connection.
class TcpListener {
 public:
  virtual ~TcpListener() = default;

  // False when the port cannot be taken; ErrorCode and ErrorText say why.
  virtual bool Listen(std::uint16_t port) = 0;
  virtual void Close() = 0;
  virtual int ErrorCode() const = 0;
  virtual std::string ErrorText() const = 0;

  void OnAccepted(std::function<void(std::unique_ptr<TcpStream>)> fn) { accepted = std::move(fn); }

 protected:
  void EmitAccepted(std::unique_ptr<TcpStream> stream) {
    if (accepted) accepted(std::move(stream));
  }

 private:
  std::function<void(std::unique_ptr<TcpStream>)> accepted;
};

// Makes streams and listeners: Qt sockets in the program, a loopback double
// in tests.
class TcpFactory {
 public:
  virtual ~TcpFactory() = default;
  virtual std::unique_ptr<TcpStream> NewStream() = 0;
  virtual std::unique_ptr<TcpListener> NewListener() = 0;
};

}  // namespace quillark
