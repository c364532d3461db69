#pragma once

#include <QPointer>
#include <QTabWidget>
#include <QWidget>

namespace quillark {

class Translator;

// A page of a tabbed property sheet whose title is a text of the table: the
// page adds itself to the sheet under that title in the current language and
// retitles its tab when the language changes. Pages that show more texts of
// their own override Retranslate(), which runs on the same change.
class LangPropertyPage : public QWidget {
 public:
  LangPropertyPage(QTabWidget& sheet, Translator& translator, int titleid,
                   const char* english = "");

  int TitleId() const { return titleid; }
  Translator& GetTranslator() const { return translator; }

 protected:
  void changeEvent(QEvent* e) override;
  virtual void Retranslate() {}

 private:
  QPointer<QTabWidget> sheet;
  Translator& translator;
  int titleid;
  const char* english;
};

}  // namespace quillark
