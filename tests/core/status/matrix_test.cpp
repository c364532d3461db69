// Array cells: kept in the site from the command module's settings, their
// status made of their two parents', and their made-up poll answers.
#include "core/status/matrix.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/comms/message.h"
#include "core/site/config.h"
#include "core/site/fnfile.h"
#include "core/status/devicecontext.h"
#include "core/status/selset.h"
#include "support/busfixture.h"

namespace quillark::test {
namespace {

class Context : public DeviceContext {
 public:
  TSiteConfig* GetSiteConfig() const override { return site; }
  SelectionSet& GetSelection() override { return selection; }
  int GetSelDetector() const override { return -1; }
  void SetSelDetector(int) override {}
  bool IsCommandEnabled(int) const override { return false; }
  unsigned GetDeviceStatus(int d) const override {
    auto it = status.find(d);
    return it != status.end() ? it->second : 0x8001;
  }
  unsigned GetDeviceFaultStatus(int d) const override {
    auto it = fault.find(d);
    return it != fault.end() ? it->second : 0x100;
  }
  TSiteConfig* site = nullptr;
  SelectionSet selection;
  std::map<int, unsigned> status, fault;
};

class MatrixTest : public ::testing::Test {
 protected:
  MatrixTest() : site((host.home / "site.cfg").string(), true), wire(&host.bus) {
    ctx.site = &site;
    for (std::uint32_t a = 1; a <= 15; ++a) {
      DeviceConfig d(a, DETECTOR, PELORIN2000DETECTOR);
      d.SetParentAddress(1);
      d.SetParentType(BUSCONTROLLER);
      site.InsertDevice(d);
    }
    site.Save();
    host.home.Write("site.dfs", "!6\"127\r\n255:255:255\r\n");
  }
  // The command module's array settings: 141, 142, and every enable bit.
  void Settings(int on, int first, int enables = 0xFF) {
    std::string cfs = "!8\"127\r\n";
    cfs += FnValueLine(1, 141, static_cast<unsigned>(on));
    cfs += FnValueLine(1, 142, static_cast<unsigned>(first));
    for (unsigned f = 143; f <= 156; ++f) cfs += FnValueLine(1, f, static_cast<unsigned>(enables));
    host.home.Write("site.cfs", cfs + "255:255:255\r\n");
  }
  int Cells() const {
    int n = 0;
    for (const DeviceConfig& d : site) n += d.GetModel() == ARRAYSCANCELL ? 1 : 0;
    return n;
  }
  std::string SavedSite() const { return host.home.Read("site.cfg"); }

  BusFixture host;
  TSiteConfig site;
  Context ctx;
  RecordingReceiver wire;
};

TEST_F(MatrixTest, EveryCellEnabledFromTheFirstDetectorGivesCells16To120) {
  Settings(110, 1);
  MatrixScan scan(host.bus, ctx);
  EXPECT_TRUE(scan.Enabled());
  EXPECT_EQ(Cells(), 105);
  const DeviceConfig* first = site.GetDevice(16, DETECTOR);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetModel(), ARRAYSCANCELL);
  EXPECT_EQ(first->GetLocation(), "2 and 1");
  EXPECT_EQ(first->GetParentAddress(), 1u);
  EXPECT_EQ(site.GetDevice(120, DETECTOR)->GetLocation(), "15 and 14");
  EXPECT_EQ(scan.GetCell(120)->parent1, 15);
  EXPECT_EQ(scan.GetCell(120)->parent2, 14);
  EXPECT_EQ(site.GetDevice(121, DETECTOR), nullptr);
  // Saved, and the cells' settings lines read them as cells.
  EXPECT_EQ(TSiteConfig((host.home / "site.cfg").string()).GetDevice(16, DETECTOR)->GetModel(),
            ARRAYSCANCELL);
  EXPECT_EQ(site.GetFnValue(DETECTOR, 16, 44), ARRAYSCANCELL);

  // A second rebuild on the same settings changes nothing and saves nothing.
  const std::string saved = SavedSite();
  const std::string dfs = host.home.Read("site.dfs");
  std::filesystem::remove(host.home / "site.cfg");
  EXPECT_FALSE(scan.InitCells());
  EXPECT_FALSE(std::filesystem::exists(host.home / "site.cfg"));
  EXPECT_EQ(host.home.Read("site.dfs"), dfs);
  site.Save();
  EXPECT_EQ(SavedSite(), saved);

  // Switched off: every cell goes, and the site is saved without them.
  Settings(109, 1);
  EXPECT_TRUE(scan.InitCells());
  EXPECT_FALSE(scan.Enabled());
  EXPECT_EQ(Cells(), 0);
  EXPECT_EQ(TSiteConfig((host.home / "site.cfg").string()).GetDevice(16, DETECTOR), nullptr);
  EXPECT_EQ(scan.GetAlarmStatus(16), 1u);
}

TEST_F(MatrixTest, CellsBeyondAddress127AreNotMadeAndClearedBitsRemoveCells) {
  Settings(110, 20);
  MatrixScan scan(host.bus, ctx);
  EXPECT_EQ(site.GetDevice(34, DETECTOR), nullptr);
  EXPECT_NE(site.GetDevice(35, DETECTOR), nullptr);
  EXPECT_NE(site.GetDevice(127, DETECTOR), nullptr);
  EXPECT_EQ(Cells(), 127 - 35 + 1);
  EXPECT_EQ(site.GetDevice(35, DETECTOR)->GetLocation(), "21 and 20");

  // Function 143 cleared: its eight cells go, the others stay.
  std::string cfs = host.home.Read("site.cfs");
  FnTextSetValue(cfs, 1, 142, 0);
  host.home.Write("site.cfs", cfs);
  EXPECT_TRUE(scan.InitCells());
  for (std::uint32_t a = 35; a < 43; ++a) EXPECT_EQ(site.GetDevice(a, DETECTOR), nullptr) << a;
  EXPECT_NE(site.GetDevice(43, DETECTOR), nullptr);
}

TEST_F(MatrixTest, ARealDetectorOnAnEnabledCellIsAnnouncedAndRemoved) {
  DeviceConfig d(16, DETECTOR, PELORIN2000DETECTOR);
  d.SetLocation("Store");
  site.InsertDevice(d);
  Settings(110, 1);
  MatrixScan scan(host.bus, ctx);
  ASSERT_EQ(host.prompter.prompts.size(), 1u);
  const std::string& text = host.prompter.prompts[0].text;
  EXPECT_EQ(text.rfind("'Pelorin 2000 detector", 0), 0u) << text;
  EXPECT_NE(text.find("at address 16 in the site configuration"), std::string::npos) << text;
  EXPECT_NE(text.find("Change the address of 'Pelorin 2000 detector"), std::string::npos);
  EXPECT_EQ(host.prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(site.GetDevice(16, DETECTOR)->GetModel(), ARRAYSCANCELL);
  EXPECT_EQ(site.GetDevice(16, DETECTOR)->GetLocation(), "2 and 1");
}

TEST_F(MatrixTest, ACellAlarmsOnlyWhenBothParentsDoAndFaultsWhenEitherDoes) {
  Settings(110, 1);
  MatrixScan scan(host.bus, ctx);
  // Cell 16 stands for detectors 2 and 1.
  ctx.status = {{2, 0x08}, {1, 0x04}};
  ctx.fault = {{2, 0}, {1, 0}};
  EXPECT_EQ(scan.GetAlarmStatus(16), 0u);
  ctx.status = {{2, 0x0C}, {1, 0x04}};
  EXPECT_EQ(scan.GetAlarmStatus(16), 0x04u);
  ctx.status = {{2, 0x09}, {1, 0x08}};
  ctx.fault = {{2, 0x01}, {1, 0x10}};
  EXPECT_EQ(scan.GetAlarmStatus(16), 0x09u);
  EXPECT_EQ(scan.GetFaultStatus(16), 0x11u);

  host.bus.SetBusViewer(&wire);
  scan.ScanDevice(16);
  ASSERT_FALSE(wire.frames.empty());
  const std::string frame = scan.Answer(16);
  EXPECT_EQ(frame.substr(0, 8), std::string("@\x90") + "091100");
  EXPECT_EQ(frame.size(), 10u);
  EXPECT_EQ(Message::CalculateXORsum(frame.c_str(), 8), std::stoi(frame.substr(8), nullptr, 16));
  EXPECT_EQ(wire.frames.back().substr(0, 10), frame);

  // A parent never heard from: the frame cannot pass its check sum.
  ctx.fault.erase(1);
  const std::string unknown = scan.Answer(16);
  EXPECT_EQ(unknown.size(), 10u);
  EXPECT_EQ(unknown.substr(0, 7), std::string("@\x90") + "09101");
  EXPECT_NE(Message::GetMessageFlags(unknown.c_str(), 10),
            Message::GetMessageFlags(frame.c_str(), 10));
}

TEST(MatrixCells, PairsRunByTheHigherThenTheLowerDetector) {
  EXPECT_EQ(MatrixScan::CellParents(0), std::make_pair(2, 1));
  EXPECT_EQ(MatrixScan::CellParents(1), std::make_pair(3, 1));
  EXPECT_EQ(MatrixScan::CellParents(2), std::make_pair(3, 2));
  EXPECT_EQ(MatrixScan::CellParents(3), std::make_pair(4, 1));
  EXPECT_EQ(MatrixScan::CellParents(104), std::make_pair(15, 14));
}

}  // namespace
}  // namespace quillark::test
