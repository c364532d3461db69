#pragma once

#include <map>
#include <string>

#include "core/common/ini.h"
#include "core/platform/prompter.h"
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

}  // namespace quillark::test
