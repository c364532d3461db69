#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillark {

class NetPortServer;
class TcpStream;

// Cuts the byte stream of a remote client into items, each ended by a CR, in
// a ring of 4095 usable positions. A line longer than the ring is dropped.
class NetItemRing {
 public:
  static constexpr int INBUFF = 4096;
  static constexpr int POSITIONS = INBUFF - 1;

  using ItemHandler = std::function<void(const char* data, int length)>;
  // Stores `length` bytes; hands every complete item (its CR included) to `item`.
  void AddToBuffer(const char* data, int length, const ItemHandler& item);

  int Start() const { return istart; }
  int End() const { return iend; }

 private:
  void DespatchRxMessage(const ItemHandler& item);

  int istart = 0;
  int iend = 0;
  char inbuff[INBUFF] = {};
};

// One connected remote computer of a loop.
class NetPort {
 public:
  // A client that lets this much of our traffic pile up unsent is not
  // reading; it is dropped like one whose send failed.
  static constexpr std::size_t MAXBACKLOG = 1 << 20;

  NetPort(NetPortServer& AParent, std::unique_ptr<TcpStream> socket, bool controlenabled);
  ~NetPort();
  NetPort(const NetPort&) = delete;
  NetPort& operator=(const NetPort&) = delete;

  void SendMessageA(const char* data, int length);
  // One complete item from the remote side, for the loop.
  void DespatchRxMessage(const char* data, int length);
  void MarkAsZombie() { zombie = true; }
  bool IsZombie() const { return zombie; }
  bool IsControlEnabled() const { return controlenabled; }
  const NetItemRing& Ring() const { return ring; }

 private:
  void OnReadable();

  NetPortServer& parent;
  std::unique_ptr<TcpStream> sendsocket;
  bool zombie = false;
  bool controlenabled;
  NetItemRing ring;
  std::string peer;  // kept: a closed socket no longer knows it
};

}  // namespace quillark
