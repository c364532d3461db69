#include "core/comms/fastpollanswer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/frames.h"

namespace quillark::test {
namespace {

using Answer = quillark::FastPollAnswer;

// The alarm display, the status decoder and the device display all read
// answers through this one decoder: the length rule and the meaning of the
// bytes are fixed here once.
TEST(FastPollAnswerTest, DecodesTheThreeBytesAndKeepsTheFaultByteOnlyWithTheFaultBit) {
  const std::string isolated = FastPollAnswer(5, ST_FAULT, FT_ISOLATED, 0xE7);
  auto a = Answer::Decode(isolated.c_str());
  ASSERT_TRUE(a);
  EXPECT_EQ(a->address, 5u);
  EXPECT_EQ(a->status, ST_FAULT);
  EXPECT_TRUE(a->IsIsolated());
  EXPECT_EQ(a->level, 0xE7u);
  EXPECT_EQ(a->Level(), 0x07u);

  const std::string quiet = FastPollAnswer(5, ST_FIRE1, FT_ISOLATED, 3) + "\r";
  a = Answer::Decode(quiet.c_str());
  ASSERT_TRUE(a);
  EXPECT_EQ(a->fault, FT_ISOLATED);
  EXPECT_EQ(a->Faults(), 0u);
  EXPECT_FALSE(a->IsIsolated());
}

TEST(FastPollAnswerTest, RefusesOtherFramesAndFramesCutBeforeTheirCheckSum) {
  const std::string whole = FastPollAnswer(5, ST_FIRE2, 0, 9);
  EXPECT_FALSE(Answer::Decode(nullptr));
  EXPECT_FALSE(Answer::Decode(whole.substr(0, whole.size() - 1).c_str()));
  EXPECT_FALSE(Answer::Decode((whole.substr(0, 8) + "\r").c_str()));
  EXPECT_FALSE(Answer::Decode(("*" + whole.substr(1)).c_str()));
  EXPECT_TRUE(Answer::Decode(whole.c_str()));
}

}  // namespace
}  // namespace quillark::test
