#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "core/platform/prompter.h"

namespace quillark {

class Translator;

// Gives a message box's standard buttons (OK, Cancel, Yes, No) the words of
// the operator's language; Qt's own are English.
void NameButtons(QMessageBox& box, Translator* translator);

// Message boxes shown as QMessageBox over the main window.
class GuiPrompter : public Prompter {
 public:
  explicit GuiPrompter(QWidget* parent = nullptr) : parent(parent) {}
  void SetParent(QWidget* p) { parent = p; }
  // The buttons' words come from `translator` in its current language; none
  // leaves them English.
  void SetTranslator(Translator* t) { translator = t; }
  PromptAnswer Show(const std::string& caption, const std::string& text, PromptIcon icon,
                    PromptButtons buttons) override;

 private:
  QPointer<QWidget> parent;
  Translator* translator = nullptr;
};

}  // namespace quillark
