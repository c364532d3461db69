#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quillark {

// `quillark --export-log FILE.ev2 [--from DATE] [--to DATE] [--device L-AAA]
// --csv OUT.csv`: an event log's events, or those of a period or of one
// device, as CSV, without starting the supervisor (as a capture reader runs
// beside its capture program). DATE is 2026-12-09 or 9/12/2026.
struct LogExportRequest {
  std::string input;
  std::string output;
  std::string from, to;  // day/month/year, empty when not asked for
  int device = -1;       // packed loop << 8 | address
};

// The request in the arguments after "--export-log"; false with `error`
// saying what is wrong.
bool ParseLogExport(const std::vector<std::string>& args, LogExportRequest& request,
                    std::string& error);

// Runs it: 0 when every event was exported, 1 when the log is unreadable or
// damaged (what could be read is still written, and the message says so), 2
// for bad arguments. Messages go to `err`, the count to `out`.
int RunLogExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillark
