#include "gui/common/uibuttonbox.h"

#include <QEvent>
#include <QPushButton>

#include "gui/common/uitext.h"

namespace quillark {

UiButtonBox::UiButtonBox(Translator* t, StandardButtons buttons, QWidget* parent)
    : QDialogButtonBox(buttons, parent), translator(t) {
  Rename();
}

void UiButtonBox::Rename() {
  static const struct {
    StandardButton button;
    int id;
    const char* english;
  } names[] = {{Ok, 82100, "OK"},
               {Cancel, 82200, "Cancel"},
               {Yes, 82300, "Yes"},
               {No, 82400, "No"},
               {Apply, 82500, "Apply"}};
  for (const auto& n : names)
    if (QPushButton* b = button(n.button)) b->setText(UiText(translator, n.id, n.english));
}

void UiButtonBox::changeEvent(QEvent* e) {
  // Qt's own names first, then ours over them.
  QDialogButtonBox::changeEvent(e);
  if (IsLanguageChange(e)) Rename();
}

}  // namespace quillark
