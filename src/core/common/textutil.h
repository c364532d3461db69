#pragma once

#include <string>
#include <string_view>

namespace quillark {

// Case-blind comparison of ASCII text, as the profile-file rules need.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Removes blanks, tabs, CR and LF from both ends.
std::string_view Trim(std::string_view s);

std::string ToLower(std::string_view s);

// printf into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Conversion like the C library's atol, but never undefined: leading blanks,
// an optional sign and decimal digits; values beyond the range of long are
// clamped.
long AtoL(std::string_view s);

}  // namespace quillark
