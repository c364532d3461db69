// Diagnostics and device transfers from the headless console on the
// demonstration site, whose detectors answer the query but neither the
// self-test nor the relay requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "console.h"
#include "process.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

using namespace std::chrono_literals;

TEST(ConsoleDiagnostics, DiagListsTheDemoDevicesAndTheTestsSayWhatDidNotAnswer) {
  TempDir home;
  CopyDemoHome(home.Path());
  auto p = StartHeadless(home.Path());
  EXPECT_TRUE(Answers(*p, "diag", "refused: the access level is too low"));
  EXPECT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  // Every detector of both loops, with its type, firmware, state and text.
  EXPECT_TRUE(Answers(*p, "diag", "Address     Device"));
  // Rows come in the order asked: each address on both loops.
  const std::string row = p->WaitFor("1-005\t", 30s);
  EXPECT_NE(row.find("2.2\tUntested        \tPelorin-Vantor 2"), std::string::npos) << row;
  EXPECT_NE(p->WaitFor("2-127\tPelorin 2000 detector", 30s), "");
  EXPECT_NE(p->WaitFor("254 device(s) answered", 5s), "");
  // Right after a scan of both loops the very first read request is answered.
  EXPECT_TRUE(Answers(*p, "select 1-005", "selected 1-005"));
  EXPECT_TRUE(Answers(*p, "read 1", "reading 1-005 for 1 s"));
  EXPECT_EQ(p->WaitFor("level ", 15s).rfind("level ", 0), 0u);
  EXPECT_EQ(p->WaitFor("read ended: ", 15s), "read ended: 1 reading(s)");
  EXPECT_TRUE(Answers(*p, "diag 2", "127 device(s) answered"));
  EXPECT_TRUE(Answers(*p, "diag 3", "error: the loop is 1 to 2"));
  EXPECT_TRUE(Mentions(*p, "Enter diagnostics by user 'Engineer'"));

  EXPECT_TRUE(Answers(*p, "relays 11", "relays of 1-005: sending 11"));
  EXPECT_NE(p->WaitFor("error: 1-005: The device did not confirm the relay setting.", 20s), "");
  EXPECT_TRUE(Answers(*p, "read 4", "reading 1-005 for 4 s"));
  EXPECT_NE(p->WaitFor(" pipe1 012 pipe2 008 pipe3 015 pipe4 ", 15s), "");
  EXPECT_EQ(p->WaitFor("read ended:", 15s), "read ended: 3 reading(s)");
  EXPECT_TRUE(Answers(*p, "selftest", "self-test of 1-005 started"));
  EXPECT_NE(p->WaitFor("error: 1-005: The device did not start its self-test", 30s), "");
  EXPECT_TRUE(Mentions(*p, "Run diagnostics on device 5 by user 'Engineer'"));
  EXPECT_TRUE(Quit(*p));
}

TEST(ConsoleDiagnostics, TransfersRefuseBadFilesAndSendAGoodLogo) {
  TempDir home;
  CopyDemoHome(home.Path());
  {
    std::ofstream(home.Path() / "short.ilt") << "1\n3\n1 A\n";
    std::ofstream(home.Path() / "photo.lgo") << "GIF89a" << std::string(200, 'x');
    // An 8 x 8 picture at one bit a pixel: 8 bytes, one block.
    std::string bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[10] = 54;
    bmp[14] = 40;
    bmp[18] = 8;
    bmp[22] = 8;
    bmp[26] = 1;
    bmp[28] = 1;
    bmp += std::string(8, '\x55');
    std::ofstream(home.Path() / "small.lgo", std::ios::binary) << bmp;
  }
  auto p = StartHeadless(home.Path());
  const std::string dir = home.Path().string() + "/";
  EXPECT_TRUE(Answers(*p, "sendlogo " + dir + "small.lgo", "refused: the access level"));
  EXPECT_TRUE(Answers(*p, "logon Engineer", "logged on as Engineer"));
  EXPECT_TRUE(Answers(*p, "sendtexts " + dir + "short.ilt",
                      "error: The language file ends before text 3."));
  EXPECT_TRUE(Answers(*p, "sendtexts " + dir + "none.ilt", "error: Cannot open"));
  EXPECT_TRUE(
      Answers(*p, "sendlogo " + dir + "photo.lgo",
              "error: An error ocurred opening the bitmap: The logo file is not a bitmap."));
  EXPECT_TRUE(Answers(*p, "sendlogo " + dir + "small.lgo", "Setting logo..."));
  EXPECT_NE(p->WaitFor("logo sent", 20s), "");
  EXPECT_TRUE(Answers(*p, "stats", "polls "));
  EXPECT_TRUE(Quit(*p));
}

}  // namespace
}  // namespace quillark::test
