#pragma once

#include <QDialog>

class QComboBox;
class QLabel;

namespace quillark {

class INI;
class Translator;

// "Set language": the offered languages in alphabetical order, the current
// one selected. OK stores the chosen language under "Product"/"Language"
// and switches to it; Cancel changes nothing.
class LanguageDlg : public QDialog {
  Q_OBJECT

 public:
  // Applies the stored language (as the command has always done on opening).
  LanguageDlg(Translator& translate, INI& ini, QWidget* parent = nullptr);

  QComboBox* Languages() const { return languages; }
  // The language index of the selected entry, or -1 when none is selected.
  int SelectedLanguage() const;

 public slots:
  void accept() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  Translator& translate;
  INI& ini;
  QComboBox* languages = nullptr;
  QLabel* label = nullptr;
};

}  // namespace quillark
