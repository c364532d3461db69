#pragma once

#include <cstdint>
#include <filesystem>

#include "core/comms/msgclass.h"
#include "core/status/busstatus.h"

namespace quillark {

class BusHost;

// Counts the frames on all loops by kind, bad ones included, and once an hour
// writes the counts to a small text report and starts counting again.
class BusStatusMonitor : public BusStatus, public MsgClass {
 public:
  static constexpr std::uint32_t SAVEINTERVAL = 3600000;  // one hour in ms

  // `reportfile` is where the hourly report goes (status.txt in the program
  // home); with an empty path no report is written. Registers for every
  // frame, invalid ones included, and for transmit-empty notifications.
  explicit BusStatusMonitor(BusHost* application, std::filesystem::path reportfile = {});
  ~BusStatusMonitor() override;

  void SetReportFile(std::filesystem::path file) { reportfile = std::move(file); }
  const std::filesystem::path& GetReportFile() const { return reportfile; }

  void MsgRx(int loop, const char* msg) override;
  void TxEmpty() override;

  void ProcessFastPoll(const char* msg);
  void ProcessStandardPoll(const char* msg);
  bool TimeToSaveStatusData();
  // Replaces the report with the current counts. A report that cannot be
  // written is skipped; nothing else depends on it.
  void SaveStatusData();

  // Bus address bytes carry bit 7; 0 stands for "no address".
  static bool IsValidAddress(unsigned char byte) { return (byte & 0x80) != 0 || byte == 0; }

 private:
  std::filesystem::path reportfile;
  std::uint32_t nextsave = 0;
  // The first frame writes a report at once, whatever the tick count is.
  bool saved = false;
};

}  // namespace quillark
