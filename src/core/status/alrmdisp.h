#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/loops.h"
#include "core/comms/msgclass.h"
#include "core/events/eventinfo.h"
#include "core/status/alrmdisporder.h"
#include "core/status/devicestatussource.h"

namespace quillark {

class DeviceConfig;
class INI;
class SoundPlayer;
class SysLog;
class BusHost;
class TSiteConfig;

// One line of the alarm and fault list: what the window shows, drawn on its
// own background colour.
struct AlarmLine {
  std::string text;
  EventInfo::colour colour = 0;
  int device = 0;          // loop x 256 + address
  unsigned status = 0;     // status bits of the line (0x01..0x40)
  bool firstfire = false;  // drawn in the first-fire colour
  // With acknowledgement on: the operator has seen the line. A line whose
  // device has gone back to normal stays, cleared, until it is seen.
  bool acknowledged = false;
  bool cleared = false;
  // When the device's line appeared, and when it first showed a fire (0:
  // it shows none), counted in arrivals. A line replaced by a newer text of
  // the same condition keeps them: it does not jump in the viewer's order.
  std::uint64_t since = 0;
  std::uint64_t firesince = 0;
  // "unacknowledged", "acknowledged" or "cleared, unacknowledged".
  const char* StateName() const;
};

// A line cut into what the viewer shows in columns. A line that is not of
// the display's own making (no date and time in front) is all state.
struct AlarmColumns {
  std::string date, time, device, location, state;
  static AlarmColumns Split(std::string_view line);
};

// What the window is told as the list changes. The list itself is read with
// AlarmDisp::GetLines(); every call comes after the change.
class AlarmDispObserver {
 public:
  virtual ~AlarmDispObserver() = default;
  virtual void LineRemoved(std::size_t index) = 0;
  virtual void LineAppended(std::size_t index) = 0;
  virtual void LinesCleared() = 0;
  // The selected line (or none) changed; the buttons Silence, Isolate,
  // Reset, Zone and Map are enabled exactly when one is selected.
  virtual void SelectionChanged(int index, bool actionsenabled) = 0;
  // A line was added: show the window (without taking the focus when it is
  // already visible).
  virtual void ShowRequested() = 0;
  // A line changed in place (acknowledged, cleared): its text and position
  // are the same, its state is not.
  virtual void LineChanged(std::size_t index) { (void)index; }
};

// The operations behind the buttons that belong to other parts of the
// program. A hook that is not set does nothing.
struct AlarmDispActions {
  std::function<void(int device, bool isolate)> isolate;
  // Device 0 is a global reset (also issued by a configured input).
  std::function<void(int device)> reset;
  std::function<void(int device)> viewzone;
  std::function<void(int device)> viewmap;
};

// The alarm and fault display without its window: the program's record of
// every device's last status and fault bytes, one list line per device in
// alarm, in fault or with an active input, the system log records and events
// of each change, and the alarm sounds with their repetition.
//
// Receives every short answer. An answer that repeats what is recorded costs
// a comparison and a look at the devices that are in alarm or fault (for the
// sound repetition), never a walk over the site.
class AlarmDisp : public MsgClass, public DeviceStatusSource {
 public:
  // Status and fault words of a device that has not been heard from.
  static constexpr unsigned UNKNOWNSTATUS = 0x8001;
  static constexpr unsigned UNKNOWNFAULT = 0x100;
  // Device numbers per loop kept in the record.
  static constexpr int SLOTS = 256;
  static constexpr int MAXLOOPS = quillark::MAXLOOPS;
  // Where a line's device text starts, after "dd/mm/yyyy  hh:mm:ss  ".
  static constexpr std::size_t DEVICETEXT = 22;

  // Registers for short answers. `sound`, `eventinfo`, `syslog` (may be
  // null: no records) and `site` (may be null: nothing configured) are not
  // owned and must outlive the display; `repeat` is the sound repetition in
  // seconds (ReadRepeat).
  AlarmDisp(BusHost& application, SoundPlayer& sound, const EventInfo& eventinfo, SysLog* syslog,
            const TSiteConfig* site, int loops, unsigned repeat);
  ~AlarmDisp() override;

  // "Sounds"/"Repeat", default 3 s, kept within 1 s to a day: a repetition
  // of 0 would restart the sound on every poll answer.
  static unsigned ReadRepeat(INI& ini);

  void SetLoops(int loops);
  int GetLoops() const { return loops; }
  void SetSite(const TSiteConfig* s) { site = s; }
  void SetActions(AlarmDispActions a) { actions = std::move(a); }
  void SetObserver(AlarmDispObserver* o) { observer = o; }
  void SetRepeat(unsigned seconds);
  unsigned GetRepeat() const { return repeat; }

  // "AlarmViewer"/"Acknowledge": each line waits for the operator's
  // acknowledgement. Off by default, so that existing settings keep the
  // viewer they know: a line goes as soon as its device is back to normal.
  static bool ReadAcknowledge(INI& ini);
  // Switching it off drops the cleared lines that were kept only to be seen.
  void SetAcknowledgeModel(bool on);
  bool AcknowledgeModel() const { return acknowledgemodel; }

  // Empties the list and forgets every device's status (site reconfigured,
  // displays rebuilt).
  void Clear();

  // --- The bus side
  void MsgRx(int loop, const char* msg) override;
  // One decoded answer; `aux1` is the level (the second loop-break detector
  // in a command module's loop error).
  void DecodeStatus(int loop, unsigned address, unsigned status, unsigned fault, unsigned aux1);

  // --- Status record (the application's GetDeviceStatus and
  // GetDeviceFaultStatus answer from here). A device beyond the record reads
  // as status 1 and fault 0.
  unsigned GetDeviceStatus(int device) const override;
  unsigned GetDeviceFaultStatus(int device) const override;

  // --- The list
  const std::vector<AlarmLine>& GetLines() const { return lines; }
  bool IsEmpty() const { return lines.empty(); }
  // The first line from the top whose text contains `substring`, or -1.
  int FindSubString(std::string_view substring) const;
  // The line of `device`, or -1.
  int FindDevice(int device) const;
  // Replaces, adds or removes the line of `device` (see the .cpp).
  void AddString(int device, std::string line, const std::string& text,
                 const std::string& soundfile, unsigned status, EventInfo::colour colour,
                 bool firstfireline = false);

  // The viewer's rows. With acknowledgement on they are ordered and, when
  // there are many, grouped by loop (OrderAlarmLines); without, they are the
  // lines as they came, as the viewer always showed them.
  std::vector<AlarmRow> ShownRows() const;
  std::string GroupHeading(const AlarmGroup& group) const;
  // The texts of the display and of its window, in the current language.
  Translator& GetTranslator() const;

  // --- Selection (the window reports the operator's choice)
  void Select(int index);
  int GetSelectedIndex() const { return selected; }
  bool GetSelectedDevice(int& device) const;
  bool ActionsEnabled() const { return selected >= 0; }

  // What the buttons can do for the selected line: Isolate de-isolates an
  // isolated device, so its button says so; Zone and Map are for a device
  // with a zone the site defines, or a picture to show, and a view to show
  // it in.
  bool SelectedIsIsolated() const;
  bool CanShowZone() const;
  bool CanShowMap() const;

  // --- Buttons; each acts on the selected line's device
  void Silence();
  void Isolate();
  void Reset();
  void Zone();
  void Map();

  // --- Acknowledgement (with the model on; otherwise nothing happens). The
  // operator's name goes with the record in the event log and the system
  // log. A cleared line that is acknowledged is gone; an active one stays,
  // acknowledged, until its device is back to normal or has a new alarm or
  // fault. False (0) when there was nothing to acknowledge.
  bool Acknowledge(int device, const std::string& user);
  bool AcknowledgeSelected(const std::string& user);
  std::size_t AcknowledgeAll(const std::string& user);
  std::size_t UnacknowledgedCount() const;

  // --- Floods. More than FLOODLINES new lines within FLOODSECONDS is a
  // flood: the banner says so while it lasts and, after, when it ended.
  // Empty when there has been none since the last Clear.
  static constexpr std::size_t FLOODLINES = 10;
  static constexpr std::time_t FLOODSECONDS = 600;
  bool InFlood() const;
  std::string FloodBanner() const;

  // --- Sounds. The most important sound of the devices in alarm or fault
  // is repeated every `repeat` seconds until Silence or there is none.
  void ReplayHighestPrioritySound();
  void ReplaySound();
  bool IsSilenced() const { return silenced; }
  bool IsFirstFire() const { return firstfire; }
  unsigned GetLastEvent() const { return lastevent; }
  // The sound last started, or last chosen for repetition.
  const std::string& GetLastSound() const { return lastsound; }

 private:
  EventInfo::colour AppendAlarms(std::string& out, unsigned status, int device,
                                 const DeviceConfig* config, std::string& soundfile,
                                 std::string& textfile, bool& firstfireline);
  void AppendFaults(std::string& out, unsigned status, unsigned fault, unsigned aux1, int device,
                    const DeviceConfig* config, std::string& soundfile, std::string& textfile);
  bool ChkAlarm(unsigned status, unsigned alarmflag, std::string& out, int textid,
                const DeviceConfig* config, std::string& soundfile, std::string& textfile);
  bool ChkFault(unsigned fault, unsigned faultflag, std::string& out, int textid,
                const DeviceConfig* config, std::string& soundfile, std::string& textfile);
  void WriteChangeRecords(int device, unsigned status, unsigned fault, bool loopbreak);
  void AcknowledgeLine(std::size_t index, const std::string& user);
  void DropCleared();
  std::string LineStart(int device) const;
  void RemoveLine(std::size_t index);
  void SetSelection(int index);
  void MarkActive(int device, bool active);
  void Play(const std::string& file);
  bool ReplayDue() const;
  bool InRecord(int device) const {
    return device >= 0 && static_cast<std::size_t>(device) < laststatus.size();
  }

  BusHost& app;
  SoundPlayer& sound;
  const EventInfo& eventinfo;
  SysLog* syslog;
  const TSiteConfig* site;
  int loops = 0;
  unsigned repeat = 3;
  AlarmDispActions actions;
  AlarmDispObserver* observer = nullptr;

  std::vector<std::uint32_t> laststatus;
  std::vector<std::uint32_t> lastfault;
  // Devices whose recorded status has any of the bits 0x01..0x40, ascending:
  // the only ones the sound repetition needs to look at.
  std::vector<int> active;
  std::vector<AlarmLine> lines;
  int selected = -1;

  std::uint32_t lastplay = 0;
  std::string lastsound;
  unsigned lastevent = 0;
  bool silenced = false;
  bool firstfire = true;
  bool acknowledgemodel = false;
  std::uint64_t arrived = 0;  // lines that have arrived, for AlarmLine::since
  // Set by DecodeStatus for the AddString it calls: a fault flag has just
  // set, which the line's status bits alone do not show.
  bool faultrisen = false;
  // When new lines came, the last FLOODSECONDS of them; and the moment the
  // flood they make is over if nothing more comes (0: none yet).
  std::deque<std::time_t> arrivals;
  std::time_t floodend = 0;
};

}  // namespace quillark
