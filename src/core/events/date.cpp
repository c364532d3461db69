#include "core/events/date.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace quillark::dovetree {
namespace {

// One unsigned decimal number the way "%u" takes it (leading blanks, an
// optional sign, at least one digit), clamped instead of overflowing.
bool ReadNumber(std::string_view text, std::size_t& pos, std::int32_t& out) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
  constexpr std::uint64_t LIMIT = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
    if (value > LIMIT) value = LIMIT;
    ++pos;
  }
  auto u = static_cast<std::uint32_t>(value);
  if (negative) u = 0u - u;
  out = static_cast<std::int32_t>(u);
  return true;
}

}  // namespace

Date::Date(std::string_view text) {
  std::size_t pos = 0;
  if (!ReadNumber(text, pos, day)) return;
  if (pos >= text.size() || text[pos++] != '/') return;
  if (!ReadNumber(text, pos, month)) return;
  if (pos >= text.size() || text[pos++] != '/') return;
  ReadNumber(text, pos, year);
}

bool Date::operator>(const Date& other) const {
  if (year != other.year) return year > other.year;
  if (month != other.month) return month > other.month;
  return day > other.day;
}

bool Date::operator==(const Date& other) const {
  return year == other.year && month == other.month && day == other.day;
}

}  // namespace quillark::dovetree
