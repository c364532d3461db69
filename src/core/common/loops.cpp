#include "core/common/loops.h"

#include "core/common/ini.h"

namespace quillark {

LoopSettings LoopSettings::Read(INI& ini) {
  const long value = ini.ReadInt("Comm", "Loops", "1");
  LoopSettings s;
  s.toomany = value > MAXLOOPS;
  s.loops = value < 1 ? 1 : (value > MAXLOOPS ? MAXLOOPS : static_cast<int>(value));
  return s;
}

}  // namespace quillark
