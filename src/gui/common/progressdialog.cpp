#include "gui/common/progressdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/common/uitext.h"

namespace quillark {

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent) {
  status = new QLabel(this);
  status->setObjectName(QStringLiteral("status"));
  status->setMinimumWidth(260);
  gauge = new QProgressBar(this);
  gauge->setRange(0, 100);
  cancel = new QPushButton(this);
  connect(cancel, &QPushButton::clicked, this, &ProgressDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gauge);
  layout->addWidget(status);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Retranslate();
}

ProgressDialog::ProgressDialog(Translator& t, QWidget* parent) : ProgressDialog(parent) {
  translator = &t;
  Retranslate();
}

void ProgressDialog::Retranslate() {
  cancel->setText(UiText(translator, 82200, "Cancel"));
}

void ProgressDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

}  // namespace quillark
