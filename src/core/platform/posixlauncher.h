#pragma once

#include "core/platform/programlauncher.h"

namespace quillark {

// Runs programs with fork and exec. Standard input is fed through a socket so
// that a program that stops reading cannot kill us with SIGPIPE.
class PosixLauncher : public ProgramLauncher {
 public:
  bool CanRun(const std::filesystem::path& program) override;
  LaunchResult Run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::optional<std::string>& input,
                   std::uint32_t timeoutms = DEFAULT_TIMEOUT_MS) override;
  LaunchResult Start(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments) override;
};

}  // namespace quillark
