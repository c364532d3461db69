#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillark {

// A detector's histogram answer: its fast and slow smoke-density histograms,
// the thresholds its alarm-level classification derived from them, and the
// figures behind them. Levels are on the detector's 0..255 scale.
struct HistogramAnswer {
  static constexpr int MAXCLASSES = 64;
  static constexpr int NOANSWER = 255;
  // Bar-graph segments of the fixed thresholds.
  static constexpr int FIRE1BAR = 8;
  static constexpr int PREALARMBAR = 6;
  static constexpr int AUXBAR = 10;

  std::array<unsigned, MAXCLASSES> fast{};
  std::array<unsigned, MAXCLASSES> slow{};
  unsigned obscuration = 0;  // sensitivity in hundredths of "% obs/m"
  int detector = NOANSWER;   // the address that answered
  int period = 0;            // 1 night, else day
  int adlevel = 0;           // current detector level
  unsigned fire2 = 0, fire = 0, prealarm = 0, aux = 0;
  unsigned mean = 0, variance = 0;  // hundredths of a level unit
  unsigned fastlearn = 0;           // 0 off, else the fast-learn count
  unsigned alarmfactor = 0;
  int classes = 0;
  int classwidth = 0;

  // Worth drawing for the device whose address is `address`: the answer is
  // from it and its figures are within what a detector can report.
  bool IsValidFor(int address) const;
};

enum class HistogramDecode {
  OK,
  NOTHISTOGRAM,    // not an "H" answer
  TOOMANYCLASSES,  // more than 64 classes: "Too many classes"
  SHORT,           // not even the fixed fields
};

// Decodes an "H" answer as received (its two check-sum digits last, a CR may
// follow): "<", address, "H", three unused digits, then the fields in
// lowercase hex. Only a decoded answer is stored in `out`; anything else
// leaves it as it was.
HistogramDecode DecodeHistogram(std::string_view frame, HistogramAnswer& out);

// The figures the viewer shows, as it shows them.
namespace HistogramText {
// A threshold: "--" for 0, else its percentage of the scale with two decimals.
std::string Threshold(unsigned level);
// The detector level with one decimal ("5.1%").
std::string Level(int level);
// Mean and variance: hundredths of a level unit as a percentage ("4.89%").
std::string Hundredths(unsigned value);
std::string FastLearn(unsigned fastlearn);  // " ON:%2u" or "   OFF"
// The sensitivity in the shown unit: per foot for English-US, else per metre.
double Sensitivity(unsigned obscuration, int language);
}  // namespace HistogramText

// The sensitivity panel: what the Fire 1, Pre-alarm, Aux thresholds and the
// current level mean in obscuration, from the learnt mean.
struct HistogramSensitivity {
  double fire1, prealarm, aux, detector;
};
HistogramSensitivity SensitivityPanel(const HistogramAnswer& answer, int language);

// Drawing arithmetic of the 640 x 480 picture, kept apart from any painting
// so that it can be checked without a window.
namespace HistogramGeometry {
constexpr int XORG = 56, XTOP = 586, YORG = 370, YTOP = 240;
constexpr int STEPSIZE = (XTOP - XORG) / 256;
// The x of a level on the class axis.
inline int LevelX(int level) {
  return XORG + STEPSIZE * level;
}
// Bar heights in pixels of every class of both histograms, scaled together
// so that the tallest count of either fills the bar area.
struct Bars {
  std::array<int, HistogramAnswer::MAXCLASSES> fast{}, slow{};
};
Bars ScaleBars(const HistogramAnswer& answer);
// The colour class of bar-graph segment 0..9: the thresholds' positions on a
// ten-segment scale whose segment 8 is centred on Fire 1.
enum class Segment { GREY, RED, ORANGE, YELLOW };
std::array<Segment, 10> BarGraph(const HistogramAnswer& answer);
}  // namespace HistogramGeometry

// The stopwatches of a smoke test: started together, each stops when the
// detector level reaches its threshold, all stop at 600 s.
class HistogramTimer {
 public:
  enum Alarm { FIRE2, FIRE1, PREALARM, AUX, ALARMS };
  static constexpr std::int64_t LIMIT_S = 600;

  // The Start/Stop button: when all are stopped they restart from 0, else
  // they all stop. `now` in milliseconds.
  void Toggle(std::int64_t now);
  // A histogram answer from the timed device: stops each watch whose
  // threshold the level has reached.
  void Answer(const HistogramAnswer& answer, std::int64_t now);
  // The repaint tick: a watch that reaches the limit stops all.
  void Tick(std::int64_t now);
  bool AllStopped() const;
  bool IsStopped(Alarm a) const { return watches[a].stopped; }
  // Whole seconds shown for `a`, and as "mm:ss".
  std::int64_t Seconds(Alarm a, std::int64_t now) const;
  std::string Text(Alarm a, std::int64_t now) const;

 private:
  struct Watch {
    std::int64_t start = 0;
    std::int64_t elapsed = 0;  // ms, once stopped
    bool stopped = true;
  };
  void Stop(Watch& w, std::int64_t now);
  std::array<Watch, ALARMS> watches;
};

}  // namespace quillark
