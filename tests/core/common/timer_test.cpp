#include "core/common/timer.h"

#include <gtest/gtest.h>

namespace quillark {
namespace {

TEST(Timer, CountsWholeSecondsAndFreezesWhenStopped) {
  std::time_t now = 1000;
  Timer t([&] { return now; });
  EXPECT_EQ(t.GetState(), Timer::STOPPED);
  EXPECT_EQ(t.GetTime(), 0u);
  t.Start();
  now += 65;
  EXPECT_EQ(t.GetState(), Timer::STARTED);
  EXPECT_EQ(t.GetTime(), 65u);
  t.Stop();
  now += 100;
  EXPECT_EQ(t.GetTime(), 65u);
  t.Stop();
  EXPECT_EQ(t.GetTime(), 65u);
  t.Start();  // restarts from zero
  EXPECT_EQ(t.GetTime(), 0u);
  now -= 50;  // a clock set back never gives a negative time
  EXPECT_EQ(t.GetTime(), 0u);
}

}  // namespace
}  // namespace quillark
