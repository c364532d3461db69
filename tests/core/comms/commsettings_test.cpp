#include "core/comms/commsettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "core/access/translator.h"
#include "core/common/inifile.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

std::string FileText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of the settings file, to see exactly what a write changed.
std::set<std::string> FileLines(const std::filesystem::path& p) {
  std::set<std::string> lines;
  std::istringstream in(FileText(p));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(line);
  }
  return lines;
}

class CommSettingsTest : public ::testing::Test {
 protected:
  TempDir home;
  INIfile ini{home / "quillark.ini"};
};

TEST_F(CommSettingsTest, ShowsTheBuiltInDefaultsWhenNothingIsSet) {
  const CommSettings s = CommSettings::Read(ini);
  EXPECT_EQ(s.loops, 1);
  EXPECT_EQ(s.rxbuff, "4096");
  EXPECT_EQ(s.txbuff, "128");
  EXPECT_EQ(s.commsfailtimeout, "50000");
  EXPECT_FALSE(s.monitor);
  for (const auto& port : s.ports) {
    EXPECT_EQ(port.type, PORT_COM);
    EXPECT_EQ(port.value, "1");
  }
  EXPECT_EQ(s.Check(), "");

  // Pressing OK on what was shown stores nothing: the ports keep their own
  // defaults (a 5000-byte ring, not the 4096 shown).
  ASSERT_TRUE(s.Write(ini, s));
  EXPECT_FALSE(std::filesystem::exists(home / "quillark.ini"));
}

TEST_F(CommSettingsTest, ReadsEachLoopsPortWithTheDefaultOfItsType) {
  ini.WriteString("Comm", "Loops", "20");
  ini.WriteString("Comm", "Loop2PortType", "1");
  ini.WriteString("Comm", "Loop3PortType", "3");
  ini.WriteString("Comm", "Loop4PortType", "9");
  ini.WriteString("Comm", "Loop4Port", "/dev/ttyUSB0");
  ini.WriteString("Comm", "RxBuff", "8000");
  ini.WriteString("NetworkMonitoring", "Enable", "1");
  const CommSettings s = CommSettings::Read(ini);
  EXPECT_EQ(s.loops, 16);
  EXPECT_EQ(s.ports[1].type, PORT_NETMONITOR);
  EXPECT_EQ(s.ports[1].value, "1, unknown");
  EXPECT_EQ(s.ports[2].type, PORT_HLI);
  EXPECT_EQ(s.ports[2].value, "1,0");
  // A type this program does not know shows as a COM port.
  EXPECT_EQ(s.ports[3].type, PORT_COM);
  EXPECT_EQ(s.ports[3].value, "/dev/ttyUSB0");
  EXPECT_EQ(s.rxbuff, "8000");
  EXPECT_TRUE(s.monitor);
}

TEST_F(CommSettingsTest, WritesWhatWasSetOrChangedAndNothingElse) {
  ini.WriteString("Other", "Keep", "me");
  ini.WriteString("Comm", "Loops", "2");
  ini.WriteString("Comm", "Loop1Port", "3");
  ini.WriteString("Comm", "TxBuff", "256");
  const CommSettings before = CommSettings::Read(ini);
  const auto linesbefore = FileLines(home / "quillark.ini");

  CommSettings after = before;
  after.loops = 3;
  after.ports[1].type = PORT_NETCONTROL;
  after.ports[1].value = " 2,plant-pc ";
  after.commsfailtimeout = "20000";
  after.monitor = true;
  ASSERT_EQ(after.Check(), "");
  ASSERT_TRUE(after.Write(ini, before));

  const auto linesafter = FileLines(home / "quillark.ini");
  std::set<std::string> added, removed;
  for (const auto& l : linesafter)
    if (!linesbefore.count(l)) added.insert(l);
  for (const auto& l : linesbefore)
    if (!linesafter.count(l)) removed.insert(l);
  EXPECT_EQ(removed, (std::set<std::string>{"Loops=2"}));
  EXPECT_EQ(added,
            (std::set<std::string>{"Loops=3", "Loop2PortType=2", "Loop2Port=2,plant-pc",
                                   "CommsFailTimeout=20000", "[NetworkMonitoring]", "Enable=1"}));
  // Stored values read back as they were entered.
  const CommSettings again = CommSettings::Read(ini);
  EXPECT_EQ(again.loops, 3);
  EXPECT_EQ(again.ports[0].value, "3");
  EXPECT_EQ(again.ports[1].type, PORT_NETCONTROL);
  EXPECT_EQ(again.txbuff, "256");
  EXPECT_EQ(again.rxbuff, "4096");
}

TEST_F(CommSettingsTest, RefusesValuesThePortsCannotUse) {
  EXPECT_EQ(CommSettings::CheckPortValue(PORT_COM, "4"), "");
  EXPECT_EQ(CommSettings::CheckPortValue(PORT_COM, "none"), "");
  EXPECT_EQ(CommSettings::CheckPortValue(PORT_COM, "/dev/ttyUSB1"), "");
  EXPECT_NE(CommSettings::CheckPortValue(PORT_COM, "0"), "");
  EXPECT_NE(CommSettings::CheckPortValue(PORT_COM, "COM1"), "");
  EXPECT_NE(CommSettings::CheckPortValue(PORT_COM, ""), "");
  for (int type : {PORT_NETMONITOR, PORT_NETCONTROL}) {
    EXPECT_EQ(CommSettings::CheckPortValue(type, "1, unknown"), "");
    EXPECT_NE(CommSettings::CheckPortValue(type, "1,"), "");
    EXPECT_NE(CommSettings::CheckPortValue(type, "17,host"), "");
    EXPECT_NE(CommSettings::CheckPortValue(type, "host"), "");
  }
  EXPECT_EQ(CommSettings::CheckPortValue(PORT_HLI, "2,7"), "");
  EXPECT_NE(CommSettings::CheckPortValue(PORT_HLI, "2,x"), "");
  EXPECT_NE(CommSettings::CheckPortValue(7, "1"), "");
  // Every type's default passes its own check.
  for (int t = 0; t < CommSettings::PORTTYPES; ++t)
    EXPECT_EQ(CommSettings::CheckPortValue(t, CommSettings::DefaultPortValue(t)), "") << t;

  CommSettings s = CommSettings::Read(ini);
  s.loops = 2;
  s.ports[1].value = "x";
  EXPECT_EQ(s.Check().rfind("Loop 2: ", 0), 0u);
  // The dialog shows the problem in the operator's language.
  Translator german(nullptr, nullptr);
  german.SetLanguage(4);
  EXPECT_EQ(s.Check(&german),
            "Ring 2: der Anschluss muss eine COM-Anschlussnummer, ein Gerätepfad wie "
            "/dev/ttyUSB0 oder none sein.");
  s.loops = 99;
  EXPECT_EQ(s.Check(&german), "Die Anzahl der Ringe muss zwischen 1 und 16 liegen.");
  EXPECT_EQ(s.Check(), "The number of loops must be 1 to 16.");
  s.loops = 2;
  // A bad port on a loop that is not in use does not matter.
  s.loops = 1;
  EXPECT_EQ(s.Check(), "");
  for (const char* bad : {"", "15", "2000000", "-5", "12ab", "99999999999999999999"}) {
    CommSettings r = s;
    r.rxbuff = bad;
    EXPECT_NE(r.Check(), "") << bad;
  }
  s.txbuff = "0";
  EXPECT_NE(s.Check(), "");
  s.txbuff = "64";
  s.commsfailtimeout = "0";
  EXPECT_NE(s.Check(), "");
}

}  // namespace
}  // namespace quillark::test
