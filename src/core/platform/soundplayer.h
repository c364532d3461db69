#pragma once

#include <filesystem>

namespace quillark {

// Plays WAV files. Failures are silent: a missing sound never stops an alarm
// from being shown.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Starts playing `file`; with `synchronous` returns only when it has ended.
  virtual void Play(const std::filesystem::path& file, bool synchronous) = 0;
  virtual void Stop() = 0;
};

// The player of a program with no sound.
class SilentSoundPlayer : public SoundPlayer {
 public:
  void Play(const std::filesystem::path&, bool) override {}
  void Stop() override {}
};

}  // namespace quillark
