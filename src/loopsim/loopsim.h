#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/eventloop.h"
#include "core/site/devicetypes.h"

namespace quillark {

class TSiteConfig;

namespace loopsim {

// One simulated device: a detector (slots 1 to 127), a power supply (slots
// 128 to 255, bus address slot - 127) or the loop's command module (slot 0).
// It keeps what a real device keeps: its functions, its alarm and fault
// state, an event log of every change, a chart log of its level and the
// state of its self-test.
struct SimDevice {
  static constexpr int FUNCTIONS = 181;
  static constexpr std::size_t LOGRECORDS = 200;    // what one "E" answer can carry
  static constexpr std::size_t CHARTSAMPLES = 400;  // what one "C" answer carries
  // Function numbers with a meaning the simulator itself uses.
  static constexpr int FN_LEVEL = 1;  // read live: the detector level
  static constexpr int FN_MODEL = 45;
  static constexpr int FN_FIRMWARE = 46;
  static constexpr int FN_CHARTRATE = 47;  // seconds between chart samples; 0 records nothing
  static constexpr std::array<int, 4> FN_PIPEFLOW{18, 21, 24, 27};
  // Self-test status codes as the identity answer reports them.
  static constexpr int TEST_OK = 0;
  static constexpr int TEST_UNTESTED = 255;
  static constexpr std::uint32_t TESTSTAGEMS = 2000;
  static constexpr std::array<int, 8> TESTPARTS{1, 2, 3, 4, 5, 8, 9, 10};

  struct LogRecord {
    std::time_t when;
    int code;
    int data1, data2, data3;
  };

  int slot = 0;
  devicemodel model = PELORIN2000DETECTOR;
  int firmware = 0x16;
  std::array<std::uint8_t, FUNCTIONS> functions{};
  unsigned status = 0, faults = 0;
  int alarmlevel = 0;  // the level an alarm holds the detector at; 0 when quiet
  bool removed = false;
  unsigned relays = 0;
  std::deque<LogRecord> log;
  std::deque<int> chart;
  std::uint32_t chartsampled = 0;  // tick of the last chart sample
  bool testing = false;
  std::uint32_t teststart = 0;
  std::array<std::uint32_t, 16> histogram{};

  int Function(int fn) const { return fn >= 1 && fn <= FUNCTIONS ? functions[fn - 1] : 255; }
  // The identity answer's status code at `now`.
  int SelfTestCode(std::uint32_t now) const;
};

// Loops of simulated devices behind their serial lines. Bytes from the bus
// master come in through Receive; everything the devices put on the line
// (the echo of each frame first, as a shared bus is heard by its sender, then
// the answer) leaves through the writer one byte time after another at the
// line's baud rate. The console and scenario words drive the faults.
class LoopSimulator {
 public:
  using Writer = std::function<void(int loop, std::string_view bytes)>;

  LoopSimulator(EventLoop& events, int loops, int baud = 9600, std::uint32_t seed = 1);
  ~LoopSimulator();
  LoopSimulator(const LoopSimulator&) = delete;
  LoopSimulator& operator=(const LoopSimulator&) = delete;

  void SetWriter(Writer w) { writer = std::move(w); }

  // Puts a device in `slot` of `loop` (0-based), replacing any there.
  SimDevice& AddDevice(int loop, int slot, devicemodel model);
  // Every bus device of a site; the loops beyond this simulator's are left out.
  // Returns how many devices were added.
  int AddSite(const TSiteConfig& site);
  // `detectors` detectors (addresses 1 up) and a command module on every loop.
  void AddDetectors(int detectors);

  SimDevice* Device(int loop, int slot);
  int Loops() const { return static_cast<int>(lines.size()); }
  int Baud() const { return baud; }

  // Bytes the bus master wrote to `loop`.
  void Receive(int loop, std::string_view bytes);

  // One console or scenario line; returns the reply ("ok ...", "error: ...").
  std::string Command(std::string_view line);
  // Reads "at SECONDS WORDS" lines ('#' starts a comment). Returns "" or the
  // first error, with its line number; nothing is scheduled on an error.
  std::string LoadScenario(std::string_view text);
  // Starts the scenario clock; steps run at their times from now.
  void StartScenario();
  // Seconds on the scenario clock.
  double ScenarioTime() const;
  // Each scenario step as it runs, with its reply.
  std::function<void(const std::string&)> onstep;

  struct LineCounts {
    std::uint64_t framesin = 0, answers = 0, garbled = 0, bytesout = 0;
  };
  const LineCounts& Counts(int loop) const {
    return lines.at(static_cast<std::size_t>(loop))->counts;
  }

  // The answer one device gives to one complete frame (without its CR); ""
  // when it gives none. Exposed for the tests of the device rules.
  std::string Answer(int loop, std::string_view frame);

 private:
  struct Chunk {
    std::uint32_t notbefore;
    std::string bytes;
  };
  struct Line {
    std::array<std::unique_ptr<SimDevice>, 256> devices;
    std::string rx;
    bool rxoverrun = false;
    std::deque<Chunk> tx;
    std::size_t txpos = 0;      // bytes of the front chunk already out
    std::uint32_t txstart = 0;  // tick the current run of bytes began
    std::uint64_t txrun = 0;    // bytes sent in the current run
    TimerHandle txtimer;
    int noise = 0;           // per cent of frames that get a garbled byte
    std::uint32_t slow = 0;  // extra milliseconds before every answer
    bool broken = false;
    bool running = false;  // a run of back-to-back bytes is going out
    LineCounts counts;
  };

  void Frame(int loop, const std::string& frame);
  void Queue(int loop, std::string bytes, std::uint32_t delay);
  void Pump(int loop);
  std::string Garble(std::string bytes);

  std::string AnswerTo(SimDevice& d, char kind, char letter, std::string_view payload);
  void ApplyToAll(int loop, char letter, std::string_view payload);
  std::string FunctionRead(SimDevice& d, std::string_view payload);
  bool FunctionWrite(SimDevice& d, std::string_view payload);
  std::string EventLogAnswer(const SimDevice& d) const;
  std::string ChartAnswer(SimDevice& d);
  std::string HistogramAnswer(const SimDevice& d) const;
  std::string IdentityAnswer(const SimDevice& d) const;
  int Level(SimDevice& d);
  void Record(SimDevice& d, int code, int data1 = 0xff, int data2 = 0, int data3 = 0);
  void SampleChart(SimDevice& d);
  void SetAlarm(SimDevice& d, unsigned bits, int level, int code);
  void SetFaults(SimDevice& d, unsigned faults);
  void Reset(SimDevice& d);

  // Console words.
  std::string DeviceWord(std::string_view name, SimDevice*& d);
  std::string LoopWord(std::string_view text, int& loop);
  void RunNextStep();

  EventLoop& events;
  int baud;
  std::mt19937 random;
  Writer writer;
  std::vector<std::unique_ptr<Line>> lines;

  struct Step {
    std::uint32_t ms;
    std::string line;
  };
  std::vector<Step> steps;
  std::size_t nextstep = 0;
  std::uint32_t scenariostart = 0;
  TimerHandle steptimer;
};

}  // namespace loopsim
}  // namespace quillark
