#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace quillark {

// Case-blind comparison of ASCII text, as the profile-file rules need.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Removes blanks, tabs, CR and LF from both ends.
std::string_view Trim(std::string_view s);

std::string ToLower(std::string_view s);

// The local time in ctime's layout without its newline ("Tue Dec  8 04:05:00
// 2026"), spelt out so that neither the locale nor any year can change or
// overrun it. With `zeropadday` the day is two digits ("Dec 08").
std::string CTimeText(std::time_t t, bool zeropadday = false);

// printf into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Conversion like the C library's atol, but never undefined: leading blanks,
// an optional sign and decimal digits; values beyond the range of long are
// clamped.
long AtoL(std::string_view s);

}  // namespace quillark
