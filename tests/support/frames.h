#pragma once

#include <cstdio>
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

// A fast-poll answer from bus `address` with its check sum (10 characters).
inline std::string FastPollAnswer(int address, unsigned status, unsigned faults, unsigned level) {
  char body[9];
  std::snprintf(body + 2, 7, "%02x%02x%02x", status & 0xFF, faults & 0xFF, level & 0xFF);
  body[0] = '@';
  body[1] = static_cast<char>(address | 0x80);
  return WithSum(std::string(body, 8));
}

}  // namespace quillark::test
