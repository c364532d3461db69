#pragma once

#include <QPointer>
#include <QWidget>

#include "core/platform/prompter.h"

namespace quillark {

// Message boxes shown as QMessageBox over the main window.
class GuiPrompter : public Prompter {
 public:
  explicit GuiPrompter(QWidget* parent = nullptr) : parent(parent) {}
  void SetParent(QWidget* p) { parent = p; }
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon icon,
                    PromptButtons buttons) override;

 private:
  QPointer<QWidget> parent;
};

}  // namespace quillark
