#pragma once

#include <filesystem>

namespace quillark {

// Runs the program with no windows on the program home `home`: message boxes
// go to standard error (answered with the safe default), events and console
// answers to standard output, commands come from standard input. Returns the
// exit code once "quit", end of input, SIGINT or SIGTERM has shut it down.
int RunHeadless(const std::filesystem::path& home);

}  // namespace quillark
