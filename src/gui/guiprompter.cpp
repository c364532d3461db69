#include "gui/guiprompter.h"

#include <QMessageBox>

namespace quillark {

PromptAnswer GuiPrompter::Show(const std::string& caption, const std::string& text, PromptIcon icon,
                               PromptButtons buttons) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case PromptIcon::NONE:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case PromptIcon::INFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    case PromptIcon::WARNING:
      box.setIcon(QMessageBox::Warning);
      break;
    case PromptIcon::STOP:
      box.setIcon(QMessageBox::Critical);
      break;
    case PromptIcon::QUESTION:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case PromptButtons::OK:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case PromptButtons::OK_CANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case PromptButtons::YES_NO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case PromptButtons::YES_NO_CANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return PromptAnswer::OK;
    case QMessageBox::Yes:
      return PromptAnswer::YES;
    case QMessageBox::No:
      return PromptAnswer::NO;
    default:
      return PromptAnswer::CANCEL;
  }
}

}  // namespace quillark
