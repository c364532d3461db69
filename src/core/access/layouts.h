#pragma once

#include <span>
#include <string_view>

namespace quillark {

// The menu and dialog layouts the program has, by resource name (base name,
// "_" and language suffix). The translator asks here whether a layout exists
// in the wanted language before it falls back to the English one; the windows
// map these names to their layouts.
std::span<const char* const> MenuLayouts();
std::span<const char* const> DialogLayouts();  // dialogs and property pages

// Names compare without regard to case, as resource names always have.
bool HasMenuLayout(std::string_view name);
bool HasDialogLayout(std::string_view name);

}  // namespace quillark
