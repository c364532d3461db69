#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace quillark {

class EventLoop;
class EventWriter;
class LogFiles;

// The program's own log of the alarm, fault, isolate and reset changes it
// sees on the loops, in the device event log format so that the event log
// window reads it like a device's log: a 10-character header with the time
// the file was made, then one 24-character record per event, no line ends.
// The file is opened and closed for every record, so it can be read at any
// time and a crash loses at most the record being written.
//
// Every reader finds records by their place in the file, so the file must
// always be the header and whole records. Before each record the length is
// checked: an emptied file gets a new header, and a file that does not end
// on a record boundary (cut by hand, by a full disk, by a rotation tool) is
// moved aside, kept, and a new one begun. A record that cannot be written
// whole is cut off again. Each of these is reported once, as a system event
// and on standard error, so nobody believes events are logged that are not.
class SysLog {
 public:
  // The event codes the program writes (the device event log's codes).
  enum eventtype : int {
    FIRE2ALARM = 111,
    FIRE1ALARM = 112,
    PREALARM = 113,
    AUXALARM = 114,
    DETECTORFAULT = 119,
    BATTERYFAULT = 93,
    MAINSFAULT = 118,
    ISOLATE = 65,
    DEISOLATE = 66,
    SEPARATORFAULT = 86,
    FLOWHIGH = 95,
    FLOWLOW = 94,
    FLOWFAIL = 59,
    RESET = 52,
    COMMSFAIL = 148,
    // The operator acknowledged a device's alarm or fault line: data 1 the
    // status bits of the line, data 2 1 when it had cleared already. No
    // device event has this code, and it fits the two digits every reader
    // of the log expects: one that does not know it lists "Unknown event:
    // 254" with the device and the time rather than taking it for damage.
    ACKNOWLEDGE = 254,
  };

  // `clock` gives the local date and time written with each record.
  // `events` (may be null) hears about damage and write failures; `files`
  // defaults to the disk.
  SysLog(std::filesystem::path log, const EventLoop& clock, EventWriter* events = nullptr,
         LogFiles* files = nullptr);

  // Appends one record; the first record of a new file is preceded by the
  // header. `address` is loop index x 256 + bus address (0: the whole site).
  // Each field is cut to its width so that a record is always 24 characters.
  // False when the record could not be written whole; the file is left
  // ending on a record boundary all the same.
  bool WriteEvent(std::uint32_t address, eventtype type, unsigned data1, unsigned data2,
                  unsigned data3);
  // The current local date and time as "ddmyyyhhmm" in hexadecimal.
  std::string DateText() const;
  void WriteDate(std::FILE* file) const;
  // The name a damaged log is moved to: "<log>.damaged-<yyyymmdd-hhmmss>".
  std::filesystem::path DamagedName() const;
  const std::filesystem::path& GetLogFilename() const { return log; }

  // The records a device's change of status byte and fault byte calls for,
  // in the order they are written: new alarms from aux up to fire 2, then a
  // communications failure, then new faults and any change of isolation.
  // An old status above 0xFF (not yet known) counts as none.
  static std::vector<eventtype> ChangeEvents(unsigned oldstatus, unsigned newstatus,
                                             unsigned oldfault, unsigned newfault);
  // Writes the records of ChangeEvents, each with no data (255, 0, 0).
  void WriteStatusChange(std::uint32_t address, unsigned oldstatus, unsigned newstatus,
                         unsigned oldfault, unsigned newfault);
  // A reset command (address 0 for a global reset).
  void WriteReset(std::uint32_t address) { WriteEvent(address, RESET, 0, 0, 0); }

 private:
  static bool OnBoundary(std::int64_t size) { return size >= 10 && (size - 10) % 24 == 0; }
  // Moves a damaged log aside; false when it could not be moved.
  bool SetAside(std::int64_t size);
  void Report(const std::string& text);
  void WriteFailed();

  std::filesystem::path log;
  const EventLoop& clock;
  EventWriter* events;
  LogFiles& files;
  bool failing = false;  // the last record was lost: said once until one is written again
};

}  // namespace quillark
