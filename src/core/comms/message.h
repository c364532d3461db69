#pragma once

#include <cstdint>

namespace quillark {

// Delivery-class bits: what GetMessageFlags finds in a frame, and what a
// receiver registers for.
enum : std::uint32_t {
  MSG_SHORT = 0x0001,    // short answers ('@', '*')
  MSG_LONG = 0x0002,     // every other frame except short polls
  MSG_INVALID = 0x0004,  // failed the hex or check-sum test (registration: deliver those too)
  MSG_TXEMPTY = 0x0008,  // registration only: receive TxEmpty calls
  MSG_FIRST = 0x8000,    // registration only: go to the head of the registry
};

// Buffer sizes of one frame: at most 4104 characters before the CR, plus the
// CR, the NUL and room for the check sum of a frame to send.
inline constexpr int MAXFRAME = 4104;
inline constexpr int FRAMEBUFFER = 4108;

// Bus frames: start character (the kind), address byte (address | 0x80),
// command letter, lowercase hex payload, two hex digits of XOR check sum, CR.
namespace Message {

// XOR of the first `length` bytes; 0 for a null frame.
int CalculateXORsum(const char* msg, int length);

// Writes the check sum of the first `length` bytes at `length` as two
// lowercase hex digits, then CR and NUL. The buffer needs 4 spare bytes.
void CalculateAndSetXORsum(char* msg, int length);

// Reads `length` hex characters at `ptr`, advancing it, most significant
// first. Deliberately no validation: anything above '9' counts as a lowercase
// letter, so uppercase digits read wrong and frames must be checked first.
int GetData(int length, const char*& ptr);

// True when every character from position 3 to length - 1 is 0-9 or a-f.
bool IsMessageValidHex(const char* msg, int length);

// The delivery-class bits of a received frame of `characters` characters
// (check sum included, CR excluded).
std::uint32_t GetMessageFlags(const char* msgbuff, int characters);

// The bus viewer's fixed-width label of a frame's kind, ending in a tab.
const char* GetKindLabel(const char* msg);

}  // namespace Message
}  // namespace quillark
