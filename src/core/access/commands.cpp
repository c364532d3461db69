#include "core/access/commands.h"

#include <array>

#include "core/access/security.h"

namespace quillark {
namespace {

constexpr std::array<CommandInfo, 40> COMMANDS{{
    {CMD_NEW, "NEW", SA_NEWSITE},
    {CMD_OPEN, "OPEN", NOPERMISSION},
    {CMD_SAVEFNS, "SAVEFNS", SA_FNSAVE},
    {CMD_RESTOREFNS, "RESTOREFNS", SA_FNRESTORE},
    {CMD_EXIT, "EXIT", NOPERMISSION},
    {CMD_COMMUNICATIONSETTINGS, "COMMUNICATIONSETTINGS", SA_COMMSET},
    {CMD_CONTENTS, "CONTENTS", NOPERMISSION},
    {CMD_ABOUT, "ABOUT", NOPERMISSION},
    {CMD_LANGUAGE, "LANGUAGE", SA_LANGUAGE},
    {CMD_CHARTLOG, "CHARTLOG", SA_CHARTLOG},
    {CMD_HISTOGRAM, "HISTOGRAM", SA_HISTOGRAM},
    {CMD_SITECONF, "SITECONF", SA_SITECONF},
    {CMD_EVENTLOG, "EVENTLOG", SA_EVENTLOG},
    {CMD_BUSDISPLAY, "BUSDISPLAY", SA_BUSDISP},
    {CMD_ALARMDISPLAY, "ALARMDISPLAY", NOPERMISSION},
    {CMD_FRONTPANEL, "FRONTPANEL", NOPERMISSION},
    {CMD_LOGTOPRINTER, "LOGTOPRINTER", SA_PRINTERLOG},
    {CMD_DIAGNOSTICS, "DIAGNOSTICS", SA_DIAGS},
    {CMD_LOCK, "LOCK", NOPERMISSION},
    {CMD_COMMANDMODULE, "COMMANDMODULE", SA_BUSMASTER},
    {CMD_ISOLATE, "ISOLATE", SA_ISOLATE},
    {CMD_DEISOLATE, "DEISOLATE", SA_ISOLATE},
    {CMD_PASSWORDS, "PASSWORDS", NOPERMISSION},
    {CMD_RESET, "RESET", SA_RESET},
    {CMD_EDITDEVFN, "EDITDEVFN", SA_FNPGM},
    {CMD_DEMOFIRE2, "DemoTest", NOPERMISSION},
    {CMD_DEMOFIRE1, "DemoTest", NOPERMISSION},
    {CMD_DEMOPREALARM, "DemoTest", NOPERMISSION},
    {CMD_DEMOAUX, "DemoTest", NOPERMISSION},
    {CMD_DEMODETFAULT, "DemoTest", NOPERMISSION},
    {CMD_EMAIL, "EMAIL", SA_EMAIL},
    {CMD_PAGER, "PAGER", SA_PAGER},
    {CMD_VIEWMAP, "ViewMap", NOPERMISSION},
    {CMD_VIEWZONE, "ViewZone", NOPERMISSION},
    {CMD_TOGGLEMAPVIEW, "TOGGLEMAPVIEW", NOPERMISSION},
    {CMD_SINGLEDIAGNOSTICS, "SINGLEDIAGNOSTICS", SA_DIAGS},
    {CMD_SINGLERESET, "SINGLERESET", SA_RESET},
    {CMD_SYSTEMLOG, "SYSTEMLOG", SA_EVENTLOG},
    {CMD_ISOLATESELECTED, "IsolateSelectedDetectors", SA_ISOLATE},
    {CMD_DEISOLATESELECTED, "DeIsolateSelectedDetectors", SA_ISOLATE},
}};

}  // namespace

const CommandInfo* FindCommand(int id) {
  for (const auto& c : COMMANDS)
    if (c.id == id) return &c;
  return nullptr;
}

const CommandInfo* FindCommand(std::string_view name) {
  for (const auto& c : COMMANDS)
    if (c.name == name) return &c;
  return nullptr;
}

std::size_t CommandCount() {
  return COMMANDS.size();
}

const CommandInfo& CommandAt(std::size_t index) {
  return COMMANDS.at(index);
}

}  // namespace quillark
