#pragma once

namespace quillark {

class Console;
class TDockingApp;

// The console's device settings words: functions, setfn, savefns,
// restorefns and setclocks, guarded like the menu commands they stand for.
void AddFunctionWords(Console& console, TDockingApp& app);

}  // namespace quillark
