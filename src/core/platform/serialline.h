#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quillark {

// Why a serial line could not be opened or set up. The serial port chooses
// its message by this: a missing device and one that is busy or refused get
// their own texts, each configuration step has its own.
enum class SerialError {
  NONE,
  NOTFOUND,     // no such device
  ACCESS,       // in use by another program, or no permission
  OPENFAILED,   // any other failure to open
  GETSTATE,     // the current line settings could not be read
  SETSTATE,     // speed, framing or flow control refused
  GETTIMEOUTS,  // the read and write time-outs could not be read
  SETUPQUEUES,  // the driver queues could not be sized
};

// How a line is set up: always 8 data bits, no parity, one stop bit, no
// XON/XOFF, DTR and RTS on where the line has them.
struct SerialSettings {
  int baud = 9600;
  bool cts = false;  // output paced by CTS
  int rxqueue = 5000;
  int txqueue = 128;
};

// One serial device, used on the program's main thread only. Reads never
// block; notifications arrive as callbacks on the main thread.
class SerialLine {
 public:
  virtual ~SerialLine() = default;

  // Opens `device` (a path such as /dev/ttyS0) for exclusive use and sets it
  // up. On failure the line stays as far as it got (open but unconfigured
  // after a configuration failure) and ErrorCode/ErrorText tell why.
  virtual SerialError Open(const std::string& device, const SerialSettings& settings) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The platform's error number and its own description of the last failure.
  virtual unsigned long ErrorCode() const = 0;
  virtual std::string ErrorText() const = 0;

  // Up to `max` waiting bytes; 0 when none or on error.
  virtual int Read(char* buffer, int max) = 0;
  // Bytes still waiting after the last read.
  virtual int BytesWaiting() const = 0;
  // Queues bytes for sending; false when the line refused them.
  virtual bool Write(const char* data, int length) = 0;
  // Blocks for at most `ms` until everything queued has gone to the driver;
  // the transmitter-empty callback runs inside when it has. True when empty.
  virtual bool WaitForTxEmpty(int ms) = 0;
  // Throws away what is waiting to be read, what is queued for sending, or both.
  virtual void Purge(bool receive, bool transmit) = 0;

  // Called whenever bytes arrive, and whenever everything written has left.
  void OnBytesWaiting(std::function<void()> fn) { byteswaiting = std::move(fn); }
  void OnTxEmpty(std::function<void()> fn) { txempty = std::move(fn); }

 protected:
  void BytesArrived() {
    if (byteswaiting) byteswaiting();
  }
  void TransmitterEmpty() {
    if (txempty) txempty();
  }

 private:
  std::function<void()> byteswaiting;
  std::function<void()> txempty;
};

using SerialLineFactory = std::function<std::unique_ptr<SerialLine>()>;

}  // namespace quillark
