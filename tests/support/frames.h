#pragma once

#include <cstring>
#include <string>

#include "core/comms/message.h"

namespace quillark::test {

// `body` with its correct check sum appended (no CR), as receivers get frames.
inline std::string WithSum(const std::string& body) {
  char buf[FRAMEBUFFER];
  std::memcpy(buf, body.data(), body.size());
  Message::CalculateAndSetXORsum(buf, static_cast<int>(body.size()));
  return std::string(buf, body.size() + 2);
}

}  // namespace quillark::test
