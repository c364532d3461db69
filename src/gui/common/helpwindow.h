#pragma once

#include <QTextBrowser>

namespace quillark {

// The help pages, shipped in the program, opened at the place a window asks for.
class HelpWindow : public QTextBrowser {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows the contents, or the section of context number `context` (0: contents).
  void ShowContext(int context);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace quillark
