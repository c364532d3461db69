#include "core/common/textutil.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>

namespace quillark {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(args);
  return out;
}

std::string CTimeText(std::time_t t, bool zeropadday) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 ||
      tm.tm_mon > 11)
    return std::string();
  char text[64];
  std::snprintf(text, sizeof text,
                zeropadday ? "%s %s %02d %02d:%02d:%02d %lld" : "%s %s %2d %02d:%02d:%02d %lld",
                days[tm.tm_wday], months[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<long long>(tm.tm_year) + 1900);
  return text;
}

long AtoL(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  unsigned long long value = 0;
  const unsigned long long limit = negative ? static_cast<unsigned long long>(LONG_MAX) + 1
                                            : static_cast<unsigned long long>(LONG_MAX);
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
    value = value * 10 + static_cast<unsigned>(s[i] - '0');
    if (value > limit) {
      value = limit;
      break;
    }
  }
  if (negative) return value == limit ? LONG_MIN : -static_cast<long>(value);
  return static_cast<long>(value);
}

}  // namespace quillark
