#include "gui/status/scannerwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/comms/bushost.h"
#include "core/status/scan.h"
#include "gui/common/uitext.h"

namespace quillark {

ScannerWindow::ScannerWindow(Scanner& s, int startdevice, int enddevice, QWidget* parent)
    : QDialog(parent), scanner(s) {
  setWindowModality(Qt::ApplicationModal);
  status = new QLabel(QString::fromStdString(scanner.GetStatusText()), this);
  progress = new QProgressBar(this);
  progress->setRange(startdevice, enddevice);
  progress->setMinimumWidth(260);
  cancel = new QPushButton(this);
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
  Retranslate();
}

void ScannerWindow::Retranslate() {
  BusHost* app = scanner.GetMain();
  cancel->setText(app != nullptr ? UiText(app->GetTranslator(), 82200, "Cancel")
                                 : QStringLiteral("Cancel"));
  Follow();
}

void ScannerWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
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
