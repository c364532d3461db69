#pragma once

namespace quillark {

class Console;
class TDockingApp;

// The console's site words: site, adddet, addpsu, remove, location, zone,
// savesite, actions and newsite, guarded like the NEW and SITECONF menu
// commands they stand for.
void AddSiteWords(Console& console, TDockingApp& app);

}  // namespace quillark
