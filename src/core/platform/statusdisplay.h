#pragma once

#include <cstdint>
#include <string>

namespace quillark {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb RGB_BLACK{0, 0, 0};
inline constexpr Rgb RGB_LIGHTYELLOW{255, 255, 192};
inline constexpr Rgb RGB_LIGHTGREEN{192, 255, 192};

// The coloured text field of the status bar, and the two ways the main window
// draws attention to itself.
class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  virtual void SetStatusText(const std::string& text, Rgb foreground, Rgb background) = 0;
  // Inverts (true) or restores (false) the main window's caption.
  virtual void FlashCaption(bool invert) = 0;
  // The warning (exclamation) beep.
  virtual void WarningBeep() = 0;
};

}  // namespace quillark
