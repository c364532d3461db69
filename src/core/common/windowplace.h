#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillark {

// Where a window was, kept in the settings between runs.
struct WindowRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const WindowRect&) const = default;
};

// "x,y,w,h" as the settings keep it; nothing for an empty, malformed or
// degenerate text (a hand-edited file must not make a window vanish).
std::optional<WindowRect> ParseWindowRect(std::string_view text);
std::string FormatWindowRect(const WindowRect& r);

// Where a window kept at `saved` goes now, given the screens' areas (the
// primary first). It stays where it was while a grip of its top edge, where
// the title bar is, is on some screen; otherwise (a screen unplugged, a
// smaller desktop) it moves onto the primary screen, shrunk to fit. Without
// screens it is left as it was.
WindowRect PlaceOnScreens(const WindowRect& saved, const std::vector<WindowRect>& screens);

}  // namespace quillark
