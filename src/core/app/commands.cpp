#include "core/app/commands.h"

#include <array>

namespace quillark {
namespace {

constexpr std::array<CommandInfo, 40> COMMANDS{{
    {CMD_NEW, "NEW"},
    {CMD_OPEN, "OPEN"},
    {CMD_SAVEFNS, "SAVEFNS"},
    {CMD_RESTOREFNS, "RESTOREFNS"},
    {CMD_EXIT, "EXIT"},
    {CMD_COMMUNICATIONSETTINGS, "COMMUNICATIONSETTINGS"},
    {CMD_CONTENTS, "CONTENTS"},
    {CMD_ABOUT, "ABOUT"},
    {CMD_LANGUAGE, "LANGUAGE"},
    {CMD_CHARTLOG, "CHARTLOG"},
    {CMD_HISTOGRAM, "HISTOGRAM"},
    {CMD_SITECONF, "SITECONF"},
    {CMD_EVENTLOG, "EVENTLOG"},
    {CMD_BUSDISPLAY, "BUSDISPLAY"},
    {CMD_ALARMDISPLAY, "ALARMDISPLAY"},
    {CMD_FRONTPANEL, "FRONTPANEL"},
    {CMD_LOGTOPRINTER, "LOGTOPRINTER"},
    {CMD_DIAGNOSTICS, "DIAGNOSTICS"},
    {CMD_LOCK, "LOCK"},
    {CMD_COMMANDMODULE, "COMMANDMODULE"},
    {CMD_ISOLATE, "ISOLATE"},
    {CMD_DEISOLATE, "DEISOLATE"},
    {CMD_PASSWORDS, "PASSWORDS"},
    {CMD_RESET, "RESET"},
    {CMD_EDITDEVFN, "EDITDEVFN"},
    {CMD_DEMOFIRE2, "DemoTest"},
    {CMD_DEMOFIRE1, "DemoTest"},
    {CMD_DEMOPREALARM, "DemoTest"},
    {CMD_DEMOAUX, "DemoTest"},
    {CMD_DEMODETFAULT, "DemoTest"},
    {CMD_EMAIL, "EMAIL"},
    {CMD_PAGER, "PAGER"},
    {CMD_VIEWMAP, "ViewMap"},
    {CMD_VIEWZONE, "ViewZone"},
    {CMD_TOGGLEMAPVIEW, "TOGGLEMAPVIEW"},
    {CMD_SINGLEDIAGNOSTICS, "SINGLEDIAGNOSTICS"},
    {CMD_SINGLERESET, "SINGLERESET"},
    {CMD_SYSTEMLOG, "SYSTEMLOG"},
    {CMD_ISOLATESELECTED, "IsolateSelectedDetectors"},
    {CMD_DEISOLATESELECTED, "DeIsolateSelectedDetectors"},
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
