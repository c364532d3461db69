#pragma once

namespace quillark {

class Console;
class TDockingApp;

// The console's display words: histogram and chart read the selected
// detector as the viewers do, maps lists what the site maps show.
void AddViewWords(Console& console, TDockingApp& app);

}  // namespace quillark
