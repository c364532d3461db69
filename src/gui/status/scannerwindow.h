#pragma once

#include <QDialog>

class QEvent;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quillark {

class Scanner;

// The progress of a bus scan while it runs: the position being asked, a bar
// over the range, and Cancel, which ends the scan at once.
class ScannerWindow : public QDialog {
  Q_OBJECT
 public:
  ScannerWindow(Scanner& scanner, int startdevice, int enddevice, QWidget* parent = nullptr);
  ~ScannerWindow() override;

  QLabel* Status() const { return status; }
  QProgressBar* Progress() const { return progress; }
  QPushButton* CancelButton() const { return cancel; }

 public slots:
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  void Follow();

  Scanner& scanner;
  QLabel* status;
  QProgressBar* progress;
  QPushButton* cancel;
};

}  // namespace quillark
