#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "gui/app/guirun.h"
#include "platform/headless.h"

namespace {

// The program home: --home DIR, else QUILLARK_HOME, else the executable's directory.
std::filesystem::path ProgramHome(const std::string& fromargs) {
  if (!fromargs.empty()) return std::filesystem::absolute(fromargs);
  if (const char* env = std::getenv("QUILLARK_HOME"); env != nullptr && *env != '\0')
    return std::filesystem::absolute(env);
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

}  // namespace

int main(int argc, char* argv[]) {
  std::string home;
  bool headless = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--headless") {
      headless = true;
    } else if (arg == "--home") {
      // Without its folder the program would fall back to its own folder
      // and write its logs and settings where nobody meant them to go.
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::cerr << "quillark: --home needs a folder\n";
        return 2;
      }
      home = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: quillark [--headless] [--home DIR]\n";
      return 0;
    }
    // Any other argument is collected and has no effect, as always.
  }
  std::filesystem::path dir = ProgramHome(home);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::cerr << "quillark: program home " << dir << " is not a directory\n";
    return 2;
  }
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
