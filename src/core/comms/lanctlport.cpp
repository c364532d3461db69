#include "core/comms/lanctlport.h"

#include "core/comms/bushost.h"
#include "core/platform/tcp.h"

namespace quillark {

bool LANControlPort::Write(const char* msg, int length) {
  bool sent = false;
  if (s != nullptr && msg != nullptr && length > 0 && s->IsConnected()) {
    sent = s->Write(msg, static_cast<std::size_t>(length)) == length;
    if (sent) {
      ++packetsout;
      bytesout += static_cast<unsigned long>(length);
    }
  }
  // Senders pace themselves on the transmission-done event, sent or not.
  if (Parent != nullptr) Parent->PostCommNotify(Loop, 0x4);
  return sent;
}

}  // namespace quillark
