#include "core/views/bargraph.h"

#include "core/common/statusbits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/access/commands.h"
#include "core/site/config.h"
#include "core/status/devicestatussource.h"
#include "support/apphost.h"
#include "support/frames.h"

namespace quillark::test {
namespace {

// The application's record of each device, set by the test.
struct FakeStatus : DeviceStatusSource {
  unsigned GetDeviceStatus(int d) const override {
    auto it = status.find(d);
    return it == status.end() ? 0x8001 : it->second;
  }
  unsigned GetDeviceFaultStatus(int d) const override {
    auto it = fault.find(d);
    return it == fault.end() ? 0x100 : it->second;
  }
  std::map<int, unsigned> status, fault;
};

struct RecordingObserver : BargraphObserver {
  void PanelChanged(int i) override { panels.push_back(i); }
  void AllChanged() override { ++all; }
  void TabsChanged() override { ++tabs; }
  std::vector<int> panels;
  int all = 0, tabs = 0;
};

// The demo site (two loops: command module, power supply and detectors on
// each) with the application's status under the test's control.
class BargraphTest : public ::testing::Test {
 protected:
  void Start() {
    host.CopyDemoHome();
    for (const auto& [k, v] : settings) host.Set(k.first, k.second, v);
    host.app->InitMainWindow(host.home.Path());
    host.app->SetDeviceStatusSource(&fake);
    bargraph = std::make_unique<Bargraph>(&host.Bus(), host.app.get(), 2);
    bargraph->SetObserver(&seen);
  }
  void SetUp() override {}
  void TearDown() override {
    bargraph.reset();
    host.app->SetDeviceStatusSource(nullptr);
  }
  // A fast-poll answer: address byte, status, fault and level.
  void Answer(int loop, int addressbyte, int st, int fault, int level) {
    char body[16];
    std::snprintf(body, sizeof body, "@%c%02x%02x%02x", static_cast<char>(addressbyte), st, fault,
                  level);
    Frame(loop, WithSum(body));
  }
  void Frame(int loop, const std::string& f) {
    host.app->DespatchRxMessage(loop, f.c_str(), static_cast<int>(f.size()), true);
  }
  const PanelDisp& Panel(int device) {
    const PanelDisp* p = bargraph->GetPanel(device);
    EXPECT_NE(p, nullptr) << device;
    return *p;
  }

  std::map<std::pair<std::string, std::string>, std::string> settings;
  AppHost host;
  FakeStatus fake;
  RecordingObserver seen;
  std::unique_ptr<Bargraph> bargraph;
};

TEST(PanelDispTest, PowerSupplyIsNotPolledNotFaulty) {
  PanelDisp p(DeviceConfig(0x181, POWERSUPPLY), 0x181, 0);
  EXPECT_EQ(p.Status().GetState(), SL_UNKNOWN);
  EXPECT_EQ(p.Status().GetText(), "Not polled");
}

TEST(PanelDispTest, LampsFollowStatusFaultAndLevel) {
  DeviceConfig det(0x103, DETECTOR, PELORIN2000DETECTOR);
  PanelDisp p(det, 0x103, 0);
  EXPECT_EQ(p.GetTitle(), "Detector 2-003");
  // Until the first answer nothing is known: grey, never "Fault".
  EXPECT_EQ(p.Status().GetState(), SL_UNKNOWN);
  EXPECT_EQ(p.Status().GetText(), "Unknown");
  p.Update(STATUS_UNKNOWN, FAULTS_UNKNOWN, 0);
  EXPECT_EQ(p.Status().GetText(), "Unknown");
  EXPECT_EQ(p.Status().GetColour(), 0xA0A0A0u);

  p.Update(0x00, 0x20, 0x65);  // fault bits mean nothing without status bit 0
  EXPECT_EQ(p.Status().GetState(), SL_OFF);
  EXPECT_EQ(p.Status().GetText(), " OK");
  EXPECT_EQ(p.Status().GetColour(), 0x00FF00u);
  EXPECT_EQ(p.GetLevel(), 5);  // bits 5 and 6 dropped
  for (int i = 0; i < PanelDisp::ROUNDBARS; ++i) EXPECT_EQ(p.RoundBar(i).GetState(), SL_OFF);

  // Isolation wins over every other fault bit.
  p.Update(0x01 | 0x10 | 0x02, 0x20 | 0x04 | 0x01, 0x1F);
  EXPECT_EQ(p.Status().GetState(), SL_ON2);
  EXPECT_EQ(p.Status().GetText(), "Isol");
  EXPECT_EQ(p.Status().GetColour(), 0xFF4040u);  // blue 4040FF as red + 256 g + 65536 b
  EXPECT_EQ(p.Alarm(0).GetState(), SL_ON);       // Fire2
  EXPECT_EQ(p.Alarm(1).GetState(), SL_OFF);
  EXPECT_EQ(p.Alarm(2).GetState(), SL_OFF);
  EXPECT_EQ(p.Alarm(3).GetState(), SL_ON);  // Aux
  EXPECT_EQ(p.Alarm(0).GetColour(), 0x0000FFu);
  EXPECT_EQ(p.Alarm(0).GetText(), "Fire2");
  EXPECT_EQ(p.GetLevel(), 31);
  EXPECT_EQ(p.GetGauge(), 20);
  for (int i = 0; i < PanelDisp::ROUNDBARS; ++i) {
    EXPECT_EQ(p.RoundBar(i).GetState(), SL_ON) << i;
    EXPECT_EQ(p.RoundBar(i).GetColour(), 0x0080FFu);
  }

  p.Update(0x01, 0x04, 23);
  EXPECT_EQ(p.Status().GetState(), SL_ON);
  EXPECT_EQ(p.Status().GetColour(), 0x00FFFFu);
  EXPECT_EQ(p.RoundBar(2).GetState(), SL_ON);  // 23 > 22
  EXPECT_EQ(p.RoundBar(3).GetState(), SL_OFF);

  // Any byte with the top bit set shows nothing.
  for (unsigned b : {0x80u, 0x9Fu, 0xFFu}) {
    p.Update(0, 0, b);
    EXPECT_EQ(p.GetLevel(), 0) << b;
  }
}

TEST(PanelDispTest, TitlesOfEachKind) {
  EXPECT_EQ(
      PanelDisp(DeviceConfig(0x301, BUSCONTROLLER, PELORIN2000BUSMASTER), 0x300, 0).GetTitle(),
      "Command module 004");
  EXPECT_EQ(PanelDisp(DeviceConfig(0x002, POWERSUPPLY, PELORIN2000POWERSUPPLY), 0x81, 0).GetTitle(),
            "Power supply 1-002");
  EXPECT_EQ(Bargraph::StatusPriority(0x1F, 0x20), 0);
  EXPECT_EQ(Bargraph::StatusPriority(0x05, 0), 2);
  EXPECT_EQ(Bargraph::StatusPriority(0x01, 0x20), 6);
  EXPECT_EQ(Bargraph::StatusPriority(0x01, 0x04), 4);
  EXPECT_EQ(Bargraph::StatusPriority(0x60, 0x20), 5);
}

TEST_F(BargraphTest, PanelsOfEveryConfiguredDeviceInAddressOrder) {
  Start();
  const auto& panels = bargraph->GetPanels();
  // Loop 1: command module, detectors, power supply; then loop 2.
  ASSERT_FALSE(panels.empty());
  EXPECT_EQ(panels.front().GetDeviceId(), 0);
  for (std::size_t i = 1; i < panels.size(); ++i)
    EXPECT_LT(panels[i - 1].GetDeviceId(), panels[i].GetDeviceId());
  EXPECT_NE(bargraph->GetPanel(128), nullptr);  // power supply 1 of loop 1
  EXPECT_NE(bargraph->GetPanel(256 + 7), nullptr);
  EXPECT_EQ(bargraph->GetPanel(100), nullptr);

  // The PC itself as a loop's command module has no panel.
  host.app->GetSiteConfig()->InsertDevice(DeviceConfig(1, BUSCONTROLLER, PCBUSMASTER));
  bargraph->CreatePanels();
  EXPECT_EQ(bargraph->GetPanel(0), nullptr);
  EXPECT_NE(bargraph->GetPanel(256), nullptr);

  // Rows wrap at the width; a point finds its panel.
  const int step = PanelGeometry::WIDTH + PanelGeometry::GAP;
  auto [w, h] = bargraph->Layout(3 * step + PanelGeometry::GAP);
  EXPECT_EQ(w, 3 * step + PanelGeometry::GAP);
  const int rows = (static_cast<int>(panels.size()) + 2) / 3;
  EXPECT_EQ(h, PanelGeometry::GAP + rows * (PanelGeometry::HEIGHT + PanelGeometry::GAP));
  const auto& r = panels[4].GetPanelRect();
  EXPECT_EQ(r.left, PanelGeometry::GAP + step);
  EXPECT_EQ(bargraph->PanelAt(r.left + 1, r.top + 1), 4);
  EXPECT_EQ(bargraph->PanelAt(r.right + 1, r.top + 1), -1);  // the gap
  EXPECT_EQ(bargraph->PanelAt(10000, 10), -1);
  EXPECT_EQ(bargraph->PanelAt(10, 100000), -1);
}

TEST_F(BargraphTest, AnswersUpdateOnlyTheirPanelWhenSomethingChanged) {
  Start();
  const int index = bargraph->GetPanelIndex(3);
  ASSERT_GE(index, 0);

  // The first answer always redraws, even at level 0 and no alarm.
  Answer(0, 0x83, 0x00, 0x00, 0x00);
  EXPECT_EQ(seen.panels, std::vector<int>{index});
  EXPECT_EQ(Panel(3).Status().GetState(), SL_OFF);

  // Once the application has the same bits, the same answer changes nothing.
  fake.status[3] = 0;
  fake.fault[3] = 0;
  seen.panels.clear();
  Answer(0, 0x83, 0x00, 0x00, 0x00);
  Answer(0, 0x83, 0x00, 0x00, 0x60);  // level bits that are not shown
  EXPECT_TRUE(seen.panels.empty());

  Answer(0, 0x83, 0x00, 0x00, 0x65);
  EXPECT_EQ(Panel(3).GetLevel(), 5);
  Answer(0, 0x83, 0x09, 0x00, 0x65);
  EXPECT_EQ(Panel(3).Alarm(1).GetState(), SL_ON);
  EXPECT_EQ(seen.panels, (std::vector<int>{index, index}));

  // Frames that are not a fast-poll answer of a configured loop are ignored.
  seen.panels.clear();
  Answer(0, 0x03, 0x10, 0x00, 0x10);  // address top bit clear
  Answer(2, 0x83, 0x10, 0x00, 0x10);  // loop beyond those shown
  Frame(0, WithSum("*\x83"
                   "10"));  // a power supply's short answer
  bargraph->MsgRx(0,
                  "@\x83"
                  "1");  // cut off
  EXPECT_TRUE(seen.panels.empty());
  EXPECT_EQ(Panel(3).Alarm(0).GetState(), SL_OFF);

  // An answer for a device without a panel still keeps its level, so that a
  // panel made later starts right; the last address of the last loop is in range.
  Bargraph sixteen(&host.Bus(), host.app.get(), 16);
  sixteen.MsgRx(15, WithSum("@\xff"
                            "000007")
                        .c_str());
  EXPECT_EQ(sixteen.GetLastLevel(15 * 256 + 127), 7u);
}

TEST_F(BargraphTest, PanelsMadeAgainShowWhatIsKnown) {
  fake.status[260] = 0x08;
  Start();
  EXPECT_EQ(bargraph->GetTabIcon(1), 4);  // a fire 1 before the display was made
  EXPECT_EQ(bargraph->GetTabIcon(0), 0);
  Answer(1, 0x81, 0x01, 0x20, 0x18);
  fake.status[257] = 0x01;
  fake.fault[257] = 0x20;
  bargraph->LoopChange(1);  // loop 2 only
  EXPECT_EQ(bargraph->GetPanel(3), nullptr);
  EXPECT_EQ(Panel(257).Status().GetState(), SL_ON2);
  EXPECT_EQ(Panel(257).GetLevel(), 0x18);
  EXPECT_EQ(Panel(257).RoundBar(3).GetState(), SL_ON);
}

TEST_F(BargraphTest, TabsCaptionsColoursAndStatus) {
  settings[{"Tabs", "Loop2"}] = "Warehouse";
  settings[{"Colours", "Loop1"}] = "10,20,30";
  settings[{"Colours", "Loop2"}] = "rubbish";
  Start();
  ASSERT_EQ(bargraph->GetTabCount(), 4);
  EXPECT_EQ(bargraph->GetTabCaption(0), " Loop 1 ");
  EXPECT_EQ(bargraph->GetTabCaption(1), "Warehouse");
  EXPECT_EQ(bargraph->GetTabCaption(2), "Site");
  EXPECT_EQ(bargraph->GetTabCaption(3), "All loops");
  EXPECT_EQ(bargraph->GetCurrentTab(), bargraph->AllLoopsTab());
  EXPECT_EQ(Panel(3).GetBackground(), 10u + 20u * 256 + 30u * 65536);
  EXPECT_EQ(Panel(257).GetBackground(), 0xC0C0C0u);

  // A pre-alarm on loop 2 with a fault elsewhere on it; the other loop stays normal.
  fake.status[258] = 0x01;
  fake.status[259] = 0x8001;  // not known yet: left out
  Answer(1, 0x83, 0x04, 0x00, 0x00);
  EXPECT_EQ(bargraph->GetTabStatus(1), 0x05u);
  EXPECT_EQ(bargraph->GetTabIcon(1), 3);
  EXPECT_EQ(bargraph->GetTabIcon(0), 0);
  EXPECT_EQ(bargraph->GetTabIcon(bargraph->AllLoopsTab()), 3);
  EXPECT_GE(seen.tabs, 1);
  EXPECT_EQ(bargraph->GetCurrentTab(), bargraph->AllLoopsTab());  // SwitchLoop is off
}

TEST_F(BargraphTest, SwitchLoopShowsTheLoopThatChanged) {
  settings[{"Tabs", "SwitchLoop"}] = "1";
  Start();
  Answer(1, 0x82, 0x10, 0x00, 0x00);
  EXPECT_EQ(bargraph->GetCurrentTab(), 1);
  EXPECT_EQ(bargraph->GetPanel(3), nullptr);
  EXPECT_EQ(Panel(258).Alarm(0).GetState(), SL_ON);
}

TEST_F(BargraphTest, SelectionAndContextMenu) {
  Start();
  SelectionSet& sel = host.app->GetSelection();
  const auto& panels = bargraph->GetPanels();
  bargraph->Layout(10000);
  const auto r3 = Panel(3).GetPanelRect();
  bargraph->SelectAt(r3.left + 5, r3.top + 5, Bargraph::SEL_REPLACE);
  EXPECT_EQ(sel.Count(), 1);
  EXPECT_TRUE(sel.ContainsInternalAddress(3));
  EXPECT_EQ(host.app->GetSelDetector(), 3);
  EXPECT_TRUE(bargraph->IsSelected(Panel(3)));

  // A drag over panels 0 to 2 replaces, a toggle click takes one out.
  const auto& a = panels[0].GetPanelRect();
  const auto& c = panels[2].GetPanelRect();
  bargraph->SelectRect({a.left + 3, a.top + 3, c.left + 3, c.bottom - 3}, Bargraph::SEL_REPLACE);
  EXPECT_EQ(sel.Count(), 3);
  EXPECT_FALSE(sel.ContainsInternalAddress(3));
  bargraph->SelectAt(a.left + 3, a.top + 3, Bargraph::SEL_TOGGLE);
  EXPECT_EQ(sel.Count(), 2);
  EXPECT_FALSE(sel.ContainsInternalAddress(panels[0].GetDeviceId()));

  auto menu = bargraph->ContextMenu();
  auto find = [&](int cmd) -> const Bargraph::MenuEntry* {
    for (const auto& e : menu)
      if (e.command == cmd) return &e;
    return nullptr;
  };
  ASSERT_NE(find(CMD_ISOLATESELECTED), nullptr);
  EXPECT_EQ(find(CMD_ISOLATESELECTED)->text, 50900);
  EXPECT_EQ(find(CMD_DEMOFIRE2)->text, 31100);
  EXPECT_EQ(find(CMD_VIEWZONE)->text, 18800);
  EXPECT_TRUE(find(CMD_DEMOFIRE2)->enabled);

  // Commands without a handler are disabled.
  bargraph->SetCommandFilter([](int id) { return id != CMD_DEMOFIRE2; });
  menu = bargraph->ContextMenu();
  EXPECT_FALSE(find(CMD_DEMOFIRE2)->enabled);
  EXPECT_TRUE(find(CMD_DEMOFIRE1)->enabled);

  // No detector selected (a click beside every panel clears): no mass commands.
  bargraph->SelectAt(100000, 5, Bargraph::SEL_REPLACE);
  EXPECT_EQ(sel.Count(), 0);
  menu = bargraph->ContextMenu();
  EXPECT_EQ(find(CMD_ISOLATESELECTED), nullptr);
  EXPECT_FALSE(find(CMD_DEMOFIRE1)->enabled);

  // A double click opens the zone of a device that has one the site defines.
  EXPECT_EQ(bargraph->DoubleClickCommand(r3.left + 5, r3.top + 5), CMD_VIEWZONE);
  const auto r0 = Panel(0).GetPanelRect();
  EXPECT_EQ(bargraph->DoubleClickCommand(r0.left + 5, r0.top + 5), CMD_VIEWMAP);
}

TEST_F(BargraphTest, KeyboardFocusMovesAcrossTheGridAndSpaceSelects) {
  Start();
  SelectionSet& sel = host.app->GetSelection();
  const auto& panels = bargraph->GetPanels();
  const int n = static_cast<int>(panels.size());
  const int step = PanelGeometry::WIDTH + PanelGeometry::GAP;
  bargraph->Layout(4 * step + PanelGeometry::GAP);  // four columns
  ASSERT_GT(n, 9);
  ASSERT_NE(n % 4, 0) << "the last row must be short for the Down case";
  auto id = [&](int i) { return panels[static_cast<std::size_t>(i)].GetDeviceId(); };

  EXPECT_EQ(bargraph->GetFocusPanel(), -1);
  bargraph->MoveFocus(Bargraph::FOCUS_DOWN);  // the first step lands on the first panel
  EXPECT_EQ(bargraph->GetFocusPanel(), 0);
  seen.panels.clear();
  bargraph->MoveFocus(Bargraph::FOCUS_RIGHT);
  EXPECT_EQ(seen.panels, (std::vector<int>{0, 1}));  // both redrawn, nothing else
  bargraph->MoveFocus(Bargraph::FOCUS_DOWN);
  EXPECT_EQ(bargraph->GetFocusPanel(), 5);
  bargraph->MoveFocus(Bargraph::FOCUS_UP);
  bargraph->MoveFocus(Bargraph::FOCUS_LEFT);
  bargraph->MoveFocus(Bargraph::FOCUS_LEFT);  // the edge holds
  bargraph->MoveFocus(Bargraph::FOCUS_UP);
  EXPECT_EQ(bargraph->GetFocusPanel(), 0);

  // Down over the end of a short last row lands on its last panel.
  const int rowend = ((n - 1) / 4 - 1) * 4 + 3;  // the end of the row above the last
  bargraph->MoveFocus(Bargraph::FOCUS_LAST);
  EXPECT_EQ(bargraph->GetFocusPanel(), n - 1);
  bargraph->MoveFocus(Bargraph::FOCUS_UP);
  EXPECT_EQ(bargraph->GetFocusPanel(), n - 5);
  for (int i = n - 5; i < rowend; ++i) bargraph->MoveFocus(Bargraph::FOCUS_RIGHT);
  ASSERT_EQ(bargraph->GetFocusPanel(), rowend);
  bargraph->MoveFocus(Bargraph::FOCUS_DOWN);
  EXPECT_EQ(bargraph->GetFocusPanel(), n - 1);

  // Space replaces the selection, Ctrl+Space toggles; the single-device
  // commands follow the panel picked.
  bargraph->MoveFocus(Bargraph::FOCUS_FIRST);
  bargraph->MoveFocus(Bargraph::FOCUS_RIGHT);
  bargraph->SelectFocus(Bargraph::SEL_REPLACE);
  EXPECT_EQ(sel.Count(), 1);
  EXPECT_EQ(host.app->GetSelDetector(), id(1));
  bargraph->MoveFocus(Bargraph::FOCUS_RIGHT);
  bargraph->SelectFocus(Bargraph::SEL_TOGGLE);
  EXPECT_EQ(sel.Count(), 2);
  EXPECT_EQ(host.app->GetSelDetector(), id(2));
  bargraph->SelectFocus(Bargraph::SEL_TOGGLE);
  EXPECT_EQ(sel.Count(), 1);
  EXPECT_TRUE(sel.ContainsInternalAddress(id(1)));
  EXPECT_EQ(bargraph->FocusCommand(),
            bargraph->DoubleClickCommand(panels[2].GetPanelRect().left + 1,
                                         panels[2].GetPanelRect().top + 1));

  // The focus follows its device through a rebuild, and a fresh focus
  // starts on the selected device.
  const int device = id(2);
  bargraph->CreatePanels();
  EXPECT_EQ(bargraph->GetFocusPanel(), bargraph->GetPanelIndex(device));
  Bargraph other(&host.Bus(), host.app.get(), 2);
  other.EnsureFocus();
  EXPECT_EQ(other.GetFocusPanel(), other.GetPanelIndex(host.app->GetSelDetector()));
  EXPECT_GE(other.GetFocusPanel(), 0);
}

TEST_F(BargraphTest, RegistersFirstAndLeavesOnDestruction) {
  Start();
  const std::size_t with = host.app->GetBus().RegisteredReceivers();
  bargraph.reset();
  EXPECT_EQ(host.app->GetBus().RegisteredReceivers(), with - 1);
}

}  // namespace
}  // namespace quillark::test
