#include "core/status/alrmdisp.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/statusbits.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/demoport.h"
#include "core/comms/fastpollanswer.h"
#include "core/comms/message.h"
#include "core/events/syslog.h"
#include "core/platform/eventloop.h"
#include "core/platform/eventwriter.h"
#include "core/platform/soundplayer.h"
#include "core/site/config.h"
#include "core/site/devcnfig.h"

namespace quillark {
namespace {

// Text ids of the words of a line.
constexpr int TX_ALARMS = 8400;
constexpr int TX_FAULTS = 8500;
constexpr int TX_INPUT1 = 7300;
constexpr int TX_INPUT2 = 7400;
constexpr int TX_COMMSFAILURE = 34800;
constexpr int TX_FLOOD = 56950;
constexpr int TX_FLOODENDED = 57000;

// The alarms in rising importance: the last one present names the colour,
// the sound and the text of the line.
struct AlarmName {
  unsigned bit;
  int textid;
  int colourindex;
};
constexpr AlarmName ALARMS[] = {
    {0x02, 31400, EventInfo::EC_AUX},
    {0x04, 31300, EventInfo::EC_PREALARM},
    {0x08, 31200, EventInfo::EC_FIRE1},
    {0x10, 31100, EventInfo::EC_FIRE2},
};

// Fault names in list order; both flow bits together are one fault.
struct FaultName {
  unsigned bits;
  int textid;
};
constexpr FaultName FAULTS[] = {
    {0x01, 29400}, {0x02, 29500}, {0x03, 25900}, {0x04, 30800}, {0x08, 35000},
    {0x10, 35100}, {0x20, 37800}, {0x40, 35500}, {0x80, 20000},
};

// The events of a detector from the most important down, for the sound that
// is repeated while anything is in alarm or fault.
constexpr unsigned SOUNDPRIORITY[] = {0x10, 0x08, 0x04, 0x02, 0x01, 0x40, 0x20};
constexpr int SOUNDEVENTS = static_cast<int>(std::size(SOUNDPRIORITY));

constexpr unsigned MAXREPEAT = 24 * 60 * 60;

// Lines are equal when everything after their date and time is: a line
// that only has a newer time tells the operator nothing new.
bool SameLine(const std::string& a, const std::string& b) {
  if (a.size() < AlarmDisp::DEVICETEXT || b.size() < AlarmDisp::DEVICETEXT) return a == b;
  return a.compare(AlarmDisp::DEVICETEXT, std::string::npos, b, AlarmDisp::DEVICETEXT) == 0;
}

void RemoveTrailingComma(std::string& s) {
  if (!s.empty() && s.back() == ',') s.pop_back();
}

}  // namespace

AlarmDisp::AlarmDisp(BusHost& application, SoundPlayer& sound, const EventInfo& eventinfo,
                     SysLog* syslog, const TSiteConfig* site, int loops, unsigned repeat)
    : MsgClass(&application),
      app(application),
      sound(sound),
      eventinfo(eventinfo),
      syslog(syslog),
      site(site) {
  SetRepeat(repeat);
  SetLoops(loops);
  Clear();
  Register(this, MSG_SHORT);
}

AlarmDisp::~AlarmDisp() {
  DeRegister();
}

unsigned AlarmDisp::ReadRepeat(INI& ini) {
  long seconds = ini.ReadInt("Sounds", "Repeat", "3");
  if (seconds < 1) seconds = 1;
  if (seconds > static_cast<long>(MAXREPEAT)) seconds = MAXREPEAT;
  return static_cast<unsigned>(seconds);
}

void AlarmDisp::SetRepeat(unsigned seconds) {
  repeat = std::clamp(seconds, 1u, MAXREPEAT);
}

void AlarmDisp::SetLoops(int l) {
  loops = std::clamp(l, 0, MAXLOOPS);
  const std::size_t size = static_cast<std::size_t>(loops) * SLOTS;
  laststatus.resize(size, UNKNOWNSTATUS);
  lastfault.resize(size, UNKNOWNFAULT);
  // Devices of loops that are gone have nothing left to show or sound.
  const int limit = static_cast<int>(size);
  active.erase(std::lower_bound(active.begin(), active.end(), limit), active.end());
  for (std::size_t i = lines.size(); i-- > 0;)
    if (lines[i].device >= limit) RemoveLine(i);
  if (lines.empty()) firstfire = true;
}

void AlarmDisp::Clear() {
  lines.clear();
  arrivals.clear();
  floodend = 0;
  active.clear();
  firstfire = true;
  std::fill(laststatus.begin(), laststatus.end(), UNKNOWNSTATUS);
  std::fill(lastfault.begin(), lastfault.end(), UNKNOWNFAULT);
  if (observer != nullptr) observer->LinesCleared();
  SetSelection(-1);
}

// --- Receiving -----------------------------------------------------------------

void AlarmDisp::MsgRx(int loop, const char* msg) {
  // Only answers to fast polls count.
  const std::optional<FastPollAnswer> answer = FastPollAnswer::Decode(msg);
  if (!answer) return;
  unsigned status = answer->status;
  const unsigned fault = answer->Faults();
  const unsigned aux1 = answer->Level();
  if (answer->IsIsolated()) {
    // An isolated detector reports no alarms; where the site wants to see
    // them anyway they are derived from its level.
    const int option = eventinfo.GetAlarmsInIsolate();
    if ((option & 0x04) && aux1 >= 6) status |= ST_PREALARM;
    if ((option & 0x08) && aux1 >= 8) status |= ST_FIRE1;
    if ((option & 0x02) && aux1 >= 10) status |= ST_AUX;
  }
  DecodeStatus(loop, answer->address, status, fault, aux1);
}

void AlarmDisp::DecodeStatus(int loop, unsigned address, unsigned status, unsigned fault,
                             unsigned aux1) {
  // Anything outside the record (a loop beyond those configured) is not kept.
  if (loop < 0 || loop >= loops || address >= static_cast<unsigned>(SLOTS)) return;
  const int device = loop * SLOTS + static_cast<int>(address);
  status &= 0xFFu;
  fault &= 0xFFu;
  // A command module's loop error puts the two detectors either side of the
  // break into the fault and level bytes; it is looked at on every answer,
  // since the level byte is not part of the record.
  const bool loopbreak = address == 0 && (status & 0x80) != 0;
  const unsigned oldstatus = laststatus[static_cast<std::size_t>(device)];
  const unsigned oldfault = lastfault[static_cast<std::size_t>(device)];

  if (!loopbreak && (status & 0x7F) == (oldstatus & 0x7F) && fault == oldfault) {
    ReplayHighestPrioritySound();
    return;
  }

  WriteChangeRecords(device, status, fault, loopbreak);
  const unsigned risen = status & ~oldstatus;
  laststatus[static_cast<std::size_t>(device)] = status;
  MarkActive(device, (status & 0x7F) != 0);
  // The loop-break numbers are no fault flags: the device's faults stay
  // what they were before the break.
  if (!loopbreak) lastfault[static_cast<std::size_t>(device)] = fault;

  const DeviceConfig* config =
      site != nullptr ? site->GetDevice(static_cast<std::uint32_t>(device)) : nullptr;
  std::string line = LineStart(device);
  if (config != nullptr && !config->GetLocation().empty())
    line += "  (" + config->GetLocation() + ")  ";

  EventInfo::colour colour = eventinfo.GetNormalColour();
  std::string soundfile, textfile;
  bool firstfireline = false;
  if (status & 0x7E)
    colour = AppendAlarms(line, status, device, config, soundfile, textfile, firstfireline);
  if (status & 0x01) {
    AppendFaults(line, status, fault, aux1, device, config, soundfile, textfile);
    if ((status & 0x1E) == 0)
      colour = (!loopbreak && (fault & FT_ISOLATED)) ? eventinfo.GetIsolatedColour()
                                                     : eventinfo.GetFaultColour();
  }
  faultrisen = loopbreak || (fault & ~oldfault & 0xFFu) != 0;
  AddString(device, std::move(line), textfile, soundfile, status & 0x7F, colour, firstfireline);

  // An input configured to reset the site does so once as it becomes
  // active, not on every later change of the same device.
  if (config != nullptr && actions.reset) {
    const bool reset1 = (risen & 0x20) && (config->GetInput1Mask() & 0x01);
    const bool reset2 = (risen & 0x40) && (config->GetInput2Mask() & 0x01);
    if (reset1 || reset2) actions.reset(0);
  }
}

void AlarmDisp::WriteChangeRecords(int device, unsigned status, unsigned fault, bool loopbreak) {
  if (syslog == nullptr) return;
  const auto address = static_cast<std::uint32_t>(device);
  const unsigned oldstatus = laststatus[static_cast<std::size_t>(device)];
  const unsigned oldfault = lastfault[static_cast<std::size_t>(device)];
  if (!loopbreak) {
    syslog->WriteStatusChange(address, oldstatus, status, oldfault, fault);
    return;
  }
  // A loop break records its new alarms only: its fault byte holds a
  // detector number, which read as flags would log faults nobody has.
  for (SysLog::eventtype type : SysLog::ChangeEvents(oldstatus, status, oldfault, oldfault))
    if (type != SysLog::COMMSFAIL) syslog->WriteEvent(address, type, 255, 0, 0);
}

AlarmColumns AlarmColumns::Split(std::string_view line) {
  // "dd/mm/yyyy  hh:mm:ss  L-AAA[  (location)  ]state", as LineStart and
  // DecodeStatus build it.
  AlarmColumns c;
  const auto digit = [&](std::size_t i) {
    return i < line.size() && line[i] >= '0' && line[i] <= '9';
  };
  if (line.size() < AlarmDisp::DEVICETEXT || !digit(0) || line[2] != '/' || line[5] != '/' ||
      line.substr(10, 2) != "  " || line[14] != ':' || line.substr(20, 2) != "  ") {
    c.state = std::string(line);
    return c;
  }
  c.date = std::string(line.substr(0, 10));
  c.time = std::string(line.substr(12, 8));
  std::string_view rest = line.substr(AlarmDisp::DEVICETEXT);
  const std::size_t end = rest.find(' ');
  c.device = std::string(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  if (rest.substr(0, 3) == "  (") {
    // The location is the device's own text and may hold brackets; the
    // state after it never holds ")  ".
    const std::size_t close = rest.rfind(")  ");
    if (close != std::string_view::npos && close >= 3) {
      c.location = std::string(rest.substr(3, close - 3));
      rest = rest.substr(close + 3);
    }
  }
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  c.state = std::string(rest);
  return c;
}

std::string AlarmDisp::LineStart(int device) const {
  const std::time_t now = app.Events().Now();
  std::tm tm{};
  localtime_r(&now, &tm);
  return Format("%02u/%02u/%04u  %02u:%02u:%02u  %u-%03u", static_cast<unsigned>(tm.tm_mday),
                static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_year + 1900),
                static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                static_cast<unsigned>(tm.tm_sec), static_cast<unsigned>(device / SLOTS + 1),
                static_cast<unsigned>(device % SLOTS));
}

// --- Building a line ---------------------------------------------------------------

bool AlarmDisp::ChkAlarm(unsigned status, unsigned alarmflag, std::string& out, int textid,
                         const DeviceConfig* config, std::string& soundfile,
                         std::string& textfile) {
  if ((status & alarmflag) != alarmflag) return false;
  out += app.GetTranslator().Text(textid);
  if (config != nullptr) {
    soundfile = config->GetEventSound(static_cast<std::int32_t>(alarmflag));
    textfile = config->GetEventText(static_cast<std::int32_t>(alarmflag));
  }
  return true;
}

EventInfo::colour AlarmDisp::AppendAlarms(std::string& out, unsigned status, int device,
                                          const DeviceConfig* config, std::string& soundfile,
                                          std::string& textfile, bool& firstfireline) {
  out += "  " + app.GetTranslator().Text(TX_ALARMS) + " ";
  if (ChkAlarm(status, 0x20, out, TX_INPUT1, config, soundfile, textfile)) out += ",";
  if (ChkAlarm(status, 0x40, out, TX_INPUT2, config, soundfile, textfile)) out += ",";

  EventInfo::colour colour = eventinfo.GetNormalColour();
  bool alarm = false;
  for (const AlarmName& a : ALARMS) {
    if (ChkAlarm(status, a.bit, out, a.textid, config, soundfile, textfile)) {
      out += ",";
      colour = eventinfo.GetEventColour(a.colourindex);
      alarm = true;
    }
  }
  if (alarm && eventinfo.GetShowFF() && device != 0) {
    // The detector that went into alarm first keeps its mark while it stays
    // in alarm; otherwise the mark goes to the first alarm after the list
    // was empty. It is used up only when the line is actually added.
    const int existing = FindDevice(device);
    if ((existing >= 0 && lines[static_cast<std::size_t>(existing)].firstfire) || firstfire) {
      colour = eventinfo.GetFirstFireColour();
      firstfireline = true;
    }
  }
  RemoveTrailingComma(out);
  return colour;
}

bool AlarmDisp::ChkFault(unsigned fault, unsigned faultflag, std::string& out, int textid,
                         const DeviceConfig* config, std::string& soundfile,
                         std::string& textfile) {
  if ((fault & faultflag) != faultflag) return false;
  out += app.GetTranslator().Text(textid);
  if (config != nullptr && soundfile.empty() && textfile.empty()) {
    soundfile = config->GetEventSound(0x01);
    textfile = config->GetEventText(0x01);
  }
  return true;
}

void AlarmDisp::AppendFaults(std::string& out, unsigned status, unsigned fault, unsigned aux1,
                             int device, const DeviceConfig* config, std::string& soundfile,
                             std::string& textfile) {
  out += "  " + app.GetTranslator().Text(TX_FAULTS) + " ";
  const bool loopbreak = (status & 0x80) && (device % SLOTS) == 0;
  if (fault == 0 || loopbreak) {
    if (loopbreak)
      out += Format(" Loop error between detectors %u and %u,", fault, aux1);
    else
      out += app.GetTranslator().Text(TX_COMMSFAILURE);
  } else {
    const std::size_t first = (fault & 0x03) == 0x03 ? 2 : 0;
    for (std::size_t i = first; i < std::size(FAULTS); ++i)
      if (ChkFault(fault, FAULTS[i].bits, out, FAULTS[i].textid, config, soundfile, textfile))
        out += ",";
  }
  // An alarm on the same line keeps its own sound and text: a fire with a
  // communications failure must still sound as a fire.
  if (config != nullptr && soundfile.empty() && textfile.empty()) {
    soundfile = config->GetEventSound(0x01);
    textfile = config->GetEventText(0x01);
  }
  RemoveTrailingComma(out);
}

// --- The list ----------------------------------------------------------------------

int AlarmDisp::FindSubString(std::string_view substring) const {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].text.find(substring) != std::string::npos) return static_cast<int>(i);
  return -1;
}

int AlarmDisp::FindDevice(int device) const {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].device == device) return static_cast<int>(i);
  return -1;
}

void AlarmDisp::AddString(int device, std::string line, const std::string& text,
                          const std::string& soundfile, unsigned status, EventInfo::colour colour,
                          bool firstfireline) {
  const bool newfault = faultrisen;
  faultrisen = false;
  if (!text.empty()) line += "    " + text;

  // A device has one line. It is found by its device number, not by its
  // text: "2-012" is also part of "12-012", and a location may hold anything.
  const int existing = FindDevice(device);
  unsigned shown = 0;
  bool wasacknowledged = false;
  std::uint64_t since = 0, firesince = 0;
  if (existing >= 0) {
    AlarmLine& old = lines[static_cast<std::size_t>(existing)];
    // Nothing new to show: as for an unchanged answer. A cleared line that
    // comes back with the same text is news all the same.
    if (!old.cleared && SameLine(old.text, line)) {
      ReplayHighestPrioritySound();
      return;
    }
    if (status == 0 && acknowledgemodel && !old.acknowledged) {
      // Back to normal before anybody saw it: the line stays, marked, so
      // that an alarm that came and went between two glances is not missed.
      if (!old.cleared) {
        old.cleared = true;
        if (observer != nullptr) observer->LineChanged(static_cast<std::size_t>(existing));
      }
      SetSelection(selected);
      return;
    }
    shown = old.cleared ? 0 : old.status;
    wasacknowledged = old.acknowledged;
    // A line that was cleared and comes back is a new arrival.
    if (!old.cleared) {
      since = old.since;
      firesince = old.firesince;
    }
    RemoveLine(static_cast<std::size_t>(existing));
  }

  if (status == 0) {
    // Back to normal: the line is simply gone, and nothing is announced.
    if (lines.empty()) firstfire = true;
    SetSelection(selected);
    return;
  }

  // Something the operator has not seen yet: an alarm or input that was
  // not on the line, or a fault flag that has just set.
  const bool risen = (status & ~shown & 0x7Fu) != 0 || newfault;
  const std::string announced = "Detector " + line.substr(std::min(line.size(), DEVICETEXT));
  if (risen) {
    const std::time_t now = app.Events().Now();
    while (!arrivals.empty() && now - arrivals.front() >= FLOODSECONDS) arrivals.pop_front();
    arrivals.push_back(now);
    if (arrivals.size() > FLOODLINES)
      floodend = arrivals[arrivals.size() - FLOODLINES - 1] + FLOODSECONDS;
  }
  AlarmLine added{std::move(line), colour, device, status, firstfireline};
  added.acknowledged = acknowledgemodel && wasacknowledged && !risen;
  ++arrived;
  added.since = since != 0 ? since : arrived;
  added.firesince = (status & 0x18) == 0 ? 0 : firesince != 0 ? firesince : arrived;
  lines.push_back(std::move(added));
  if (firstfireline) firstfire = false;
  silenced = false;
  if (observer != nullptr) observer->LineAppended(lines.size() - 1);

  // A lower status than the last one that sounded comes in silently; the
  // repetition brings the most important sound back anyway. With
  // acknowledgement on, anything new sounds, whatever sounded before: a
  // pre-alarm elsewhere after a silenced Fire 2 must still be heard.
  if (status >= lastevent || (acknowledgemodel && risen)) {
    if (!soundfile.empty()) {
      Play(soundfile);
      lastsound = soundfile;
    }
    lastevent = std::max(lastevent, status);
  }
  if (observer != nullptr) observer->ShowRequested();

  const int category = (status & 0x1E) ? WE_ALARM : (status & 0x01) ? WE_FAULT : WE_INFORMATION;
  app.WriteEvent(category, announced);
  SetSelection(selected);
}

std::vector<AlarmRow> AlarmDisp::ShownRows() const {
  if (acknowledgemodel) return OrderAlarmLines(lines);
  std::vector<AlarmRow> rows(lines.size());
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].line = i;
  return rows;
}

Translator& AlarmDisp::GetTranslator() const {
  return app.GetTranslator();
}

std::string AlarmDisp::GroupHeading(const AlarmGroup& group) const {
  return quillark::GroupHeading(group, app.GetTranslator());
}

bool AlarmDisp::InFlood() const {
  return floodend != 0 && app.Events().Now() < floodend;
}

std::string AlarmDisp::FloodBanner() const {
  if (floodend == 0) return {};
  const std::time_t now = app.Events().Now();
  if (now < floodend) {
    const auto recent = std::count_if(arrivals.begin(), arrivals.end(),
                                      [&](std::time_t t) { return now - t < FLOODSECONDS; });
    return Format(
        app.GetTranslator()
            .TextOr(TX_FLOOD, "Alarm flood: %u new alarms and faults in the last 10 minutes")
            .c_str(),
        static_cast<unsigned>(recent));
  }
  std::tm tm{};
  localtime_r(&floodend, &tm);
  return Format(app.GetTranslator()
                    .TextOr(TX_FLOODENDED, "Alarm flood ended at %02u:%02u:%02u on %02u/%02u/%04u")
                    .c_str(),
                static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                static_cast<unsigned>(tm.tm_sec), static_cast<unsigned>(tm.tm_mday),
                static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_year + 1900));
}

const char* AlarmLine::StateName() const {
  if (cleared) return "cleared, unacknowledged";
  return acknowledged ? "acknowledged" : "unacknowledged";
}

bool AlarmDisp::ReadAcknowledge(INI& ini) {
  return ini.ReadInt("AlarmViewer", "Acknowledge", "0") != 0;
}

void AlarmDisp::SetAcknowledgeModel(bool on) {
  acknowledgemodel = on;
  if (!on) DropCleared();
}

void AlarmDisp::DropCleared() {
  bool dropped = false;
  for (std::size_t i = lines.size(); i-- > 0;) {
    if (!lines[i].cleared) continue;
    RemoveLine(i);
    dropped = true;
  }
  if (!dropped) return;
  if (lines.empty()) firstfire = true;
  SetSelection(selected);
}

bool AlarmDisp::Acknowledge(int device, const std::string& user) {
  if (!acknowledgemodel) return false;
  const int index = FindDevice(device);
  if (index < 0 || lines[static_cast<std::size_t>(index)].acknowledged) return false;
  AcknowledgeLine(static_cast<std::size_t>(index), user);
  return true;
}

bool AlarmDisp::AcknowledgeSelected(const std::string& user) {
  int device;
  return GetSelectedDevice(device) && Acknowledge(device, user);
}

std::size_t AlarmDisp::AcknowledgeAll(const std::string& user) {
  if (!acknowledgemodel) return 0;
  // From the top, as the operator reads them; a cleared line leaves the
  // list as it is acknowledged, so the devices are picked out first.
  std::vector<int> devices;
  for (const AlarmLine& l : lines)
    if (!l.acknowledged) devices.push_back(l.device);
  std::size_t done = 0;
  for (const int device : devices)
    if (Acknowledge(device, user)) ++done;
  return done;
}

std::size_t AlarmDisp::UnacknowledgedCount() const {
  if (!acknowledgemodel) return 0;
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [](const AlarmLine& l) { return !l.acknowledged; }));
}

void AlarmDisp::AcknowledgeLine(std::size_t index, const std::string& user) {
  AlarmLine& l = lines[index];
  const std::string what = l.text.substr(std::min(l.text.size(), DEVICETEXT));
  app.WriteEvent(WE_INFORMATION, "Acknowledged by user '" + user + "': Detector " + what +
                                     (l.cleared ? " (cleared)" : ""));
  // The system log's own code for it (see SysLog::ACKNOWLEDGE).
  if (syslog != nullptr)
    syslog->WriteEvent(static_cast<std::uint32_t>(l.device), SysLog::ACKNOWLEDGE, l.status & 0x7Fu,
                       l.cleared ? 1u : 0u, 0);
  if (l.cleared) {
    RemoveLine(index);
    if (lines.empty()) firstfire = true;
    SetSelection(selected);
    return;
  }
  l.acknowledged = true;
  if (observer != nullptr) observer->LineChanged(index);
}

void AlarmDisp::RemoveLine(std::size_t index) {
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(index));
  const int i = static_cast<int>(index);
  if (selected == i)
    selected = -1;
  else if (selected > i)
    --selected;
  if (observer != nullptr) observer->LineRemoved(index);
}

// --- Selection and buttons ----------------------------------------------------------

void AlarmDisp::Select(int index) {
  SetSelection(index >= 0 && static_cast<std::size_t>(index) < lines.size() ? index : -1);
}

void AlarmDisp::SetSelection(int index) {
  selected = index;
  if (observer != nullptr) observer->SelectionChanged(selected, ActionsEnabled());
}

bool AlarmDisp::GetSelectedDevice(int& device) const {
  if (selected < 0 || static_cast<std::size_t>(selected) >= lines.size()) return false;
  device = lines[static_cast<std::size_t>(selected)].device;
  return true;
}

void AlarmDisp::Silence() {
  silenced = true;
  sound.Stop();
  int device;
  if (!GetSelectedDevice(device)) return;
  char msg[FRAMEBUFFER] = {};
  msg[0] = '>';
  msg[1] = static_cast<char>(((device & 0xFF) + 0x80) & 0xFF);
  std::memcpy(msg + 2, "B000", 4);
  app.PausePolling();
  SendBusMessage(device / SLOTS, msg, 6);
  app.ResumePolling();
}

void AlarmDisp::Isolate() {
  int device;
  if (!GetSelectedDevice(device) || !actions.isolate) return;
  // Toggles: an isolated device is de-isolated, any other isolated.
  actions.isolate(device, (GetDeviceFaultStatus(device) & FT_ISOLATED) == 0);
}

void AlarmDisp::Reset() {
  int device;
  if (!GetSelectedDevice(device) || !actions.reset) return;
  actions.reset(device);
  // The demonstration port clears the device that was reset.
  app.SetEvent(device, DEMO_RESET);
}

bool AlarmDisp::SelectedIsIsolated() const {
  int device;
  return GetSelectedDevice(device) && (GetDeviceFaultStatus(device) & FT_ISOLATED) != 0;
}

bool AlarmDisp::CanShowZone() const {
  int device;
  if (!GetSelectedDevice(device) || !actions.viewzone || site == nullptr) return false;
  const DeviceConfig* d = site->GetDevice(static_cast<std::uint32_t>(device));
  return d != nullptr && d->GetZone() != 0 &&
         site->GetDevice(static_cast<std::uint32_t>(d->GetZone()), ZONE) != nullptr;
}

bool AlarmDisp::CanShowMap() const {
  int device;
  if (!GetSelectedDevice(device) || !actions.viewmap || site == nullptr) return false;
  const DeviceConfig* d = site->GetDevice(static_cast<std::uint32_t>(device));
  if (d == nullptr) return false;
  if (!d->GetMap().empty()) return true;
  // A device without a picture of its own is shown on its zone's.
  const DeviceConfig* zone =
      d->GetZone() != 0 ? site->GetDevice(static_cast<std::uint32_t>(d->GetZone()), ZONE) : nullptr;
  return zone != nullptr && !zone->GetMap().empty();
}

void AlarmDisp::Zone() {
  int device;
  if (!GetSelectedDevice(device) || !actions.viewzone) return;
  if (site == nullptr || site->GetDevice(static_cast<std::uint32_t>(device)) == nullptr) return;
  actions.viewzone(device);
}

void AlarmDisp::Map() {
  int device;
  if (!GetSelectedDevice(device) || !actions.viewmap) return;
  actions.viewmap(device);
}

// --- Status record ------------------------------------------------------------------

unsigned AlarmDisp::GetDeviceStatus(int device) const {
  return InRecord(device) ? laststatus[static_cast<std::size_t>(device)] : 1u;
}

unsigned AlarmDisp::GetDeviceFaultStatus(int device) const {
  return InRecord(device) ? lastfault[static_cast<std::size_t>(device)] : 0u;
}

void AlarmDisp::MarkActive(int device, bool on) {
  auto it = std::lower_bound(active.begin(), active.end(), device);
  const bool present = it != active.end() && *it == device;
  if (on && !present)
    active.insert(it, device);
  else if (!on && present)
    active.erase(it);
}

// --- Sounds -------------------------------------------------------------------------

void AlarmDisp::Play(const std::string& file) {
  sound.Play(file, false);
  lastplay = app.Events().TickCount();
}

bool AlarmDisp::ReplayDue() const {
  if (silenced) return false;
  const std::uint32_t now = app.Events().TickCount();
  return static_cast<std::uint32_t>(now - lastplay) >= repeat * 1000u;
}

void AlarmDisp::ReplaySound() {
  if (!lastsound.empty() && ReplayDue()) Play(lastsound);
}

void AlarmDisp::ReplayHighestPrioritySound() {
  // Runs for every unchanged answer, so the choice is made only when a
  // repetition is due: the sounds played are the same, and almost every
  // answer costs nothing here.
  if (!ReplayDue()) return;
  // The most important event present on any configured detector that has a
  // sound for it; among equals the highest device number. Only devices in
  // alarm or fault are looked at.
  const std::string* best = nullptr;
  int bestrank = SOUNDEVENTS;
  // An acknowledged alarm has been heard: only what still waits for the
  // operator keeps sounding.
  std::vector<bool> seen;
  if (acknowledgemodel) {
    seen.resize(laststatus.size());
    for (const AlarmLine& l : lines)
      if (l.acknowledged && InRecord(l.device)) seen[static_cast<std::size_t>(l.device)] = true;
  }
  if (site != nullptr) {
    for (const int device : active) {
      if (!seen.empty() && seen[static_cast<std::size_t>(device)]) continue;
      const unsigned s = laststatus[static_cast<std::size_t>(device)] & 0x7F;
      const DeviceConfig* d = site->GetDevice(static_cast<std::uint32_t>(device), DETECTOR);
      if (d == nullptr) continue;
      const int limit = std::min(bestrank, SOUNDEVENTS - 1);
      for (int r = 0; r <= limit; ++r) {
        const unsigned bit = SOUNDPRIORITY[r];
        if ((s & bit) == 0) continue;
        const std::string& file = d->GetEventSound(static_cast<std::int32_t>(bit));
        if (file.empty()) continue;
        best = &file;
        bestrank = r;
        break;
      }
    }
  }
  if (best == nullptr) {
    lastsound.clear();
    return;
  }
  lastsound = *best;
  Play(lastsound);
}

}  // namespace quillark
