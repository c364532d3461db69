#pragma once

namespace quillark {

class Console;
class TDockingApp;

// The console's diagnostics and device transfer words: diag, selftest,
// read, relays, sendtexts and sendlogo, guarded like the menu commands and
// file types they stand for.
void AddDiagWords(Console& console, TDockingApp& app);

}  // namespace quillark
