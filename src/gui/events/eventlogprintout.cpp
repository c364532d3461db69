#include "gui/events/eventlogprintout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "core/access/translator.h"
#include "core/views/eventlog.h"
#include "gui/common/printmargins.h"
#include "gui/common/uitext.h"

namespace quillark {

EventLogPrintout::EventLogPrintout(const EventLog& l, QString t)
    : log(l), title(std::move(t)), font(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
  // Fixed pitch keeps the columns under the heading; a size that gives a
  // full list line on a portrait page.
  font.setPointSize(9);
  if (title.isEmpty()) title = PlainUiText(log.GetTranslator(), 18500, "Event log...");
}

void EventLogPrintout::Layout(QPaintDevice& device, const QRect& a) {
  area = a;
  const QFontMetrics metrics(font, &device);
  lineheight = std::max(1, metrics.height());
  ascent = metrics.ascent();
  linesperpage = std::max(1, area.height() / lineheight);
}

int EventLogPrintout::EventsPerPage() const {
  return EventLog::EventsPerPage(linesperpage);
}

int EventLogPrintout::PageCount() const {
  return EventLog::PageCount(log.EventCount(), EventsPerPage());
}

int EventLogPrintout::Print(QPrinter& printer) {
  KeepPrintMargins(printer);
  QPainter painter;
  if (!painter.begin(&printer)) return 0;
  // The painter's origin is the corner of the printable area.
  Layout(printer, QRect(0, 0, printer.width(), printer.height()));
  const int pages = PageCount();
  for (int page = 1; page <= pages; ++page) {
    if (page > 1 && !printer.newPage()) {
      painter.end();
      return page - 1;
    }
    PrintPage(painter, page);
  }
  painter.end();
  return pages;
}

void EventLogPrintout::PrintPage(QPainter& painter, int page) const {
  painter.save();
  painter.setFont(font);
  painter.setPen(Qt::black);
  const int left = area.left();
  auto baseline = [&](int line) { return area.top() + line * lineheight + ascent; };

  const QString heading = QStringLiteral("%1 %2 %3")
                              .arg(title, QString::fromStdString(log.GetReadDate()),
                                   QString::fromStdString(log.GetReadTime()));
  painter.drawText(left, baseline(0), heading);
  Translator& tr = log.GetTranslator();
  const QString number = UiText(tr, 85200, "Page %1").arg(page);
  const int width = QFontMetrics(font, painter.device()).horizontalAdvance(number);
  painter.drawText(area.right() - width, baseline(0), number);
  painter.drawText(left, baseline(1), UiText(tr, 84700, "   Date     Time   Device     Event"));
  const int rule = area.top() + 2 * lineheight + lineheight / 2;
  painter.drawLine(left, rule, area.right(), rule);

  const std::size_t per = static_cast<std::size_t>(EventsPerPage());
  const std::size_t first = static_cast<std::size_t>(page - 1) * per;
  const std::size_t last = std::min(log.EventCount(), first + per);
  for (std::size_t i = first; i < last; ++i)
    painter.drawText(left, baseline(3 + static_cast<int>(i - first)),
                     QString::fromStdString(log.GetEventLine(i)));
  painter.restore();
}

}  // namespace quillark
