#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/status/scan.h"

namespace quillark {

class Translator;

// Texts of this window and its tests that have numbers of their own.
enum DiagText : int {
  TX_DIAGINTERNAL = 8800,
  TX_DIAGUNTESTED = 8900,
  TX_DIAGOK = 9000,
  TX_DIAGFAIL = 10100,
  TX_DIAGHEADER = 37900,
  TX_DIAGCANNOTOPEN = 52400,
  TX_DIAGNOANSWER = 61000,
  TX_DIAGNOSELFTEST = 61100,
  TX_DIAGNORELAYS = 61200,
  TX_SETTINGLANGUAGE = 61300,
  TX_SETTINGLOGO = 61400,
  TX_BITMAPERROR = 61500,
};

// "2-005" for device 0x0105: loop from 1, address in three digits.
std::string DiagDeviceName(int device);
// The loop-and-address text of a row back to a device id; -1 if it is not one.
int DiagParseDevice(std::string_view row);

// The self-test state a device reports, cut or padded to 16 characters:
// "Ok", a part's name with " fail", a part's name alone while its test runs,
// "Untested" or "Internal error".
std::string DiagStatusText(Translator& translator, int code);

// Two hex digits of `frame` at `at`, or -1 when they are not there or not hex.
int DiagHexByte(std::string_view frame, std::size_t at);

// What a device says about itself in answer to "Q".
struct DiagIdentity {
  int device = -1;  // loop * 256 + address
  int type = 0;
  int version = 0;  // tenths
  int status = 0;
  std::string text;  // 16 characters
};
// Takes a query answer from `loop`; false for anything that is not one of
// full length with its fields in hex. `kinds` are the first characters taken.
bool DiagReadIdentity(int loop, std::string_view frame, std::string_view kinds,
                      DiagIdentity& identity);

// The list of the devices answering on the loops, with their type,
// firmware, self-test state and text, got by a bus scan. Also the owner of
// the scan while it runs: every query answer from the position being asked
// becomes a row, and a second answer of a device replaces its row.
class Diag : public MsgClass {
 public:
  static constexpr std::uint32_t SCANEXTRA = 500;
  static constexpr std::size_t TYPECOLUMNS = 45;

  // `single` is the one device to list, or -1 for every device of `loops` loops.
  Diag(BusHost* app, int loops, int single = -1);
  ~Diag() override;
  Diag(const Diag&) = delete;
  Diag& operator=(const Diag&) = delete;

  // A modal scan run (the desktop shows its progress); without one the scan
  // runs on its own and `done` is told when it ends.
  // Scans loop `loop` (from 0) only; -1 every loop.
  void SetLoop(int loop) { onlyloop = loop; }
  void SetScanRunner(ScanRunner runner) { scanrunner = std::move(runner); }
  // Clears the list and scans, with polling paused for the scan. `done` is
  // told the scanner's result (also when the scan ran modally).
  void ScanLoops(std::function<void(int result)> done = nullptr);
  bool Scanning() const { return scanning; }
  Scanner* GetScanner() const { return scanner.get(); }
  // Stops a scan that runs on its own; its rows so far are kept.
  void CancelScan();

  void MsgRx(int loop, const char* msg) override;

  const std::vector<std::string>& Rows() const { return rows; }
  const std::vector<int>& Devices() const { return devices; }
  int GetSingle() const { return single; }
  int GetLoops() const { return numloops; }
  // One row of the list: "2-005\t<type, 45 columns>2.2\tUntested        \t<text>".
  std::string MakeRow(const DiagIdentity& identity) const;
  void AddItem(const DiagIdentity& identity);

  // The list as a text file, a row a line ended by CR LF; false (and
  // nothing half written is left claimed) when it cannot be written.
  bool Save(const std::string& path) const;
  // The print and save header, and one printed line of a row.
  std::string Header() const;
  static std::string PrintLine(const std::string& row);
  // A row as the window shows it: each field starting under its word of
  // `header` (the words of every language's header line up at the same
  // columns), a field too long for its column pushing the rest one space on.
  static std::string ShownLine(const std::string& row, const std::string& header);
  // The event written when the window closes, naming the user.
  std::string ClosingEvent(const std::string& user) const;

 private:
  void FinishScan(int result);

  int numloops;
  int single;
  int onlyloop = -1;
  std::vector<std::string> rows;
  std::vector<int> devices;                    // row order
  std::unordered_map<int, std::size_t> rowof;  // device -> its index in rows
  ScanRunner scanrunner;
  std::unique_ptr<Scanner> scanner;
  ScanProgress* running = nullptr;  // the scan being run, to tell it of answers taken
  bool scanning = false;
  std::function<void(int)> ondone;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace quillark
