#pragma once

#include <cstdint>
#include <memory>

#include "core/comms/message.h"

namespace quillark {

class EventLoop;
class INI;
class BusHost;

// Base of the port of one loop: the receive ring, cutting the byte stream
// into frames at CR, delivery of each frame, and the communications-failure
// watch. Transports supply Write and NotifyRead.
class IOPort {
 public:
  // Reads "Comm"/"RxBuff", "TxBuff" and "CommsFailTimeout", then Reset().
  IOPort(BusHost* AParent, int ALoop, INI& ini);
  virtual ~IOPort() = 0;
  IOPort(const IOPort&) = delete;
  IOPort& operator=(const IOPort&) = delete;

  virtual void Flush();
  virtual void Reset();
  virtual bool Write(const char* msg, int length);
  virtual bool IsTxEmpty() = 0;
  virtual bool IsWritable();
  virtual int GetDeviceTimeout();
  virtual void SetEvent(int device, int event);
  // A port event for loop `commId` (status 0x2 bytes received, 0x4 transmitter
  // empty). Every port hears every event and answers whether it has been
  // silent for longer than the failure time-out.
  virtual bool Notify(int commId, int status);
  virtual char ProcessSpecialCharacter(char rxchar);
  // Transports read waiting bytes into inbuff and return their count.
  virtual int NotifyRead();
  // Cuts one frame out of the ring into `msg` (FRAMEBUFFER bytes); returns
  // its length without the CR, 0 when the ring held no complete frame.
  virtual int CopyBusMessage(char* msg);
  virtual void DespatchMessage(const char* buff, int characters);
  // True when the loop is another computer's loop seen over the network: that
  // computer is its bus master, this one only listens (and may send).
  virtual bool IsNetworkLoop() const { return false; }
  // Milliseconds the line itself takes to carry a fast poll and its answer,
  // which the bus master adds to its answer wait; 0 where answers come at
  // once.
  virtual int GetAnswerLineTime() const { return 0; }

  // Puts the first `characters` bytes of inbuff into the ring, delivering a
  // frame at every CR.
  void SaveRxChars(int characters);

  int GetLoop() const { return Loop; }
  int GetRxBuff() const { return RxBuff; }
  int GetTxBuff() const { return TxBuff; }
  std::uint32_t GetCommFailTimeout() const { return commfailtimeout; }

  static constexpr int INBUFF = 4105;

 protected:
  std::uint32_t Now() const;

  char inbuff[INBUFF] = {};
  BusHost* Parent;
  int Loop;
  int istart = 0;
  int iend = 0;
  std::uint32_t currenttime = 0;
  std::uint32_t commfailtimeout = 50000;
  std::unique_ptr<char[]> RxBuffer;
  int RxBuff = 5000;
  int TxBuff = 128;
  EventLoop* clock = nullptr;
};

// The values of "Comm"/"Loop%uPortType", in the order the communication
// settings offer them.
enum PortType { PORT_COM = 0, PORT_NETMONITOR = 1, PORT_NETCONTROL = 2, PORT_HLI = 3 };

// A loop that cannot be served: its negative loop index keeps the
// communication handler from enabling it, so it is never written, read or
// counted as failed.
class DisabledPort : public IOPort {
 public:
  DisabledPort(BusHost* AParent, INI& ini) : IOPort(AParent, -1, ini) {}
  bool IsTxEmpty() override { return true; }
};

// Creates the port of each loop: the demonstration edition simulates every
// loop; the live edition opens the transport that "Loop%uPortType" names.
class IOPortFactory {
 public:
  IOPortFactory(BusHost* AParent, INI& ini) : Parent(AParent), ini(ini) {}
  std::unique_ptr<IOPort> New(int Loop);

 private:
  BusHost* Parent;
  INI& ini;
};

}  // namespace quillark
