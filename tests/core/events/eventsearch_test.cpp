#include <gtest/gtest.h>

#include <string>

#include "core/access/translator.h"
#include "core/events/filter.h"
#include "core/site/config.h"

namespace quillark {
namespace {

TEST(EventSearch, ReadsEveryKindOfTerm) {
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(3, ZONE));
  for (std::uint32_t a : {0x105u, 0x007u, 0x20Au}) {
    DeviceConfig d(a, DETECTOR);
    d.SetZone(3);
    site.InsertDevice(d);
  }
  DeviceConfig other(0x008, DETECTOR);
  other.SetZone(4);
  site.InsertDevice(other);

  EventSearch s;
  std::string error;
  ASSERT_TRUE(ParseEventSearch(
      "  device:2-005 Zone:3 category:Alarms from:2026-12-01 to:9/12/2026  Comms   FAILURE ", &site,
      s, error))
      << error;
  EXPECT_EQ(s.device, 0x105);
  EXPECT_EQ(s.zone, 3);
  EXPECT_EQ(s.zonedevices, (std::vector<std::uint16_t>{0x007, 0x105, 0x20A}));
  EXPECT_EQ(s.category, LC_ALARM);
  EXPECT_TRUE(s.hasfrom && s.hasto);
  EXPECT_EQ(s.from, dovetree::Date(1, 12, 2026));
  EXPECT_EQ(s.to, dovetree::Date(9, 12, 2026));
  EXPECT_EQ(s.text, "comms failure");
  EXPECT_FALSE(s.Empty());

  // Categories by their box's name, singular, or an unambiguous start.
  for (const auto& [word, category] : {std::pair<const char*, int>{"fault", LC_FAULT},
                                       {"daynight", LC_DAYNIGHT},
                                       {"Day/Night switches", LC_DAYNIGHT},
                                       {"powerups", LC_POWERUP},
                                       {"demo", LC_DEMOMODE},
                                       {"accesscode", LC_ACCESSCODE},
                                       {"isolates", LC_ISOLATE}}) {
    ASSERT_TRUE(ParseEventSearch(std::string("category:") + word, &site, s, error)) << word;
    EXPECT_EQ(s.category, category) << word;
  }
  ASSERT_TRUE(ParseEventSearch("", nullptr, s, error));
  EXPECT_TRUE(s.Empty());
}

TEST(EventSearch, BadTermsAreRefusedWithAReasonAndChangeNothing) {
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(3, ZONE));
  const char* const bad[] = {
      "device:2005",      "device:0-001",
      "device:17-001",    "device:1-256",
      "device:1-0x5",     "device:",
      "device:-1-001",    "zone:abc",
      "zone:0",           "zone:9",
      "category:",        "category:function",
      "category:fire",    "from:2026-13-01",
      "from:2026-12-32",  "from:32/1/2026",
      "to:1/1/99",        "from:yesterday",
      "to:2026-12-09x",   "from:2026--09",
      "from:99999-01-01", "from:2026-12-09 to:2026-12-01",
  };
  for (const char* text : bad) {
    EventSearch s;
    s.device = 42;
    std::string error;
    EXPECT_FALSE(ParseEventSearch(text, &site, s, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(s.device, 42) << text;  // untouched
  }
  // A zone needs a site to know its devices.
  EventSearch s;
  std::string error;
  EXPECT_FALSE(ParseEventSearch("zone:3", nullptr, s, error));
}

TEST(EventSearch, TheRefusalIsInTheOperatorsLanguageButTheKeywordsStayAsTyped) {
  TSiteConfig site;
  EventSearch s;
  std::string error;
  // Without a translator, as with one set to English, the reason is English.
  EXPECT_FALSE(ParseEventSearch("device:9-x", &site, s, error));
  EXPECT_EQ(error, "device: takes a device as 2-005 (loop, address), not '9-x'");
  Translator german(nullptr, nullptr);
  EXPECT_FALSE(ParseEventSearch("to:2026-12-32", &site, s, error, &german));
  EXPECT_EQ(error, "to: takes a date as 2026-12-09 or 9/12/2026, not '2026-12-32'");

  german.SetLanguage(4);
  EXPECT_FALSE(ParseEventSearch("device:9-x", &site, s, error, &german));
  EXPECT_EQ(error, "device: erwartet ein Gerät wie 2-005 (Ring, Adresse), nicht '9-x'");
  EXPECT_FALSE(ParseEventSearch("to:2026-12-32", &site, s, error, &german));
  EXPECT_EQ(error, "to: erwartet ein Datum wie 2026-12-09 oder 9/12/2026, nicht '2026-12-32'");
  EXPECT_FALSE(ParseEventSearch("zone:7", &site, s, error, &german));
  EXPECT_EQ(error, "die Zone 7 gibt es in der Anlage nicht");
  EXPECT_FALSE(ParseEventSearch("from:2026-12-09 to:2026-12-01", &site, s, error, &german));
  EXPECT_EQ(error, "from: liegt nach to:");
  // The category names offered are the words the search understands.
  EXPECT_FALSE(ParseEventSearch("category:feuer", &site, s, error, &german));
  EXPECT_NE(error.find("category: erwartet eines von alarms, faults,"), std::string::npos) << error;
  EXPECT_TRUE(ParseEventSearch("category:alarms", &site, s, error, &german));
  german.SetLanguage(0);
}

TEST(EventSearch, MatchesEachTermAndAllTogether) {
  EventSearch s;
  EXPECT_TRUE(s.Matches(0x105, 112, 1, 1, 2026));
  s.device = 0x105;
  EXPECT_TRUE(s.Matches(0x105, 112, 1, 1, 2026));
  EXPECT_FALSE(s.Matches(0x106, 112, 1, 1, 2026));
  s.category = LC_ALARM;
  EXPECT_FALSE(s.Matches(0x105, 94, 1, 1, 2026));  // low flow is a fault
  s.hasfrom = true;
  s.from = dovetree::Date(2, 1, 2026);
  EXPECT_FALSE(s.Matches(0x105, 112, 1, 1, 2026));
  EXPECT_TRUE(s.Matches(0x105, 112, 2, 1, 2026));
  s.hasto = true;
  s.to = dovetree::Date(2, 1, 2026);
  EXPECT_TRUE(s.Matches(0x105, 112, 2, 1, 2026));
  EXPECT_FALSE(s.Matches(0x105, 112, 3, 1, 2026));
  s.text = "fire 1";
  EXPECT_TRUE(s.MatchesText("02/01/2026  12:00  2-005  FIRE 1"));
  EXPECT_FALSE(s.MatchesText("02/01/2026  12:00  2-005  Fire 2"));
}

}  // namespace
}  // namespace quillark
