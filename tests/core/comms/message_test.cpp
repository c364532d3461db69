#include "core/comms/message.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quillark {
namespace {

using test::WithSum;

std::uint32_t Flags(const std::string& frame) {
  return Message::GetMessageFlags(frame.data(), static_cast<int>(frame.size()));
}

TEST(Message, CheckSumOfAbcIs60WrittenLowercaseWithCrAndNul) {
  char buf[8] = "abc";
  EXPECT_EQ(Message::CalculateXORsum(buf, 3), 0x60);
  Message::CalculateAndSetXORsum(buf, 3);
  EXPECT_EQ(std::string(buf, 7), std::string("abc60\r\0", 7));
  EXPECT_EQ(Message::CalculateXORsum(nullptr, 3), 0);

  char high[8] = {'\xfa', '\x01', 0};
  Message::CalculateAndSetXORsum(high, 2);
  EXPECT_EQ(std::string(high + 2, 2), "fb");
}

TEST(Message, GetDataReadsLowercaseHexAndMisreadsUppercase) {
  const char* p = "1a2bFF";
  EXPECT_EQ(Message::GetData(2, p), 0x1a);
  EXPECT_EQ(Message::GetData(2, p), 0x2b);
  // 'F' - 0x57 is -17: uppercase digits give nonsense, by design.
  EXPECT_EQ(Message::GetData(2, p), -17 * 16 - 17);
  const char* q = "00ff";
  EXPECT_EQ(Message::GetData(4, q), 0xff);
}

TEST(Message, HexTestStartsAtPositionThree) {
  EXPECT_FALSE(
      Message::IsMessageValidHex("@\x85"
                                 "0",
                                 3));
  EXPECT_FALSE(Message::IsMessageValidHex(nullptr, 10));
  EXPECT_TRUE(Message::IsMessageValidHex("<\x85G0a9f", 7));
  EXPECT_FALSE(Message::IsMessageValidHex("<\x85G0A9f", 7));
  EXPECT_FALSE(Message::IsMessageValidHex("<\x85G0a9g", 7));
}

TEST(Message, ClassifiesShortAnswersLongFramesAndPolls) {
  std::string answer = WithSum(
      "@\x85"
      "010000");
  EXPECT_EQ(answer.size(), 10u);
  EXPECT_EQ(Flags(answer), MSG_SHORT);

  std::string changed = answer;
  changed[5] = '1';  // payload changed, sum no longer fits
  EXPECT_EQ(Flags(changed), MSG_SHORT | MSG_INVALID);

  std::string upper = WithSum(
      "@\x85"
      "0A0000");
  EXPECT_EQ(Flags(upper), MSG_SHORT | MSG_INVALID);

  EXPECT_EQ(Flags(WithSum("*\x81"
                          "00")),
            MSG_SHORT);
  EXPECT_EQ(Flags(WithSum("<\x85"
                          "G0a")),
            MSG_LONG);
  EXPECT_EQ(Flags(WithSum("/\x81"
                          "Ax")),
            MSG_LONG | MSG_INVALID);
  EXPECT_EQ(Flags(WithSum("/\x81"
                          "x")),
            MSG_LONG);  // the letter is not payload

  // Identity answers carry plain text and only need their check sum.
  std::string identity = WithSum("<\x85Q01Pelorin-Vantor 2");
  EXPECT_EQ(Flags(identity), MSG_LONG);
  identity[identity.size() - 1] ^= 1;
  EXPECT_EQ(Flags(identity), MSG_LONG | MSG_INVALID);

  EXPECT_EQ(Flags("?\x85"), 0u);
  EXPECT_EQ(Flags(WithSum("?\x85"
                          "0000")),
            0u);
  EXPECT_EQ(Flags(WithSum("&\x81"
                          "0000")),
            0u);
  EXPECT_EQ(Flags("@\x85"), 0u);
  EXPECT_EQ(Message::GetMessageFlags(nullptr, 10), 0u);
}

TEST(Message, KindLabelsAreFixedWidthWithTab) {
  EXPECT_STREQ(Message::GetKindLabel("?\x85"), "CM sh->DET\t");
  EXPECT_STREQ(Message::GetKindLabel("?\x80"), "Bus reset \t");
  EXPECT_STREQ(Message::GetKindLabel("@\x85"), "DET sh->CM\t");
  EXPECT_STREQ(Message::GetKindLabel(":\x81"), "PC->CM    \t");
  EXPECT_STREQ(Message::GetKindLabel("!\x81"), "Unknown   \t");
  for (const char* k : {"#", "&", "*", "+", "/", ":", "<", ">", "?", "@", "x"})
    EXPECT_EQ(std::strlen(Message::GetKindLabel(k)), 11u) << k;
}

}  // namespace
}  // namespace quillark
