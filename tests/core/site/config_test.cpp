#include "core/site/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/recordingprompter.h"
#include "support/tempdir.h"

namespace quillark {
namespace {

constexpr std::int32_t ALLBITS[8] = {0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x800, 0x01};

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

std::vector<std::uint32_t> Addresses(const TSiteConfig& site) {
  std::vector<std::uint32_t> out;
  for (const DeviceConfig& d : site) out.push_back(d.GetAddress());
  return out;
}

bool HasDefaultModules(const TSiteConfig& site) {
  for (std::uint32_t loop = 0; loop < 16; ++loop)
    if (site.GetDevice(loop * 256 + 1, BUSCONTROLLER) == nullptr) return false;
  return true;
}

// A detector under loop `loop`'s command module, with texts.
DeviceConfig Detector(std::uint32_t loop, std::uint32_t number) {
  DeviceConfig d(loop * 256 + number, DETECTOR, PELORINLUMO);
  d.SetParentAddress(loop * 256 + 1);
  d.SetParentType(BUSCONTROLLER);
  d.SetLocation("Loop " + std::to_string(loop) + " detector " + std::to_string(number));
  d.SetEventSound(0x10, "fire2.wav");
  d.SetEventText(0x01, "Call service");
  d.SetSiteXY({static_cast<std::int32_t>(number), 7});
  return d;
}

// 16 loops of a command module, 127 detectors and 127 power supplies.
TSiteConfig FullSite() {
  TSiteConfig site;
  for (std::uint32_t loop = 0; loop < 16; ++loop) {
    for (std::uint32_t n = 1; n <= 127; ++n) site.InsertDevice(Detector(loop, n));
    for (std::uint32_t n = 1; n <= 127; ++n) {
      DeviceConfig p(loop * 256 + n, POWERSUPPLY, PELORIN2000POWERSUPPLY);
      p.SetParentAddress(loop * 256 + 1);
      p.SetParentType(BUSCONTROLLER);
      site.InsertDevice(p);
    }
  }
  return site;
}

// --- the current format ---------------------------------------------------

TEST(SiteConfig, NewSiteSavedAtOnce) {
  test::TempDir dir;
  TSiteConfig site;
  ASSERT_EQ(site.Count(), 16u);
  ASSERT_TRUE(site.Save((dir / "new.cfg").string()));
  std::string expected = "5\r\n0\r\n";
  for (int loop = 0; loop < 16; ++loop)
    expected += std::to_string(loop * 256 + 1) +
                ",0,5,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,"
                "(50,0-0,0),(50,0-0,0),(0,0-0,0)\r\n";
  EXPECT_EQ(dir.Read("new.cfg"), expected);
}

TEST(SiteConfig, FullSiteRoundTripIsExact) {
  test::TempDir dir;
  const TSiteConfig site = FullSite();
  ASSERT_EQ(site.Count(), 4080u);
  const std::string path = (dir / "site.cfg").string();
  ASSERT_TRUE(site.Save(path));

  TSiteConfig back(path);
  EXPECT_EQ(back.GetLoadError(), 0);
  EXPECT_EQ(back.GetConfig(), path);
  ASSERT_EQ(back.Count(), site.Count());
  auto a = site.begin();
  for (const DeviceConfig& d : back) ASSERT_EQ(d, *a++) << d.GetAddress();

  ASSERT_TRUE(back.Save((dir / "again.cfg").string()));
  EXPECT_EQ(dir.Read("again.cfg"), dir.Read("site.cfg"));
}

TEST(SiteConfig, LoadKeepsFileOrderAndReplacesDefaultModules) {
  DeviceConfig module(257, BUSCONTROLLER, PELORIN2000BUSMASTER);
  module.SetLocation("Plant room");
  DeviceConfig zone(3, ZONE, UNKNOWN);
  zone.SetParentAddress(1);
  zone.SetParentType(BUSCONTROLLER);
  zone.SetMap("zone3.bmp");
  std::ostringstream file;
  file << "5\r\n32\r\n" << Detector(1, 9) << "\r\n" << module << "\r\n" << zone << "\r\n";

  TSiteConfig site;
  std::istringstream in(file.str());
  ASSERT_TRUE(site.Load(in));
  EXPECT_EQ(site.GetDeviceIconSize(), 32);
  // The loaded module took the place of the default one: at the end.
  EXPECT_EQ(site.Count(), 18u);
  const std::vector<std::uint32_t> all = Addresses(site);
  const std::vector<std::uint32_t> tail(all.end() - 3, all.end());
  EXPECT_EQ(tail, (std::vector<std::uint32_t>{265, 257, 3}));
  EXPECT_EQ(site.GetDevice(257, BUSCONTROLLER)->GetLocation(), "Plant room");
  EXPECT_EQ(site.GetDevice(257, BUSCONTROLLER)->GetModel(), PELORIN2000BUSMASTER);
  EXPECT_EQ(*site.GetDevice(3, ZONE), zone);
}

TEST(SiteConfig, LinesEndingAfterTheSiteAreaLoad) {
  std::istringstream in(
      "5\n0\n"
      "261,2,0,257,0,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(40,3-0,3)\n"
      "262,2,0,257,0,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(41,0-9,9)\n");
  TSiteConfig site;
  ASSERT_TRUE(site.Load(in));
  const DeviceConfig* a = site.GetDevice(261, DETECTOR);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetZoneCoverageArea(), (DeviceConfig::Rect{40, 3, 0, 3}));
  EXPECT_EQ(a->GetDeviceCoverageArea(), (DeviceConfig::Rect{}));
  EXPECT_EQ(a->GetSamplingRadius(), 40);  // round: top equals bottom
  const DeviceConfig* b = site.GetDevice(262, DETECTOR);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetZoneCoverageArea(), (DeviceConfig::Rect{41, 0, 9, 9}));
  EXPECT_EQ(b->GetSamplingRadius(), 50);
}

TEST(SiteConfig, UnreadableLineEndsTheLoadAndIsReported) {
  std::ostringstream file;
  file << "5\r\n0\r\n" << Detector(0, 1) << "\r\n" << Detector(0, 2) << "\r\n";
  file << "3,4,0,4294967295,-1,,,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,"
          "(50,0-0,0),(50,0-0,0),(0,0-0,0)\r\n";
  file << Detector(0, 4) << "\r\n";
  std::istringstream in(file.str());
  TSiteConfig site;
  EXPECT_FALSE(site.Load(in));
  EXPECT_EQ(site.GetLoadError(), TSiteConfig::LOADERROR_LINE);
  // What came before the bad line stays, beside the default modules.
  EXPECT_EQ(site.Count(), 18u);
  EXPECT_NE(site.GetDevice(2, DETECTOR), nullptr);
  EXPECT_EQ(site.GetDevice(4, DETECTOR), nullptr);
  EXPECT_TRUE(HasDefaultModules(site));
}

TEST(SiteConfig, TruncatedFilesLoadAPrefixWithoutHarm) {
  TSiteConfig original;
  for (std::uint32_t n = 2; n <= 4; ++n) original.InsertDevice(Detector(2, n));
  std::ostringstream file;
  ASSERT_TRUE(original.Save(file));
  const std::string bytes = file.str();

  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    std::istringstream in(bytes.substr(0, cut));
    TSiteConfig site;
    const bool ok = site.Load(in);
    if (!ok) {
      // Cut inside its first line the file is no site file; later, a line.
      ASSERT_EQ(site.GetLoadError(), bytes.find('\n') < cut ? TSiteConfig::LOADERROR_LINE
                                                            : TSiteConfig::LOADERROR_FORMAT)
          << cut;
    }
    ASSERT_TRUE(HasDefaultModules(site)) << cut;
    // Every loaded detector is the original; only a line cut inside its
    // optional last areas may lose them.
    for (std::uint32_t n = 2; n <= 4; ++n) {
      const DeviceConfig* d = site.GetDevice(512 + n, DETECTOR);
      if (d == nullptr) continue;
      DeviceConfig want = Detector(2, n);
      if (!(*d == want)) {
        want.SetZoneCoverageArea(want.GetSiteorLoopCoverageArea());
        want.SetDeviceCoverageArea({});
        ASSERT_EQ(*d, want) << cut;
      }
    }
  }
}

TEST(SiteConfig, HeaderOnlyFilesHoldNoDevices) {
  for (const char* text : {"", " \r\n", "5\r\n", "5\r\n0\r\n", "5\r\n12\r\n\r\n"}) {
    std::istringstream in(text);
    TSiteConfig site;
    EXPECT_TRUE(site.Load(in)) << text;
    EXPECT_EQ(site.Count(), 16u);
  }
  std::istringstream bad("5\r\nbig\r\n");
  TSiteConfig site;
  EXPECT_FALSE(site.Load(bad));
  EXPECT_EQ(site.GetLoadError(), TSiteConfig::LOADERROR_LINE);
}

// Damaged files keep the command modules and every entry read before the
// fault, say where the load stopped, and never load as an empty site quietly.
TEST(SiteConfig, DamagedFilesKeepWhatCameBeforeAndSayWhy) {
  std::ostringstream good;
  good << "5\r\n0\r\n" << Detector(0, 1) << "\r\n" << Detector(0, 2) << "\r\n";
  struct Case {
    const char* what;
    std::string file;
    int code;
    int line;
    std::size_t count;  // entries kept
  } cases[] = {
      {"trailing comment", good.str() + "; edited by hand\r\n", TSiteConfig::LOADERROR_LINE, 5, 18},
      {"cut mid-line", good.str() + good.str().substr(8, 30), TSiteConfig::LOADERROR_LINE, 5, 18},
      {"1 MB location", good.str() + "3,2,0,4294967295,-1," + std::string(1 << 20, 'x') + ",\r\n",
       TSiteConfig::LOADERROR_LINE, 5, 18},
      {"NUL bytes", std::string(4096, '\0'), TSiteConfig::LOADERROR_FORMAT, 1, 16},
      {"no line end", "5,0,1,2,3 and so on", TSiteConfig::LOADERROR_FORMAT, 1, 16},
      {"unknown version", "99\r\n0\r\n" + good.str().substr(6), TSiteConfig::LOADERROR_VERSION, 1,
       16},
      {"negative version", "-1\r\n0\r\n", TSiteConfig::LOADERROR_VERSION, 1, 16},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::istringstream in(k.file);
    TSiteConfig site;
    EXPECT_FALSE(site.Load(in));
    EXPECT_EQ(site.GetLoadError(), k.code);
    EXPECT_EQ(site.GetLoadErrorLine(), k.line);
    EXPECT_EQ(site.Count(), k.count);
    EXPECT_TRUE(HasDefaultModules(site));
  }

  // A byte-order mark is no damage.
  std::istringstream bom("\xEF\xBB\xBF" + good.str());
  TSiteConfig site;
  EXPECT_TRUE(site.Load(bom));
  EXPECT_NE(site.GetDevice(2, DETECTOR), nullptr);
}

TEST(SiteConfig, EntriesOutsideTheirKindsRangeAreLeftOutWithTheirLine) {
  std::ostringstream file;
  file << "5\r\n0\r\n"
       << Detector(0, 5) << "\r\n"
       << DeviceConfig(200, DETECTOR) << "\r\n"           // a typing error for 20
       << DeviceConfig(0x180 + 1, POWERSUPPLY) << "\r\n"  // power supply 129
       << DeviceConfig(0x205, BUSCONTROLLER) << "\r\n"    // module not at x 256 + 1
       << DeviceConfig(17 * 256 + 1, DETECTOR) << "\r\n"  // loop 18
       << DeviceConfig(0x180, POWERSUPPLY) << "\r\n"      // power supply 128: fine
       << DeviceConfig(900, ZONE) << "\r\n"               // zones are not on the bus
       << Detector(0, 6) << "\r\n";
  std::istringstream in(file.str());
  TSiteConfig site;
  EXPECT_TRUE(site.Load(in));
  EXPECT_EQ(site.Count(), 16u + 4);
  EXPECT_NE(site.GetDevice(6, DETECTOR), nullptr);
  EXPECT_EQ(site.GetDevice(200, DETECTOR), nullptr);
  ASSERT_EQ(site.GetRefused().size(), 4u);
  const int lines[] = {4, 5, 6, 7};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(site.GetRefused()[i].line, lines[i]);
  EXPECT_EQ(site.GetRefused()[0].reason,
            "detector address 200: loop 1 address 200 is outside 1 to 127");
}

TEST(SiteConfig, MissingFileGivesCodeZeroAndANewSiteUnderThatName) {
  test::TempDir dir;
  const std::string path = (dir / "absent.cfg").string();
  test::RecordingPrompter prompter;
  TSiteConfig site(path, false, &prompter);
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].caption, "");
  EXPECT_EQ(prompter.prompts[0].text, "Error loading site configuration file. Code: 0");
  EXPECT_EQ(prompter.prompts[0].icon, PromptIcon::STOP);
  EXPECT_EQ(site.GetLoadError(), 0);
  EXPECT_TRUE(HasDefaultModules(site));
  EXPECT_EQ(site.Count(), 16u);

  // Saving it creates the file the settings name.
  ASSERT_TRUE(site.Save());
  EXPECT_TRUE(std::filesystem::exists(path));

  // A directory is not a site file.
  TSiteConfig fromdir;
  EXPECT_FALSE(fromdir.Load(dir.Path().string()));

  // A new site under a name does not read the file.
  dir.Write("s.cfg", "garbage");
  TSiteConfig fresh((dir / "s.cfg").string(), true, &prompter);
  EXPECT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(fresh.Count(), 16u);
  EXPECT_EQ(fresh.GetConfig(), (dir / "s.cfg").string());
  EXPECT_FALSE(TSiteConfig().Save());  // no name: nowhere to save
}

// --- saving ---------------------------------------------------------------

TEST(SiteConfig, FailedSaveLeavesTheOldFileIntact) {
  test::TempDir dir;
  const std::string path = (dir / "site.cfg").string();
  TSiteConfig site;
  site.InsertDevice(Detector(0, 5));
  ASSERT_TRUE(site.Save(path));
  const std::string before = dir.Read("site.cfg");

  // The temporary file cannot be made: something else is in its place.
  std::filesystem::create_directory(dir / "site.cfg.part");
  site.InsertDevice(Detector(0, 6));
  EXPECT_FALSE(site.Save(path));
  EXPECT_EQ(dir.Read("site.cfg"), before);
  std::filesystem::remove(dir / "site.cfg.part");

  // The rename cannot replace a directory: the temporary file is cleaned up.
  std::filesystem::create_directory(dir / "dir.cfg");
  EXPECT_FALSE(site.Save((dir / "dir.cfg").string()));
  EXPECT_FALSE(std::filesystem::exists(dir / "dir.cfg.part"));

  EXPECT_FALSE(site.Save((dir / "no" / "such" / "dir.cfg").string()));

  ASSERT_TRUE(site.Save(path));
  EXPECT_NE(dir.Read("site.cfg"), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "site.cfg.part"));
}

// A stream that accepts `room` bytes and then fails, like a full disk.
class FullBuf : public std::streambuf {
 public:
  explicit FullBuf(std::size_t room) : room(room) {}

 protected:
  int_type overflow(int_type c) override {
    if (room == 0) return traits_type::eof();
    --room;
    return traits_type::not_eof(c);
  }

 private:
  std::size_t room;
};

TEST(SiteConfig, WriteFailureIsReported) {
  const TSiteConfig site = FullSite();
  FullBuf buf(1000);
  std::ostream out(&buf);
  EXPECT_FALSE(site.Save(out));
}

// --- the old format -------------------------------------------------------

// One old-format record of version 4, line by line.
std::vector<std::string> OldRecord() {
  std::vector<std::string> r = {"257", "0",  "261", "2", "11", "Hall, east", "hall.bmp", "10",
                                "20",  "30", "40",  "3", "50", "60",         "165"};
  for (const char* s :
       {"in2.wav", "in1.wav", "f2.wav", "f1.wav", "pre.wav", "aux.wav", "crit.wav", "noncrit.wav"})
    r.push_back(s);
  for (const char* s : {"in2", "in1", "f2", "f1", "pre", "aux", "crit", "noncrit"}) r.push_back(s);
  for (const char* s : {"1", "0", "70", "80"}) r.push_back(s);
  return r;
}

std::vector<std::string> OldFile(const std::vector<std::string>& records, int version = 4) {
  std::vector<std::string> lines = {std::to_string(version)};
  if (version > 2) lines.push_back("24");
  lines.insert(lines.end(), records.begin(), records.end());
  return lines;
}

TEST(SiteConfig, OldFormatRecordLoadsEveryField) {
  std::vector<std::string> lines = OldFile(OldRecord());
  lines.push_back("255");
  std::istringstream in(Join(lines));
  TSiteConfig site;
  ASSERT_TRUE(site.Load(in));  // version 4 goes to the old reader
  EXPECT_EQ(site.GetDeviceIconSize(), 24);
  const DeviceConfig* d = site.GetDevice(261, DETECTOR);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetParentAddress(), 257u);
  EXPECT_EQ(d->GetParentType(), BUSCONTROLLER);
  EXPECT_EQ(d->GetModel(), PELORINLUMO);
  EXPECT_EQ(d->GetLocation(), "Hall; east");  // commas are kept out of stored texts
  EXPECT_EQ(d->GetMap(), "hall.bmp");
  EXPECT_EQ(d->GetMapXY(), (DeviceConfig::Point{10, 20}));
  EXPECT_EQ(d->GetLoopXY(), (DeviceConfig::Point{30, 40}));
  EXPECT_EQ(d->GetZone(), 3);
  EXPECT_EQ(d->GetZoneXY(), (DeviceConfig::Point{50, 60}));
  EXPECT_EQ(d->GetFaultMask(), 165u);
  EXPECT_EQ(d->GetEventSound(0x01), "crit.wav");
  EXPECT_EQ(d->GetEventSound(0x800), "noncrit.wav");
  EXPECT_EQ(d->GetEventText(0x01), "crit");
  EXPECT_EQ(d->GetEventText(0x800), "noncrit");
  EXPECT_EQ(d->GetEventSound(0x40), "in2.wav");
  EXPECT_EQ(d->GetEventText(0x02), "aux");
  EXPECT_EQ(d->GetInput1Mask(), 1u);
  EXPECT_EQ(d->GetSiteXY(), (DeviceConfig::Point{70, 80}));

  // Saved in the current format and read back, nothing changes.
  std::ostringstream out;
  ASSERT_TRUE(site.Save(out));
  std::istringstream again(out.str());
  TSiteConfig back;
  ASSERT_TRUE(back.Load(again));
  EXPECT_EQ(*back.GetDevice(261, DETECTOR), *d);
}

TEST(SiteConfig, OldFormatVersionsLeaveOutTheirLaterFields) {
  for (int version = 0; version <= 4; ++version) {
    // Each version added fields: 1 the zone position, 2 the loop position,
    // 3 the icon size (in the header), 4 the site position.
    std::vector<std::string> record = OldRecord();
    if (version < 4) record.erase(record.end() - 2, record.end());
    if (version < 1) record.erase(record.begin() + 12, record.begin() + 14);
    if (version < 2) record.erase(record.begin() + 9, record.begin() + 11);
    std::istringstream in(Join(OldFile(record, version)));  // no 255 line: the end will do
    TSiteConfig site;
    ASSERT_TRUE(site.OldLoad(in)) << version << " " << site.GetLoadError();
    const DeviceConfig* d = site.GetDevice(261, DETECTOR);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetMapXY(), (DeviceConfig::Point{10, 20}));
    EXPECT_EQ(d->GetZone(), 3);
    EXPECT_EQ(d->GetZoneXY(),
              version >= 1 ? (DeviceConfig::Point{50, 60}) : (DeviceConfig::Point{}));
    EXPECT_EQ(d->GetLoopXY(),
              version >= 2 ? (DeviceConfig::Point{30, 40}) : (DeviceConfig::Point{}));
    EXPECT_EQ(site.GetDeviceIconSize(), version >= 3 ? 24 : 0);
    EXPECT_EQ(d->GetSiteXY(),
              version >= 4 ? (DeviceConfig::Point{70, 80}) : (DeviceConfig::Point{}));
    EXPECT_EQ(d->GetFaultMask(), 165u);
    EXPECT_EQ(d->GetEventText(0x800), "noncrit");
  }
}

TEST(SiteConfig, OldFormatMissingLinesGiveTheirCodes) {
  // Line k of the record missing (the file ends before it) gives codes[k];
  // a file ending before a record's first line is a complete file.
  const int codes[] = {0,  2,  3,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                       20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 36, 37};
  const std::vector<std::string> record = OldRecord();
  ASSERT_EQ(std::size(codes), record.size());
  for (std::size_t k = 0; k < record.size(); ++k) {
    std::vector<std::string> records = OldRecord();
    records[2] = "99";  // a first, complete entry that stays loaded
    records.insert(records.end(), record.begin(), record.begin() + static_cast<long>(k));
    std::istringstream in(Join(OldFile(records)));
    TSiteConfig site;
    EXPECT_EQ(site.OldLoad(in), codes[k] == 0) << k;
    EXPECT_EQ(site.GetLoadError(), codes[k]) << k;
    EXPECT_NE(site.GetDevice(99, DETECTOR), nullptr) << k;
    EXPECT_EQ(site.GetDevice(261, DETECTOR), nullptr) << k;
    EXPECT_TRUE(HasDefaultModules(site));
  }
}

TEST(SiteConfig, OldFormatValuesOutOfRangeGiveTheirCodes) {
  struct Case {
    std::size_t line;
    const char* value;
    int code;
  };
  const Case cases[] = {
      {1, "3", 2},       {1, "-2", 2},   {2, "4224", 3},    {2, "-10017", 3}, {3, "4", 5},
      {3, "-2", 5},      {4, "21", 6},   {4, "-1", 6},      {7, "30001", 9},  {8, "-1", 10},
      {9, "30001", 11},  {10, "-5", 12}, {11, "40000", 13}, {12, "-1", 14},   {13, "30001", 15},
      {31, "30001", 33}, {31, "-1", 33}, {32, "30001", 34}, {33, "-1", 36},   {34, "30001", 37},
  };
  for (const Case& c : cases) {
    std::vector<std::string> record = OldRecord();
    record[c.line] = c.value;
    std::istringstream in(Join(OldFile(record)));
    TSiteConfig site;
    EXPECT_FALSE(site.OldLoad(in)) << c.line;
    EXPECT_EQ(site.GetLoadError(), c.code) << c.line << " " << c.value;
    EXPECT_EQ(site.Count(), 16u);
  }
  // Range ends are accepted.
  std::vector<std::string> record = OldRecord();
  record[2] = "-10016";
  record[3] = "-1";
  record[4] = "20";
  record[7] = "30000";
  record[31] = "30000";
  std::istringstream in(Join(OldFile(record)));
  TSiteConfig site;
  EXPECT_TRUE(site.OldLoad(in));
  EXPECT_NE(site.GetDevice(static_cast<std::uint32_t>(-10016), ZONE), nullptr);
}

TEST(SiteConfig, OldFormatHeaderAndFileErrors) {
  std::istringstream v6(Join({"6", "0", "255"}));
  TSiteConfig site;
  EXPECT_FALSE(site.OldLoad(v6));
  EXPECT_EQ(site.GetLoadError(), TSiteConfig::LOADERROR_VERSION);

  // Version 5 is still read the old way when asked for explicitly.
  std::istringstream v5(Join(OldFile(OldRecord(), 5)));
  EXPECT_TRUE(site.OldLoad(v5));
  EXPECT_NE(site.GetDevice(261, DETECTOR), nullptr);

  test::TempDir dir;
  EXPECT_FALSE(site.OldLoad((dir / "none.cfg").string()));
  EXPECT_EQ(site.GetLoadError(), TSiteConfig::LOADERROR_OPEN);
  EXPECT_TRUE(HasDefaultModules(site));

  // Through a file: the old reader also runs when Load finds a low version.
  dir.Write("old.cfg", Join(OldFile(OldRecord(), 4)));
  TSiteConfig fromfile((dir / "old.cfg").string());
  EXPECT_EQ(fromfile.GetLoadError(), 0);
  EXPECT_NE(fromfile.GetDevice(261, DETECTOR), nullptr);
}

TEST(SiteConfig, OldFormatOverlongLinesAreCut) {
  std::vector<std::string> record = OldRecord();
  record[5] = std::string(40, 'L');
  record[6] = std::string(300, 'M');
  std::istringstream in(Join(OldFile(record)));
  TSiteConfig site;
  ASSERT_TRUE(site.OldLoad(in));
  const DeviceConfig* d = site.GetDevice(261, DETECTOR);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetLocation(), std::string(31, 'L'));
  EXPECT_EQ(d->GetMap(), std::string(255, 'M'));
  EXPECT_EQ(d->GetMapXY(), (DeviceConfig::Point{10, 20}));  // the next lines keep their place
}

// --- the list -------------------------------------------------------------

TEST(SiteConfig, BusAddressesFindTheirEntries) {
  TSiteConfig site;
  site.InsertDevice(DeviceConfig(513, POWERSUPPLY, PELORIN2000POWERSUPPLY));
  site.InsertDevice(DeviceConfig(517, DETECTOR, PELORINLUMO));
  site.InsertDevice(DeviceConfig(512 + 128, POWERSUPPLY, PELORIN2000POWERSUPPLY));

  const DeviceConfig* module = site.GetDevice(0x200);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->GetAddress(), 513u);
  EXPECT_EQ(module->GetType(), BUSCONTROLLER);
  const DeviceConfig* psu = site.GetDevice(0x280);
  ASSERT_NE(psu, nullptr);
  EXPECT_EQ(psu->GetAddress(), 513u);
  EXPECT_EQ(psu->GetType(), POWERSUPPLY);
  EXPECT_EQ(site.GetDevice(0x205), site.GetDevice(517, DETECTOR));
  EXPECT_EQ(site.GetDevice(0x2FF), site.GetDevice(640, POWERSUPPLY));
  EXPECT_EQ(site.GetDevice(0x206), nullptr);
  EXPECT_EQ(site.GetDevice(0x301), nullptr);
  EXPECT_EQ(site.GetDevice(517, POWERSUPPLY), nullptr);
}

TEST(SiteConfig, InsertReplacesAndMovesToTheEnd) {
  TSiteConfig site;
  DeviceConfig* module = site.GetDevice(1, BUSCONTROLLER);
  site.InsertDevice(Detector(0, 2));
  site.InsertDevice(Detector(0, 3));
  // The module's children, walked from the module itself.
  auto children = [&site](const DeviceConfig* parent) {
    std::vector<std::uint32_t> out;
    for (const DeviceConfig* c = site.GetChild(parent, parent); c; c = site.GetChild(parent, c))
      out.push_back(c->GetAddress());
    return out;
  };
  EXPECT_EQ(children(module), (std::vector<std::uint32_t>{2, 3}));

  DeviceConfig changed = Detector(0, 2);
  changed.SetLocation("moved");
  DeviceConfig* stored = site.InsertDevice(changed);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->GetLocation(), "moved");
  EXPECT_EQ(site.Count(), 18u);
  EXPECT_EQ(Addresses(site).back(), 2u);
  EXPECT_EQ(children(module), (std::vector<std::uint32_t>{3, 2}));
  EXPECT_EQ(site.GetDevice(2, DETECTOR), stored);

  // Replacing the module moves it behind its children, so a walk from it
  // finds none of them.
  module = site.InsertDevice(*module);
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(children(module).empty());
  EXPECT_EQ(site.GetChild(module, nullptr), nullptr);
  DeviceConfig outsider = Detector(0, 3);
  EXPECT_EQ(site.GetChild(module, &outsider), nullptr);  // a copy is not in the list
}

TEST(SiteConfig, RemoveKeepsTheOrderOfTheRest) {
  TSiteConfig site;
  site.DeleteAllDevices();
  EXPECT_TRUE(site.empty());
  for (std::uint32_t n = 1; n <= 5; ++n) site.InsertDevice(DeviceConfig(n, DETECTOR, UNKNOWN));
  site.InsertDevice(DeviceConfig(3, POWERSUPPLY, UNKNOWN));
  site.RemoveDevice(3, DETECTOR);
  site.RemoveDevice(9, DETECTOR);
  EXPECT_EQ(Addresses(site), (std::vector<std::uint32_t>{1, 2, 4, 5, 3}));
  EXPECT_EQ(site.GetDevice(3, DETECTOR), nullptr);
  EXPECT_NE(site.GetDevice(3, POWERSUPPLY), nullptr);
  site.RemoveDevice(3, POWERSUPPLY);
  site.InsertDevice(DeviceConfig(3, DETECTOR, DOT100));
  EXPECT_EQ(Addresses(site), (std::vector<std::uint32_t>{1, 2, 4, 5, 3}));
  EXPECT_EQ(site.GetDevice(3, DETECTOR)->GetModel(), DOT100);
}

TEST(SiteConfig, GlobalActionsReachOnlyOtherEntriesOfTheSameType) {
  TSiteConfig site;
  site.InsertDevice(Detector(0, 2));
  site.InsertDevice(DeviceConfig(3, DETECTOR, DOT25))->SetInput1Mask(1);
  site.InsertDevice(DeviceConfig(4, POWERSUPPLY, UNKNOWN));
  DeviceConfig* source = site.GetDevice(2, DETECTOR);
  for (std::int32_t bit : ALLBITS) {
    source->SetEventSound(bit, "snd" + std::to_string(bit));
    source->SetEventText(bit, "txt" + std::to_string(bit));
  }
  source->SetInput2Mask(1);
  site.SetGlobalActions(*source);

  const DeviceConfig* other = site.GetDevice(3, DETECTOR);
  for (std::int32_t bit : ALLBITS) {
    EXPECT_EQ(other->GetEventSound(bit), "snd" + std::to_string(bit));
    EXPECT_EQ(other->GetEventText(bit), "txt" + std::to_string(bit));
  }
  EXPECT_EQ(other->GetInput1Mask(), 1u);  // masks are not actions
  EXPECT_EQ(other->GetInput2Mask(), 0u);
  EXPECT_TRUE(site.GetDevice(4, POWERSUPPLY)->GetEventSound(0x10).empty());
  EXPECT_TRUE(site.GetDevice(1, BUSCONTROLLER)->GetEventText(0x01).empty());
}

TEST(SiteConfig, CopiesHaveTheirOwnIndex) {
  TSiteConfig site;
  site.InsertDevice(Detector(1, 5));
  TSiteConfig copy = site;
  copy.RemoveDevice(261, DETECTOR);
  copy.GetDevice(257, BUSCONTROLLER)->SetLocation("copy");
  EXPECT_NE(site.GetDevice(261, DETECTOR), nullptr);
  EXPECT_TRUE(site.GetDevice(257, BUSCONTROLLER)->GetLocation().empty());
  EXPECT_EQ(copy.GetDevice(261, DETECTOR), nullptr);
  TSiteConfig moved = std::move(copy);
  EXPECT_EQ(moved.GetDevice(257, BUSCONTROLLER)->GetLocation(), "copy");
  site = moved;
  EXPECT_EQ(site.GetDevice(261, DETECTOR), nullptr);
  EXPECT_EQ(site.GetDevice(257, BUSCONTROLLER), &*std::next(site.begin(), 1));
}

TEST(SiteConfig, OldFormatLeavesOutEntriesOutsideTheirKindsRange) {
  std::vector<std::string> records = OldRecord();
  std::vector<std::string> stray = OldRecord();
  stray[2] = "456";  // loop 2, address 200
  records.insert(records.end(), stray.begin(), stray.end());
  std::istringstream in(Join(OldFile(records)));
  TSiteConfig site;
  EXPECT_TRUE(site.OldLoad(in)) << site.GetLoadError();
  EXPECT_NE(site.GetDevice(261, DETECTOR), nullptr);
  EXPECT_EQ(site.GetDevice(456, DETECTOR), nullptr);
  ASSERT_EQ(site.GetRefused().size(), 1u);
  EXPECT_EQ(site.GetRefused()[0].line, 2 + 35 + 1);
}

}  // namespace
}  // namespace quillark
