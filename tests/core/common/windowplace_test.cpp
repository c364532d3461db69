#include "core/common/windowplace.h"

#include <gtest/gtest.h>

namespace quillark {
namespace {

TEST(WindowPlace, KeptAsTextAndMalformedTextIsNothing) {
  const WindowRect r{-8, 30, 1100, 760};
  EXPECT_EQ(FormatWindowRect(r), "-8,30,1100,760");
  EXPECT_EQ(ParseWindowRect("-8,30,1100,760"), r);
  EXPECT_EQ(ParseWindowRect(" 1, 2 ,3,4"), (WindowRect{1, 2, 3, 4}));
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,b,c,d", "1,2,3,4x",
                          "1,,3,4", "99999999999,0,10,10", "0,0,10,2000000"})
    EXPECT_FALSE(ParseWindowRect(bad).has_value()) << bad;
}

TEST(WindowPlace, StaysOnAScreenThatStillExistsElseMovesOntoThePrimary) {
  const std::vector<WindowRect> two = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
  const WindowRect onsecond{2000, 100, 800, 600};
  EXPECT_EQ(PlaceOnScreens(onsecond, two), onsecond);
  // Half off the left edge, title bar still to be grabbed: left alone.
  EXPECT_EQ(PlaceOnScreens({-700, 10, 800, 600}, two), (WindowRect{-700, 10, 800, 600}));

  // The second screen is gone: back onto the first, whole.
  const std::vector<WindowRect> one = {{0, 0, 1920, 1040}};
  EXPECT_EQ(PlaceOnScreens(onsecond, one), (WindowRect{1120, 100, 800, 600}));
  // Title bar above the screen: pulled down.
  EXPECT_EQ(PlaceOnScreens({100, -200, 800, 600}, one), (WindowRect{100, 0, 800, 600}));
  // Larger than the screen now: shrunk to it.
  EXPECT_EQ(PlaceOnScreens({5000, 5000, 2500, 1400}, {{0, 0, 800, 600}}),
            (WindowRect{0, 0, 800, 600}));
  EXPECT_EQ(PlaceOnScreens(onsecond, {}), onsecond);
}

}  // namespace
}  // namespace quillark
