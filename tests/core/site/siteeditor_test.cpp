// The site editor's operations on a working copy of the site, and the alarm
// actions sheet, without their windows.
#include "core/site/siteeditor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "core/access/translator.h"
#include "core/common/inifile.h"
#include "core/site/actions.h"
#include "core/site/detector.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

bool Has(const std::vector<int>& v, int x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

class SiteEditorTest : public ::testing::Test {
 protected:
  SiteEditorTest() : ini(dir / "quillark.ini"), translator(nullptr, nullptr) {
    file = (dir / "site.cfg").string();
    TSiteConfig site(file, true);
    // Loop 1: detector 5 on the loop, power supply 2 feeding detectors 6 to 8.
    DeviceConfig psu(2, POWERSUPPLY, PELORIN2000POWERSUPPLY);
    psu.SetParentAddress(1);
    psu.SetParentType(BUSCONTROLLER);
    site.InsertDevice(psu);
    for (std::uint32_t a : {5u, 6u, 7u, 8u}) {
      DeviceConfig d(a, DETECTOR, PELORIN2000DETECTOR);
      d.SetParentAddress(a == 5 ? 1 : 2);
      d.SetParentType(a == 5 ? BUSCONTROLLER : POWERSUPPLY);
      site.InsertDevice(d);
    }
    DeviceConfig other(256 + 9, DETECTOR, PELORIN2000DETECTOR);
    other.SetParentAddress(257);
    other.SetParentType(BUSCONTROLLER);
    site.InsertDevice(other);
    EXPECT_TRUE(site.Save(file));
    original = dir.Read("site.cfg");
  }
  TSiteConfig Loaded() const { return TSiteConfig(file); }

  test::TempDir dir;
  INIfile ini;
  Translator translator;
  test::RecordingPrompter prompter;
  std::string file;
  std::string original;
};

TEST_F(SiteEditorTest, TreeShowsLoopsWithDetectorsAndPowerSuppliesFeedingTheirOwn) {
  SiteEditor editor(Loaded(), &translator, 2);
  const auto tree = editor.Tree();
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(tree[0].label, "Command module 001");
  EXPECT_EQ(tree[0].image, SiteEditor::IMG_COMMANDMODULE);
  ASSERT_EQ(tree[0].children.size(), 2u);
  EXPECT_EQ(tree[0].children[0].label, "Detector 005");
  EXPECT_EQ(tree[0].children[0].image, SiteEditor::IMG_DETECTOR);
  EXPECT_EQ(tree[0].children[1].label, "Power supply 002");
  EXPECT_EQ(tree[0].children[1].image, SiteEditor::IMG_POWERSUPPLY);
  ASSERT_EQ(tree[0].children[1].children.size(), 3u);
  EXPECT_EQ(tree[0].children[1].children[2].label, "Detector 008");
  EXPECT_EQ(tree[1].label, "Command module 002");
  ASSERT_EQ(tree[1].children.size(), 1u);
  EXPECT_EQ(tree[1].children[0].label, "Detector 009");
}

TEST_F(SiteEditorTest, RemovingAPowerSupplyTakesItsDetectorsAndFreesTheirAddresses) {
  SiteEditor editor(Loaded(), &translator, 2);
  ASSERT_TRUE(editor.Select(1, BUSCONTROLLER));
  for (int a : {5, 6, 7, 8}) EXPECT_FALSE(Has(editor.FreeDetectors(), a));
  EXPECT_FALSE(Has(editor.FreePowerSupplies(), 2));
  ASSERT_TRUE(editor.Select(2, POWERSUPPLY));
  ASSERT_TRUE(editor.Remove());
  EXPECT_EQ(editor.Selected(), nullptr);
  ASSERT_TRUE(editor.Select(1, BUSCONTROLLER));
  for (int a : {6, 7, 8}) EXPECT_TRUE(Has(editor.FreeDetectors(), a));
  EXPECT_FALSE(Has(editor.FreeDetectors(), 5));
  EXPECT_TRUE(Has(editor.FreePowerSupplies(), 2));
  EXPECT_EQ(editor.Site().GetDevice(6, DETECTOR), nullptr);
  EXPECT_NE(editor.Site().GetDevice(265, DETECTOR), nullptr);
  // The command module stays, and so does the last detector of a loop once
  // asked: removing it leaves an empty loop node.
  EXPECT_FALSE(editor.Remove());
  ASSERT_TRUE(editor.Select(265, DETECTOR));
  ASSERT_TRUE(editor.Remove());
  EXPECT_TRUE(editor.Tree()[1].children.empty());
}

TEST_F(SiteEditorTest, AddingNeedsALoopOrPowerSupplyAndAFreeAddress) {
  SiteEditor editor(Loaded(), &translator, 2);
  const std::size_t count = editor.Site().Count();
  // Nothing selected, a detector selected, a held address, no address.
  EXPECT_EQ(editor.AddDetector(10), 17100);
  ASSERT_TRUE(editor.Select(5, DETECTOR));
  EXPECT_EQ(editor.AddDetector(10), 17100);
  EXPECT_EQ(editor.AddPSU(10), 17200);
  ASSERT_TRUE(editor.Select(2, POWERSUPPLY));
  EXPECT_EQ(editor.AddDetector(6), 17100);
  EXPECT_EQ(editor.AddDetector(0), 17100);
  EXPECT_EQ(editor.AddPSU(3), 17200);
  EXPECT_EQ(editor.Site().Count(), count);

  EXPECT_EQ(editor.AddDetector(10), 0);
  const DeviceConfig* d = editor.Site().GetDevice(10, DETECTOR);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetModel(), UNKNOWN);
  EXPECT_EQ(d->GetParentAddress(), 2u);
  EXPECT_EQ(d->GetParentType(), POWERSUPPLY);
  EXPECT_FALSE(Has(editor.FreeDetectors(), 10));

  ASSERT_TRUE(editor.Select(257, BUSCONTROLLER));
  EXPECT_EQ(editor.AddPSU(4), 0);
  EXPECT_EQ(editor.AddDetector(11), 0);
  const DeviceConfig* p = editor.Site().GetDevice(256 + 4, POWERSUPPLY);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetParentAddress(), 257u);
  EXPECT_EQ(p->GetParentType(), BUSCONTROLLER);
  EXPECT_EQ(editor.Site().GetDevice(256 + 11, DETECTOR)->GetParentAddress(), 257u);

  // An array cell holds its address like a detector.
  editor.Site().InsertDevice(DeviceConfig(256 + 20, DETECTOR, ARRAYSCANCELL));
  EXPECT_FALSE(Has(editor.FreeDetectors(), 20));
  EXPECT_EQ(editor.AddDetector(20), 17100);
  EXPECT_EQ(editor.Site().GetDevice(256 + 20, DETECTOR)->GetModel(), ARRAYSCANCELL);
}

TEST_F(SiteEditorTest, CancelLeavesTheFileAndOkSavesAndNamesTheSite) {
  {
    SiteEditor editor(Loaded(), &translator, 2);
    editor.Select(2, POWERSUPPLY);
    editor.Remove();
    editor.Select(1, BUSCONTROLLER);
    for (int a = 20; a < 60; ++a) editor.AddDetector(a);
  }
  EXPECT_EQ(dir.Read("site.cfg"), original);

  SiteEditor editor(Loaded(), &translator, 2);
  ASSERT_TRUE(editor.Select(5, DETECTOR));
  // Commas and line ends would cut the line into fields; a long text is cut
  // to what a reader takes back. Either way the file stays loadable.
  editor.Selected()->SetLocation("Hall, east\r\nside " + std::string(2000, 'x'));
  editor.Selected()->SetZone(12);
  ASSERT_TRUE(editor.Ok(ini, &prompter));
  EXPECT_EQ(ini.ReadString("Site", "Site", ""), file);
  TSiteConfig back(file);
  EXPECT_EQ(back.GetLoadError(), 0);
  const DeviceConfig* d = back.GetDevice(5, DETECTOR);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetLocation().substr(0, 17), "Hall; east  side ");
  EXPECT_EQ(d->GetZone(), 12);
  EXPECT_NE(back.GetDevice(265, DETECTOR), nullptr);
}

TEST_F(SiteEditorTest, SavingOverAReadOnlyFileSaysSoAndKeepsIt) {
  ini.WriteString("Site", "Site", "before.cfg");
  SiteEditor editor(Loaded(), &translator, 2);
  editor.Select(5, DETECTOR);
  editor.Remove();
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_FALSE(editor.Ok(ini, &prompter));
  ::chmod(file.c_str(), 0644);
  EXPECT_EQ(dir.Read("site.cfg"), original);
  EXPECT_EQ(ini.ReadString("Site", "Site", ""), "before.cfg");
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_NE(prompter.prompts[0].text.find("Error writing to file\n" + file + "."),
            std::string::npos);
  EXPECT_NE(prompter.prompts[0].text.find("read-only"), std::string::npos);
}

TEST_F(SiteEditorTest, ModelAndZoneListsMapBothWays) {
  SiteEditor editor(Loaded(), &translator, 2);
  const auto& names = editor.ModelNames();
  ASSERT_FALSE(names.empty());
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    EXPECT_EQ(editor.ModelIndex(editor.ModelAt(i)), i);
  const int at = editor.ModelIndex(PELORIN2000DETECTOR);
  ASSERT_GE(at, 0);
  EXPECT_EQ(names[static_cast<std::size_t>(at)], "Pelorin 2000 detector");
  EXPECT_EQ(editor.ModelIndex(DEFAULT_DETECTOR), -1);
  const auto zones = SiteEditor::ZoneNames();
  ASSERT_EQ(zones.size(), 128u);
  EXPECT_EQ(zones[0], "---");
  EXPECT_EQ(zones[1], "001");
  EXPECT_EQ(zones[127], "127");
}

TEST(CriticalFaults, ATickedBoxIsAClearBitAndNoTicksStore0xFF) {
  EXPECT_EQ(SiteEditor::FaultMask(std::vector<bool>(8, false)), 0xFFu);
  EXPECT_EQ(SiteEditor::FaultMask(std::vector<bool>(8, true)), 0u);
  std::vector<bool> boxes = SiteEditor::FaultBoxes(0xFE);
  EXPECT_TRUE(boxes[0]);
  EXPECT_FALSE(boxes[1]);
  EXPECT_EQ(SiteEditor::FaultMask(boxes), 0xFEu);
}

TEST(AlarmActionsTest, PagesFollowTheModelsEvents) {
  auto bits = [](int model) {
    std::vector<std::int32_t> out;
    for (const ActionPage& p : ActionPagesForModel(model)) out.push_back(p.bit);
    return out;
  };
  for (int m = 0; m < Detector::GetNumberOfDetectorTypes(); ++m) {
    const auto b = bits(m);
    EXPECT_EQ(Has(std::vector<int>(b.begin(), b.end()), CAP_INPUT1),
              Detector::GetModelCaps(m, CAP_INPUT1, 0) != 0);
    EXPECT_EQ(Has(std::vector<int>(b.begin(), b.end()), CAP_AUX),
              Detector::GetModelCaps(m, CAP_AUX, 0) != 0);
  }
  // A model without inputs has no input pages at all.
  for (int m = 0; m < Detector::GetNumberOfDetectorTypes(); ++m) {
    if (Detector::GetModelCaps(m, CAP_INPUT1 | CAP_INPUT2, 0) != 0) continue;
    for (const ActionPage& p : ActionPagesForModel(m)) EXPECT_FALSE(p.input) << m;
  }
  EXPECT_TRUE(ActionPagesForModel(UNKNOWN).empty());
}

TEST(AlarmActionsTest, SaveAllCopiesToTheSameTypeOnlyAndKeepsTheirMasks) {
  TSiteConfig site({}, true);
  for (std::uint32_t a : {5u, 6u})
    site.InsertDevice(DeviceConfig(a, DETECTOR, PELORIN2000DETECTOR));
  site.InsertDevice(DeviceConfig(2, POWERSUPPLY, PELORIN2000POWERSUPPLY));
  site.GetDevice(6, DETECTOR)->SetInput1Mask(0x10);
  site.GetDevice(5, DETECTOR)->SetInput1Mask(0x30);

  AlarmActions sheet(site, 2, POWERSUPPLY);
  ASSERT_TRUE(sheet.Valid());
  ASSERT_FALSE(sheet.Pages().empty());
  sheet.Pages().front().sound = "psu.wav";
  ASSERT_TRUE(sheet.Apply());
  EXPECT_EQ(site.GetDevice(2, POWERSUPPLY)->GetEventSound(sheet.Pages().front().bit), "psu.wav");
  for (std::int32_t bit : DeviceConfig::EVENTBITS)
    EXPECT_EQ(site.GetDevice(5, DETECTOR)->GetEventSound(bit), "");

  AlarmActions det(site, 5, DETECTOR);
  ASSERT_NE(det.FindPage(CAP_FIRE2), nullptr);
  det.FindPage(CAP_FIRE2)->sound = "fire2.wav";
  det.FindPage(CAP_FIRE2)->text = "Evacuate";
  AlarmActions::Page* input = det.FindPage(CAP_INPUT1);
  if (input != nullptr) {
    EXPECT_FALSE(input->busreset);
    input->busreset = true;
  }
  ASSERT_TRUE(det.Apply());
  const DeviceConfig* six = site.GetDevice(6, DETECTOR);
  EXPECT_EQ(six->GetEventSound(CAP_FIRE2), "fire2.wav");
  EXPECT_EQ(six->GetEventText(CAP_FIRE2), "Evacuate");
  EXPECT_EQ(six->GetInput1Mask(), 0x10u);
  if (input != nullptr) {
    EXPECT_EQ(site.GetDevice(5, DETECTOR)->GetInput1Mask(), 0x31u);
  }
  EXPECT_EQ(site.GetDevice(2, POWERSUPPLY)->GetEventSound(CAP_FIRE2), "");

  // Clearing a sound stores none, and without "Save all" nobody else changes.
  AlarmActions again(site, 5, DETECTOR);
  again.saveall = false;
  again.FindPage(CAP_FIRE2)->sound.clear();
  again.Apply();
  EXPECT_EQ(site.GetDevice(5, DETECTOR)->GetEventSound(CAP_FIRE2), "");
  EXPECT_EQ(six->GetEventSound(CAP_FIRE2), "fire2.wav");
}

}  // namespace
}  // namespace quillark
