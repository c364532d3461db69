#include "core/views/histogram.h"

#include <algorithm>

#include "core/common/textutil.h"
#include "core/comms/message.h"

namespace quillark {

namespace {

// Field widths of the answer after the six characters of its head.
constexpr int FIXEDDIGITS = 2 + 2 + 4 + 1 + 4 + 4 + 2 + 2 + 2 + 2 + 2 + 1 + 1;
constexpr int HEAD = 6;

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

bool HistogramAnswer::IsValidFor(int address) const {
  return detector == address && fire < 256 && prealarm < 256 && aux < 256 && mean <= 25500 &&
         fastlearn <= 15 && alarmfactor <= 16;
}

HistogramDecode DecodeHistogram(std::string_view frame, HistogramAnswer& out) {
  if (frame.size() < 3 || frame[0] != '<' || frame[2] != 'H') return HistogramDecode::NOTHISTOGRAM;
  // The data ends before the two check-sum digits (and a CR, if one came).
  std::size_t end = frame.size();
  while (end > 0 && (frame[end - 1] == '\r' || frame[end - 1] == '\0')) --end;
  end = end >= 2 ? end - 2 : 0;
  auto hexthrough = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (!IsLowerHex(frame[i])) return false;
    return true;
  };
  if (end < HEAD + 2 || !hexthrough(HEAD, HEAD + 2)) return HistogramDecode::SHORT;
  const char* p = frame.data() + HEAD;
  HistogramAnswer a;
  a.classes = Message::GetData(2, p);
  if (a.classes > HistogramAnswer::MAXCLASSES) return HistogramDecode::TOOMANYCLASSES;
  if (end < HEAD + FIXEDDIGITS || !hexthrough(HEAD, HEAD + FIXEDDIGITS))
    return HistogramDecode::SHORT;
  a.classwidth = Message::GetData(2, p);
  a.obscuration = static_cast<unsigned>(Message::GetData(4, p));
  a.period = Message::GetData(1, p);
  a.mean = static_cast<unsigned>(Message::GetData(4, p));
  a.variance = static_cast<unsigned>(Message::GetData(4, p));
  a.fire2 = static_cast<unsigned>(Message::GetData(2, p));
  a.fire = static_cast<unsigned>(Message::GetData(2, p));
  a.prealarm = static_cast<unsigned>(Message::GetData(2, p));
  a.aux = static_cast<unsigned>(Message::GetData(2, p));
  a.adlevel = Message::GetData(2, p);
  a.fastlearn = static_cast<unsigned>(Message::GetData(1, p));
  a.alarmfactor = static_cast<unsigned>(Message::GetData(1, p));
  // Detectors send fewer count digits than their class count when the last
  // classes are empty: counts past the end of the data are 0, never bytes
  // beyond it (the check sum, or whatever follows in memory).
  std::size_t at = HEAD + FIXEDDIGITS;
  auto count = [&]() -> unsigned {
    const std::size_t from = at;
    at += 2;
    if (at > end || !hexthrough(from, at)) return 0;
    const char* q = frame.data() + from;
    return static_cast<unsigned>(Message::GetData(2, q));
  };
  for (int i = 0; i < a.classes; ++i) a.fast[static_cast<std::size_t>(i)] = count();
  for (int i = 0; i < a.classes; ++i) a.slow[static_cast<std::size_t>(i)] = count();
  a.detector = static_cast<unsigned char>(frame[1]) & 0x7F;
  out = a;
  return HistogramDecode::OK;
}

namespace HistogramText {

std::string Threshold(unsigned level) {
  if (level == 0) return "--";
  return Format("%.2f%%", level * 100.0 / 255.0);
}

std::string Level(int level) {
  return Format("%.1f%%", level * 100.0 / 255.0);
}

std::string Hundredths(unsigned value) {
  return Format("%.2f%%", value / 255.0);
}

std::string FastLearn(unsigned fastlearn) {
  return fastlearn != 0 ? Format(" ON:%2u", fastlearn) : std::string("   OFF");
}

double Sensitivity(unsigned obscuration, int language) {
  const double s = obscuration * 0.01;
  // English-US shows obscuration per foot.
  return language == 11 ? s * 0.3048780487804878 : s;
}

}  // namespace HistogramText

HistogramSensitivity SensitivityPanel(const HistogramAnswer& a, int language) {
  const double s = HistogramText::Sensitivity(a.obscuration, language);
  const double t = a.mean / 255.0;
  const double v = (a.fire - t) * 1.2;
  // A Fire 1 threshold at the mean leaves nothing to compare with: show 0
  // rather than dividing by it.
  auto scaled = [&](double level) { return v == 0.0 ? 0.0 : (level - t) / v * s; };
  return {HistogramAnswer::FIRE1BAR * s * 0.1, scaled(a.prealarm), scaled(a.aux),
          scaled(a.adlevel)};
}

namespace HistogramGeometry {

Bars ScaleBars(const HistogramAnswer& a) {
  Bars bars;
  const int classes = std::clamp(a.classes, 0, HistogramAnswer::MAXCLASSES);
  unsigned most = 0;
  for (int i = 0; i < classes; ++i)
    most =
        std::max({most, a.fast[static_cast<std::size_t>(i)], a.slow[static_cast<std::size_t>(i)]});
  if (most == 0) most = 1;
  auto height = [&](unsigned count) {
    const unsigned scaled = std::max(2u, static_cast<unsigned>(count * 255ull / most));
    return static_cast<int>(scaled * (YORG - YTOP) / 255);
  };
  for (int i = 0; i < classes; ++i) {
    const auto k = static_cast<std::size_t>(i);
    bars.fast[k] = height(a.fast[k]);
    bars.slow[k] = height(a.slow[k]);
  }
  return bars;
}

std::array<Segment, 10> BarGraph(const HistogramAnswer& a) {
  std::array<Segment, 10> segments{};
  const double x0 = XORG + STEPSIZE * (a.mean / 100.0);
  const double w = (LevelX(static_cast<int>(a.fire)) - x0) / (HistogramAnswer::FIRE1BAR - 1);
  auto holds = [&](int k, unsigned level) {
    const double x = LevelX(static_cast<int>(level));
    const double centre = x0 + k * w;
    const double half = (w < 0 ? -w : w) / 2;
    return x >= centre - half && x < centre + half;
  };
  for (int k = 0; k < 10; ++k) {
    if (w != 0.0 && holds(k, a.aux))
      segments[static_cast<std::size_t>(k)] = Segment::YELLOW;
    else if (w != 0.0 && holds(k, a.prealarm))
      segments[static_cast<std::size_t>(k)] = Segment::ORANGE;
    else if (w != 0.0 && holds(k, a.fire))
      segments[static_cast<std::size_t>(k)] = Segment::RED;
  }
  return segments;
}

}  // namespace HistogramGeometry

void HistogramTimer::Toggle(std::int64_t now) {
  if (AllStopped()) {
    for (Watch& w : watches) w = {now, 0, false};
    return;
  }
  for (Watch& w : watches)
    if (!w.stopped) Stop(w, now);
}

void HistogramTimer::Stop(Watch& w, std::int64_t now) {
  w.elapsed = now - w.start;
  w.stopped = true;
}

void HistogramTimer::Answer(const HistogramAnswer& a, std::int64_t now) {
  const unsigned thresholds[ALARMS] = {a.fire2, a.fire, a.prealarm, a.aux};
  for (int i = 0; i < ALARMS; ++i) {
    Watch& w = watches[static_cast<std::size_t>(i)];
    if (!w.stopped && a.adlevel >= 0 && static_cast<unsigned>(a.adlevel) >= thresholds[i])
      Stop(w, now);
  }
  Tick(now);
}

void HistogramTimer::Tick(std::int64_t now) {
  for (const Watch& w : watches) {
    if (!w.stopped && now - w.start >= LIMIT_S * 1000) {
      // A test that has run this long has failed; every watch stops where it is.
      for (Watch& x : watches)
        if (!x.stopped) Stop(x, now);
      return;
    }
  }
}

bool HistogramTimer::AllStopped() const {
  return std::all_of(watches.begin(), watches.end(), [](const Watch& w) { return w.stopped; });
}

std::int64_t HistogramTimer::Seconds(Alarm a, std::int64_t now) const {
  const Watch& w = watches[a];
  const std::int64_t ms = w.stopped ? w.elapsed : now - w.start;
  return std::clamp<std::int64_t>(ms / 1000, 0, LIMIT_S);
}

std::string HistogramTimer::Text(Alarm a, std::int64_t now) const {
  const std::int64_t s = Seconds(a, now);
  return Format("%02u:%02u", static_cast<unsigned>(s / 60), static_cast<unsigned>(s % 60));
}

}  // namespace quillark
