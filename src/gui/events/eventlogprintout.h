#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;
class QPaintDevice;
class QPrinter;

namespace quillark {

class EventLog;

// The list of an event log on paper: every page starts with the title, the
// read date and time and its number, the column heading and a rule; the
// rest of the page takes list lines, as many as fit.
class EventLogPrintout {
 public:
  // Without a title the pages are headed "Event log" in the log's language.
  explicit EventLogPrintout(const EventLog& log, QString title = {});

  // Prints every line of the list. The number of pages printed; 0 when the
  // printer could not be started.
  int Print(QPrinter& printer);

  // Fits the pages to an area of `device` (the printable area of a printer,
  // or a picture of one page).
  void Layout(QPaintDevice& device, const QRect& area);
  int LinesPerPage() const { return linesperpage; }
  int EventsPerPage() const;
  int PageCount() const;
  // Draws page `page` (from 1) with `painter`, which is on the laid-out device.
  void PrintPage(QPainter& painter, int page) const;

 private:
  const EventLog& log;
  QString title;
  QFont font;
  QRect area;
  int lineheight = 1;
  int ascent = 0;
  int linesperpage = 1;
};

}  // namespace quillark
