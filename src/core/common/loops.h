#pragma once

namespace quillark {

class INI;

// The most loops one PC is bus master of.
inline constexpr int MAXLOOPS = 16;

// "Comm"/"Loops", read through one rule wherever the loop count is needed:
// fewer than one is one, more than MAXLOOPS is MAXLOOPS (and remembered, so the
// communication handler can warn about it).
struct LoopSettings {
  int loops = 1;
  bool toomany = false;  // the settings asked for more than MAXLOOPS

  static LoopSettings Read(INI& ini);
};

}  // namespace quillark
