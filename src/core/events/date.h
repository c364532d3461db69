#pragma once

#include <cstdint>
#include <string_view>

namespace quillark::dovetree {

// A calendar date as the event log's date filter compares it: no calendar
// checks, so 5/13 is day 5 of month 13 and simply sorts after December.
class Date {
 public:
  Date(std::int32_t day, std::int32_t month, std::int32_t year)
      : day(day), month(month), year(year) {}
  // Reads "day/month/year"; a part that is missing or unreadable keeps its
  // default (1/1/2000), and reading stops at the first part that fails.
  explicit Date(std::string_view text);

  std::int32_t Day() const { return day; }
  std::int32_t Month() const { return month; }
  std::int32_t Year() const { return year; }

  bool operator>(const Date& other) const;
  bool operator==(const Date& other) const;
  bool operator!=(const Date& other) const { return !(*this == other); }
  bool operator<(const Date& other) const { return !(*this > other) && !(*this == other); }

 private:
  std::int32_t day = 1;
  std::int32_t month = 1;
  std::int32_t year = 2000;
};

}  // namespace quillark::dovetree
