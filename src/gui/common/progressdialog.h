#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillark {

class Translator;

// The small window of a long bus operation: a gauge, a line saying what is
// being done and Cancel (which rejects the dialog: the owner stops the
// operation in its reject()). It keeps the size its texts need.
class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressDialog(QWidget* parent = nullptr);
  // Cancel in the words of `translator`, following a language change.
  ProgressDialog(Translator& translator, QWidget* parent = nullptr);

 protected:
  void changeEvent(QEvent* e) override;

  QLabel* status;
  QProgressBar* gauge;

 private:
  void Retranslate();

  Translator* translator = nullptr;
  QPushButton* cancel;
};

}  // namespace quillark
