#include "core/comms/comport.h"

#include <cstring>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/platform/eventwriter.h"
#include "core/platform/prompter.h"
#include "core/platform/serialline.h"

namespace quillark {
namespace {

constexpr int TEXT_NOTFOUND = 16100;
constexpr int TEXT_INUSE = 16300;
constexpr int TEXT_GETSTATE = 52600;
constexpr int TEXT_SETSTATE = 52700;
constexpr int TEXT_GETTIMEOUTS = 52800;
constexpr int TEXT_SETUPQUEUES = 52900;

// Fills a configuration-failure text: the error number for "%lu" and the port
// for "%d". Done by hand so that a port given as a path fits the text too.
std::string FillIn(const std::string& text, unsigned long code, const std::string& port) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "%lu") == 0) {
      out += std::to_string(code);
      i += 2;
    } else if (text.compare(i, 2, "%d") == 0) {
      out += port;
      i += 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsBusReset(const char* data, int length) {
  return length >= 3 && data[0] == '?' && static_cast<unsigned char>(data[1]) == 0x80 &&
         data[2] == '\r';
}

}  // namespace

COMPort::COMPort(BusHost* AParent, Translator* ATranslator, int ALoop, INI& AnINI, int Baudrate,
                 bool CTSignore)
    : IOPort(AParent, ALoop, AnINI), Translate(ATranslator), ctsignore(CTSignore) {
  OpenPort(ALoop, AnINI, Baudrate);
  Reset();
}

COMPort::~COMPort() {
  // Nothing is shown while closing.
  Translate = nullptr;
  ClosePort();
}

std::string COMPort::Text(int id) const {
  return Translate != nullptr ? Translate->Text(id) : std::string();
}

COMPort::Device COMPort::DeviceOf(const std::string& value) {
  Device d;
  // An HLI loop adds its network id after a comma; the device comes first.
  std::string_view first = Trim(std::string_view(value).substr(0, value.find(',')));
  if (!first.empty() && first.front() == '/') {
    d.path = d.name = d.number = std::string(first);
    return d;
  }
  long n = AtoL(first.substr(0, 63));
  if (n > 99) {
    d.none = true;
    return d;
  }
  d.number = std::to_string(n);
  d.name = "COM" + d.number;
  // COM1 is the first serial device; "none" and other words name nothing.
  if (n >= 1) d.path = "/dev/ttyS" + std::to_string(n - 1);
  return d;
}

int COMPort::GetAnswerLineTime() const {
  // A fast poll ("?", address, check sum, CR) and its answer ("@", address,
  // six data characters, check sum, CR) are 16 characters of 10 bits. At 9600
  // baud that is 17 ms, longer than the poll interval itself, so without it a
  // slow line would report every device failed.
  constexpr int BITS = (5 + 11) * 10;
  return (BITS * 1000 + baud - 1) / baud;
}

void COMPort::OpenPort(int ALoop, INI& ini, int Baudrate) {
  Loop = ALoop;
  idCommDev = -1;
  const std::string key = Format("Loop%uPort", static_cast<unsigned>(ALoop + 1));
  const Device device = DeviceOf(ini.ReadString("Comm", key, "1"));
  if (device.none) return;

  SerialSettings settings;
  settings.baud = Baudrate;
  if (Baudrate > 0) baud = Baudrate;
  settings.cts = !ctsignore && (ini.ReadInt("Comm", "CTSflow", "1") & 1) != 0;
  settings.rxqueue = RxBuff;
  settings.txqueue = TxBuff;

  if (Parent != nullptr) line = Parent->GetServices().MakeSerialLine();
  SerialError error = SerialError::OPENFAILED;
  unsigned long code = 0;
  std::string systemtext = "serial lines are not available";
  if (line != nullptr) {
    error = device.path.empty() ? SerialError::NOTFOUND : line->Open(device.path, settings);
    code = line->ErrorCode();
    systemtext = line->ErrorText();
  }

  switch (error) {
    case SerialError::NONE:
      break;
    case SerialError::NOTFOUND:
    case SerialError::ACCESS:
    case SerialError::OPENFAILED: {
      std::string text = error == SerialError::NOTFOUND ? Text(TEXT_NOTFOUND)
                         : error == SerialError::ACCESS ? Text(TEXT_INUSE)
                                                        : systemtext;
      if (Parent != nullptr) {
        Parent->WriteEvent(WE_SYSLOG,
                           Format("loop %d/%s - %s", ALoop + 1, device.name.c_str(), text.c_str()));
        if (!text.empty()) Parent->GetPrompter().Show(device.name, text, PromptIcon::STOP);
      }
      // A port that is missing is forgotten, so that the settings show it; one
      // that another program holds may be free next time.
      if (error != SerialError::ACCESS && line != nullptr) {
        ini.WriteString("Comm", key, "none");
        ini.WriteString("Comm", "AutoSet", "1");
      }
      return;
    }
    case SerialError::GETSTATE:
    case SerialError::SETSTATE:
    case SerialError::GETTIMEOUTS:
    case SerialError::SETUPQUEUES: {
      const int id = error == SerialError::GETSTATE      ? TEXT_GETSTATE
                     : error == SerialError::SETSTATE    ? TEXT_SETSTATE
                     : error == SerialError::GETTIMEOUTS ? TEXT_GETTIMEOUTS
                                                         : TEXT_SETUPQUEUES;
      const std::string text = FillIn(Text(id), code, device.number);
      if (Parent != nullptr && !text.empty())
        Parent->GetPrompter().Show("", text, PromptIcon::STOP);
      // The device stays open but takes no frames.
      return;
    }
  }

  line->OnBytesWaiting([this] {
    if (Parent != nullptr) Parent->PostCommNotify(Loop, 0x2);
  });
  line->OnTxEmpty([this] {
    if (handedover) Transmitted();
  });
  idCommDev = Loop;
}

void COMPort::ClosePort() {
  writetimer.Cancel();
  if (line != nullptr) {
    line->OnBytesWaiting(nullptr);
    line->OnTxEmpty(nullptr);
    line->Close();
  }
  idCommDev = -1;
}

bool COMPort::Write(const char* data, int datalen) {
  // A port that could not be opened refuses at once: waiting for a queue that
  // nothing empties would stall every caller for half a second.
  if (idCommDev < 0 || line == nullptr || data == nullptr) return false;
  if (datalen <= 0 || datalen > TXBUFFER) return false;
  if (DataLen != 0) {
    // The frame before has not left yet: give it the time it needs, once.
    HandOver();
    if (DataLen != 0) line->WaitForTxEmpty(QUEUEWAIT);
    if (DataLen != 0) return false;
  }
  std::memcpy(Data.data(), data, static_cast<std::size_t>(datalen));
  DataLen = datalen;
  // The frame goes to the line after the current work, so that a flush right
  // after writing a bus reset clears what was received, not the reset.
  if (Parent != nullptr) {
    std::weak_ptr<int> guard = alive;
    Parent->Events().Post([this, guard] {
      if (guard.lock()) HandOver();
    });
  }
  return true;
}

void COMPort::HandOver() {
  if (DataLen == 0 || handedover || line == nullptr) return;
  handedover = true;
  if (!line->Write(Data.data(), DataLen)) {
    // A write that fails ends like one that finished: the queue must not stay
    // blocked.
    Transmitted();
    return;
  }
  if (!handedover || Parent == nullptr) return;
  writetimer =
      Parent->Events().SingleShot(WRITETIMEOUT + static_cast<std::uint32_t>(DataLen), [this] {
        if (line != nullptr) line->Purge(false, true);
        Transmitted();
      });
}

void COMPort::Transmitted() {
  writetimer.Cancel();
  handedover = false;
  const bool reset = IsBusReset(Data.data(), DataLen);
  DataLen = 0;
  // The bus reset is the one frame that does not pace anybody.
  if (!reset && Parent != nullptr) Parent->PostCommNotify(Loop, 0x4);
}

void COMPort::Flush() {
  if (idCommDev >= 0 && line != nullptr) {
    line->Purge(true, true);
    // A frame on the line is gone with the purge; one still queued stays.
    if (handedover) Transmitted();
  }
  IOPort::Flush();
}

int COMPort::Read(char* buffer, int max) {
  if (idCommDev < 0 || line == nullptr) return 0;
  int n = line->Read(buffer, max);
  return n > 0 ? n : 0;
}

int COMPort::NotifyRead() {
  int n = Read(inbuff, INBUFF);
  // More than one read's worth: come back for the rest, as the driver's
  // queue would be looked at again.
  if (n > 0 && line->BytesWaiting() > 0 && Parent != nullptr) Parent->PostCommNotify(Loop, 0x2);
  return n;
}

char COMPort::ProcessSpecialCharacter(char rxchar) {
  return rxchar;
}

}  // namespace quillark
