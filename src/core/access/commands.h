#pragma once

#include <string_view>

namespace quillark {

// Menu, toolbar and context-menu commands by id. The GUI's menus and the
// headless console both dispatch through TDockingApp::ExecuteCommand.
enum CommandId : int {
  CMD_NEW = 100,
  CMD_OPEN = 101,
  CMD_SAVEFNS = 102,
  CMD_RESTOREFNS = 103,
  CMD_EXIT = 106,
  CMD_COMMUNICATIONSETTINGS = 107,
  CMD_CONTENTS = 108,
  CMD_ABOUT = 110,
  CMD_LANGUAGE = 112,
  CMD_CHARTLOG = 120,
  CMD_HISTOGRAM = 121,
  CMD_SITECONF = 133,
  CMD_EVENTLOG = 134,
  CMD_BUSDISPLAY = 136,
  CMD_ALARMDISPLAY = 137,
  CMD_FRONTPANEL = 138,
  CMD_LOGTOPRINTER = 140,
  CMD_DIAGNOSTICS = 141,
  CMD_LOCK = 143,
  CMD_COMMANDMODULE = 144,
  CMD_ISOLATE = 145,
  CMD_DEISOLATE = 146,
  CMD_PASSWORDS = 147,
  CMD_RESET = 148,
  CMD_EDITDEVFN = 149,
  CMD_DEMOFIRE2 = 150,
  CMD_DEMOFIRE1 = 151,
  CMD_DEMOPREALARM = 152,
  CMD_DEMOAUX = 153,
  CMD_DEMODETFAULT = 154,
  CMD_EMAIL = 155,
  CMD_PAGER = 156,
  CMD_VIEWMAP = 157,
  CMD_VIEWZONE = 158,
  CMD_TOGGLEMAPVIEW = 175,
  CMD_SINGLEDIAGNOSTICS = 180,
  CMD_SINGLERESET = 183,
  CMD_SYSTEMLOG = 185,
  CMD_ISOLATESELECTED = 188,
  CMD_DEISOLATESELECTED = 189,
  // Device settings by kind, and every device's clock.
  CMD_EDITDETFN = 230,
  CMD_EDITPSUFN = 231,
  CMD_EDITCONTROLFN = 232,
  CMD_SETCLOCKS = 233,
  CMD_ACKNOWLEDGE = 190,
  CMD_ACKNOWLEDGEALL = 191,
};

// A command open to everybody.
inline constexpr int NOPERMISSION = -1;

struct CommandInfo {
  int id;
  std::string_view name;
  int permission;  // the secured operation asked for first, or NOPERMISSION
};

// Every command of the program with its name, in id order.
const CommandInfo* FindCommand(int id);
const CommandInfo* FindCommand(std::string_view name);
std::size_t CommandCount();
const CommandInfo& CommandAt(std::size_t index);

}  // namespace quillark
