#pragma once

#include <string>

namespace quillark {

enum class PromptIcon { NONE, INFORMATION, WARNING, STOP, QUESTION };
enum class PromptButtons { OK, OK_CANCEL, YES_NO, YES_NO_CANCEL };
enum class PromptAnswer { OK, CANCEL, YES, NO };

// Message boxes. Failures are shown with an empty caption and the stop icon.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons = PromptButtons::OK) = 0;
};

// The answer that changes nothing, for prompters that cannot ask anybody.
inline PromptAnswer SafeDefault(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::OK:
      return PromptAnswer::OK;
    case PromptButtons::OK_CANCEL:
    case PromptButtons::YES_NO_CANCEL:
      return PromptAnswer::CANCEL;
    case PromptButtons::YES_NO:
      return PromptAnswer::NO;
  }
  return PromptAnswer::CANCEL;
}

}  // namespace quillark
