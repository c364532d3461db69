#include "loopsim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "core/common/statusbits.h"
#include "core/comms/message.h"
#include "core/site/config.h"

namespace quillark::loopsim {
namespace {

// Function values a detector leaves the factory with: alarm levels, delays,
// flow limits and so on, then its 16-character text and the tail of the
// table; 255 marks a function the model does not have.
constexpr char FACTORYFUNCTIONS[] =
    "00006d016d6d000f6e060a0505056d6d100c0c06086d6d0f6d1e6d6d6e6d010208136e6e6e04006d6d0f636d06"
    "16086e6d6e636e6e6d6e0145000008016d09";
constexpr char FACTORYTAIL[] = "483a584b3e5e4b3d5d4b3a5808140005";
constexpr int NOMINALFLOW = 50;

// Event codes the devices write into their own logs.
enum : int {
  EV_WATCHDOG = 0,
  EV_FLOWFAIL = 59,
  EV_ISOLATE = 65,
  EV_DEISOLATE = 66,
  EV_REMOTERESET = 90,
  EV_SELFTEST = 91,
  EV_BATTERY = 93,
  EV_LOWFLOW = 94,
  EV_HIGHFLOW = 95,
  EV_FIRE2 = 111,
  EV_FIRE1 = 112,
  EV_PREALARM = 113,
  EV_AUX = 114,
  EV_MAINS = 118,
  EV_DETECTORFAULT = 119,
  EV_FUNCTIONCHANGE = 129,
};

bool IsLowerHex(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// `n` lowercase hex digits at `pos` of a text already known to be hex.
int Hex(std::string_view s, std::size_t pos, std::size_t n) {
  int v = 0;
  for (std::size_t i = 0; i < n && pos + i < s.size(); ++i) {
    const char c = s[pos + i];
    v = v * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
  }
  return v;
}

void AppendHex(std::string& s, unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*x", digits, value);
  s.append(buf, static_cast<std::size_t>(digits));
}

std::string WithSum(std::string frame) {
  const int sum = Message::CalculateXORsum(frame.data(), static_cast<int>(frame.size())) & 0xFF;
  AppendHex(frame, static_cast<unsigned>(sum), 2);
  return frame;
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool ParseInt(const std::string& text, long lo, long hi, long& out, int base = 10) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, base);
  if (end == text.c_str() || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

int SimDevice::SelfTestCode(std::uint32_t now) const {
  if (!testing) return TEST_UNTESTED;
  const std::uint32_t stage = (now - teststart) / TESTSTAGEMS;
  if (stage >= TESTPARTS.size()) return TEST_OK;
  return 128 + TESTPARTS[stage];
}

LoopSimulator::LoopSimulator(EventLoop& events, int loops, int baud, std::uint32_t seed)
    : events(events), baud(std::clamp(baud, 300, 1000000)), random(seed) {
  loops = std::clamp(loops, 1, 16);
  for (int i = 0; i < loops; ++i) lines.push_back(std::make_unique<Line>());
}

LoopSimulator::~LoopSimulator() = default;

SimDevice& LoopSimulator::AddDevice(int loop, int slot, devicemodel model) {
  auto& d = lines.at(static_cast<std::size_t>(loop))->devices.at(static_cast<std::size_t>(slot));
  d = std::make_unique<SimDevice>();
  d->slot = slot;
  d->model = model;
  d->functions.fill(0xff);
  std::string_view factory = FACTORYFUNCTIONS;
  std::size_t fn = 0;
  for (std::size_t i = 0; i + 1 < factory.size(); i += 2) d->functions[fn++] = Hex(factory, i, 2);
  char text[40];
  std::snprintf(text, sizeof text, "SIM %02d-%03d      ", (loop + 1) % 100, slot % 1000);
  for (int i = 0; i < 16; ++i) d->functions[fn++] = static_cast<std::uint8_t>(text[i]);
  std::string_view tail = FACTORYTAIL;
  for (std::size_t i = 0; i + 1 < tail.size(); i += 2) d->functions[fn++] = Hex(tail, i, 2);
  d->functions[SimDevice::FN_MODEL - 1] = static_cast<std::uint8_t>(model);
  d->functions[SimDevice::FN_FIRMWARE - 1] = static_cast<std::uint8_t>(d->firmware);
  d->functions[SimDevice::FN_CHARTRATE - 1] = 10;
  d->chartsampled = events.TickCount();
  return *d;
}

int LoopSimulator::AddSite(const TSiteConfig& site) {
  int added = 0;
  for (const DeviceConfig& c : site) {
    const int loop = static_cast<int>(c.GetLoop());
    const int number = static_cast<int>(c.GetAddress() & 0xFF);
    if (loop >= Loops()) continue;
    int slot = -1;
    switch (c.GetType()) {
      case BUSCONTROLLER:
        slot = 0;
        break;
      case DETECTOR:
        if (number >= 1 && number <= 127) slot = number;
        break;
      case POWERSUPPLY:
        if (number >= 1 && number <= 128) slot = number + 127;
        break;
      default:
        break;
    }
    if (slot < 0) continue;
    AddDevice(loop, slot, c.GetModel());
    ++added;
  }
  return added;
}

void LoopSimulator::AddDetectors(int detectors) {
  detectors = std::clamp(detectors, 0, 127);
  for (int loop = 0; loop < Loops(); ++loop) {
    AddDevice(loop, 0, PELORIN2000BUSMASTER);
    for (int a = 1; a <= detectors; ++a) AddDevice(loop, a, PELORIN2000DETECTOR);
  }
}

SimDevice* LoopSimulator::Device(int loop, int slot) {
  if (loop < 0 || loop >= Loops() || slot < 0 || slot > 255) return nullptr;
  return lines[static_cast<std::size_t>(loop)]->devices[static_cast<std::size_t>(slot)].get();
}

void LoopSimulator::Receive(int loop, std::string_view bytes) {
  if (loop < 0 || loop >= Loops()) return;
  Line& l = *lines[static_cast<std::size_t>(loop)];
  // A broken line carries nothing: the devices never hear the frame, and
  // the sender hears no echo.
  if (l.broken) {
    l.rx.clear();
    return;
  }
  for (char c : bytes) {
    if (c != '\r') {
      // A frame longer than any device takes is noise; the rest of it up to
      // the next CR is dropped with it.
      if (l.rx.size() < static_cast<std::size_t>(MAXFRAME))
        l.rx += c;
      else
        l.rxoverrun = true;
      continue;
    }
    std::string frame;
    frame.swap(l.rx);
    if (l.rxoverrun) {
      l.rxoverrun = false;
      continue;
    }
    Frame(loop, frame);
  }
}

void LoopSimulator::Frame(int loop, const std::string& frame) {
  Line& l = *lines[static_cast<std::size_t>(loop)];
  ++l.counts.framesin;
  Queue(loop, frame + '\r', 0);
  std::string answer = Answer(loop, frame);
  if (answer.empty()) return;
  ++l.counts.answers;
  Queue(loop, answer + '\r', l.slow);
}

std::string LoopSimulator::Answer(int loop, std::string_view frame) {
  if (loop < 0 || loop >= Loops() || frame.size() < 2) return {};
  const char kind = frame[0];
  const auto addrbyte = static_cast<unsigned char>(frame[1]);
  if ((addrbyte & 0x80) == 0) return {};
  const int addr = addrbyte & 0x7F;
  Line& l = *lines[static_cast<std::size_t>(loop)];

  if (kind == '?' || kind == '&') {
    // A fast poll carries no check sum; anything after the address is noise.
    if (frame.size() != 2) return {};
    const int slot = kind == '?' ? addr : (addr == 0 ? -1 : addr + 127);
    SimDevice* d = slot < 0 ? nullptr : l.devices[static_cast<std::size_t>(slot)].get();
    if (d == nullptr || d->removed) return {};
    unsigned status = d->status, faults = d->faults;
    if (slot == 0) {
      // The command module reports the whole loop: every alarm and fault of
      // every device on it.
      for (int s = 1; s < 256; ++s)
        if (const SimDevice* o = l.devices[static_cast<std::size_t>(s)].get();
            o != nullptr && !o->removed) {
          status |= o->status;
          faults |= o->faults;
        }
      // A device that has vanished is a fault of the loop.
      for (int s = 1; s < 256; ++s)
        if (const SimDevice* o = l.devices[static_cast<std::size_t>(s)].get();
            o != nullptr && o->removed)
          status |= ST_FAULT;
    }
    std::string answer{kind == '?' ? '@' : '*', static_cast<char>(addrbyte)};
    AppendHex(answer, status & 0xFF, 2);
    AppendHex(answer, faults & 0xFF, 2);
    AppendHex(answer, static_cast<unsigned>(Level(*d)), 2);
    return WithSum(answer);
  }

  if (kind != '>' && kind != '#' && kind != ':') return {};
  // Commands carry a check sum; a device never acts on a damaged one.
  if (frame.size() < 5) return {};
  const std::string_view sum = frame.substr(frame.size() - 2);
  if (!IsLowerHex(sum) ||
      (Message::CalculateXORsum(frame.data(), static_cast<int>(frame.size() - 2)) & 0xFF) !=
          Hex(sum, 0, 2))
    return {};
  const char letter = frame[2];
  const std::string_view payload = frame.substr(3, frame.size() - 5);
  if (!IsLowerHex(payload)) return {};

  int slot = -1;
  if (kind == '>' && addr != 0) slot = addr;
  if (kind == '#' && addr != 0) slot = addr + 127;
  if (kind == ':' && addr == 1) slot = 0;
  if (addr == 0) {
    // Addressed to every device of its kind: all act, none answers, since
    // they would all talk at once.
    const int from = kind == '>' ? 1 : kind == '#' ? 128 : 0;
    const int to = kind == '>' ? 127 : kind == '#' ? 255 : 0;
    for (int s = from; s <= to; ++s)
      if (SimDevice* d = l.devices[static_cast<std::size_t>(s)].get();
          d != nullptr && !d->removed) {
        if (letter == 'R') Reset(*d);
        if (letter == 'P') FunctionWrite(*d, payload);
      }
    return {};
  }
  if (slot < 0 || slot > 255) return {};
  SimDevice* d = l.devices[static_cast<std::size_t>(slot)].get();
  if (d == nullptr || d->removed) return {};
  const char answerkind = kind == '>' ? '<' : kind == '#' ? '+' : '/';
  std::string body = AnswerTo(*d, answerkind, letter, payload);
  if (body.empty()) return {};
  body[0] = answerkind;
  body[1] = static_cast<char>(addrbyte);
  if (body.size() > static_cast<std::size_t>(MAXFRAME - 2)) body.resize(MAXFRAME - 2);
  return WithSum(body);
}

std::string LoopSimulator::AnswerTo(SimDevice& d, char kind, char letter,
                                    std::string_view payload) {
  std::string a{kind, '\x80', letter};
  switch (letter) {
    case 'A':
      // Alarm thresholds and the detector level.
      a += "00a";
      for (int fn : {2, 3, 4, 5}) AppendHex(a, static_cast<unsigned>(d.Function(fn)), 2);
      AppendHex(a, static_cast<unsigned>(Level(d)), 2);
      return a;
    case 'B':
    case 'T':
    case 'U':
      // Silence, and the blocks of text and logo: taken and acknowledged.
      return a + "000";
    case 'C':
      return ChartAnswer(d);
    case 'D':
      d.testing = true;
      d.teststart = events.TickCount();
      Record(d, EV_SELFTEST);
      return a + "000";
    case 'E':
      return EventLogAnswer(d);
    case 'G':
      return FunctionRead(d, payload);
    case 'H':
      return HistogramAnswer(d);
    case 'I': {
      // "001" then "1" (isolate) or "0" (de-isolate).
      const bool on = !(payload.size() >= 4 && payload[3] == '0');
      if (on) {
        d.faults |= FT_ISOLATED;
        d.status |= ST_FAULT;
      } else {
        d.faults &= ~static_cast<unsigned>(FT_ISOLATED);
        if (d.faults == 0) d.status &= ~static_cast<unsigned>(ST_FAULT);
      }
      Record(d, on ? EV_ISOLATE : EV_DEISOLATE);
      return a + std::string(payload.substr(0, 4));
    }
    case 'L':
      // "002" then the relay mask.
      if (payload.size() < 5) return {};
      d.relays = static_cast<unsigned>(Hex(payload, 3, 2));
      return a + std::string(payload.substr(0, 5));
    case 'P':
      if (!FunctionWrite(d, payload)) return {};
      return a + "000";
    case 'Q':
      return IdentityAnswer(d);
    case 'R':
      Reset(d);
      return a + "000";
    default:
      return {};
  }
}

std::string LoopSimulator::FunctionRead(SimDevice& d, std::string_view payload) {
  // "004", the first function and how many, two digits each.
  if (payload.size() != 7 || payload.substr(0, 3) != "004") return {};
  const int first = Hex(payload, 3, 2), count = Hex(payload, 5, 2);
  if (first < 1 || count < 1 || first + count - 1 > SimDevice::FUNCTIONS) return {};
  // The live values: the detector level and the flow of each pipe, which a
  // continuous read watches.
  const int level = Level(d);
  d.functions[SimDevice::FN_LEVEL - 1] = static_cast<std::uint8_t>(std::min(255, level * 8));
  for (std::size_t pipe = 0; pipe < SimDevice::FN_PIPEFLOW.size(); ++pipe) {
    int flow = NOMINALFLOW + static_cast<int>(random() % 5);
    if (pipe == 0 && (d.faults & FT_LOWFLOW)) flow = 20;
    if (pipe == 0 && (d.faults & FT_HIGHFLOW)) flow = 90;
    d.functions[static_cast<std::size_t>(SimDevice::FN_PIPEFLOW[pipe] - 1)] =
        static_cast<std::uint8_t>(flow);
  }
  std::string a{'<', '\x80', 'G'};
  AppendHex(a, static_cast<unsigned>(count * 2), 3);
  for (int fn = first; fn < first + count; ++fn)
    AppendHex(a, static_cast<unsigned>(d.Function(fn)), 2);
  return a;
}

bool LoopSimulator::FunctionWrite(SimDevice& d, std::string_view payload) {
  // Three digits of length, then function and value pairs of two digits each.
  if (payload.size() < 3) return false;
  const std::size_t length = static_cast<std::size_t>(Hex(payload, 0, 3));
  const std::string_view pairs = payload.substr(3);
  if (length != pairs.size() || length % 4 != 0) return false;
  for (std::size_t i = 0; i < pairs.size(); i += 4) {
    const int fn = Hex(pairs, i, 2), value = Hex(pairs, i + 2, 2);
    // The model and firmware are the device's own, not settings.
    if (fn < 1 || fn > SimDevice::FUNCTIONS || fn == SimDevice::FN_MODEL ||
        fn == SimDevice::FN_FIRMWARE)
      continue;
    const int old = d.functions[static_cast<std::size_t>(fn - 1)];
    if (old == value) continue;
    if (fn == SimDevice::FN_CHARTRATE) SampleChart(d);
    d.functions[static_cast<std::size_t>(fn - 1)] = static_cast<std::uint8_t>(value);
    Record(d, EV_FUNCTIONCHANGE, fn, value, old);
  }
  return true;
}

std::string LoopSimulator::EventLogAnswer(const SimDevice& d) const {
  auto date = [](std::string& s, std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    AppendHex(s, static_cast<unsigned>(tm.tm_mday), 2);
    AppendHex(s, static_cast<unsigned>(tm.tm_mon + 1), 1);
    AppendHex(s, static_cast<unsigned>(tm.tm_year + 1900), 3);
    AppendHex(s, static_cast<unsigned>(tm.tm_hour), 2);
    AppendHex(s, static_cast<unsigned>(tm.tm_min), 2);
  };
  std::string a{'<', '\x80', 'E'};
  AppendHex(a, static_cast<unsigned>(10 + 20 * d.log.size()), 3);
  date(a, events.Now());
  for (const auto& r : d.log) {
    date(a, r.when);
    AppendHex(a, static_cast<unsigned>(d.slot & 0xFF), 2);
    AppendHex(a, static_cast<unsigned>(r.code & 0xFF), 2);
    AppendHex(a, static_cast<unsigned>(r.data1 & 0xFF), 2);
    AppendHex(a, static_cast<unsigned>(r.data2 & 0xFF), 2);
    AppendHex(a, static_cast<unsigned>(r.data3 & 0xFF), 2);
  }
  return a;
}

std::string LoopSimulator::ChartAnswer(SimDevice& d) {
  SampleChart(d);
  std::string a{'<', '\x80', 'C'};
  AppendHex(a, static_cast<unsigned>(20 + 4 * d.chart.size()), 3);
  a += "0100";  // one detector, shown itself
  AppendHex(a, static_cast<unsigned>(d.Function(SimDevice::FN_CHARTRATE)), 4);
  const std::time_t now = events.Now();
  std::tm tm{};
  localtime_r(&now, &tm);
  for (int v : {tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec})
    AppendHex(a, static_cast<unsigned>(v), 2);
  for (int level : d.chart) {
    const unsigned v = static_cast<unsigned>(std::min(255, level * 8));
    AppendHex(a, v, 2);
    AppendHex(a, v, 2);
  }
  return a;
}

std::string LoopSimulator::HistogramAnswer(const SimDevice& d) const {
  std::string a{'<', '\x80', 'H', '0', '0', '0'};
  const int classes = static_cast<int>(d.histogram.size());
  std::uint64_t total = 0, weighted = 0;
  for (int i = 0; i < classes; ++i) {
    total += d.histogram[static_cast<std::size_t>(i)];
    weighted += static_cast<std::uint64_t>(i) * 2 * d.histogram[static_cast<std::size_t>(i)];
  }
  const unsigned mean = total == 0 ? 0 : static_cast<unsigned>(weighted * 100 / total);
  AppendHex(a, static_cast<unsigned>(classes), 2);
  AppendHex(a, 2, 2);  // class width
  AppendHex(a, 0, 4);  // obscuration
  AppendHex(a, 1, 1);  // period
  AppendHex(a, std::min(mean, 25500u), 4);
  AppendHex(a, 0, 4);  // variance
  for (int fn : {2, 3, 4, 5}) AppendHex(a, static_cast<unsigned>(d.Function(fn)), 2);
  AppendHex(a, static_cast<unsigned>(d.alarmlevel * 8), 2);
  AppendHex(a, 0, 1);  // fast learn
  AppendHex(a, 1, 1);  // alarm factor
  // Fast and slow classes; a count beyond one byte shows as full.
  for (int pass = 0; pass < 2; ++pass)
    for (std::uint32_t c : d.histogram) AppendHex(a, std::min<std::uint32_t>(c, 255), 2);
  return a;
}

std::string LoopSimulator::IdentityAnswer(const SimDevice& d) const {
  std::string a{'<', '\x80', 'Q', '0', '1', 'a'};
  AppendHex(a, static_cast<unsigned>(d.model) & 0xFF, 2);
  AppendHex(a, static_cast<unsigned>(d.firmware) & 0xFF, 2);
  AppendHex(a, static_cast<unsigned>(d.SelfTestCode(events.TickCount())), 2);
  // The device's own text: functions 64 to 79.
  for (int fn = 64; fn <= 79; ++fn) {
    const int c = d.Function(fn);
    a += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : ' ';
  }
  return a + "0001";
}

int LoopSimulator::Level(SimDevice& d) {
  const int level = std::min(31, d.alarmlevel + static_cast<int>(random() % 4));
  ++d.histogram[static_cast<std::size_t>(level) / 2];
  return level;
}

void LoopSimulator::Record(SimDevice& d, int code, int data1, int data2, int data3) {
  d.log.push_back({events.Now(), code, data1, data2, data3});
  while (d.log.size() > SimDevice::LOGRECORDS) d.log.pop_front();
}

void LoopSimulator::SampleChart(SimDevice& d) {
  const std::uint32_t now = events.TickCount();
  const std::uint32_t period = static_cast<std::uint32_t>(d.Function(SimDevice::FN_CHARTRATE));
  if (period == 0 || period == 255) {
    d.chartsampled = now;
    return;
  }
  // The level only changes through the simulator, so the samples since the
  // last change all hold the level as it stood.
  const std::uint32_t ms = period * 1000;
  std::uint32_t due = (now - d.chartsampled) / ms;
  if (due > SimDevice::CHARTSAMPLES) {
    due = SimDevice::CHARTSAMPLES;
    d.chartsampled = now;
  } else {
    d.chartsampled += due * ms;
  }
  for (std::uint32_t i = 0; i < due; ++i) d.chart.push_back(d.alarmlevel + 1);
  while (d.chart.size() > SimDevice::CHARTSAMPLES) d.chart.pop_front();
}

void LoopSimulator::SetAlarm(SimDevice& d, unsigned bits, int level, int code) {
  SampleChart(d);
  if ((d.status & bits) == bits) return;
  d.status |= bits;
  d.alarmlevel = std::max(d.alarmlevel, level);
  Record(d, code, level * 100 / 31, 0, 0);
}

void LoopSimulator::SetFaults(SimDevice& d, unsigned faults) {
  faults = (faults & 0xFF & ~static_cast<unsigned>(FT_ISOLATED)) | (d.faults & FT_ISOLATED);
  const unsigned added = faults & ~d.faults;
  struct Event {
    unsigned bit;
    int code;
  };
  for (const Event e :
       {Event{FT_WATCHDOG, EV_WATCHDOG}, Event{FT_LOWFLOW, EV_LOWFLOW},
        Event{FT_HIGHFLOW, EV_HIGHFLOW}, Event{FT_DETECTOR, EV_DETECTORFAULT},
        Event{FT_MAINS, EV_MAINS}, Event{FT_BATTERY, EV_BATTERY}, Event{FT_SEPARATOR, EV_FLOWFAIL}})
    if (added & e.bit)
      Record(d, e.code, e.code == EV_LOWFLOW || e.code == EV_HIGHFLOW ? 20 : 1, 1, 0);
  d.faults = faults;
  if (faults != 0)
    d.status |= ST_FAULT;
  else
    d.status &= ~static_cast<unsigned>(ST_FAULT);
}

void LoopSimulator::Reset(SimDevice& d) {
  // A reset clears latched alarms and isolation; a fault still present stays.
  SampleChart(d);
  d.faults &= ~static_cast<unsigned>(FT_ISOLATED);
  d.status = d.faults != 0 ? unsigned{ST_FAULT} : 0u;
  d.alarmlevel = 0;
  Record(d, EV_REMOTERESET);
}

void LoopSimulator::Queue(int loop, std::string bytes, std::uint32_t delay) {
  Line& l = *lines[static_cast<std::size_t>(loop)];
  if (l.broken || bytes.empty()) return;
  if (l.noise > 0 && static_cast<int>(random() % 100) < l.noise) {
    bytes = Garble(std::move(bytes));
    ++l.counts.garbled;
  }
  l.tx.push_back({events.TickCount() + delay, std::move(bytes)});
  if (!l.txtimer.Active()) Pump(loop);
}

std::string LoopSimulator::Garble(std::string bytes) {
  // One byte hit by noise; a frame's CR may be lost with it, as on a line.
  const std::size_t at = random() % bytes.size();
  bytes[at] = static_cast<char>(bytes[at] ^ static_cast<char>(1 + random() % 255));
  return bytes;
}

void LoopSimulator::Pump(int loop) {
  Line& l = *lines[static_cast<std::size_t>(loop)];
  l.txtimer.Cancel();
  const std::uint32_t now = events.TickCount();
  if (!l.running) {
    l.running = true;
    l.txstart = now;
    l.txrun = 0;
  }
  // A byte arrives when its last bit has: ten bits of 8N1 after it began.
  const std::uint64_t allowed =
      static_cast<std::uint64_t>(now - l.txstart) * static_cast<std::uint64_t>(baud) / 10000;
  std::string out;
  while (l.txrun < allowed && !l.tx.empty()) {
    Chunk& c = l.tx.front();
    if (l.txpos == 0 && static_cast<std::int32_t>(c.notbefore - now) > 0) break;
    out += c.bytes[l.txpos++];
    ++l.txrun;
    if (l.txpos == c.bytes.size()) {
      l.tx.pop_front();
      l.txpos = 0;
    }
  }
  if (!out.empty()) {
    l.counts.bytesout += out.size();
    if (writer) writer(loop, out);
  }
  if (l.tx.empty()) {
    l.running = false;
    return;
  }
  const Chunk& c = l.tx.front();
  const auto held = static_cast<std::int32_t>(c.notbefore - now);
  std::uint32_t wait;
  if (l.txpos == 0 && held > 0) {
    // A late answer: the line is quiet until it starts.
    l.running = false;
    wait = static_cast<std::uint32_t>(held);
  } else {
    const std::uint64_t next = ((l.txrun + 1) * 10000 + static_cast<std::uint64_t>(baud) - 1) /
                               static_cast<std::uint64_t>(baud);
    const std::uint32_t due = l.txstart + static_cast<std::uint32_t>(next);
    wait = static_cast<std::int32_t>(due - now) > 0 ? due - now : 1;
  }
  l.txtimer = events.SingleShot(wait, [this, loop] { Pump(loop); });
}

// Console and scenario words.

std::string LoopSimulator::DeviceWord(std::string_view name, SimDevice*& d) {
  d = nullptr;
  const std::string text(name);
  const auto dash = text.find('-');
  long loop = 0, slot = 0;
  if (dash == std::string::npos || !ParseInt(text.substr(0, dash), 1, Loops(), loop) ||
      !ParseInt(text.substr(dash + 1), 0, 255, slot))
    return "error: no device " + text + " (loop-address, as 1-005)";
  d = Device(static_cast<int>(loop - 1), static_cast<int>(slot));
  if (d == nullptr) return "error: no device " + text + " (loop-address, as 1-005)";
  return {};
}

std::string LoopSimulator::LoopWord(std::string_view text, int& loop) {
  long l = 0;
  if (!ParseInt(std::string(text), 1, Loops(), l))
    return "error: no loop " + std::string(text) + " (1 to " + std::to_string(Loops()) + ")";
  loop = static_cast<int>(l - 1);
  return {};
}

std::string LoopSimulator::Command(std::string_view line) {
  const auto words = Words(line);
  if (words.empty()) return {};
  const std::string& w = words[0];
  const std::size_t args = words.size() - 1;
  auto want = [&](std::size_t lo, std::size_t hi) { return args >= lo && args <= hi; };
  auto usage = [&](const char* form) { return "error: usage: " + w + (form[0] ? " " : "") + form; };

  struct Alarm {
    const char* word;
    unsigned bits;
    int level, code;
  };
  static constexpr Alarm ALARMS[] = {
      {"fire2", ST_FIRE2 | ST_FIRE1 | ST_PREALARM | ST_AUX, 20, EV_FIRE2},
      {"fire1", ST_FIRE1 | ST_PREALARM | ST_AUX, 16, EV_FIRE1},
      {"prealarm", ST_PREALARM | ST_AUX, 12, EV_PREALARM},
      {"aux", ST_AUX, 8, EV_AUX},
  };
  for (const Alarm& a : ALARMS) {
    if (w != a.word) continue;
    if (!want(1, 1)) return usage("LOOP-ADDRESS");
    SimDevice* d = nullptr;
    if (auto e = DeviceWord(words[1], d); !e.empty()) return e;
    SetAlarm(*d, a.bits, a.level, a.code);
    return "ok " + w + " " + words[1];
  }
  if (w == "fault") {
    if (!want(2, 2)) return usage("LOOP-ADDRESS FLAGS");
    SimDevice* d = nullptr;
    if (auto e = DeviceWord(words[1], d); !e.empty()) return e;
    std::string flags = words[2];
    if (flags.rfind("0x", 0) == 0) flags = flags.substr(2);
    long bits = 0;
    if (!ParseInt(flags, 0, 0xFF, bits, 16)) return "error: fault flags are hex, 00 to ff";
    SetFaults(*d, static_cast<unsigned>(bits));
    return "ok fault " + words[1];
  }
  if (w == "clear" || w == "remove" || w == "restore") {
    if (!want(w == "remove" ? 1 : 0, 1))
      return usage(w == "remove" ? "LOOP-ADDRESS" : "[LOOP-ADDRESS]");
    auto act = [&](SimDevice& d) {
      if (w == "remove") d.removed = true;
      if (w == "restore") d.removed = false;
      if (w == "clear") {
        SampleChart(d);
        d.alarmlevel = 0;
        d.faults &= FT_ISOLATED;
        d.status = d.faults != 0 ? unsigned{ST_FAULT} : 0u;
      }
    };
    if (args == 1) {
      SimDevice* d = nullptr;
      if (auto e = DeviceWord(words[1], d); !e.empty()) return e;
      act(*d);
      return "ok " + w + " " + words[1];
    }
    for (auto& l : lines)
      for (auto& d : l->devices)
        if (d) act(*d);
    return "ok " + w + " all";
  }
  if (w == "noise" || w == "slow") {
    if (!want(2, 2)) return usage(w == "noise" ? "LOOP PERCENT" : "LOOP MS");
    int loop = 0;
    if (auto e = LoopWord(words[1], loop); !e.empty()) return e;
    std::string value = words[2];
    if (w == "noise" && !value.empty() && value.back() == '%') value.pop_back();
    long v = 0;
    if (!ParseInt(value, 0, w == "noise" ? 100 : 60000, v))
      return w == "noise" ? "error: noise is a per cent of frames, 0 to 100"
                          : "error: slow is milliseconds, 0 to 60000";
    Line& l = *lines[static_cast<std::size_t>(loop)];
    if (w == "noise")
      l.noise = static_cast<int>(v);
    else
      l.slow = static_cast<std::uint32_t>(v);
    return "ok " + w + " " + words[1] + " " + std::to_string(v);
  }
  if (w == "break" || w == "mend") {
    if (!want(1, 1)) return usage("LOOP");
    int loop = 0;
    if (auto e = LoopWord(words[1], loop); !e.empty()) return e;
    Line& l = *lines[static_cast<std::size_t>(loop)];
    l.broken = w == "break";
    if (l.broken) {
      // What was on its way is lost with the line.
      l.tx.clear();
      l.txpos = 0;
      l.running = false;
      l.txtimer.Cancel();
      l.rx.clear();
    }
    return "ok " + w + " " + words[1];
  }
  if (w == "storm") {
    if (!want(0, 0)) return usage("");
    int n = 0;
    for (auto& l : lines)
      for (int s = 1; s <= 127; ++s)
        if (auto& d = l->devices[static_cast<std::size_t>(s)]; d) {
          SetAlarm(*d, ALARMS[0].bits, ALARMS[0].level, ALARMS[0].code);
          ++n;
        }
    return "ok storm " + std::to_string(n) + " detectors";
  }
  if (w == "time") {
    char buf[48];
    std::snprintf(buf, sizeof buf, "time %.3f", ScenarioTime());
    return buf;
  }
  if (w == "show") {
    if (!want(1, 1)) return usage("LOOP-ADDRESS");
    SimDevice* d = nullptr;
    if (auto e = DeviceWord(words[1], d); !e.empty()) return e;
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "%s status 0x%02x faults 0x%02x model %d firmware %d log %zu chart %zu "
                  "test %d relays 0x%02x%s",
                  words[1].c_str(), d->status & 0xFF, d->faults & 0xFF, static_cast<int>(d->model),
                  d->firmware, d->log.size(), d->chart.size(), d->SelfTestCode(events.TickCount()),
                  d->relays & 0xFF, d->removed ? " removed" : "");
    return buf;
  }
  if (w == "stats") {
    std::string out;
    for (int i = 0; i < Loops(); ++i) {
      const LineCounts& c = Counts(i);
      char buf[160];
      std::snprintf(buf, sizeof buf, "%sloop %d frames %llu answers %llu garbled %llu bytes %llu",
                    i == 0 ? "" : "\n", i + 1, static_cast<unsigned long long>(c.framesin),
                    static_cast<unsigned long long>(c.answers),
                    static_cast<unsigned long long>(c.garbled),
                    static_cast<unsigned long long>(c.bytesout));
      out += buf;
    }
    return out;
  }
  if (w == "help") {
    return "fire2|fire1|prealarm|aux LOOP-ADDRESS   an alarm on a detector (as 1-005)\n"
           "fault LOOP-ADDRESS FLAGS   set the fault byte (hex; 00 clears)\n"
           "clear [LOOP-ADDRESS]   alarms and faults gone (isolation stays)\n"
           "remove LOOP-ADDRESS   the device stops answering\n"
           "restore [LOOP-ADDRESS]   it answers again\n"
           "noise LOOP PERCENT   that share of frames on the loop get a garbled byte\n"
           "slow LOOP MS   answers on the loop start that much later\n"
           "break LOOP / mend LOOP   the line goes silent / carries again\n"
           "storm   every detector to fire 2 at once\n"
           "show LOOP-ADDRESS   one device's state\n"
           "stats   frames and answers per loop\n"
           "time   the scenario clock\n"
           "quit   stop the simulator";
  }
  return "error: unknown word " + w + " (type help)";
}

std::string LoopSimulator::LoadScenario(std::string_view text) {
  std::vector<Step> loaded;
  std::istringstream in{std::string(text)};
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    const auto words = Words(line);
    if (words.empty()) continue;
    auto fail = [&](const std::string& why) {
      return "error: scenario line " + std::to_string(number) + ": " + why;
    };
    if (words[0] != "at" || words.size() < 3) return fail("expected: at SECONDS WORD ...");
    char* end = nullptr;
    const double seconds = std::strtod(words[1].c_str(), &end);
    if (end == words[1].c_str() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
        seconds > 1e6)
      return fail("bad time " + words[1]);
    if (words[2] == "quit" || words[2] == "help") return fail(words[2] + " is a console word");
    std::string rest;
    for (std::size_t i = 2; i < words.size(); ++i) rest += (i > 2 ? " " : "") + words[i];
    loaded.push_back({static_cast<std::uint32_t>(std::llround(seconds * 1000)), rest});
  }
  std::stable_sort(loaded.begin(), loaded.end(),
                   [](const Step& a, const Step& b) { return a.ms < b.ms; });
  steps = std::move(loaded);
  nextstep = 0;
  return {};
}

void LoopSimulator::StartScenario() {
  scenariostart = events.TickCount();
  nextstep = 0;
  steptimer.Cancel();
  RunNextStep();
}

double LoopSimulator::ScenarioTime() const {
  return static_cast<double>(events.TickCount() - scenariostart) / 1000.0;
}

void LoopSimulator::RunNextStep() {
  const std::uint32_t now = events.TickCount() - scenariostart;
  while (nextstep < steps.size() && steps[nextstep].ms <= now) {
    const std::string line = steps[nextstep++].line;
    const std::string reply = Command(line);
    if (onstep) {
      char at[32];
      std::snprintf(at, sizeof at, "at %.3f: ", now / 1000.0);
      onstep(at + line + ": " + reply);
    }
  }
  if (nextstep < steps.size())
    steptimer = events.SingleShot(steps[nextstep].ms - now, [this] { RunNextStep(); });
}

}  // namespace quillark::loopsim
