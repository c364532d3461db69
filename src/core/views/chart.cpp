#include "core/views/chart.h"

#include <algorithm>
#include <cstdio>

#include "core/access/translator.h"
#include "core/common/atomicfile.h"
#include "core/common/textutil.h"
#include "core/comms/message.h"

namespace quillark {

namespace {

constexpr std::uint32_t MAGIC = 0x12345678;
constexpr std::size_t HEADERV2 = 22;
constexpr std::size_t HEADERV1 = 12;
constexpr std::size_t SAMPLEBYTES = 4;
// Characters of a chart answer before the samples, after its six of head.
constexpr std::size_t ANSWERHEAD = 6;
constexpr std::size_t ANSWERFIELDS = 2 + 2 + 4 + 6 * 2;

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool EndsWith(const std::filesystem::path& file, const char* lower, const char* upper) {
  const std::string ext = file.extension().string();
  return ext == lower || ext == upper;
}

// Little-endian fields, whatever the machine.
void Put(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
std::uint32_t Get(const std::string& in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |=
        static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]))
        << (8 * i);
  return value;
}

void PutTimeDate(std::string& out, const ChartTimeDate& t) {
  for (std::uint8_t b : {t.day, t.month, t.year, t.hour, t.minute, t.second})
    out.push_back(static_cast<char>(b));
}
ChartTimeDate GetTimeDate(const std::string& in, std::size_t at) {
  auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(in[at + i]); };
  return {b(0), b(1), b(2), b(3), b(4), b(5)};
}

std::uint8_t Scaled(int value) {
  return static_cast<std::uint8_t>(value * 200 / 255);
}

}  // namespace

int Chart::DetectorCount() const {
  const int n = detectors & 0x7F;
  return n == 0 ? 1 : n;
}

std::time_t Chart::EndTime() const {
  std::tm tm{};
  tm.tm_year = (timedate.year < 70 ? 2000 : 1900) + timedate.year - 1900;
  tm.tm_mon = timedate.month - 1;
  tm.tm_mday = timedate.day;
  tm.tm_hour = timedate.hour;
  tm.tm_min = timedate.minute;
  tm.tm_sec = timedate.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

ChartTimeDate Chart::SampleTime(std::size_t k) const {
  const std::size_t n = Length();
  const std::time_t back =
      static_cast<std::time_t>(samplingperiod) * static_cast<std::time_t>(n > k ? n - k : 0);
  return LocalChartTime(EndTime() - back);
}

ChartTimeDate LocalChartTime(std::time_t t) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return {};
  return {static_cast<std::uint8_t>(tm.tm_mday),       static_cast<std::uint8_t>(tm.tm_mon + 1),
          static_cast<std::uint8_t>(tm.tm_year % 100), static_cast<std::uint8_t>(tm.tm_hour),
          static_cast<std::uint8_t>(tm.tm_min),        static_cast<std::uint8_t>(tm.tm_sec)};
}

std::string ChartRateText(unsigned period, Translator* translator) {
  if (period == 0) return TextOr(translator, 89460, "NO REC");
  if (period > 5) return Format(TextOr(translator, 89480, "%u MIN").c_str(), period / 6);
  return Format(TextOr(translator, 89500, "%u SEC").c_str(), period * 10);
}

bool DecodeChartAnswer(std::string_view frame, int device, Chart& out) {
  if (frame.size() < 3 || frame[0] != '<' || frame[2] != 'C') return false;
  // The data ends before the two check-sum digits (and a CR, if one came).
  std::size_t end = frame.size();
  while (end > 0 && (frame[end - 1] == '\r' || frame[end - 1] == '\0')) --end;
  end = end >= 2 ? end - 2 : 0;
  if (end < ANSWERHEAD + ANSWERFIELDS) return false;
  for (std::size_t i = 3; i < ANSWERHEAD + ANSWERFIELDS; ++i)
    if (!IsLowerHex(frame[i])) return false;
  const char* p = frame.data() + 3;
  const int announced = Message::GetData(3, p);
  const std::size_t count =
      announced > 4095 || announced < 20 ? 0 : static_cast<std::size_t>(announced - 20) / 4;
  const std::size_t needed = ANSWERHEAD + ANSWERFIELDS + count * 4;
  if (end < needed) return false;
  for (std::size_t i = ANSWERHEAD + ANSWERFIELDS; i < needed; ++i)
    if (!IsLowerHex(frame[i])) return false;

  Chart c;
  c.detectors = static_cast<std::uint8_t>(Message::GetData(2, p));
  c.shown = Message::GetData(2, p);
  c.samplingperiod = static_cast<unsigned>(Message::GetData(4, p));
  std::uint8_t t[6];
  for (std::uint8_t& b : t) b = static_cast<std::uint8_t>(Message::GetData(2, p));
  c.timedate = {t[0], t[1], t[2], t[3], t[4], t[5]};
  c.samples.resize(count);
  for (ChartSample& s : c.samples) {
    const int first = Message::GetData(2, p);
    // A flow is sent in half-percent steps; 255 stays free for "no value".
    s.alarm = c.IsFlowRate() ? static_cast<std::uint8_t>(std::min(first * 2, 254)) : Scaled(first);
    s.level = Scaled(Message::GetData(2, p));
  }
  if (c.shown > Chart::ALLDETECTORS) c.shown = 0;
  c.device = device - (c.shown == Chart::ALLDETECTORS ? 0 : c.shown);
  out = std::move(c);
  return true;
}

int ChartFileTextId(ChartFileResult r) {
  switch (r) {
    case ChartFileResult::OK:
      return 0;
    case ChartFileResult::CANNOTLOAD:
      return 51500;
    case ChartFileResult::BADFORMAT:
      return 51600;
    case ChartFileResult::BADVERSION:
      return 51700;
    case ChartFileResult::READERROR:
      return 51800;
    case ChartFileResult::TOOBIG:
      return 51900;
    case ChartFileResult::CANNOTSAVE:
      return 52000;
    case ChartFileResult::WRITEERROR:
      return 52100;
  }
  return 0;
}

const char* ChartFileEnglish(ChartFileResult r) {
  switch (r) {
    case ChartFileResult::OK:
      return "";
    case ChartFileResult::CANNOTLOAD:
      return "Cannot load chart.";
    case ChartFileResult::BADFORMAT:
      return "Bad chart format.";
    case ChartFileResult::BADVERSION:
      return "Bad file version.";
    case ChartFileResult::READERROR:
      return "Error reading chart.";
    case ChartFileResult::TOOBIG:
      return "Chart too big to load.";
    case ChartFileResult::CANNOTSAVE:
      return "Cannot save chart.";
    case ChartFileResult::WRITEERROR:
      return "Error writing chart.";
  }
  return "";
}

ChartFileResult LoadChart(const std::filesystem::path& file, Chart& chart) {
  const Chart before = chart;
  chart.samples.clear();
  std::string bytes;
  {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) return ChartFileResult::CANNOTLOAD;
    // Never more than the largest chart's bytes: a huge file is not read whole.
    const std::size_t most = HEADERV2 + Chart::CAPACITY * SAMPLEBYTES;
    bytes.resize(most + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  Chart loaded = before;
  loaded.samples.clear();
  std::size_t length = 0;
  std::size_t at = 0;
  if (EndsWith(file, ".rec", ".REC")) {
    if (bytes.size() < HEADERV1) return ChartFileResult::READERROR;
    length = Get(bytes, 0, 2);
    loaded.detectors = static_cast<std::uint8_t>(bytes[2]);
    loaded.shown = static_cast<std::uint8_t>(bytes[3]);
    loaded.samplingperiod = Get(bytes, 4, 2);
    loaded.timedate = GetTimeDate(bytes, 6);
    at = HEADERV1;
  } else {
    if (bytes.size() < HEADERV2) return ChartFileResult::READERROR;
    if (Get(bytes, 4, 2) != 1) return ChartFileResult::BADVERSION;
    if (Get(bytes, 0, 4) != MAGIC) return ChartFileResult::BADFORMAT;
    length = Get(bytes, 6, 4) & 0xFFFF;
    loaded.detectors = static_cast<std::uint8_t>(Get(bytes, 10, 2) & 0xFF);
    loaded.shown = 0;
    // Only the address survives: the header has no room for the loop.
    loaded.device = static_cast<int>(Get(bytes, 12, 2) & 0xFF) + 1;
    loaded.samplingperiod = Get(bytes, 14, 2);
    loaded.timedate = GetTimeDate(bytes, 16);
    at = HEADERV2;
  }
  if (length > Chart::CAPACITY) return ChartFileResult::TOOBIG;
  // Fewer samples than the header promises is a damaged file, not a short chart.
  if (bytes.size() < at + length * SAMPLEBYTES) return ChartFileResult::READERROR;
  if (loaded.shown > Chart::ALLDETECTORS ||
      (loaded.shown != Chart::ALLDETECTORS && loaded.shown >= loaded.DetectorCount()))
    loaded.shown = 0;
  loaded.samples.resize(length);
  for (ChartSample& s : loaded.samples) {
    s.alarm = static_cast<std::uint8_t>(bytes[at]);
    s.level = static_cast<std::uint8_t>(bytes[at + 2]);
    at += SAMPLEBYTES;
  }
  chart = std::move(loaded);
  return ChartFileResult::OK;
}

std::string ChartFileBytes(const Chart& c, bool oldformat) {
  std::string out;
  out.reserve(HEADERV2 + c.samples.size() * SAMPLEBYTES);
  if (oldformat) {
    Put(out, static_cast<std::uint32_t>(c.samples.size()), 2);
    Put(out, c.detectors, 1);
    Put(out, static_cast<std::uint32_t>(c.shown), 1);
    Put(out, c.samplingperiod, 2);
  } else {
    Put(out, MAGIC, 4);
    Put(out, 1, 2);
    Put(out, static_cast<std::uint32_t>(c.samples.size()), 4);
    Put(out, c.detectors, 2);
    Put(out, static_cast<std::uint32_t>(c.device - 1), 2);
    Put(out, c.samplingperiod, 2);
  }
  PutTimeDate(out, c.timedate);
  for (const ChartSample& s : c.samples) {
    Put(out, s.alarm, 2);
    Put(out, s.level, 2);
  }
  return out;
}

std::string ChartCsv(const Chart& c) {
  auto stamp = [](const char* label, const ChartTimeDate& t) {
    return Format("%s %02u/%02u/%02u, %02u:%02u:%02u\r\n", label, t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
  };
  std::string out = "Chart recording\r\n";
  out += stamp("Trace start:", c.SampleTime(0));
  out += stamp("Trace end:", c.SampleTime(c.Length()));
  out += "Recording rate/div: " + ChartRateText(c.samplingperiod) + "\r\n\r\n";
  const std::size_t step = static_cast<std::size_t>(c.DetectorCount());
  const std::size_t first = c.shown == Chart::ALLDETECTORS ? 0 : static_cast<std::size_t>(c.shown);
  for (std::size_t i = first, k = 0; i < c.samples.size(); i += step, ++k) {
    const ChartTimeDate t = c.SampleTime(k);
    const ChartSample& s = c.samples[i];
    out += Format("%02u/%02u/%02u, %02u:%02u:%02u, %u, %u\r\n", t.day, t.month, t.year, t.hour,
                  t.minute, t.second, (s.level >> 1) & 0x7Fu, (s.alarm >> 1) & 0x7Fu);
  }
  return out;
}

ChartFileResult SaveChart(const std::filesystem::path& file, const Chart& chart) {
  std::string bytes;
  if (EndsWith(file, ".csv", ".CSV"))
    bytes = ChartCsv(chart);
  else
    bytes = ChartFileBytes(chart, EndsWith(file, ".rec", ".REC"));
  if (WriteFileAtomically(file, bytes)) return ChartFileResult::OK;
  // Whether the file could not be made at all or the disk filled while
  // writing, the old file is untouched; say which of the two it was.
  std::FILE* probe = std::fopen(file.c_str(), "ab");
  if (probe == nullptr) return ChartFileResult::CANNOTSAVE;
  std::fclose(probe);
  return ChartFileResult::WRITEERROR;
}

void RealTimeChart::ChartRead(std::time_t now) {
  nextsample = now + chart.samplingperiod;
  running = true;
  const auto n = static_cast<std::size_t>(chart.DetectorCount());
  latest.assign(n, -1);
  held.assign(n, -1);
}

void RealTimeChart::Level(int device, std::uint8_t value) {
  if (!running || chart.samples.empty()) return;
  const int i = device - chart.device;
  if (i < 0 || i >= static_cast<int>(latest.size())) return;
  const auto k = static_cast<std::size_t>(i);
  latest[k] = value;
  // Over a long period the highest level of the period is what matters.
  if (held[k] < 0 || value > held[k] || chart.samplingperiod < 10) held[k] = value;
}

bool RealTimeChart::Tick(std::time_t now, ChartTimeDate (*local)(std::time_t)) {
  if (!running || chart.samplingperiod == 0) return false;
  bool added = false;
  const std::size_t n = latest.size();
  // After a long stall only the newest chart's worth of periods matters.
  for (std::size_t round = 0; now >= nextsample && round < Chart::CAPACITY; ++round) {
    if (chart.samples.size() + n > Chart::CAPACITY)
      chart.samples.erase(chart.samples.begin(),
                          chart.samples.begin() + static_cast<std::ptrdiff_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const int value = held[i] >= 0 ? held[i] : latest[i] >= 0 ? latest[i] : 0;
      chart.samples.push_back({255, Scaled(value)});
    }
    nextsample += static_cast<std::time_t>(chart.samplingperiod);
    if (chart.samplingperiod >= 10) held.assign(n, -1);
    added = true;
  }
  if (added) chart.timedate = local(now);
  return added;
}

}  // namespace quillark
