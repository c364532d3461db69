#include "platform/qtserialline.h"

#include <QDeadlineTimer>
#include <QThread>

namespace quillark {

QtSerialLine::QtSerialLine() {
  QObject::connect(&port, &QSerialPort::readyRead, &port, [this] { BytesArrived(); });
  // Qt hands bytes to the driver before it reports them written, so the
  // line is empty only once every byte given to it has been reported.
  QObject::connect(&port, &QSerialPort::bytesWritten, &port, [this](qint64 n) {
    unreported -= n;
    if (unreported <= 0) {
      unreported = 0;
      TransmitterEmpty();
    }
  });
}

QtSerialLine::~QtSerialLine() {
  // No notification may reach a port that is going away.
  port.disconnect();
  Close();
}

SerialError QtSerialLine::Fail(SerialError kind) {
  code = static_cast<unsigned long>(port.error());
  text = port.errorString().toStdString();
  return kind;
}

SerialError QtSerialLine::Open(const std::string& device, const SerialSettings& settings) {
  code = 0;
  text.clear();
  // A path is used as it is (Qt takes a leading '/' as a full device path).
  port.setPortName(QString::fromStdString(device));
  if (!port.open(QIODevice::ReadWrite)) {
    switch (port.error()) {
      case QSerialPort::DeviceNotFoundError:
        return Fail(SerialError::NOTFOUND);
      case QSerialPort::PermissionError:
      case QSerialPort::OpenError:
        return Fail(SerialError::ACCESS);
      default:
        return Fail(SerialError::OPENFAILED);
    }
  }
  if (!port.setBaudRate(settings.baud) || !port.setDataBits(QSerialPort::Data8) ||
      !port.setParity(QSerialPort::NoParity) || !port.setStopBits(QSerialPort::OneStop) ||
      !port.setFlowControl(settings.cts ? QSerialPort::HardwareControl
                                        : QSerialPort::NoFlowControl))
    return Fail(SerialError::SETSTATE);
  // DTR and RTS on where the line has them: pseudo-terminals and some USB
  // adapters have no modem lines, which is no reason to refuse the line. With
  // CTS flow control the driver keeps RTS itself.
  port.setDataTerminalReady(true);
  if (!settings.cts) port.setRequestToSend(true);
  port.clearError();
  port.setReadBufferSize(settings.rxqueue > 0 ? settings.rxqueue : 0);
  return SerialError::NONE;
}

void QtSerialLine::Close() {
  unreported = 0;
  if (port.isOpen()) port.close();
}

int QtSerialLine::Read(char* buffer, int max) {
  if (!port.isOpen() || max <= 0) return 0;
  const qint64 n = port.read(buffer, max);
  return n > 0 ? static_cast<int>(n) : 0;
}

int QtSerialLine::BytesWaiting() const {
  return port.isOpen() ? static_cast<int>(port.bytesAvailable()) : 0;
}

bool QtSerialLine::Write(const char* data, int length) {
  if (!port.isOpen()) return false;
  const qint64 n = port.write(data, length);
  if (n > 0) unreported += n;
  return n == length;
}

bool QtSerialLine::WaitForTxEmpty(int ms) {
  // Blocks like a synchronous write would. Each flush hands what Qt holds to
  // the driver and reports what the previous one handed over.
  QDeadlineTimer deadline(ms);
  while (port.isOpen() && unreported > 0) {
    port.flush();
    if (unreported == 0 || deadline.hasExpired()) break;
    QThread::msleep(1);
  }
  return unreported == 0;
}

void QtSerialLine::Purge(bool receive, bool transmit) {
  if (!port.isOpen()) return;
  if (receive && transmit)
    port.clear(QSerialPort::AllDirections);
  else if (receive)
    port.clear(QSerialPort::Input);
  else if (transmit)
    port.clear(QSerialPort::Output);
  if (transmit) unreported = 0;
}

}  // namespace quillark
