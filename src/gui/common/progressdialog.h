#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace quillark {

// The small window of a long bus operation: a gauge, a line saying what is
// being done and Cancel (which rejects the dialog: the owner stops the
// operation in its reject()). It keeps the size its texts need.
class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressDialog(QWidget* parent = nullptr);

 protected:
  QLabel* status;
  QProgressBar* gauge;
};

}  // namespace quillark
