#include "core/access/layouts.h"

#include <algorithm>

#include "core/common/textutil.h"

namespace quillark {

namespace {

// Only the English layouts exist so far. A translated layout is added here
// under its own suffix (for example "SECURITY_GR") and is then picked up for
// that language without any other change.
constexpr const char* menus[] = {
    "QUILLARK_UK",     // main window
    "HISTVIEWER_UK",   // histogram viewer
    "CHARTVIEWER_UK",  // chart viewer
};

// The about box, the logo preview, the map viewer and the isolate/reset
// operation dialog are opened by their plain name in one language only and so
// are not listed.
constexpr const char* dialogs[] = {
    // Dialogs.
    "ALARMDISP_UK",
    "BMASTER_UK",
    "BUSDISP_UK",
    "DIAGNOSTICS_UK",
    "EMAILSETUP_UK",
    "EVENTFILTER_UK",
    "EVENTLOG_UK",
    "FAULTCONFIG_UK",
    "FNIO_UK",
    "FRONTPANEL_UK",
    "LANGUAGE_UK",
    "NETCOMMSET_UK",
    "PAGERSETUP_UK",
    "PASSWORD_UK",
    "SCANNER_UK",
    "SECURITY_UK",
    "SITECONF_UK",
    "ZONECONFIG_UK",
    // Alarm action pages.
    "ACTIONS_UK",
    "ACTIONSMASK_UK",
    // Device settings pages.
    "DIALOG_ACTIONS_UK",
    "DIALOG_ACTIONS2K_UK",
    "DIALOG_ARRAY_UK",
    "DIALOG_BUSSETUP_UK",
    "DIALOG_DAYNIGHT_UK",
    "DIALOG_FLOW_UK",
    "DIALOG_FLOW2K_UK",
    "DIALOG_FLOWTINDLE_UK",
    "DIALOG_INFO_UK",
    "DIALOG_INFO2K_UK",
    "DIALOG_LEVELS_UK",
    "DIALOG_LEVELS2K_UK",
    "DIALOG_LEVELSTINDLE_UK",
    "DIALOG_MISCELLANEOUS_UK",
    "DIALOG_MISCTINDLE_UK",
    "DIALOG_PAGER_UK",
    "DIALOG_PANEL_UK",
    "DIALOG_POWER_UK",
    "DIALOG_POWER2K_UK",
    "DIALOG_REFERENCING_UK",
    "DIALOG_REFERENCING2K_UK",
    "DIALOG_TIME_UK",
};

bool Contains(std::span<const char* const> names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [name](const char* n) { return EqualsNoCase(n, name); });
}

}  // namespace

std::span<const char* const> MenuLayouts() {
  return menus;
}
std::span<const char* const> DialogLayouts() {
  return dialogs;
}

bool HasMenuLayout(std::string_view name) {
  return Contains(menus, name);
}
bool HasDialogLayout(std::string_view name) {
  return Contains(dialogs, name);
}

}  // namespace quillark
