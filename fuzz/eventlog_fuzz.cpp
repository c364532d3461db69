// Event log files come from anywhere (devices' logs saved elsewhere, the
// system log, hand-edited files): loading must never harm, must keep only
// lowercase hexadecimal, must show no more events than there are complete
// records (besides the marks of damage), and an .ev2 saved from it must load
// back to the same list without the marks. Reading only the newest records
// must give the same newest lines as reading the whole file.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/access/translator.h"
#include "core/views/eventlog.h"
#include "fuzzfiles.h"

namespace {

using fuzzfiles::TempName;
using fuzzfiles::WriteFile;

std::size_t MaxRecords(const std::string& text) {
  return text.size() < 10 ? 0 : (text.size() - 10) / 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static quillark::Translator tr(nullptr, nullptr);
  static const std::string in = TempName("in.ev2");
  static const std::string out = TempName("out.ev2");
  static const std::string txt = TempName("out.txt");
  if (!WriteFile(in, data, size)) return 0;

  quillark::EventLog log(nullptr, 1, 0, tr);
  log.Load(in);
  const std::string& text = log.GetLogText();
  if (text.size() > quillark::EventLog::LOADLIMIT) std::abort();
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) std::abort();
  const std::size_t marks = log.DamageCount();
  if (log.EventCount() < marks || log.EventCount() - marks > MaxRecords(text)) std::abort();
  for (std::size_t i = 0; i < log.EventCount(); ++i)
    if (log.GetEventLine(i).size() < quillark::EventLog::LINEWIDTH) std::abort();

  if (!log.Save(out) || !log.Save(txt)) std::abort();
  quillark::EventLog back(nullptr, 1, 0, tr);
  back.Load(out);
  if (back.GetLogText() != text || back.DamageCount() != 0 ||
      back.EventCount() != log.EventCount() - marks)
    std::abort();

  // The newest records of the clean log, read from its end, are the last
  // lines of the whole list.
  if (back.EventCount() > 0) {
    quillark::EventLog tail(nullptr, 1, 0, tr);
    const std::size_t want = 1 + size % 5;
    tail.LoadLast(out, want);
    const std::size_t n = std::min(want, back.EventCount());
    if (tail.EventCount() < n) std::abort();
    for (std::size_t i = 0; i < n; ++i)
      if (tail.GetEventLine(tail.EventCount() - 1 - i) !=
          back.GetEventLine(back.EventCount() - 1 - i))
        std::abort();
  }

  // Every decoded record is shown by the filter that shows everything, and
  // a narrower filter shows a subset of them.
  if (log.EventCount() != log.RecordCount()) std::abort();
  quillark::EventFilterStruct alarms;
  quillark::SetFilterBox(alarms, quillark::FB_NONE, true);
  quillark::SetFilterBox(alarms, quillark::FB_ALARM, true);
  alarms.none = 0;
  log.SetFilter(alarms);
  if (log.EventCount() > log.RecordCount()) std::abort();
  for (std::size_t i = 0; i < log.EventCount(); ++i) log.GetEventLine(i);

  // The same bytes straight into the decoder, unchecked, under a date filter
  // made from the input's own first characters.
  quillark::EventFilterStruct filter;
  filter.date = 1;
  const std::string raw(reinterpret_cast<const char*>(data), size);
  filter.SetStart(raw.substr(0, 11));
  filter.SetEnd(raw.substr(size > 11 ? size - 11 : 0));
  quillark::EventLog shown(nullptr, 1, 0, tr);
  shown.SetFilter(filter);
  shown.DisplayEventLog(raw);
  if (shown.EventCount() > MaxRecords(raw)) std::abort();
  for (std::size_t i = 0; i < shown.EventCount(); ++i) shown.GetEventLine(i);
  // Filtering as records arrive and filtering the decoded log again must
  // agree line for line.
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < shown.EventCount(); ++i) lines.push_back(shown.GetEventLine(i));
  shown.SetFilter(filter);
  if (shown.EventCount() != lines.size()) std::abort();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (shown.GetEventLine(i) != lines[i]) std::abort();
  return 0;
}
