#include "core/views/eventlog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <unordered_map>

#include "core/access/translator.h"
#include "core/common/atomicfile.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/events/date.h"
#include "core/events/fileext.h"
#include "core/platform/prompter.h"
#include "core/site/config.h"
#include "core/site/siteeditor.h"

namespace quillark {
namespace {

constexpr int CODETEXTBASE = 20000;
constexpr int CODETEXTSTEP = 100;
constexpr std::size_t CODETEXTMAX = 63;
constexpr int TEXT_CANNOTOPEN = 52400;
constexpr int TEXT_ALLDETECTORS = 89700;
constexpr char LOADERROR[] =
    "An error has ocurred loading the event file.\n\nThe file may be corrupted or too large to "
    "load.\n";
constexpr char NOMEMORY[] = "Cannot allocate memory for event log.";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Where a log text ends: the first CR or NUL, else its end.
std::size_t TextEnd(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\r' || text[i] == '\0') return i;
  return text.size();
}

unsigned Field(const char*& p, int digits, unsigned mask) {
  return static_cast<unsigned>(Message::GetData(digits, p)) & mask;
}

// The date and time that start the header and every record: 10 characters.
EventRecord ReadDate(const char*& p) {
  EventRecord r;
  r.day = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  r.month = static_cast<std::uint8_t>(Field(p, 1, 0xF));
  r.year = static_cast<std::uint16_t>(Field(p, 3, 0xFFF));
  r.hour = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  r.minute = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  return r;
}

// A whole record: 24 characters.
EventRecord ReadRecord(const char* p) {
  EventRecord r = ReadDate(p);
  r.address = static_cast<std::uint16_t>(Field(p, 4, 0xFFFF));
  r.code = static_cast<std::uint16_t>(Field(p, 4, 0xFFFF));
  r.data1 = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  r.data2 = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  r.data3 = static_cast<std::uint8_t>(Field(p, 2, 0xFF));
  return r;
}

bool IsLogDigit(int c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool AllLogDigits(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!IsLogDigit(static_cast<unsigned char>(p[i]))) return false;
  return true;
}

// Whether the date and time of a record could be real. Used only to find
// the next record after damage, where a run of hex digits alone may be the
// tail of one record and the head of the next.
bool PlausibleRecord(const char* p) {
  const EventRecord r = ReadDate(p);
  return r.day >= 1 && r.day <= 31 && r.month >= 1 && r.month <= 12 && r.hour < 24 && r.minute < 60;
}

// The extra text of the codes that carry data, shown when data 1 is not ff.
std::string ExtraText(const EventRecord& r) {
  const int d1 = r.data1, d2 = r.data2, d3 = r.data3;
  switch (r.code) {
    case 0:
      return Format("Count: %d", d1);
    case EventLog::ACKNOWLEDGED:
      return Format("Status: %02x%s", d1, d2 != 0 ? " (cleared)" : "");
    case 59:
      return Format("Code: %d", d1);
    case 94:
    case 95:
      return Format("Flow: %02d%% Pipe: %d", d1, d2);
    case 111:
    case 112:
    case 113:
    case 114:
    case 131:
      return Format("Level: %02d%% Time: %04d sec.", d1, d3 + 256 * d2);
    case 120: {
      std::string text = Format("Error: %02d", d1);
      if (d1 == 9) text += Format(" XOR: %04x", static_cast<unsigned>(d3 + 256 * d2));
      return text;
    }
    case 129:
      return Format("Fn: %03d New: %03d Old: %03d", d1, d2, d3);
    case 184:
      return Format("Pipe: %d Lo: %04d Hi: %04d", d1 + 1, d2 * 8, d3 * 8);
    default:
      return {};
  }
}

}  // namespace

EventLog::EventLog(BusHost* app, int loops, int device, Translator& translator,
                   std::string filename)
    : MsgClass(app),
      loops(loops),
      translator(translator),
      filename(std::move(filename)),
      eventdevice(device) {}

EventLog::~EventLog() {
  DeRegister();
  // Never leave the loops unpolled because a device did not answer.
  if (awaiting) ReadDone();
}

void EventLog::SetupWindow() {
  Register(this, MSG_LONG);
  if (!filename.empty())
    Load(filename);
  else
    GetEvents(eventdevice);
}

void EventLog::ShowError(const std::string& text, bool stop) {
  if (main != nullptr)
    main->GetPrompter().Show("error", text, stop ? PromptIcon::STOP : PromptIcon::INFORMATION);
}

void EventLog::Announce(std::size_t first) {
  if (observer != nullptr && shown.size() > first)
    observer->EventsAdded(first, shown.size() - first);
}

// Drops the decoded records and the list, and lets the view know.
void EventLog::Forget() {
  records.clear();
  shown.clear();
  if (observer != nullptr) observer->EventsCleared();
}

void EventLog::ClearEvents() {
  records.clear();
  shown.clear();
  if (!scanflag) log.clear();
  readdate.clear();
  readtime.clear();
  if (observer != nullptr) {
    observer->EventsCleared();
    observer->ReadTimeChanged();
  }
}

void EventLog::ReadDone() {
  answertimer.Cancel();
  if (!awaiting) return;
  awaiting = false;
  if (main != nullptr) main->ResumePolling();
}

std::string EventLog::SourceName(const std::string& systemlog) const {
  if (!filename.empty()) {
    std::error_code ec;
    if (!systemlog.empty() && std::filesystem::equivalent(filename, systemlog, ec))
      return "System log";
    return std::filesystem::path(filename).filename().string();
  }
  if (eventdevice == ALLDETECTORS) return "All detectors";
  if (eventdevice < 0) return {};
  if ((eventdevice & 0xFF) == 0) return Format("Command module, loop %d", (eventdevice >> 8) + 1);
  return Format("Detector %d-%03d", (eventdevice >> 8) + 1, eventdevice & 0xFF);
}

void EventLog::GetEvents(int device) {
  // A read shows a device, no longer a file.
  filename.clear();
  eventdevice = device;
  ClearEvents();
  if (main == nullptr) return;
  if (device != ALLDETECTORS && (device < 0 || (device >> 8) >= TSiteConfig::LOOPS)) return;
  main->PausePolling();
  if (device == ALLDETECTORS) {
    // A single read still outstanding is overtaken by this one.
    answertimer.Cancel();
    awaiting = false;
    ReadAllDetectors();
    return;
  }

  const int loop = device >> 8;
  const int slot = device & 0xFF;
  char buf[FRAMEBUFFER];
  if (slot == 0) {
    buf[0] = ':';
    buf[1] = static_cast<char>(0x81);
  } else if (slot < 128) {
    buf[0] = '>';
    buf[1] = static_cast<char>(slot | 0x80);
  } else {
    // Power supplies are asked as power supplies, by their bus address.
    buf[0] = '#';
    buf[1] = static_cast<char>((slot - 127) | 0x80);
  }
  std::memcpy(buf + 2, "E000", 5);

  // Armed before sending: an answer may arrive before SendBusMessage returns.
  awaiting = true;
  const std::uint32_t wait =
      static_cast<std::uint32_t>(std::max(0, main->GetMaxDeviceTimeout())) + SCANTIMEOUT;
  answertimer = main->Events().SingleShot(wait, [this] { ReadDone(); });
  SendBusMessage(loop, buf, 6);
}

void EventLog::ReadAllDetectors() {
  if (!scanrunner) {
    main->ResumePolling();
    return;
  }
  const bool wasregistered = IsRegistered();
  scanflag = true;
  appended = 0;
  main->PausePolling();
  // The scanner forwards this run's answers; hearing them from the bus as
  // well would store every device's records twice.
  DeRegister();

  struct Restore {
    EventLog& self;
    bool reregister;
    ~Restore() {
      self.scanner = nullptr;
      if (reregister) self.Register(&self, MSG_LONG);
      self.main->ResumePolling();
      self.scanflag = false;
    }
  } restore{*this, wasregistered};

  ScanRequest request;
  request.loops = loops;
  request.startdevice = 1;
  request.enddevice = 127;
  request.msg = "xxE000";
  request.extratimeout = SCANTIMEOUT;
  scanrunner(*this, request, scanner);
}

std::string EventLog::WidenAnswer(std::string_view frame, int loop) {
  frame = frame.substr(0, TextEnd(frame));
  if (frame.size() < static_cast<std::size_t>(FRAMEHEAD + HEADER)) return {};
  // The last two characters are the check sum, not log text.
  const std::size_t end = frame.size() >= FRAMEHEAD + HEADER + 2 ? frame.size() - 2 : frame.size();
  const std::size_t records = (end - FRAMEHEAD - HEADER) / DEVICERECORD;

  char loophex[3];
  std::snprintf(loophex, sizeof loophex, "%02x", static_cast<unsigned>(loop) & 0xFFu);
  std::string text;
  text.reserve(HEADER + records * RECORD);
  text.append(frame.substr(FRAMEHEAD, HEADER));
  for (std::size_t i = 0; i < records; ++i) {
    std::string_view r = frame.substr(FRAMEHEAD + HEADER + i * DEVICERECORD, DEVICERECORD);
    text.append(r.substr(0, 10));  // date and time
    text.append(loophex, 2);
    text.append(r.substr(10, 2));  // device byte
    text.append("00");
    text.append(r.substr(12));  // code and data
  }
  return text;
}

void EventLog::MsgRx(int loop, const char* msg) {
  if (msg == nullptr) return;
  std::string_view frame(msg, std::strlen(msg));
  frame = frame.substr(0, TextEnd(frame));
  if (frame.size() < 3 || (frame[0] != '<' && frame[0] != '/') || frame[2] != 'E') return;

  const std::size_t used = scanflag ? log.size() : 0;
  if (2 * frame.size() + used < LOGLIMIT) {
    try {
      std::string text = WidenAnswer(frame, loop);
      if (!scanflag) {
        // The list shows exactly the log held, which is what a save writes.
        log = text;
        Forget();
      }
      DisplayEventLog(text);
      if (scanflag)
        AppendData(text);
      else
        ReadDone();
    } catch (const std::bad_alloc&) {
      ShowError(NOMEMORY, true);
    }
  }
  if (scanner != nullptr)
    scanner->MessageReceived((loop << 8) | (static_cast<unsigned char>(frame[1]) & 0x7F));
}

void EventLog::AppendData(std::string_view text) {
  text = text.substr(0, TextEnd(text));
  if (text.size() < static_cast<std::size_t>(HEADER)) return;
  if (appended++ == 0)
    log.append(text);
  else
    log.append(text.substr(HEADER));
}

void EventLog::DisplayEventLog(std::string_view text) {
  const std::size_t end = TextEnd(text);
  if (end < static_cast<std::size_t>(HEADER)) return;

  ReadHeaderTime(text);

  const std::size_t first = shown.size();
  records.reserve(records.size() + (end - HEADER) / RECORD);
  displaying = true;
  for (std::size_t pos = HEADER; pos + RECORD <= end; pos += RECORD) {
    EventRecord r = ReadRecord(text.data() + pos);
    if (r.code == EMPTYRECORD) continue;
    AddEvent(r);
  }
  displaying = false;
  Announce(first);
}

void EventLog::ReadHeaderTime(std::string_view header) {
  const char* p = header.data();
  const EventRecord head = ReadDate(p);
  readdate =
      Format("%02u/%02u/%04u", unsigned{head.day}, unsigned{head.month}, unsigned{head.year});
  readtime = Format("%02u:%02u", unsigned{head.hour}, unsigned{head.minute});
  if (observer != nullptr) observer->ReadTimeChanged();
}

bool EventLog::Passes(const EventRecord& r) const {
  if (!PassesFilter(r)) return false;
  return r.code == DAMAGEMARK || search.text.empty() ||
         search.MatchesText(FormatEvent(translator, r));
}

bool EventLog::PassesFilter(const EventRecord& r) const {
  if (filter.none != 0) return false;
  // Damage is shown whatever the filter: it may hide any kind of event.
  if (r.code == DAMAGEMARK) return true;
  if (!filter.Shows(GetLogCategory(r.code))) return false;
  if (filter.date != 0) {
    const dovetree::Date d(r.day, r.month, r.year);
    if (d < firstdate || d > lastdate) return false;
  }
  return search.Matches(r.address, r.code, r.day, r.month, r.year);
}

void EventLog::AddEvent(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute,
                        unsigned address, unsigned code, unsigned data1, unsigned data2,
                        unsigned data3) {
  EventRecord r;
  r.day = static_cast<std::uint8_t>(day);
  r.month = static_cast<std::uint8_t>(month);
  r.year = static_cast<std::uint16_t>(year);
  r.hour = static_cast<std::uint8_t>(hour);
  r.minute = static_cast<std::uint8_t>(minute);
  r.address = static_cast<std::uint16_t>(address);
  r.code = static_cast<std::uint16_t>(code);
  r.data1 = static_cast<std::uint8_t>(data1);
  r.data2 = static_cast<std::uint8_t>(data2);
  r.data3 = static_cast<std::uint8_t>(data3);
  AddEvent(r);
}

void EventLog::AddEvent(const EventRecord& record) {
  records.push_back(record);
  if (!Passes(record)) return;
  shown.push_back(static_cast<std::uint32_t>(records.size() - 1));
  if (!displaying) Announce(shown.size() - 1);
}

std::string EventLog::CodeText(Translator& translator, unsigned code) {
  std::string text = translator.Text(static_cast<int>(CODETEXTBASE + CODETEXTSTEP * code));
  if (text.size() > CODETEXTMAX) text.resize(CODETEXTMAX);
  // The program's own acknowledgement record has no device text.
  if (text.empty() && code == ACKNOWLEDGED) text = "Acknowledged";
  if (text.empty()) text = Format("Unknown event: %u", code);
  return text;
}

std::string EventLog::FormatEvent(Translator& translator, const EventRecord& r) {
  if (r.code == DAMAGEMARK || (r.code == 117 && (r.address & 0xFFu) == 0))
    return FormatEvent(r, std::string_view());
  return FormatEvent(r, CodeText(translator, r.code));
}

std::string EventLog::FormatEvent(const EventRecord& r, std::string_view codetext) {
  if (r.code == DAMAGEMARK) {
    const unsigned skipped = (unsigned{r.data1} << 16) | (unsigned{r.data2} << 8) | r.data3;
    return Format("---- damaged log: %u characters skipped here ----", skipped);
  }
  const unsigned loop = r.address >> 8;
  const unsigned device = r.address & 0xFFu;
  std::string text;
  if (r.code == 117 && device == 0)
    text = Format("Loop break %03u<--x-->%03u", device, unsigned{r.data1});
  else
    text = std::string(codetext);
  std::string line = Format("%02u/%02u/%04u  %02u:%02u  %01u-%03u  %s", unsigned{r.day},
                            unsigned{r.month}, unsigned{r.year}, unsigned{r.hour},
                            unsigned{r.minute}, loop + 1, device, text.c_str());
  if (line.size() < LINEWIDTH) line.resize(LINEWIDTH, ' ');
  if (r.data1 != 0xFF) line += ExtraText(r);
  return line;
}

std::string EventLog::CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string EventLog::GetCsvLine(std::size_t index) const {
  const EventRecord& r = GetEvent(index);
  const std::string line = FormatEvent(translator, r);
  if (r.code == DAMAGEMARK) return ",,," + CsvField(line) + ",";
  // The line is "date  time  L-AAA  text", padded, then the detail.
  const unsigned loop = (r.address >> 8) + 1u, device = r.address & 0xFFu;
  const std::string name = Format("%u-%03u", loop, device);
  const std::size_t at = line.find("  " + name + "  ");
  std::string text = at == std::string::npos ? line : line.substr(at + name.size() + 4);
  const std::string detail = r.data1 != 0xFF ? ExtraText(r) : std::string();
  if (!detail.empty() && text.size() >= detail.size() &&
      text.compare(text.size() - detail.size(), detail.size(), detail) == 0)
    text.resize(text.size() - detail.size());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return Format("%04u-%02u-%02uT%02u:%02u,", unsigned{r.year}, unsigned{r.month}, unsigned{r.day},
                unsigned{r.hour}, unsigned{r.minute}) +
         name + "," + std::to_string(r.code) + "," + CsvField(text) + "," + CsvField(detail);
}

bool EventLog::WriteCsv(std::FILE* file, int device, std::size_t* written) const {
  if (file == nullptr) return false;
  std::string block = "time,device,code,event,detail\r\n";
  bool ok = true;
  std::size_t count = 0;
  for (std::size_t i = 0; ok && i < shown.size(); ++i) {
    if (device >= 0 && GetEvent(i).address != device) continue;
    block += GetCsvLine(i) + "\r\n";
    ++count;
    // Written in blocks: a million lines are not held twice in memory.
    if (block.size() >= 1 << 16) {
      ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
      block.clear();
    }
  }
  if (ok && !block.empty()) ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
  if (written != nullptr) *written = count;
  return ok;
}

std::string EventLog::GetEventLine(std::size_t index) const {
  return FormatEvent(translator, GetEvent(index));
}

void EventLog::SetFilter(const EventFilterStruct& f) {
  filter = f;
  // The date texts are read once here, not for every record.
  firstdate = dovetree::Date(filter.start);
  lastdate = dovetree::Date(filter.end);
  Rebuild();
}

void EventLog::SetSearch(EventSearch s) {
  search = std::move(s);
  Rebuild();
}

void EventLog::Rebuild() {
  shown.clear();
  if (observer != nullptr) observer->EventsCleared();
  if (filter.none != 0) {
    Announce(0);
    return;
  }
  // One pass over the records decoded already. Text is looked for in the
  // line as shown, made only for the records that pass everything else, with
  // each code's text looked up once: a million records take well under a
  // second.
  std::unordered_map<unsigned, std::string> codetexts;
  const std::size_t n = records.size();
  for (std::size_t i = 0; i < n; ++i) {
    const EventRecord& r = records[i];
    if (!PassesFilter(r)) continue;
    if (!search.text.empty() && r.code != DAMAGEMARK) {
      auto it = codetexts.find(r.code);
      if (it == codetexts.end()) it = codetexts.emplace(r.code, CodeText(translator, r.code)).first;
      // Lowered in place: one line made per record, no copy of it.
      std::string line = FormatEvent(r, it->second);
      for (char& c : line)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (line.find(search.text) == std::string::npos) continue;
    }
    shown.push_back(static_cast<std::uint32_t>(i));
  }
  Announce(0);
}

std::size_t EventLog::MemoryUsed() const {
  return log.capacity() + records.capacity() * sizeof(EventRecord) +
         shown.capacity() * sizeof(std::uint32_t);
}

void EventLog::AddDamageMark(std::size_t skipped) {
  ++damagecount;
  const std::size_t n = std::min<std::size_t>(skipped, 0xFFFFFF);
  EventRecord mark;
  mark.code = DAMAGEMARK;
  mark.data1 = static_cast<std::uint8_t>(n >> 16);
  mark.data2 = static_cast<std::uint8_t>(n >> 8);
  mark.data3 = static_cast<std::uint8_t>(n);
  AddEvent(mark);
}

void EventLog::DecodeFileText(std::size_t from, bool aligned) {
  // Line ends after the last record are an editor's, not damage.
  std::size_t end = log.size();
  while (end > from && (log[end - 1] == '\n' || log[end - 1] == '\r')) --end;

  const char* text = log.data();
  // A stored record is hex throughout, its address is on loop 1 to 16 and
  // its code below 0x100 (device codes are widened with "00", and so are the
  // program's own): a shifted record almost never is all three.
  auto whole = [&](std::size_t pos) {
    return pos + RECORD <= end && AllLogDigits(text + pos, RECORD) && text[pos + 10] == '0' &&
           text[pos + 14] == '0' && text[pos + 15] == '0';
  };
  // After damage only a record that looks real, followed by another, by
  // more damage or by the end, is trusted to be back in step.
  auto anchor = [&](std::size_t pos) {
    if (!whole(pos) || !PlausibleRecord(text + pos)) return false;
    const std::size_t next = pos + RECORD;
    return next + RECORD > end || !IsLogDigit(static_cast<unsigned char>(text[next])) ||
           (whole(next) && PlausibleRecord(text + next));
  };

  records.reserve(records.size() + (end - from) / RECORD);
  const std::size_t first = shown.size();
  displaying = true;
  // Records are copied down over what was skipped, so the log text becomes
  // the header and the records alone without a second copy of a large log.
  std::size_t out = from;
  std::size_t skipped = 0;
  bool insync = aligned ? whole(from) : anchor(from);
  std::size_t pos = from;
  while (pos < end) {
    if (insync ? whole(pos) : anchor(pos)) {
      insync = true;
      if (skipped != 0) AddDamageMark(skipped);
      skipped = 0;
      const EventRecord r = ReadRecord(text + pos);
      if (out != pos) std::memmove(log.data() + out, text + pos, RECORD);
      out += RECORD;
      pos += RECORD;
      if (r.code != EMPTYRECORD) AddEvent(r);
      continue;
    }
    insync = false;
    ++skipped;
    ++pos;
  }
  if (skipped != 0) AddDamageMark(skipped);
  displaying = false;
  log.resize(out);
  Announce(first);
}

bool EventLog::Load(const std::string& name) {
  if (!LoadNewest(name, MAXRECORDS)) return false;
  if (oldernotread != 0)
    ShowError(Format("This log is too large to show whole: only its newest %zu records are "
                     "shown, %zu older ones are not.",
                     static_cast<std::size_t>(MAXRECORDS), oldernotread),
              false);
  return true;
}

bool EventLog::LoadLast(const std::string& name, std::size_t lines) {
  // Empty records, filtered ones and damage may leave fewer lines than
  // records read; then a longer tail is read, up to the whole log.
  for (std::size_t tail = lines + 64;; tail *= 2) {
    if (!LoadNewest(name, tail)) return false;
    if (EventCount() >= lines || oldernotread == 0 || tail >= MAXRECORDS) return true;
  }
}

bool EventLog::LoadNewest(const std::string& name, std::size_t maxrecords) {
  File file(std::fopen(name.c_str(), "rb"));
  if (!file) {
    std::string text = translator.Text(TEXT_CANNOTOPEN);
    ShowError(text.empty() ? "Cannot open file." : text, true);
    return false;
  }
  filename = name;
  ClearEvents();
  oldernotread = 0;
  damagecount = 0;
  maxrecords = std::min(maxrecords, static_cast<std::size_t>(MAXRECORDS));

  bool readfailed = false;
  bool nomemory = false;
  try {
    std::error_code sizeerror;
    const std::uintmax_t size = std::filesystem::file_size(name, sizeerror);
    const std::size_t tailbytes = maxrecords * RECORD;
    // The header, then (for a long log) a jump to the record boundary from
    // which the newest records follow. A damaged log may be out of step
    // there: decoding finds its feet again at the next real record.
    char header[HEADER];
    const std::size_t got = std::fread(header, 1, HEADER, file.get());
    std::size_t start = got;
    if (got == static_cast<std::size_t>(HEADER) && !sizeerror && size > HEADER + tailbytes) {
      const std::uintmax_t skip = (size - HEADER - tailbytes + RECORD - 1) / RECORD;
      start = HEADER + static_cast<std::size_t>(skip) * RECORD;
      if (std::fseek(file.get(), static_cast<long>(start), SEEK_SET) != 0) readfailed = true;
      oldernotread = static_cast<std::size_t>(skip);
    }
    // Grown once rather than doubled on the way, which would hold up to
    // twice a large log's size while it loads.
    const std::size_t limit = HEADER + tailbytes + RECORD;
    if (!sizeerror) log.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit)));
    log.append(header, got);
    char chunk[65536];
    while (!readfailed && log.size() < limit) {
      const std::size_t want = std::min(sizeof chunk, limit - log.size());
      const std::size_t n = std::fread(chunk, 1, want, file.get());
      if (n == 0) break;
      log.append(chunk, n);
    }
    // A read that fails (a folder, a device gone) is not an empty log.
    if (std::ferror(file.get())) readfailed = true;

    if (log.size() >= static_cast<std::size_t>(HEADER) && AllLogDigits(log.data(), HEADER)) {
      ReadHeaderTime(log);
      DecodeFileText(HEADER, oldernotread == 0);
    } else if (!log.empty()) {
      // No header to trust: every record is looked for, behind a blank one.
      log.insert(0, HEADER, '0');
      DecodeFileText(HEADER, false);
    }
  } catch (const std::bad_alloc&) {
    nomemory = true;
    ShowError(NOMEMORY, true);
  }
  if (readfailed) ShowError(LOADERROR, true);
  file.reset();
  if (observer != nullptr) observer->RecentDocument(name);
  return !readfailed && !nomemory;
}

bool EventLog::Save(const std::string& name) {
  const filetype type = GetExtensionType(name);
  const bool hex = type == FT_SYSEVENT || type == FT_EVENT;

  // Written beside the target and renamed over it, so a failed save never
  // leaves half a file where the old one was.
  AtomicFileWriter file(name);
  bool ok = file.IsOpen();
  if (ok) {
    if (hex) {
      std::string_view text(log);
      ok = file.Write(text.substr(0, TextEnd(text)));
    } else if (GetExtension(name) == ".csv") {
      // The filtered view, one column per field, for a spreadsheet.
      ok = WriteCsv(file.File());
    } else {
      for (std::size_t i = 0; ok && i < shown.size(); ++i)
        ok = file.Write(GetEventLine(i) + "\r\n");
    }
    ok = ok && file.Commit();
  }
  if (!ok) {
    file.Discard();
    std::string text = translator.Text(TEXT_CANNOTOPEN);
    ShowError(text.empty() ? "Cannot open file." : text, false);
    return false;
  }
  // An export for a spreadsheet is not a file the program opens again.
  if (observer != nullptr && GetExtension(name) != ".csv") observer->RecentDocument(name);
  return true;
}

std::vector<EventLog::DeviceChoice> EventLog::DeviceChoices(const TSiteConfig* site, int loop,
                                                            Translator& translator) {
  std::vector<DeviceChoice> out;
  out.push_back({DeviceChoiceLabel(loop << 8, translator), loop << 8});
  if (site != nullptr) {
    for (const DeviceConfig& d : *site) {
      if (d.GetType() != DETECTOR || d.GetLoop() != static_cast<std::uint32_t>(loop)) continue;
      const int device = (loop << 8) | static_cast<int>(d.GetAddress() & 0xFF);
      out.push_back({DeviceChoiceLabel(device, translator), device});
    }
  }
  out.push_back({DeviceChoiceLabel(ALLDETECTORS, translator), ALLDETECTORS});
  return out;
}

std::string EventLog::DeviceChoiceLabel(int device, Translator& translator) {
  if (device == ALLDETECTORS) return translator.TextOr(TEXT_ALLDETECTORS, "All detectors");
  const int slot = device & 0xFF;
  // A power supply is not listed, but is shown when it is the one read.
  const devicetype kind = slot == 0 ? BUSCONTROLLER : slot >= 128 ? POWERSUPPLY : DETECTOR;
  if (kind == BUSCONTROLLER) return SiteEditor::KindWord(kind, &translator);
  return Format("%s %03d", SiteEditor::KindWord(kind, &translator).c_str(),
                kind == POWERSUPPLY ? slot - 127 : slot);
}

int EventLog::EventsPerPage(int linesperpage) {
  return std::max(1, linesperpage - 3);
}

int EventLog::PageCount(std::size_t lines, int eventsperpage) {
  const std::size_t per = static_cast<std::size_t>(std::max(1, eventsperpage));
  return static_cast<int>(std::max<std::size_t>(1, (lines + per - 1) / per));
}

}  // namespace quillark
