#pragma once

#include <filesystem>

namespace quillark {

// Runs the desktop program on the program home `home`; returns its exit code.
int RunGui(const std::filesystem::path& home, int argc, char** argv);

}  // namespace quillark
