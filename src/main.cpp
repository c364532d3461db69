#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/app/logexport.h"
#include "core/platform/homelock.h"
#include "core/platform/programhome.h"
#include "gui/app/guirun.h"
#include "platform/headless.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The program home: see ChooseProgramHome. An installed program's per-user
// home is created from the demonstration home on first start.
std::filesystem::path ProgramHome(const std::string& fromargs) {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  quillark::HomeSources sources;
  sources.option = fromargs;
  sources.environment = Env("QUILLARK_HOME");
  sources.exedir = ec ? std::filesystem::current_path() : exe.parent_path();
  sources.installed = quillark::IsInstalledProgram(sources.exedir);
  sources.xdgdatahome = Env("XDG_DATA_HOME");
  sources.userhome = Env("HOME");
  quillark::HomeChoice choice = quillark::ChooseProgramHome(sources);
  if (!choice.error.empty()) {
    std::cerr << "quillark: " << choice.error << "\n";
    return {};
  }
  if (!choice.seedfrom.empty()) {
    std::string error;
    const std::string said = quillark::SeedProgramHome(choice.home, choice.seedfrom, error);
    if (!error.empty()) std::cerr << "quillark: " << error << "\n";
    if (!said.empty()) std::cerr << "quillark: " << said << "\n";
  }
  return choice.home;
}

void PrintHelp() {
  std::cout
      << "usage: quillark [--headless | --service] [--home DIR]\n"
         "       quillark --export-log FILE.ev2 [--from DATE] [--to DATE] [--device L-AAA]"
         " --csv OUT.csv\n"
         "       quillark --version | --help\n"
         "\n"
         "Supervises networks of aspirating smoke detectors: the PC is the bus master of up\n"
         "to 16 serial loops.\n"
         "\n"
         "  --home DIR      the program home (settings, site, logs). Default: QUILLARK_HOME,\n"
         "                  else the program's folder in a build, else\n"
         "                  $XDG_DATA_HOME/quillark (~/.local/share/quillark), created from\n"
         "                  the demonstration home on first start\n"
         "  --headless      no windows: events on standard output, message boxes on\n"
         "                  standard error, commands on standard input (type \"help\")\n"
         "  --service       headless without a console, for a service manager: runs until\n"
         "                  SIGTERM or SIGINT, then shuts down in order and exits 0\n"
         "  --export-log FILE.ev2 [--from DATE] [--to DATE] [--device L-AAA] --csv OUT.csv\n"
         "                  writes the events of an event log, or those of a period or a\n"
         "                  device, to a CSV file and exits\n"
         "  --version       prints the version and exits\n"
         "  -h, --help      prints this help and exits\n"
         "\n"
         "Only one Quillark runs on a program home at a time.\n";
}

// Standard input, output or error closed by whoever started the program
// would be handed to the next file opened (the lock file, a log), and the
// console would then read, or events overwrite, that file.
void KeepStandardFilesOpen() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      close(null);
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  KeepStandardFilesOpen();
  // Reading a log needs no program home and no supervisor.
  if (argc >= 2 && std::string(argv[1]) == "--export-log")
    return quillark::RunLogExport(std::vector<std::string>(argv + 2, argv + argc), std::cout,
                                  std::cerr);
  std::string home;
  bool headless = false;
  bool service = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--headless") {
      headless = true;
    } else if (arg == "--service") {
      service = true;
    } else if (arg == "--home") {
      // Without its folder the program would fall back to its own folder
      // and write its logs and settings where nobody meant them to go.
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::cerr << "quillark: --home needs a folder\n";
        return 2;
      }
      home = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    } else if (arg == "--version") {
      std::cout << "quillark " << QUILLARK_VERSION << "\n";
      return 0;
    }
    // Any other argument is collected and has no effect, as always.
  }
  std::filesystem::path dir = ProgramHome(home);
  if (dir.empty()) return 2;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::cerr << "quillark: program home " << dir << " is not a directory\n";
    return 2;
  }
  // Held until the process ends, however it ends.
  std::string lockerror;
  std::unique_ptr<quillark::HomeLock> lock = quillark::HomeLock::Take(dir, lockerror);
  if (!lock) {
    std::cerr << "quillark: " << lockerror << "\n";
    return 3;
  }
  if (service) return quillark::RunHeadless(dir, true);
  const bool display = std::getenv("DISPLAY") != nullptr ||
                       std::getenv("WAYLAND_DISPLAY") != nullptr ||
                       std::getenv("QT_QPA_PLATFORM") != nullptr;
  if (!headless && !display) {
    std::cerr << "quillark: no display; running headless\n";
    headless = true;
  }
  if (headless) return quillark::RunHeadless(dir);
  return quillark::RunGui(dir, argc, argv);
}
