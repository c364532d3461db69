#pragma once

#include <QSoundEffect>

#include "core/platform/soundplayer.h"

namespace quillark {

// Alarm sounds through Qt Multimedia. A file that cannot be played is
// silently skipped: the alarm line and lamps are what must never fail.
class QtSoundPlayer : public SoundPlayer {
 public:
  void Play(const std::filesystem::path& file, bool synchronous) override;
  void Stop() override { effect.stop(); }

 private:
  QSoundEffect effect;
};

}  // namespace quillark
