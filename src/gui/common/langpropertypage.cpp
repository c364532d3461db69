#include "gui/common/langpropertypage.h"

#include "gui/common/uitext.h"

namespace quillark {

LangPropertyPage::LangPropertyPage(QTabWidget& sheet, Translator& translator, int titleid,
                                   const char* english)
    : QWidget(&sheet),
      sheet(&sheet),
      translator(translator),
      titleid(titleid),
      english(english != nullptr ? english : "") {
  sheet.addTab(this, UiText(translator, titleid, this->english));
}

void LangPropertyPage::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) {
    if (sheet != nullptr) {
      const int index = sheet->indexOf(this);
      if (index >= 0) sheet->setTabText(index, UiText(translator, titleid, english));
    }
    Retranslate();
  }
  QWidget::changeEvent(e);
}

}  // namespace quillark
