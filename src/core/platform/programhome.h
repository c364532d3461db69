#pragma once

#include <filesystem>
#include <string>

namespace quillark {

// Where the program keeps its settings, site and logs, in this order:
// --home DIR, else the environment variable QUILLARK_HOME, else the
// executable's folder while that is a build folder, else (an installed
// program, whose folder is /usr/bin) $XDG_DATA_HOME/quillark, by default
// ~/.local/share/quillark.
struct HomeSources {
  std::string option;            // --home
  std::string environment;       // QUILLARK_HOME
  std::filesystem::path exedir;  // the executable's folder
  bool installed = false;        // see IsInstalledProgram
  std::string xdgdatahome;       // XDG_DATA_HOME
  std::string userhome;          // HOME
};

struct HomeChoice {
  std::filesystem::path home;
  // For the per-user home of an installed program: the demonstration home
  // it is created from on first start. Empty otherwise.
  std::filesystem::path seedfrom;
  // Set when no home can be named at all.
  std::string error;
};

HomeChoice ChooseProgramHome(const HomeSources& sources);

// Whether the executable in `exedir` is an installed one: its folder cannot
// be written, or the installed layout (../share/quillark/demo) lies beside
// it. The second matters for root, who may write to /usr/bin but must not
// keep logs there.
bool IsInstalledProgram(const std::filesystem::path& exedir);

// The demonstration home an installed program ships.
std::filesystem::path InstalledDemoHome(const std::filesystem::path& exedir);

// Creates `home` from the demonstration home `from` when it has no settings
// yet, copying only files that are missing. Returns the sentence to tell the
// user once ("" when the home already had its settings); `error` is set when
// the home cannot be made.
std::string SeedProgramHome(const std::filesystem::path& home, const std::filesystem::path& from,
                            std::string& error);

}  // namespace quillark
