#include <gtest/gtest.h>

#include <vector>

#include "core/site/devcnfig.h"
#include "core/status/dsmap.h"
#include "core/status/selset.h"
#include "support/recordingprompter.h"

namespace quillark {
namespace {

std::vector<int> Elements(const SelectionSet& s) {
  return {s.begin(), s.end()};
}

SelectionSet Of(std::initializer_list<int> xs) {
  SelectionSet s;
  for (int x : xs) s.InsertInternalAddress(x);
  return s;
}

TEST(DeviceStatusMap, CapacityGrowsAndShrinksInBlocksOfTen) {
  DeviceStatusMap m;
  EXPECT_EQ(m.Capacity(), 0);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(m.SetDeviceStatus(100 + i, i, 0));
  EXPECT_EQ(m.Capacity(), 10);
  ASSERT_TRUE(m.SetDeviceStatus(200, 1, 2));
  EXPECT_EQ(m.Count(), 11);
  EXPECT_EQ(m.Capacity(), 20);
  m.RemoveDevice(200);
  EXPECT_EQ(m.Capacity(), 10);
  for (int i = 0; i < 10; ++i) m.RemoveDevice(100 + i);
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.Capacity(), 0);

  ASSERT_TRUE(m.SetDeviceStatus(5, 6, 7));
  std::int32_t s = 0, f = 0;
  ASSERT_TRUE(m.GetDeviceStatus(5, s, f));
  EXPECT_EQ(s, 6);
  EXPECT_EQ(f, 7);
}

TEST(DeviceStatusMap, UpdatesInPlaceAndRemovalKeepsOrder) {
  DeviceStatusMap m;
  for (int d : {30, 10, 20, 40}) m.SetDeviceStatus(d, d, -d);
  m.SetDeviceStatus(10, 99, 98);
  m.RemoveDevice(20);
  m.RemoveDevice(12345);  // absent: nothing happens

  std::vector<int> order;
  for (int i = 0; i < m.Count(); ++i) {
    std::int32_t d = 0, s = 0, f = 0;
    ASSERT_TRUE(m.GetDeviceStatusByIndex(i, d, s, f));
    order.push_back(d);
    if (d == 10) {
      EXPECT_EQ(s, 99);
      EXPECT_EQ(f, 98);
    }
  }
  EXPECT_EQ(order, (std::vector<int>{30, 10, 40}));
}

TEST(DeviceStatusMap, IndexOperationsRefuseIndicesOutsideTheEntries) {
  DeviceStatusMap m;
  m.SetDeviceStatus(1, 2, 3);
  std::int32_t d = -7, s = -7, f = -7;
  EXPECT_FALSE(m.GetDeviceStatusByIndex(1, d, s, f));
  EXPECT_FALSE(m.GetDeviceStatusByIndex(-1, d, s, f));
  EXPECT_FALSE(m.GetDeviceAddressByIndex(1, d));
  EXPECT_FALSE(m.SetDeviceStatusByIndex(-1, 0, 0));
  EXPECT_EQ(d, -7);
  EXPECT_FALSE(m.GetDeviceStatus(2, s, f));

  EXPECT_TRUE(m.SetDeviceStatusByIndex(0, 8, 9));
  EXPECT_TRUE(m.GetDeviceAddressByIndex(0, d));
  EXPECT_EQ(d, 1);
  ASSERT_TRUE(m.GetDeviceStatus(1, s, f));
  EXPECT_EQ(s, 8);

  DeviceStatusMap copy = m;
  m.Empty();
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.Capacity(), 0);
  EXPECT_EQ(copy.Count(), 1);
  EXPECT_TRUE(copy.GetDeviceStatus(1, s, f));
}

TEST(SelectionSet, CommandModuleIsSelectedUnderItsSlotZeroNumber) {
  SelectionSet s;
  const DeviceConfig module(3 * 256 + 1, BUSCONTROLLER, PCBUSMASTER);
  const DeviceConfig detector(3 * 256 + 1, DETECTOR, PELORINLUMO);
  s.Insert(module);
  EXPECT_EQ(Elements(s), std::vector<int>{768});
  EXPECT_TRUE(s.Contains(module));
  EXPECT_FALSE(s.Contains(detector));
  s.Insert(detector);
  s.Insert(detector);
  EXPECT_EQ(Elements(s), (std::vector<int>{768, 769}));
  EXPECT_EQ(s.Count(), 2);
}

TEST(SelectionSet, IncorporateModes) {
  const SelectionSet other = Of({5, 6});
  SelectionSet s = Of({6, 7});
  s.Incorporate(other, SelectionSet::IDS_TOGGLE);
  EXPECT_EQ(Elements(s), (std::vector<int>{5, 7}));

  s = Of({6, 7});
  s.Incorporate(other, SelectionSet::IDS_ADD);
  EXPECT_EQ(Elements(s), (std::vector<int>{5, 6, 7}));

  s = Of({6, 7});
  s.Incorporate(other, SelectionSet::IDS_REPLACE);
  EXPECT_EQ(Elements(s), (std::vector<int>{5, 6}));

  s = Of({6, 7});
  s.Incorporate(other, 4);
  EXPECT_EQ(Elements(s), (std::vector<int>{6, 7}));
  s.Incorporate(other, SelectionSet::IDS_EMPTY);
  EXPECT_EQ(s.Count(), 0);
}

TEST(SelectionSet, IncorporatingItselfIsWellDefined) {
  SelectionSet s = Of({1, 2});
  s.Incorporate(s, SelectionSet::IDS_REPLACE);
  EXPECT_EQ(Elements(s), (std::vector<int>{1, 2}));
  s.Incorporate(s, SelectionSet::IDS_ADD);
  EXPECT_EQ(Elements(s), (std::vector<int>{1, 2}));
  s.Incorporate(s, SelectionSet::IDS_TOGGLE);
  EXPECT_EQ(s.Count(), 0);
}

TEST(SelectionSet, DumpShowsAscendingElementsWithinTheLimit) {
  test::RecordingPrompter prompter;
  Of({300, 2, 17}).Dump("Selected", prompter);
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].caption, "Selected");
  EXPECT_EQ(prompter.prompts[0].text, "2 17 300 ");

  // 40 four-digit numbers need 200 characters; 25 of them fill 125.
  SelectionSet big;
  for (int i = 0; i < 40; ++i) big.InsertInternalAddress(1000 + i);
  const std::string text = big.DumpText();
  EXPECT_EQ(text.size(), 125u);
  EXPECT_EQ(text.substr(text.size() - 5), "1024 ");
}

}  // namespace
}  // namespace quillark
