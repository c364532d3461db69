#pragma once

#include <QDialogButtonBox>

namespace quillark {

class Translator;

// A dialog's row of standard buttons (OK, Cancel, Yes, No, Apply) in the
// words of the text table. Qt names these buttons itself, in English, and
// names them again whenever the language changes; this box puts the
// table's words back each time. Without a translator the words are English.
class UiButtonBox : public QDialogButtonBox {
  Q_OBJECT
 public:
  UiButtonBox(Translator* translator, StandardButtons buttons, QWidget* parent = nullptr);

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Rename();

  Translator* translator;
};

}  // namespace quillark
