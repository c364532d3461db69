#pragma once

#include <QIcon>

namespace quillark {

// Toolbar pictures the widget style has none of, drawn by the program itself
// so they look the same under every desktop theme and never fall back to a
// missing-icon cross.

// A closed padlock: Lock drops the operator back to the lowest access level.
QIcon LockIcon();
// A question mark in a blue disc: the help contents.
QIcon HelpIcon();

}  // namespace quillark
