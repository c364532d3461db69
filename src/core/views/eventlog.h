#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/events/date.h"
#include "core/events/filter.h"
#include "core/platform/eventloop.h"
#include "core/status/scan.h"

namespace quillark {

class TSiteConfig;
class Translator;

// One record of a device event log, each field as wide as the log text holds
// it.
struct EventRecord {
  std::uint8_t day = 0;
  std::uint8_t month = 0;
  std::uint16_t year = 0;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint16_t address = 0;  // loop index << 8 | device byte
  std::uint16_t code = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
  std::uint8_t data3 = 0;
};

// What a view of the event log is told. Lines are only ever added at the end
// of the list or all removed at once.
class EventLogObserver {
 public:
  virtual ~EventLogObserver() = default;
  virtual void EventsCleared() {}
  virtual void EventsAdded(std::size_t first, std::size_t count) {
    (void)first;
    (void)count;
  }
  // The date and time read from the log's header changed.
  virtual void ReadTimeChanged() {}
  // A file was opened or saved: for the recent files list.
  virtual void RecentDocument(const std::string& path) { (void)path; }
};

// A device event log: read from a device over the bus, from every detector of
// every loop, or from a file (a device log saved before, or the system log),
// and shown as a filtered list of lines.
//
// The log text is lowercase hexadecimal: a 10-character header (day, month,
// year, hour, minute of the read) and 24-character records (date and time,
// address, event code and three data bytes). Devices send 20-character
// records (device byte and code 2 digits each); they are widened to the
// stored form as they arrive. Every record is decoded once; the list is the
// positions of the records that pass the filter, rebuilt in one pass when the
// filter changes, and a line is formatted only when one is asked for, so a
// log of a million events stays a few tens of bytes per event.
class EventLog : public MsgClass {
 public:
  // The most log text kept; a read that would pass it is dropped.
  static constexpr std::size_t LOGLIMIT = 51000000;
  // The most characters taken from a file.
  static constexpr std::size_t LOADLIMIT = 50999999;
  static constexpr int FRAMEHEAD = 6;  // kind, address, letter and 3 more before the header
  static constexpr int HEADER = 10;
  static constexpr int RECORD = 24;
  static constexpr int DEVICERECORD = 20;
  // Beyond the ports' device time-out, what a long log may take to arrive.
  static constexpr std::uint32_t SCANTIMEOUT = 4010;
  static constexpr int ALLDETECTORS = -1;
  static constexpr std::uint16_t EMPTYRECORD = 0x00FF;
  // Stands in the list where log text that holds no record was skipped; its
  // data bytes carry how many characters (at most 0xFFFFFF). Neither the
  // devices (two-digit codes) nor the program write such a code.
  static constexpr std::uint16_t DAMAGEMARK = 0xFFFE;
  // The system log's record of an operator acknowledging a line.
  static constexpr std::uint16_t ACKNOWLEDGED = 254;
  // The most records a load keeps: a larger log shows its newest ones.
  static constexpr std::size_t MAXRECORDS = (LOADLIMIT - HEADER) / RECORD;
  static constexpr std::size_t LINEWIDTH = 45;  // lines are padded to this before extra text

  // `device` is a packed device number (loop << 8 | slot) or ALLDETECTORS;
  // with `filename` the log is loaded from that file instead. `app` may be
  // null: then nothing is read from the bus and messages are not shown.
  EventLog(BusHost* app, int loops, int device, Translator& translator, std::string filename = {});
  ~EventLog() override;

  void SetObserver(EventLogObserver* o) { observer = o; }
  // The bus scanner used to read every detector; without one such a read
  // does nothing.
  void SetScanRunner(ScanRunner runner) { scanrunner = std::move(runner); }

  // Starts listening to the bus, then loads the file or reads the device.
  void SetupWindow();

  // Reads a device's log (or every detector's with ALLDETECTORS). Polling is
  // paused for the read and resumes when the answer arrives, when the answer
  // is overdue, or when this object goes, whichever comes first.
  void GetEvents(int device);
  void ClearEvents();
  // The device selector changed, or "Reload": read `device` again.
  void DetectorChanged(int device) { GetEvents(device); }
  void MsgRx(int loop, const char* msg) override;
  // Adds the widened text of one answer of an all-detectors read to the log:
  // the first answer whole, later ones without their header, so the log is
  // one header followed by every device's records.
  void AppendData(std::string_view text);
  // Shows the records of a log text that pass the filter; stops at a CR, a
  // NUL or the end, and decodes only complete records.
  void DisplayEventLog(std::string_view text);
  void AddEvent(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute,
                unsigned address, unsigned code, unsigned data1, unsigned data2, unsigned data3);
  void AddEvent(const EventRecord& record);
  // The lines shown: the records that pass the filter.
  std::size_t EventCount() const { return shown.size(); }
  const EventRecord& GetEvent(std::size_t index) const { return records[shown.at(index)]; }
  // Every record decoded from the log, shown or not (empty records aside).
  std::size_t RecordCount() const { return records.size(); }
  // Whether a record passes the filter and the search.
  bool Passes(const EventRecord& record) const;
  // What the log, its decoded records and the list hold on the heap.
  std::size_t MemoryUsed() const;
  // The line shown for event `index`, in the current language.
  std::string GetEventLine(std::size_t index) const;
  // The shown events as CSV (RFC 4180: CRLF line ends, fields quoted where
  // they hold a comma, a quote or a line end), UTF-8, with a heading line:
  // time (ISO 8601, local), device (L-AAA), code, event, detail. A mark of
  // damage has only its event text. False when `file` could not be written.
  // `device` (packed, loop << 8 | address) keeps only that device's events;
  // -1 keeps every one shown. The count written goes to `written` when given.
  bool WriteCsv(std::FILE* file, int device = -1, std::size_t* written = nullptr) const;
  static std::string CsvField(std::string_view text);
  std::string GetCsvLine(std::size_t index) const;

  // Opens a log file and shows every record that can be decoded. Text that
  // holds no record (a stray line end, a cut record, a foreign character) is
  // skipped and marked in the list by a DAMAGEMARK line; reading goes on at
  // the next place that looks like a record again. A log of more than
  // MAXRECORDS shows its newest ones, with a message saying so. The log text
  // kept (and saved) is the header and the records decoded. False, with a
  // message, only when the file cannot be opened (the list is kept then) or
  // read.
  bool Load(const std::string& filename);
  // The same, reading no more than the newest `maxrecords` records from the
  // end of the file and saying nothing about the rest: what a caller that
  // wants the last few events of a long log needs.
  bool LoadNewest(const std::string& filename, std::size_t maxrecords);
  // Enough of the end of the file for its last `lines` lines (marks of
  // damage among them): a listing of the last few events of a log of a
  // million must not hold up polling while the whole of it is decoded.
  bool LoadLast(const std::string& filename, std::size_t lines);
  // Records of the last load that were older than what was read.
  std::size_t OlderRecordsNotRead() const { return oldernotread; }
  // Places of the last load where text was skipped.
  std::size_t DamageCount() const { return damagecount; }
  // An .ev2 or .evt name gets the log text as it is, a .csv name the lines
  // shown as CSV, any other name the lines as shown, each ending in CR LF. The file is replaced
  // only when completely written. False, with a message, when it cannot be written.
  bool Save(const std::string& filename);

  const EventFilterStruct& GetFilter() const { return filter; }
  // The texts of the log and of what shows it are in this language.
  Translator& GetTranslator() const { return translator; }
  // Takes a new filter and shows the whole log again through it.
  void SetFilter(const EventFilterStruct& f);
  // Narrows the list further to what a search asks for (device, zone,
  // category, period, text); an empty search narrows nothing. The filter's
  // boxes still apply.
  void SetSearch(EventSearch search);
  const EventSearch& GetSearch() const { return search; }

  const std::string& GetLogText() const { return log; }
  const std::string& GetReadDate() const { return readdate; }
  const std::string& GetReadTime() const { return readtime; }
  int GetDevice() const { return eventdevice; }
  int GetLoops() const { return loops; }
  const std::string& GetFilename() const { return filename; }
  // What the window's title names: "System log" for `systemlog`, another
  // file by its name, else the device read ("Detector 2-005", "Command
  // module, loop 2", "All detectors").
  std::string SourceName(const std::string& systemlog) const;
  bool IsReading() const { return awaiting; }

  // The log text of one "E" answer of `loop`: its header and its complete
  // records, each widened with the loop index before the device byte and
  // "00" before the code. Empty when the frame has no header.
  static std::string WidenAnswer(std::string_view frame, int loop);
  // The displayed line of a record.
  static std::string FormatEvent(Translator& translator, const EventRecord& record);
  // The same with the code's text already looked up (CodeText).
  static std::string FormatEvent(const EventRecord& record, std::string_view codetext);
  // What code `code` is called in the current language.
  static std::string CodeText(Translator& translator, unsigned code);

  // The device selector's entries for a loop: its command module, the
  // site's detectors on it, and "All detectors".
  struct DeviceChoice {
    std::string label;
    int device;
  };
  static std::vector<DeviceChoice> DeviceChoices(const TSiteConfig* site, int loop,
                                                 Translator& translator);
  // The selector's label of one device (or ALLDETECTORS) in the operator's
  // language: an open selector relabels its entries by it.
  static std::string DeviceChoiceLabel(int device, Translator& translator);

  // Printing: three lines of every page are its heading.
  static int EventsPerPage(int linesperpage);
  static int PageCount(std::size_t lines, int eventsperpage);

 private:
  void ReadAllDetectors();
  void ReadDone();
  void ShowError(const std::string& text, bool stop);
  void Announce(std::size_t first);
  void Forget();
  void ReadHeaderTime(std::string_view header);
  // Decodes `log` from `from` on, keeping only what decodes (see Load).
  void DecodeFileText(std::size_t from, bool aligned);
  void AddDamageMark(std::size_t skipped);
  // The filter and the search without the words.
  bool PassesFilter(const EventRecord& record) const;
  // Shows the records decoded so far through the filter and the search.
  void Rebuild();

  int loops;
  Translator& translator;
  std::string filename;
  int eventdevice;
  EventFilterStruct filter;
  EventSearch search;
  dovetree::Date firstdate{1, 1, 2000}, lastdate{1, 1, 2000};  // the filter's dates, read
  EventLogObserver* observer = nullptr;
  ScanRunner scanrunner;
  ScanProgress* scanner = nullptr;

  std::string log;           // the log text: header and 24-character records
  bool scanflag = false;     // an all-detectors read is appending answers
  std::size_t appended = 0;  // answers appended in this run
  bool awaiting = false;     // a single device's answer is due; polling is paused for it
  TimerHandle answertimer;
  bool displaying = false;

  std::vector<EventRecord> records;  // every non-empty record of the log, in log order
  std::vector<std::uint32_t> shown;  // positions in `records` of the lines, in list order
  std::string readdate, readtime;
  std::size_t oldernotread = 0;
  std::size_t damagecount = 0;
};

}  // namespace quillark
