#pragma once

#include <QTextBrowser>

namespace quillark {

class Translator;

// The help pages, shipped in the program, opened at the place a window asks for.
class HelpWindow : public QTextBrowser {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // The title comes from `translator` (English without one) and follows a
  // language change.
  void SetTranslator(Translator* t);
  // Shows the contents, or the section of context number `context` (0: contents).
  void ShowContext(int context);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  Translator* translator = nullptr;
};

}  // namespace quillark
