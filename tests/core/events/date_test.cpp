#include "core/events/date.h"

#include <gtest/gtest.h>

namespace quillark::dovetree {
namespace {

void ExpectDate(const Date& d, int day, int month, int year) {
  EXPECT_EQ(d.Day(), day);
  EXPECT_EQ(d.Month(), month);
  EXPECT_EQ(d.Year(), year);
}

TEST(Date, TextFillsMissingPartsWithFirstJanuary2000) {
  ExpectDate(Date("31/01/2001"), 31, 1, 2001);
  ExpectDate(Date("5/13"), 5, 13, 2000);  // no calendar check
  ExpectDate(Date("7"), 7, 1, 2000);
  ExpectDate(Date(""), 1, 1, 2000);
  ExpectDate(Date("x/5/2001"), 1, 1, 2000);  // reading stops at the first bad part
  ExpectDate(Date("3/x/2001"), 3, 1, 2000);
  ExpectDate(Date(" 3/ 4/ 2005"), 3, 4, 2005);  // blanks before a number are skipped
  ExpectDate(Date("3 /4/2005"), 3, 1, 2000);    // but not before a separator
}

TEST(Date, OrderIsYearThenMonthThenDay) {
  const Date a(31, 12, 2000), b(1, 1, 2001), c(2, 1, 2001), d(1, 2, 2001);
  EXPECT_TRUE(b > a);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(c > b);
  EXPECT_TRUE(d > c);  // month before day
  EXPECT_TRUE(Date(1, 13, 2000) > Date(31, 12, 2000));
  EXPECT_TRUE(Date("31/01/2001") == Date(31, 1, 2001));
  EXPECT_FALSE(a < a);
  EXPECT_FALSE(a > a);
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(a != Date(31, 12, 2000));
}

}  // namespace
}  // namespace quillark::dovetree
