#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "process.h"

namespace quillark::test {

// What the end-to-end tests do to a program home and its console.

// Copies the demonstration home (settings and site) into `home`.
void CopyDemoHome(const std::filesystem::path& home);
// Starts the program headless on `home` and waits for its start-up banner;
// standard error goes to stderr.txt in the home.
std::unique_ptr<Process> StartHeadless(const std::filesystem::path& home);
// Sends `line` and waits for an output line containing `answer`.
bool Answers(Process& p, const std::string& line, const std::string& answer);
// Asks for the status of `device` until the answer starts with `prefix`.
bool StatusBecomes(Process& p, const std::string& device, const std::string& prefix);
// Whether any line the program printed so far contains `text`.
bool Mentions(const Process& p, const std::string& text);
// Asks the program to quit and waits for a clean exit.
bool Quit(Process& p);

}  // namespace quillark::test
