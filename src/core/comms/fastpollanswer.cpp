#include "core/comms/fastpollanswer.h"

#include <cstring>

#include "core/comms/message.h"

namespace quillark {

namespace {

// '@', address, status, faults and level as two digits each, check sum.
constexpr std::size_t LENGTH = 2 + 3 * 2 + 2;

}  // namespace

std::optional<FastPollAnswer> FastPollAnswer::Decode(const char* msg) {
  if (msg == nullptr || msg[0] != '@') return std::nullopt;
  std::size_t n = std::strlen(msg);
  // A frame cut from a port may still carry its CR, a made-up one does not.
  if (n > 0 && msg[n - 1] == '\r') --n;
  if (n < LENGTH) return std::nullopt;
  FastPollAnswer a;
  a.address = static_cast<unsigned char>(msg[1]) & 0x7Fu;
  const char* ptr = msg + 2;
  a.status = static_cast<unsigned>(Message::GetData(2, ptr)) & 0xFFu;
  a.fault = static_cast<unsigned>(Message::GetData(2, ptr)) & 0xFFu;
  a.level = static_cast<unsigned>(Message::GetData(2, ptr)) & 0xFFu;
  return a;
}

}  // namespace quillark
