#include "core/app/logexport.h"

#include <cstdio>
#include <filesystem>

#include "core/access/translator.h"
#include "core/common/atomicfile.h"
#include "core/common/loops.h"
#include "core/common/textutil.h"
#include "core/events/filter.h"
#include "core/views/eventlog.h"

namespace quillark {

namespace {

// "2026-12-09" or "9/12/2026" as the filter's "day/month/year".
bool FilterDate(const std::string& text, std::string& out) {
  unsigned a = 0, b = 0, c = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4u-%2u-%2u%c", &a, &b, &c, &tail) == 3 && a >= 1900 && b >= 1 &&
      b <= 12 && c >= 1 && c <= 31) {
    out = Format("%u/%u/%u", c, b, a);
    return true;
  }
  if (std::sscanf(text.c_str(), "%2u/%2u/%4u%c", &a, &b, &c, &tail) == 3 && a >= 1 && a <= 31 &&
      b >= 1 && b <= 12 && c >= 1900) {
    out = Format("%u/%u/%u", a, b, c);
    return true;
  }
  return false;
}

// "2-005": loop from 1, address.
bool Device(const std::string& text, int& out) {
  unsigned loop = 0, address = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2u-%3u%c", &loop, &address, &tail) != 2 || loop < 1 ||
      loop > MAXLOOPS || address > 255)
    return false;
  out = static_cast<int>((loop - 1) << 8 | address);
  return true;
}

}  // namespace

bool ParseLogExport(const std::vector<std::string>& args, LogExportRequest& r, std::string& error) {
  if (args.empty() || args[0].empty() || args[0].rfind("--", 0) == 0) {
    error = "--export-log needs an event log file";
    return false;
  }
  r.input = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) {
      error = option + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (option == "--csv") {
      r.output = value;
    } else if (option == "--from" || option == "--to") {
      if (!FilterDate(value, option == "--from" ? r.from : r.to)) {
        error = option + " takes a date as 2026-12-09 or 9/12/2026, not '" + value + "'";
        return false;
      }
    } else if (option == "--device") {
      if (!Device(value, r.device)) {
        error = "--device takes a device as 2-005 (loop, address), not '" + value + "'";
        return false;
      }
    } else {
      error = "unknown option " + option;
      return false;
    }
  }
  if (r.output.empty()) {
    error = "--export-log needs --csv OUT.csv";
    return false;
  }
  return true;
}

int RunLogExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  LogExportRequest r;
  std::string error;
  if (!ParseLogExport(args, r, error)) {
    err << "quillark: " << error << "\n";
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(r.input, ec)) {
    err << "quillark: " << r.input << " is not a file\n";
    return 1;
  }
  Translator translator(nullptr, nullptr);
  EventLog log(nullptr, MAXLOOPS, 0, translator);
  const bool read = log.Load(r.input);
  if (!r.from.empty() || !r.to.empty()) {
    EventFilterStruct filter = log.GetFilter();
    filter.date = 1;
    filter.SetStart(r.from.empty() ? "1/1/1900" : r.from);
    filter.SetEnd(r.to.empty() ? "31/12/9999" : r.to);
    log.SetFilter(filter);
  }
  std::size_t damaged = 0;
  for (std::size_t i = 0; i < log.EventCount(); ++i)
    damaged += log.GetEvent(i).code == EventLog::DAMAGEMARK ? 1 : 0;

  std::size_t written = 0;
  AtomicFileWriter file(r.output);
  if (!file.IsOpen() || !log.WriteCsv(file.File(), r.device, &written) || !file.Commit()) {
    err << "quillark: " << r.output << " could not be written\n";
    return 1;
  }
  out << "wrote " << written << " events to " << r.output << "\n";
  if (!read) {
    err << "quillark: " << r.input << " could not be read whole\n";
    return 1;
  }
  if (damaged != 0) {
    err << "quillark: " << r.input << " is damaged: " << damaged
        << " stretch(es) held no readable event and are marked in the CSV\n";
    return 1;
  }
  return 0;
}

}  // namespace quillark
