#include "core/common/windowplace.h"

#include <algorithm>
#include <charconv>

namespace quillark {

std::optional<WindowRect> ParseWindowRect(std::string_view text) {
  int v[4] = {};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    while (p < end && *p == ' ') ++p;
    auto [next, ec] = std::from_chars(p, end, v[i]);
    if (ec != std::errc() || next == p) return std::nullopt;
    p = next;
    while (p < end && *p == ' ') ++p;
    if (i < 3) {
      if (p == end || *p != ',') return std::nullopt;
      ++p;
    }
  }
  if (p != end) return std::nullopt;
  // Far beyond any desktop is as good as malformed.
  constexpr int LIMIT = 100000;
  for (int n : v)
    if (n < -LIMIT || n > LIMIT) return std::nullopt;
  if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
  return WindowRect{v[0], v[1], v[2], v[3]};
}

std::string FormatWindowRect(const WindowRect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
         std::to_string(r.h);
}

WindowRect PlaceOnScreens(const WindowRect& saved, const std::vector<WindowRect>& screens) {
  if (screens.empty()) return saved;
  // A grip: 40 pixels of the top 20 pixel strip.
  constexpr int GRIP = 40, STRIP = 20;
  for (const WindowRect& s : screens) {
    const int left = std::max(saved.x, s.x), right = std::min(saved.x + saved.w, s.x + s.w);
    const int top = std::max(saved.y, s.y), bottom = std::min(saved.y + STRIP, s.y + s.h);
    if (right - left >= GRIP && bottom > top) return saved;
  }
  const WindowRect& primary = screens.front();
  WindowRect r = saved;
  r.w = std::min(r.w, primary.w);
  r.h = std::min(r.h, primary.h);
  r.x = std::clamp(r.x, primary.x, primary.x + primary.w - r.w);
  r.y = std::clamp(r.y, primary.y, primary.y + primary.h - r.h);
  return r;
}

}  // namespace quillark
