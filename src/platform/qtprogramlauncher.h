#pragma once

#include "core/platform/programlauncher.h"

namespace quillark {

// Runs external programs with QProcess, on the main thread. Run blocks until
// the program ends or the time limit passes; its output goes where ours goes.
class QtProgramLauncher : public ProgramLauncher {
 public:
  bool CanRun(const std::filesystem::path& program) override;
  LaunchResult Run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::optional<std::string>& input,
                   std::uint32_t timeoutms = DEFAULT_TIMEOUT_MS) override;
  LaunchResult Start(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments) override;
};

}  // namespace quillark
