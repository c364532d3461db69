// The console's diagnostics words on the demonstration home, on the virtual
// clock, fed as the headless host feeds them: typed lines wait while a word
// that answers later is busy, and run as soon as its last line is out.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/access/security.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/comms/busrouter.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

class DiagnosticsConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    host.StartDemo();
    host.app->AddEventListener([this](int, const std::string& text) { events.push_back(text); });
    console = std::make_unique<Console>(*host.app);
    console->SetLateAnswer([this](const Console::Lines& lines) {
      out.insert(out.end(), lines.begin(), lines.end());
      RunLines();
    });
  }
  // Types `lines` at once, as a script piped in would.
  void Type(std::initializer_list<const char*> lines) {
    typed.insert(typed.end(), lines.begin(), lines.end());
    RunLines();
  }
  void RunLines() {
    while (!console->Busy() && !typed.empty()) {
      const std::string line = typed.front();
      typed.pop_front();
      for (const std::string& answer : console->Execute(line)) out.push_back(answer);
    }
  }
  void Settle() {
    host.events.RunUntil([this] { return typed.empty() && !console->Busy(); });
  }
  std::size_t Count(const std::string& start) const {
    return static_cast<std::size_t>(std::count_if(
        out.begin(), out.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
  }

  // What the listeners fill outlives the application: shutting it down
  // still writes events.
  std::vector<std::string> events;
  std::deque<std::string> typed;
  std::vector<std::string> out;
  AppHost host;
  std::unique_ptr<Console> console;
};

TEST_F(DiagnosticsConsole, EveryReadRightAfterAFullScanIsAnsweredFromItsFirstRequest) {
  Type({"logon Engineer", "diag", "select 1-005", "read 4", "diag 1", "read 1", "diag", "read 1"});
  Settle();
  EXPECT_EQ(Count("254 device(s) answered"), 2u);
  EXPECT_EQ(Count("127 device(s) answered"), 1u);
  // 4 s: the requests at 0, 1.5 and 3 s; 1 s: the first alone.
  EXPECT_EQ(Count("read ended: 3 reading(s)"), 1u) << ::testing::PrintToString(out);
  EXPECT_EQ(Count("read ended: 1 reading(s)"), 2u) << ::testing::PrintToString(out);
  EXPECT_EQ(Count("level "), 5u);
  EXPECT_EQ(Count("error:"), 0u) << ::testing::PrintToString(out);
  // Each read says what it reads before its first reading: read from the
  // command's own line on, the output shows every reading.
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i].rfind("level ", 0) == 0) continue;
    const bool reading = out[i].rfind("reading 1-005 for ", 0) == 0;
    const bool levelnext = i + 1 < out.size() && out[i + 1].rfind("level ", 0) == 0;
    EXPECT_EQ(levelnext, reading) << i << ": " << ::testing::PrintToString(out);
  }
  EXPECT_FALSE(host.app->GetBus().IsPollPaused());
}

// The record names who was let in to the test, also when the level times out
// while the test runs (the desktop's status bar drops it on its timer).
TEST_F(DiagnosticsConsole, TheEventNamesWhoStartedTheTestAfterTheLevelTimedOut) {
  Type({"logon Engineer", "select 1-005", "read 400"});
  host.events.Advance(310'000);  // past the 300 s a raised level lasts
  Security& security = *host.app->GetMainWindow()->GetSecurity();
  ASSERT_TRUE(security.DropExpiredAccess());
  ASSERT_EQ(security.GetUser(), "Read only");
  Settle();
  EXPECT_NE(
      std::find(events.begin(), events.end(), "Run diagnostics on device 5 by user 'Engineer'"),
      events.end())
      << ::testing::PrintToString(events);
}

}  // namespace
}  // namespace quillark::test
