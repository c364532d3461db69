#pragma once

#include <string>
#include <vector>

#include "core/platform/prompter.h"

namespace quillark::test {

// Records every message box and answers from a queue (then with `fallback`).
class RecordingPrompter : public Prompter {
 public:
  struct Prompt {
    std::string caption, text;
    PromptIcon icon;
    PromptButtons buttons;
  };

  PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon icon,
                    PromptButtons buttons) override {
    prompts.push_back({caption, text, icon, buttons});
    if (!answers.empty()) {
      PromptAnswer a = answers.front();
      answers.erase(answers.begin());
      return a;
    }
    return fallback;
  }

  std::vector<Prompt> prompts;
  std::vector<PromptAnswer> answers;
  PromptAnswer fallback = PromptAnswer::OK;
};

}  // namespace quillark::test
