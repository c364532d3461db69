#include "gui/guiprompter.h"

#include <QAbstractButton>

#include "gui/common/uitext.h"

namespace quillark {

void NameButtons(QMessageBox& box, Translator* translator) {
  static const struct {
    QMessageBox::StandardButton button;
    int id;
    const char* english;
  } names[] = {{QMessageBox::Ok, 82100, "OK"},
               {QMessageBox::Cancel, 82200, "Cancel"},
               {QMessageBox::Yes, 82300, "Yes"},
               {QMessageBox::No, 82400, "No"}};
  for (const auto& n : names)
    if (QAbstractButton* b = box.button(n.button)) b->setText(UiText(translator, n.id, n.english));
}

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
  NameButtons(box, translator);
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
