#pragma once

class QPrinter;

namespace quillark {

// Printouts keep clear of the paper's edge: no side closer than this, and a
// printer whose own margins are wider keeps them. A PDF file has no margins
// of its own, so without this the text would touch the page edge.
constexpr double MIN_PRINT_MARGIN_MM = 10.0;
void KeepPrintMargins(QPrinter& printer);

}  // namespace quillark
