#include "console.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quillark::test {

using namespace std::chrono_literals;

void CopyDemoHome(const std::filesystem::path& home) {
  for (const char* f : {"quillark.ini", "demo.cfg"})
    std::filesystem::copy_file(std::filesystem::path(QUILLARK_SOURCE_DIR) / "resources/demo" / f,
                               home / f);
}

std::unique_ptr<Process> StartHeadless(const std::filesystem::path& home) {
  auto p = std::make_unique<Process>(
      std::vector<std::string>{QUILLARK_EXE, "--headless", "--home", home.string()},
      (home / "stderr.txt").string());
  EXPECT_NE(p->WaitFor("**** Quillark startup ****", 10s), "");
  return p;
}

bool Answers(Process& p, const std::string& line, const std::string& answer) {
  p.Send(line);
  return !p.WaitFor(answer, 10s).empty();
}

bool StatusBecomes(Process& p, const std::string& device, const std::string& prefix) {
  for (int i = 0; i < 40; ++i) {
    p.Send("status " + device);
    const std::string line = p.WaitFor(" status 0x", 5s);
    if (line.rfind(prefix, 0) == 0) return true;
    std::this_thread::sleep_for(250ms);
  }
  return false;
}

bool Mentions(const Process& p, const std::string& text) {
  for (const auto& l : p.lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

bool Quit(Process& p) {
  p.Send("quit");
  return p.Wait(15s) == 0;
}

}  // namespace quillark::test
