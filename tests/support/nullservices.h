#pragma once

#include <map>
#include <string>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/platform/eventwriter.h"
#include "core/platform/programlauncher.h"
#include "core/platform/prompter.h"
#include "core/platform/services.h"
#include "core/platform/soundplayer.h"
#include "core/platform/statusdisplay.h"

namespace quillark::test {

// Services that do nothing, for benchmarks and fuzz targets that need an
// application but no files and nobody to ask.
class NullPrompter : public Prompter {
 public:
  PromptAnswer Show(const std::string&, const std::string&, PromptIcon, PromptButtons b) override {
    return SafeDefault(b);
  }
};

class NullStatus : public StatusDisplay {
 public:
  void SetStatusText(const std::string&, Rgb, Rgb) override {}
  void FlashCaption(bool) override {}
  void WarningBeep() override {}
};

// A launcher on a machine with no programs: nothing can be run.
class NullLauncher : public ProgramLauncher {
 public:
  bool CanRun(const std::filesystem::path&) override { return false; }
  // Never called back: nothing ran.
  void Launch(const std::filesystem::path&, const std::vector<std::string>&,
              std::optional<std::string>, Completion, std::uint32_t) override {}
  LaunchResult Start(const std::filesystem::path&, const std::vector<std::string>&) override {
    return {};
  }
};

// Settings held in memory: every key reads its default unless set here.
class MemoryINI : public INI {
 public:
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) override {
    auto it = values.find(section + "\n" + key);
    return it == values.end() ? def : it->second;
  }
  bool WriteString(const std::string& section, const std::string& key,
                   const std::string& text) override {
    values[section + "\n" + key] = text;
    return true;
  }
  std::map<std::string, std::string> values;
};

class NullWriter : public EventWriter {
 public:
  void WriteEvent(int, const std::string&) override {}
};

// The service bundle made of the doubles above around a given clock and
// settings, for a bus router or a receiver with nothing around it.
struct NullServices {
  NullServices(EventLoop& events, INI& ini)
      : translator(&ini, &prompter), services{events, prompter, status, ini,     translator,
                                              writer, launcher, sound,  nullptr, {}} {}

  NullPrompter prompter;
  NullStatus status;
  NullWriter writer;
  NullLauncher launcher;
  SilentSoundPlayer sound;
  Translator translator;
  Services services;
};

}  // namespace quillark::test
