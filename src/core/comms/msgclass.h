#pragma once

#include <cstdint>

#include "core/comms/message.h"

namespace quillark {

class BusHost;

// Base of every object that listens to the bus. A receiver registers itself
// with the delivery-class bits it wants (MSG_SHORT, MSG_LONG, ...) and must
// deregister before it is destroyed.
class MsgClass {
 public:
  explicit MsgClass(BusHost* main) : main(main) {}
  MsgClass(const MsgClass&) = delete;
  MsgClass& operator=(const MsgClass&) = delete;
  virtual ~MsgClass();

  // One received frame: `msg` holds the frame with its check sum; a CR may or
  // may not follow it, so receivers never depend on one.
  virtual void MsgRx(int loop, const char* msg) = 0;
  // Every enabled port's transmitter is empty (receivers registered with MSG_TXEMPTY).
  virtual void TxEmpty() {}

  void Register(MsgClass* Derived, std::uint32_t Flags);
  void DeRegister();
  bool IsRegistered() const { return derived != nullptr; }
  BusHost* GetMain() const { return main; }
  static int GetData(int length, const char*& ptr);
  // Sends a frame built up to its last payload character; `msg` needs 4 spare
  // bytes for the check sum. Returns nothing callers can rely on.
  int SendBusMessage(int loop, char* msg, int msglength);

 protected:
  BusHost* main;
  MsgClass* derived = nullptr;
};

// One registry entry: a receiver and the classes it accepts.
struct MsgClassInfo {
  MsgClass* msgclass;
  std::uint32_t flags;

  bool AcceptMsg(std::uint32_t Flags) const {
    if ((Flags & MSG_INVALID) != 0 && (flags & MSG_INVALID) == 0) return false;
    return (Flags & flags) != 0;
  }
  void MsgRx(int loop, const char* msg) const {
    if (msgclass != nullptr) msgclass->MsgRx(loop, msg);
  }
  void TxEmpty() const {
    if (msgclass != nullptr) msgclass->TxEmpty();
  }
};

}  // namespace quillark
