#pragma once

#include <filesystem>

namespace quillark {

// Runs the program with no windows on the program home `home`: message boxes
// go to standard error (answered with the safe default), events and console
// answers to standard output, commands come from standard input. Returns the
// exit code once "quit", end of input, SIGINT or SIGTERM has shut it down.
//
// As a service (`service`) there is no console: standard input is not read
// at all, so a service manager's /dev/null does not end supervision; only
// SIGTERM or SIGINT does. The service manager is told when supervision is
// ready and when it stops, and gets its watchdog keep-alive from the event
// loop.
int RunHeadless(const std::filesystem::path& home, bool service = false);

}  // namespace quillark
