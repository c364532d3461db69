#include "core/platform/programhome.h"

#include <unistd.h>

#include <system_error>

namespace quillark {

namespace fs = std::filesystem;

HomeChoice ChooseProgramHome(const HomeSources& s) {
  HomeChoice choice;
  if (!s.option.empty()) {
    choice.home = fs::absolute(s.option);
  } else if (!s.environment.empty()) {
    choice.home = fs::absolute(s.environment);
  } else if (!s.installed) {
    choice.home = s.exedir;
  } else {
    // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG base
    // directory rules say, rather than resolved against wherever the
    // program happened to be started.
    if (!s.xdgdatahome.empty() && fs::path(s.xdgdatahome).is_absolute()) {
      choice.home = fs::path(s.xdgdatahome) / "quillark";
    } else if (!s.userhome.empty() && fs::path(s.userhome).is_absolute()) {
      choice.home = fs::path(s.userhome) / ".local/share/quillark";
    } else {
      choice.error =
          "no program home: give --home DIR or QUILLARK_HOME (neither XDG_DATA_HOME nor HOME is "
          "set)";
      return choice;
    }
    choice.seedfrom = InstalledDemoHome(s.exedir);
  }
  return choice;
}

bool IsInstalledProgram(const fs::path& exedir) {
  if (access(exedir.c_str(), W_OK) != 0) return true;
  std::error_code ec;
  return fs::is_directory(InstalledDemoHome(exedir), ec);
}

fs::path InstalledDemoHome(const fs::path& exedir) {
  return (exedir.parent_path() / "share/quillark/demo").lexically_normal();
}

std::string SeedProgramHome(const fs::path& home, const fs::path& from, std::string& error) {
  std::error_code ec;
  if (fs::exists(home / "quillark.ini", ec)) return {};
  fs::create_directories(home, ec);
  if (ec || !fs::is_directory(home, ec)) {
    error = "cannot create the program home " + home.string() + ": " +
            (ec ? ec.message() : std::string("not a folder"));
    return {};
  }
  if (!fs::is_directory(from, ec))
    return "created the program home " + home.string() + " (empty: no demonstration home at " +
           from.string() + ")";
  // Only what is missing: anything the user already put there stays.
  fs::copy(from, home, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
  if (ec) {
    error = "cannot copy the demonstration home " + from.string() + " to " + home.string() + ": " +
            ec.message();
    return {};
  }
  return "created the program home " + home.string() + " from the demonstration home " +
         from.string();
}

}  // namespace quillark
