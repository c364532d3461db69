#include "core/comms/message.h"

namespace quillark::Message {

int CalculateXORsum(const char* msg, int length) {
  if (msg == nullptr) return 0;
  int sum = 0;
  for (int i = 0; i < length; ++i) sum ^= static_cast<unsigned char>(msg[i]);
  return sum;
}

void CalculateAndSetXORsum(char* msg, int length) {
  if (msg == nullptr || length < 0) return;
  static const char hex[] = "0123456789abcdef";
  int sum = CalculateXORsum(msg, length) & 0xFF;
  msg[length] = hex[sum >> 4];
  msg[length + 1] = hex[sum & 0x0F];
  msg[length + 2] = '\r';
  msg[length + 3] = '\0';
}

int GetData(int length, const char*& ptr) {
  // Unsigned arithmetic: a long run of bad characters wraps instead of
  // overflowing; for the two and four digits that receivers read the result
  // is the same as plain int arithmetic on signed characters.
  std::uint32_t value = 0;
  for (int i = 0; i < length; ++i) {
    int c = static_cast<signed char>(*ptr++);
    int digit = c <= '9' ? c - '0' : c - 0x57;
    value = value * 16u + static_cast<std::uint32_t>(digit);
  }
  return static_cast<int>(value);
}

bool IsMessageValidHex(const char* msg, int length) {
  if (msg == nullptr || length <= 3) return false;
  for (int i = 3; i < length; ++i) {
    char c = msg[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::uint32_t GetMessageFlags(const char* msgbuff, int characters) {
  if (msgbuff == nullptr || characters <= 2) return 0;
  const char start = msgbuff[0];
  if (start == '?' || start == '&') return 0;

  std::uint32_t flags;
  if (start == '@' || start == '*') {
    flags = MSG_SHORT;
    if (!IsMessageValidHex(msgbuff, characters)) flags |= MSG_INVALID;
  } else {
    flags = MSG_LONG;
    // Answers to the identity query carry plain text.
    if (msgbuff[2] != 'Q' && !IsMessageValidHex(msgbuff, characters)) flags |= MSG_INVALID;
  }
  const char* sumptr = msgbuff + characters - 2;
  int expected = GetData(2, sumptr);
  if ((CalculateXORsum(msgbuff, characters - 2) & 0xFF) != expected) flags |= MSG_INVALID;
  return flags;
}

const char* GetKindLabel(const char* msg) {
  if (msg == nullptr) return "Unknown   \t";
  switch (msg[0]) {
    case '#':
      return "CM->PSU   \t";
    case '&':
      return "CM sh->PSU\t";
    case '*':
      return "PSU sh->CM\t";
    case '+':
      return "PSU->CM   \t";
    case '/':
      return "CM->PC    \t";
    case ':':
      return "PC->CM    \t";
    case '<':
      return "DET->CM   \t";
    case '>':
      return "CM->DET   \t";
    case '?':
      return (msg[1] & 0x7F) == 0 ? "Bus reset \t" : "CM sh->DET\t";
    case '@':
      return "DET sh->CM\t";
    default:
      return "Unknown   \t";
  }
}

}  // namespace quillark::Message
