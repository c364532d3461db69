#include "gui/common/uitext.h"

#include <QCoreApplication>
#include <QEvent>

#include "core/access/translator.h"

namespace quillark {

QString UiText(Translator& translator, int id, const char* english) {
  return QString::fromStdString(translator.TextOr(id, english));
}

QString UiText(Translator* translator, int id, const char* english) {
  return QString::fromStdString(TextOr(translator, id, english));
}

QString PlainUiText(Translator& translator, int id, const char* english) {
  QString text = UiText(translator, id, english);
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&');
  text.replace(QChar(1), QChar('&'));
  if (text.endsWith(QStringLiteral("..."))) text.chop(3);
  return text.trimmed();
}

void AnnounceLanguageChange() {
  // The application hands the event on to every top-level window (and they
  // to their children): the same way Qt announces a new QTranslator.
  QEvent e(QEvent::LanguageChange);
  QCoreApplication::sendEvent(QCoreApplication::instance(), &e);
}

bool IsLanguageChange(const QEvent* e) {
  return e != nullptr && e->type() == QEvent::LanguageChange;
}

}  // namespace quillark
