#include "gui/status/sopdialogwindow.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/common/uitext.h"

namespace quillark {

SOPDialogWindow::SOPDialogWindow(SOPDialog& d, QWidget* parent) : QDialog(parent), dialog(&d) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);

  auto* grid = new QGridLayout;
  grid->setColumnStretch(0, 1);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    labels[i] = new QLabel(this);
    fields[i] = new QLineEdit(this);
    fields[i]->setReadOnly(true);
    fields[i]->setFocusPolicy(Qt::NoFocus);
    fields[i]->setAlignment(Qt::AlignRight);
    fields[i]->setFixedWidth(fields[i]->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                             12);
    grid->addWidget(labels[i], static_cast<int>(i), 0);
    grid->addWidget(fields[i], static_cast<int>(i), 1);
  }
  progress = new QProgressBar(this);
  progress->setTextVisible(false);
  autoclose = new QCheckBox(this);
  closebutton = new QPushButton(this);
  closebutton->setDefault(true);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(autoclose);
  bottom->addStretch();
  bottom->addWidget(closebutton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addWidget(progress);
  layout->addSpacing(6);
  layout->addLayout(bottom);
  // The bar sets the least width; the window still grows for longer words.
  progress->setMinimumWidth(320);

  connect(closebutton, &QPushButton::clicked, this, [this] {
    if (dialog != nullptr) dialog->HandleOkButton();
  });
  // Every click restarts the wait before the automatic close, so the box
  // reports clicks, not just changes.
  connect(autoclose, &QCheckBox::clicked, this, [this](bool checked) {
    if (dialog != nullptr) dialog->HandleAutoCloseCheckBox(checked);
  });

  // The dialog may outlive this view (its owner decides): a gone view hears
  // nothing.
  dialog->SetChangeListener([view = QPointer<SOPDialogWindow>(this)] {
    if (view) view->Refresh();
  });
  Retranslate();
}

SOPDialogWindow::~SOPDialogWindow() = default;

void SOPDialogWindow::Retranslate() {
  Translator* translator = dialog != nullptr ? dialog->GetTranslator() : nullptr;
  const auto text = [translator](int id, const char* english) {
    return translator != nullptr ? UiText(*translator, id, english) : QString::fromLatin1(english);
  };
  autoclose->setText(text(58250, "Automatically Close When Finished"));
  closebutton->setText(text(56500, "&Close"));
  // The caption and the labels are the operation's own.
  if (dialog != nullptr) dialog->Retranslate();
  Refresh();
}

void SOPDialogWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

QLabel* SOPDialogWindow::Label(int id) const {
  const int i = id - SOPDialog::IDC_LABEL_TOTAL;
  return i >= 0 && i < static_cast<int>(labels.size()) ? labels[static_cast<std::size_t>(i)]
                                                       : nullptr;
}

QLineEdit* SOPDialogWindow::Field(int id) const {
  const int i = id - SOPDialog::IDC_TOTAL;
  return i >= 0 && i < static_cast<int>(fields.size()) ? fields[static_cast<std::size_t>(i)]
                                                       : nullptr;
}

void SOPDialogWindow::Refresh() {
  if (dialog == nullptr) return;
  setWindowTitle(QString::fromStdString(dialog->GetCaption()));
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const int n = static_cast<int>(i);
    labels[i]->setText(QString::fromStdString(dialog->GetLabel(SOPDialog::IDC_LABEL_TOTAL + n)));
    fields[i]->setText(QString::fromStdString(dialog->GetFieldText(SOPDialog::IDC_TOTAL + n)));
  }
  // An empty range would make the bar spin as "busy": show it empty instead.
  progress->setRange(0, std::max(dialog->GetProgressRange(), 1));
  progress->setValue(std::clamp(dialog->GetProgress(), 0, progress->maximum()));
  if (autoclose->isChecked() != dialog->GetAutoClose()) {
    QSignalBlocker block(autoclose);
    autoclose->setChecked(dialog->GetAutoClose());
  }
  const bool closing = dialog->IsClosing();
  closebutton->setEnabled(!closing);
  autoclose->setEnabled(!closing);
}

void SOPDialogWindow::reject() {
  if (dialog != nullptr) dialog->EvClose();
}

void SOPDialogWindow::closeEvent(QCloseEvent* e) {
  // The owner removes the window once the dialog has gone.
  e->ignore();
  if (dialog != nullptr) dialog->EvClose();
}

SOPWindowHost::~SOPWindowHost() {
  delete window.data();
}

void SOPWindowHost::Follow(SOPDialog* dialog) {
  delete window.data();
  if (dialog == nullptr) return;
  window = new SOPDialogWindow(*dialog, parent);
  window->show();
}

}  // namespace quillark
