#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillark {

class Translator;

// A detector's chart log: samples of its alarm level (or, for some models,
// its flow rate) and its detector level at a fixed period, the samples of up
// to four detectors interleaved. Values are on a 0..200 scale (value / 2 is
// the percentage); an alarm level of 255 means no value.
struct ChartTimeDate {
  std::uint8_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const ChartTimeDate&) const = default;
};

struct ChartSample {
  std::uint8_t alarm = 255;
  std::uint8_t level = 0;
  bool operator==(const ChartSample&) const = default;
};

struct Chart {
  static constexpr std::size_t CAPACITY = 14000;
  static constexpr std::uint8_t FLOWRATE = 0x80;  // in `detectors`
  static constexpr int ALLDETECTORS = 4;          // `shown`

  std::uint8_t detectors = 1;   // low 7 bits: how many interleaved; bit 7: flow
  int shown = 0;                // index of the detector shown, ALLDETECTORS for all
  unsigned samplingperiod = 0;  // seconds between samples of one detector
  ChartTimeDate timedate;       // of the last sample
  int device = 0;               // packed device number of the group's first detector
  std::vector<ChartSample> samples;

  // How many detectors share the samples (at least 1).
  int DetectorCount() const;
  bool IsFlowRate() const { return (detectors & FLOWRATE) != 0; }
  // Samples of one detector.
  std::size_t Length() const { return samples.size() / static_cast<std::size_t>(DetectorCount()); }
  // The local time of the last sample (a two-digit year below 70 is 20xx).
  std::time_t EndTime() const;
  // When sample number k of a detector was taken, as a day/month/year and time.
  ChartTimeDate SampleTime(std::size_t k) const;
};

// The recording rate per division of ten samples: "NO REC", "%u MIN", "%u SEC",
// in `translator`'s language for the screen; files the program writes keep
// the English words (no translator), since other programs read them.
std::string ChartRateText(unsigned samplingperiod, Translator* translator = nullptr);

// Decodes a "C" answer as received (check-sum digits last, a CR may follow)
// from `device` (packed) into `out`; false, with `out` untouched, for another
// kind of frame or one shorter than the samples it announces. An answer announcing more than 4095
// characters is an empty chart.
bool DecodeChartAnswer(std::string_view frame, int device, Chart& out);

enum class ChartFileResult {
  OK,
  CANNOTLOAD,  // "Cannot load chart."
  BADFORMAT,   // "Bad chart format."
  BADVERSION,  // "Bad file version."
  READERROR,   // "Error reading chart."
  TOOBIG,      // "Chart too big to load."
  CANNOTSAVE,  // "Cannot save chart."
  WRITEERROR,  // "Error writing chart."
};
// The text of a result, by its text number in the translator's table.
int ChartFileTextId(ChartFileResult result);
const char* ChartFileEnglish(ChartFileResult result);

// ".rec" (and ".REC") files have the older 12-byte header, every other name
// the 22-byte one with its magic number and version. A failed load leaves an
// empty chart.
ChartFileResult LoadChart(const std::filesystem::path& file, Chart& chart);
// ".rec" writes the older format, ".csv" the text export, every other name
// the current format (so whatever the name, the file can be opened again).
// The file is replaced whole or not at all.
ChartFileResult SaveChart(const std::filesystem::path& file, const Chart& chart);
// The bytes of each format.
std::string ChartFileBytes(const Chart& chart, bool oldformat);
// The text export, lines ending in CR LF, for the shown detector (the first
// when all are shown).
std::string ChartCsv(const Chart& chart);

// Live recording after the device's own log was read: the latest levels from
// fast-poll answers become one sample per detector every sampling period.
class RealTimeChart {
 public:
  explicit RealTimeChart(Chart& c) : chart(c) {}

  // A chart answer was taken into the chart at `now` (seconds).
  void ChartRead(std::time_t now);
  // A fast-poll answer's level byte from `device`; ignored for devices
  // outside the group or before the chart holds samples.
  void Level(int device, std::uint8_t value);
  // The clock: appends a sample per detector each time a period is due,
  // dropping the oldest when the chart is full. True when samples were added.
  // `local` turns a time into the chart's day/month/year and time.
  bool Tick(std::time_t now, ChartTimeDate (*local)(std::time_t));

 private:
  Chart& chart;
  std::time_t nextsample = 0;
  bool running = false;
  std::vector<int> latest, held;  // per detector, -1 none
};

// The chart's day/month/year and time of a time, in local time.
ChartTimeDate LocalChartTime(std::time_t t);

}  // namespace quillark
