#include "core/status/devicestatus.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/status/counter.h"
#include "core/status/devicestatuslist.h"

namespace quillark {
namespace {

TEST(DeviceStatus, DefaultIsUnknownAndDecodedRecordHasValues) {
  DeviceStatus unknown;
  EXPECT_EQ(unknown.GetAlarmFaultStatus(), 0x8001u);
  EXPECT_EQ(unknown.GetFaultFlags(), 0x100u);
  EXPECT_FALSE(unknown.HasValues());

  // All zeros from the bus is still a real answer, unlike the default.
  DeviceStatus zeros(0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(zeros.HasValues());
  EXPECT_FALSE(zeros.Equ(unknown));
  EXPECT_TRUE(zeros.Equ(DeviceStatus(0, 0, 0, 0, 0, 0, 0, 0)));

  DeviceStatus levels(1, 2, 0x1FF, 0x10A, 11, 12, 13, 14);
  EXPECT_EQ(levels.GetBargraphLevel(), 0xFF);
  EXPECT_EQ(levels.GetFire2Level(), 10);
  EXPECT_EQ(levels.GetDetectorLevel(), 14);
}

TEST(DeviceStatus, SameStatusLooksAtTheLowSevenBitsOnly) {
  DeviceStatus s(0x08, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(s.SameStatus(0x88));
  EXPECT_TRUE(s.SameStatus(0x8008));
  EXPECT_FALSE(s.SameStatus(0x0C));
  EXPECT_FALSE(DeviceStatus().SameStatus(0));  // the unknown marker keeps bit 0x01
}

TEST(DeviceStatus, ThresholdsOnlyRiseAndDetectorLevelFollows) {
  DeviceStatus s(0, 0, 0, 12, 8, 6, 4, 9);
  EXPECT_FALSE(s.SetLevelsIfRequired(10, 8, 6, 4, 9));
  EXPECT_EQ(s.GetFire2Level(), 12);
  EXPECT_TRUE(s.SetLevelsIfRequired(0, 0, 0, 0, 7));
  EXPECT_EQ(s.GetDetectorLevel(), 7);
  EXPECT_TRUE(s.SetLevelsIfRequired(13, 9, 7, 5, 7));
  EXPECT_EQ(s.GetFire2Level(), 13);
  EXPECT_EQ(s.GetFire1Level(), 9);
  EXPECT_EQ(s.GetPreAlarmLevel(), 7);
  EXPECT_EQ(s.GetAuxLevel(), 5);
}

TEST(DeviceStatus, LevelPollMarksAnUnknownRecordOnlyWhenItChangedSomething) {
  DeviceStatus s;
  EXPECT_FALSE(s.SetLevelsIfRequired(0, 0, 0, 0, 0));
  EXPECT_FALSE(s.HasValues());
  EXPECT_TRUE(s.SetLevelsIfRequired(5, 0, 0, 0, 0));
  EXPECT_TRUE(s.HasValues());
  // Once set it stays set.
  EXPECT_FALSE(s.SetLevelsIfRequired(0, 0, 0, 0, 0));
  EXPECT_TRUE(s.HasValues());
}

class RecordingObserver : public DeviceStatusListObserver {
 public:
  void Update(int address) override {
    seen.push_back(address);
    if (action) action();
  }
  std::vector<int> seen;
  std::function<void()> action;
};

TEST(DeviceStatusList, StartsWith128UnknownEntriesAndGrowsOnDemand) {
  DeviceStatusList list;
  ASSERT_EQ(list.size(), 128u);
  EXPECT_TRUE(list.GetState(127).Equ(DeviceStatus()));

  const DeviceStatus fire(0x10, 0, 20, 0, 0, 0, 0, 0);
  list.SetState(300, fire);
  ASSERT_EQ(list.size(), 301u);
  EXPECT_TRUE(list.GetState(300).Equ(fire));
  for (int i = 128; i < 300; ++i) ASSERT_TRUE(list.GetState(i).Equ(DeviceStatus())) << i;
  // Outside the table: a default record, never a read past the end.
  EXPECT_TRUE(list.GetState(5000).Equ(DeviceStatus()));
  EXPECT_TRUE(list.GetState(-1).Equ(DeviceStatus()));
}

TEST(DeviceStatusList, DeviceNumbersBeyondSixteenLoopsAreIgnored) {
  DeviceStatusList list;
  const DeviceStatus s(1, 0, 0, 0, 0, 0, 0, 0);
  list.SetState(4095, s);
  EXPECT_EQ(list.size(), 4096u);
  list.SetState(4096, s);
  list.SetState(0x7FFFFFFF, s);
  list.SetState(-5, s);
  EXPECT_EQ(list.size(), 4096u);
  list.Resize(100000);
  EXPECT_EQ(list.size(), 4096u);
  list.Resize(10);
  EXPECT_EQ(list.size(), 10u);
}

TEST(DeviceStatusList, NotifiesObserversInAttachOrder) {
  DeviceStatusList list;
  std::vector<std::string> order;
  RecordingObserver a, b;
  a.action = [&] { order.push_back("a"); };
  b.action = [&] { order.push_back("b"); };
  list.Attach(&b);
  list.Attach(&a);
  list.Notify(42);
  EXPECT_EQ(order, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(a.seen, std::vector<int>{42});

  EXPECT_TRUE(list.Detach(&b));
  EXPECT_FALSE(list.Detach(&b));
  list.Notify(7);
  EXPECT_EQ(b.seen, std::vector<int>{42});
  EXPECT_EQ(list.GetAttachedObservers().size(), 1u);
}

TEST(DeviceStatusList, ObserverMayDetachDuringNotification) {
  DeviceStatusList list;
  RecordingObserver first, second, third;
  // The first observer detaches itself and the one after it.
  first.action = [&] {
    list.Detach(&first);
    list.Detach(&second);
  };
  list.Attach(&first);
  list.Attach(&second);
  list.Attach(&third);
  list.Notify(1);
  EXPECT_EQ(first.seen.size(), 1u);
  EXPECT_TRUE(second.seen.empty());
  EXPECT_EQ(third.seen, std::vector<int>{1});
  EXPECT_EQ(list.GetAttachedObservers(), std::vector<DeviceStatusListObserver*>{&third});
}

TEST(DeviceStatusList, ObserverAttachedDuringNotificationHearsTheNextChange) {
  DeviceStatusList list;
  RecordingObserver first, late;
  first.action = [&] {
    if (first.seen.size() == 1) list.Attach(&late);
  };
  list.Attach(&first);
  list.Notify(1);
  list.Notify(2);
  EXPECT_EQ(late.seen, std::vector<int>{2});
}

TEST(Counter, SaturatesInsteadOfWrapping) {
  Counter c(0xFFFFFFFE);
  EXPECT_EQ(c.Add(5), 0xFFFFFFFFu);
  ++c;
  c += 100;
  EXPECT_EQ(static_cast<std::uint32_t>(c), 0xFFFFFFFFu);
  c = 3;
  EXPECT_EQ(c.Add(4), 7u);
}

TEST(Counter, StreamsAsPlainDecimal) {
  Counter c(4294967295u);
  std::ostringstream out;
  out << c << ' ' << Counter(12);
  EXPECT_EQ(out.str(), "4294967295 12");

  std::istringstream in("17 x");
  Counter r;
  in >> r;
  EXPECT_EQ(static_cast<std::uint32_t>(r), 17u);
  in >> r;  // not a number: unchanged
  EXPECT_EQ(static_cast<std::uint32_t>(r), 17u);
}

}  // namespace
}  // namespace quillark
