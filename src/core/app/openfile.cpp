// Opening a file by its type: the OPEN command, the recent files list and
// anything else that hands the application a file name.
#include <string>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/events/fileext.h"
#include "core/platform/prompter.h"

namespace quillark {

int TDockingApp::FilePermission(int type) {
  switch (type) {
    case FT_SITE:
      return SA_SITECONF;
    case FT_LANGUAGE:
    case FT_LOGO:
    case FT_DETFN:
    case FT_PSUFN:
    case FT_CMDFN:
      return SA_FNPGM;
    case FT_EVENT:
    case FT_SYSEVENT:
      // The same right as reading a log from a device or the system log:
      // opening system.ev2 must not be a way round it.
      return SA_EVENTLOG;
    default:
      return NOPERMISSION;
  }
}

void TDockingApp::SetFileOpener(int type, FileOpener opener) {
  if (opener)
    fileopeners[type] = std::move(opener);
  else
    fileopeners.erase(type);
}

bool TDockingApp::OpenFile(const std::string& path) {
  const filetype type = GetExtensionType(path);
  std::string extension = GetExtension(path);
  if (type == FT_UNKNOWN) {
    // A name without an extension is named itself, so the message says something.
    if (extension.empty()) extension = path;
    services.prompter.Show(
        "",
        Format(services.translator.TextOr(89520, "Unknown file type: %s.").c_str(),
               extension.c_str()),
        PromptIcon::STOP);
    return false;
  }
  const int permission = FilePermission(type);
  if (permission != NOPERMISSION && !HasPermission(permission)) return false;

  // Reloads the site and builds the display on it.
  auto rebuild = [this] { ShowBargraph(); };
  auto opener = fileopeners.find(type);
  if (type == FT_SITE) {
    // The file becomes the site in use; the site editor, where there is one,
    // then opens on it with polling paused.
    services.ini.WriteString("Site", "Site", path);
    rebuild();
    if (opener != fileopeners.end()) {
      router.PausePolling();
      opener->second(path);
      router.ResumePolling();
      rebuild();
    }
    return true;
  }
  if (opener == fileopeners.end()) {
    services.prompter.Show(
        "",
        Format(
            services.translator.TextOr(89540, "Files of type %s cannot be opened in this version.")
                .c_str(),
            extension.c_str()),
        PromptIcon::INFORMATION);
    return false;
  }
  opener->second(path);
  return true;
}

}  // namespace quillark
