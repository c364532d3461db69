#pragma once

namespace quillark {

class Console;
class TDockingApp;

// The console's `language` word: shows or switches the language of the
// texts that come from the string table, guarded like the LANGUAGE menu
// command.
void AddLanguageWords(Console& console, TDockingApp& app);

}  // namespace quillark
