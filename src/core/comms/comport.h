#pragma once

#include <array>
#include <memory>
#include <string>

#include "core/comms/ioport.h"
#include "core/platform/eventloop.h"

namespace quillark {

class SerialLine;
class Translator;

// A loop on a serial line to a command-module bus interface. One frame at a
// time is queued for sending; the line's own notifications take the place of
// polling the driver, and both kinds become port events on the main thread.
class COMPort : public IOPort {
 public:
  COMPort(BusHost* AParent, Translator* ATranslator, int ALoop, INI& AnINI, int Baudrate,
          bool CTSignore = false);
  ~COMPort() override;

  void OpenPort(int ALoop, INI& ini, int Baudrate);
  void ClosePort();

  void Flush() override;
  bool Write(const char* data, int datalen) override;
  bool IsTxEmpty() override { return DataLen == 0; }
  bool IsWritable() override { return true; }
  int GetAnswerLineTime() const override;
  int NotifyRead() override;
  char ProcessSpecialCharacter(char rxchar) override;

  // One non-blocking read of up to `max` bytes; 0 when none or on error.
  int Read(char* buffer, int max);
  // Open, set up and taking frames.
  bool GetOnlineState() const { return idCommDev >= 0; }

  // What a "Loop%uPort" value names: the device path ("" when the value names
  // no device) and the name that messages use ("COM3" or the path itself).
  // A number above 99 means no port at all (`none` is set).
  struct Device {
    std::string path, name, number;
    bool none = false;
  };
  static Device DeviceOf(const std::string& value);

  static constexpr int TXBUFFER = 8192;
  // A frame that has not left after this (plus a millisecond a byte) is
  // abandoned, as a stalled write times out.
  static constexpr std::uint32_t WRITETIMEOUT = 10000;
  // The longest a write waits for the frame before it to leave.
  static constexpr int QUEUEWAIT = 500;

 protected:
  Translator* Translate;
  int idCommDev = -1;
  bool ctsignore;
  int baud = 9600;

 private:
  std::string Text(int id) const;
  // Hands the queued frame to the line, as the writer did after its sleep.
  void HandOver();
  // The queued frame has left (or was abandoned): the queue is free again.
  void Transmitted();

  std::unique_ptr<SerialLine> line;
  std::array<char, TXBUFFER> Data{};
  int DataLen = 0;
  bool handedover = false;
  TimerHandle writetimer;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
