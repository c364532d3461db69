#include "gui/common/progressdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillark {

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent) {
  status = new QLabel(this);
  status->setObjectName(QStringLiteral("status"));
  status->setMinimumWidth(260);
  gauge = new QProgressBar(this);
  gauge->setRange(0, 100);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(cancel, &QPushButton::clicked, this, &ProgressDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gauge);
  layout->addWidget(status);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quillark
