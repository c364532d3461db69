#include "core/site/functionset.h"

#include <gtest/gtest.h>

#include <string>

#include "core/site/fnfile.h"

namespace quillark {
namespace {

// A "G" answer of `kind` from bus address `address` with every value `v`,
// the length field given.
std::string Answer(char kind, int address, int v, const char* length = "16a") {
  std::string frame(1, kind);
  frame += static_cast<char>(address | 0x80);
  frame += "G";
  frame += length;
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02x", v);
  for (int i = 0; i < FunctionSet::READCOUNT; ++i) frame += hex;
  return frame + "00";
}

// The function numbers a "P" frame writes.
std::vector<int> Written(const std::string& frame) {
  std::vector<int> out;
  for (std::size_t i = 6; i + 4 <= frame.size(); i += 4)
    out.push_back(std::stoi(frame.substr(i, 2), nullptr, 16));
  return out;
}

TEST(FunctionSet, IndicesOutsideTheTableReadAsNotSetAndAreNeverStored) {
  FunctionSet set;
  EXPECT_EQ(set.GetFunction(201), FN_NOTSET);
  EXPECT_EQ(set.GetFunction(-1), FN_NOTSET);
  set.SetFunction(201, 7);
  set.SetFunction(200, 7);
  set.SetFunction(199, 300);  // not a byte: refused
  EXPECT_EQ(set.GetFunction(200), 7);
  EXPECT_EQ(set.GetFunction(199), 0);
  set.SetModFlag(201);
  EXPECT_FALSE(set.GetModFlag(201));
}

TEST(FunctionSet, RequestAndWriteFramesForDetectorFive) {
  EXPECT_EQ(FunctionSet::ReadRequest(5), std::string(">\x85G00401b5"));
  EXPECT_EQ(FunctionSet::ReadRequest(0x300), std::string(":\x81G00401b5"));
  FunctionSet set;
  set.SetDevice(5);
  for (int i = 0; i < FunctionSet::COUNT; ++i) set.SetFunction(i, 5);
  set.SetFunction(10, 3);
  set.SetModFlag(10);
  EXPECT_EQ(set.WriteFrame(), std::string(">\x85P0040b03"));
  // The flags went with the write: nothing is left to send.
  EXPECT_EQ(set.WriteFrame(), "");
  set.global = true;
  set.SetModFlag(10);
  EXPECT_EQ(set.WriteFrame(), std::string(">\x80P0040b03"));
}

TEST(FunctionSet, FunctionsOneTwoAndNinetyFourAreNeverWritten) {
  FunctionSet set;
  set.SetDevice(5);
  set.mod = false;
  for (int i = 0; i < FunctionSet::COUNT; ++i) {
    set.SetFunction(i, 1);
    set.SetModFlag(i);
  }
  std::vector<int> written = Written(set.WriteFrame());
  ASSERT_EQ(written.size(), 178u);  // 3 to 181 but 94
  EXPECT_EQ(written.front(), 3);
  EXPECT_EQ(written.back(), 181);
  for (int f : written) EXPECT_NE(f, 94);
  // Unset values go only when a page changed them.
  set.ClearFns();
  for (int i = 0; i < FunctionSet::COUNT; ++i) set.SetFunction(i, FN_NOTSET);
  set.SetModFlag(40);
  EXPECT_EQ(Written(set.WriteFrame()), std::vector<int>{41});
}

TEST(FunctionSet, AnswerLengthsAndDevices) {
  FunctionSet set;
  set.SetDevice(5);
  set.SetType(PELORIN2000DETECTOR);
  EXPECT_TRUE(set.TakeAnswer(0, Answer('<', 5, 6, "16a")).taken);
  EXPECT_TRUE(set.TakeAnswer(0, Answer('<', 5, 6, "16b")).taken);
  EXPECT_FALSE(set.TakeAnswer(0, Answer('<', 5, 7, "16c")).taken);
  EXPECT_EQ(set.GetFunction(0), 6);
  EXPECT_FALSE(set.TakeAnswer(0, Answer('<', 6, 7)).taken);  // another device
  EXPECT_FALSE(set.TakeAnswer(1, Answer('<', 5, 7)).taken);  // another loop
  EXPECT_FALSE(set.TakeAnswer(0, Answer('>', 5, 7)).taken);  // a request, not an answer
  std::string cut = Answer('<', 5, 7);
  EXPECT_FALSE(set.TakeAnswer(0, cut.substr(0, 100)).taken);
  std::string bad = Answer('<', 5, 7);
  bad[50] = 'x';
  EXPECT_FALSE(set.TakeAnswer(0, bad).taken);
  EXPECT_EQ(set.GetFunction(0), 6);  // nothing of the refused frames stayed
  // The command module answers "/" under address 1.
  FunctionSet cm;
  cm.SetDevice(0x200);
  cm.SetType(PELORIN2000BUSMASTER);
  EXPECT_TRUE(cm.TakeAnswer(2, Answer('/', 1, 8)).taken);
}

TEST(FunctionSet, AnAnswerOfAnotherModelIsReportedAndTakesOver) {
  FunctionSet set;
  set.SetDevice(5);
  set.SetType(PELORINVANTOR);
  FunctionSet::Answer a = set.TakeAnswer(0, Answer('<', 5, 6));
  EXPECT_TRUE(a.modelchanged);
  EXPECT_EQ(a.receivedmodel, 6);
  EXPECT_EQ(a.previousmodel, PELORINVANTOR);
  EXPECT_TRUE(a.pageschanged);
  EXPECT_EQ(set.GetType(), PELORIN2000DETECTOR);
  EXPECT_EQ(set.GetVersion(), 6);
  a = set.TakeAnswer(0, Answer('<', 5, 6));
  EXPECT_FALSE(a.modelchanged);
  EXPECT_FALSE(a.pageschanged);
}

const char* const SHAREDFILE =
    "!3\"127\r\n"
    "000007:020:033\r\n"
    "000007:042:044\r\n"
    "000005:010:004\r\n"
    "255:255:255\r\n";

TEST(FunctionSet, ModelsOneAndThreeShareMostFunctionsAcrossDevices) {
  FunctionSet set;
  set.SetType(PELORINFERROW);
  ASSERT_TRUE(set.LoadFns(SHAREDFILE, 5));
  EXPECT_EQ(set.GetFunction(19), 33);  // shared: from device 7's line
  EXPECT_EQ(set.GetFunction(41), 44);  // 42 is shared on model 3
  EXPECT_EQ(set.GetFunction(9), 4);
  FunctionSet one;
  one.SetType(PELORINVANTOR);
  one.LoadFns(SHAREDFILE, 5);
  EXPECT_EQ(one.GetFunction(19), 33);
  EXPECT_EQ(one.GetFunction(41), 0);  // per device on model 1
  one.SetType(PELORINVANTOR);
  one.LoadFns(SHAREDFILE, 7);
  EXPECT_EQ(one.GetFunction(41), 44);
  FunctionSet other;
  other.SetType(PELORIN2000DETECTOR);
  other.LoadFns(SHAREDFILE, 5);
  EXPECT_EQ(other.GetFunction(19), 0);  // nothing is shared on other models
}

TEST(FunctionSet, HandWrittenFilesLoadWhatIsUsableAndNothingElse) {
  const std::string text =
      "!6\"127\n"
      "\n"
      "000005:000:001\n"  // function 0
      "000005:300:002\n"  // beyond the table
      "000005:012:999\n"  // not a byte
      "5:13:7\r\n"        // short fields
      "garbage line\n"
      "000005:011:009";  // no end line, no line end
  FunctionSet set;
  set.SetType(PELORIN2000DETECTOR);
  ASSERT_TRUE(set.LoadFns(text, 5));
  EXPECT_EQ(set.GetFunction(11), 0);
  EXPECT_EQ(set.GetFunction(12), 7);
  EXPECT_EQ(set.GetFunction(10), 9);
  EXPECT_FALSE(set.LoadFns("no header\r\n000005:011:009\r\n", 5));
  EXPECT_EQ(set.GetFunction(10), 0);
}

TEST(FunctionSet, SaveFnsOverwritesOnlyModifiedValuesOfTheDeviceInPlace) {
  std::string text = "!6\"127\r\n000005:010:004\r\n000006:010:004\r\n5:11:1\r\n255:255:255\r\n";
  FunctionSet set;
  set.SetType(PELORIN2000DETECTOR);
  set.LoadFns(text, 5);
  set.SetFunction(9, 8);
  set.SetModFlag(9);
  set.SetFunction(10, 2);  // a hand-written field of one digit is not overwritten
  set.SetModFlag(10);
  set.SaveFns(text);
  EXPECT_EQ(text, "!6\"127\r\n000005:010:008\r\n000006:010:004\r\n5:11:1\r\n255:255:255\r\n");
  set.global = true;
  set.SaveFns(text);
  EXPECT_EQ(text, "!6\"127\r\n000005:010:008\r\n000006:010:008\r\n5:11:1\r\n255:255:255\r\n");
}

}  // namespace
}  // namespace quillark
