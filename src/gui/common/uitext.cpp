#include "gui/common/uitext.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "core/access/translator.h"

namespace quillark {

namespace {

// Stays installed for the life of the application and hands each lookup to
// the translations of the current language. Installing or removing a
// QTranslator, or loading one that is installed, tells every window of a
// language change; swapping what this one hands on to tells nobody, so a
// language change reaches each window once, from AnnounceLanguageChange().
class QtTexts : public QTranslator {
 public:
  void Use(std::unique_ptr<QTranslator> translations) { inner = std::move(translations); }

  QString translate(const char* context, const char* source, const char* disambiguation,
                    int n) const override {
    return inner != nullptr ? inner->translate(context, source, disambiguation, n) : QString();
  }
  bool isEmpty() const override { return inner == nullptr || inner->isEmpty(); }

 private:
  std::unique_ptr<QTranslator> inner;
};

QtTexts* InstalledQtTexts() {
  static QtTexts* texts = nullptr;
  if (texts == nullptr) {
    // Empty while it is installed, so installing announces nothing; owned
    // by the application, which outlives every window that asks it.
    texts = new QtTexts;
    texts->setParent(QCoreApplication::instance());
    QObject::connect(texts, &QObject::destroyed, [] { texts = nullptr; });
    QCoreApplication::installTranslator(texts);
  }
  return texts;
}

}  // namespace

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

void UseQtTextsIn(int language) {
  if (QCoreApplication::instance() == nullptr) return;
  QtTexts* texts = InstalledQtTexts();
  const QString code = QString::fromLatin1(Translator::LanguageCode(language));
  std::unique_ptr<QTranslator> translations;
  if (code != QLatin1String("en")) {
    // Qt's translations come in their own package; without it Qt's texts
    // stay English, which is no fault worth telling the operator about.
    translations = std::make_unique<QTranslator>();
    if (!translations->load(QLocale(code), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      translations.reset();
  }
  texts->Use(std::move(translations));
  // Qt carries its own locale data, so the windows format numbers and dates
  // in the language whether or not the machine has its C locale.
  QLocale::setDefault(QLocale(QString::fromLatin1(Translator::LocaleName(language))));
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
