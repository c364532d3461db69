#include "gui/common/printmargins.h"

#include <QPageLayout>
#include <QPrinter>
#include <algorithm>

namespace quillark {

void KeepPrintMargins(QPrinter& printer) {
  QMarginsF margins = printer.pageLayout().margins(QPageLayout::Millimeter);
  margins.setLeft(std::max(margins.left(), MIN_PRINT_MARGIN_MM));
  margins.setTop(std::max(margins.top(), MIN_PRINT_MARGIN_MM));
  margins.setRight(std::max(margins.right(), MIN_PRINT_MARGIN_MM));
  margins.setBottom(std::max(margins.bottom(), MIN_PRINT_MARGIN_MM));
  // Drawing starts at the corner of the area inside the margins.
  printer.setFullPage(false);
  printer.setPageMargins(margins, QPageLayout::Millimeter);
}

}  // namespace quillark
