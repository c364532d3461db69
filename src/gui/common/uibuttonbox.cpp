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
  } names[] = {{Ok, 40100, "OK"},
               {Cancel, 40200, "Cancel"},
               {Yes, 40300, "Yes"},
               {No, 40400, "No"},
               {Apply, 40500, "Apply"}};
  for (const auto& n : names)
    if (QPushButton* b = button(n.button)) b->setText(UiText(translator, n.id, n.english));
}

void UiButtonBox::changeEvent(QEvent* e) {
  // Qt's own names first, then ours over them.
  QDialogButtonBox::changeEvent(e);
  if (IsLanguageChange(e)) Rename();
}

}  // namespace quillark
