#include "gui/status/scannerwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/status/scan.h"

namespace quillark {

ScannerWindow::ScannerWindow(Scanner& s, int startdevice, int enddevice, QWidget* parent)
    : QDialog(parent), scanner(s) {
  setWindowModality(Qt::ApplicationModal);
  status = new QLabel(QString::fromStdString(scanner.GetStatusText()), this);
  progress = new QProgressBar(this);
  progress->setRange(startdevice, enddevice);
  progress->setMinimumWidth(260);
  cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(cancel, &QPushButton::clicked, this, &ScannerWindow::reject);

  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(progress);
  layout->addWidget(status);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  scanner.SetOnChange([this] { Follow(); });
  Follow();
}

ScannerWindow::~ScannerWindow() {
  scanner.SetOnChange(nullptr);
}

void ScannerWindow::Follow() {
  status->setText(QString::fromStdString(scanner.GetStatusText()));
  progress->setValue(std::clamp(scanner.GetDevice(), progress->minimum(), progress->maximum()));
  setWindowTitle(QString::fromStdString(scanner.GetCaption()));
  if (scanner.GetResult() != Scanner::SCAN_RUNNING) hide();
}

void ScannerWindow::reject() {
  // Esc and the close box cancel as the button does.
  scanner.AbortScan();
  QDialog::reject();
}

}  // namespace quillark
