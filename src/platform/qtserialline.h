#pragma once

#include <QSerialPort>
#include <memory>

#include "core/platform/serialline.h"

namespace quillark {

// A serial line on QSerialPort. Its readyRead and bytesWritten signals arrive
// on the main thread and become the line's two notifications.
class QtSerialLine : public SerialLine {
 public:
  QtSerialLine();
  ~QtSerialLine() override;

  SerialError Open(const std::string& device, const SerialSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return port.isOpen(); }
  unsigned long ErrorCode() const override { return code; }
  std::string ErrorText() const override { return text; }

  int Read(char* buffer, int max) override;
  int BytesWaiting() const override;
  bool Write(const char* data, int length) override;
  bool WaitForTxEmpty(int ms) override;
  void Purge(bool receive, bool transmit) override;

  static SerialLineFactory Factory() {
    return [] { return std::make_unique<QtSerialLine>(); };
  }

 private:
  SerialError Fail(SerialError kind);

  QSerialPort port;
  qint64 unreported = 0;  // written but not yet reported as gone
  unsigned long code = 0;
  std::string text;
};

}  // namespace quillark
