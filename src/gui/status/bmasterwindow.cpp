#include "gui/status/bmasterwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/status/pccommandmodule.h"

namespace quillark {

CommandModuleWindow::CommandModuleWindow(PCcommandModule& bm, QWidget* parent)
    : QDialog(parent), busmaster(bm) {
  setWindowTitle(QStringLiteral("Command module settings"));
  setModal(false);

  busmasterbox = new QCheckBox(QStringLiteral("PC command module"), this);
  fastpollbox = new QCheckBox(QStringLiteral("FastPoll"), this);
  echobox = new QCheckBox(QStringLiteral("Echo responses"), this);
  oneatatimebox = new QCheckBox(QStringLiteral("Poll one device at a time across all loops"), this);
  oneatatimebox->setToolTip(
      QStringLiteral("For a command-module bridge that cannot take traffic on several loops at "
                     "once. Otherwise every loop is polled side by side."));
  cyclelabel = new QLabel(this);

  timeout = new QLineEdit(this);
  timeout->setMaxLength(6);
  timeout->setFixedWidth(timeout->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  auto* timeoutrow = new QHBoxLayout;
  timeoutrow->addWidget(new QLabel(QStringLiteral("Poll timeout"), this));
  timeoutrow->addWidget(timeout);
  timeoutrow->addWidget(new QLabel(QStringLiteral("ms"), this));
  timeoutrow->addStretch();

  auto* note = new QLabel(
      QStringLiteral("Due to PC limitations using a PC as a command module is NOT a fully fault "
                     "tolerant configuration. If full fault tolerance is required use a hardware "
                     "command module."),
      this);
  note->setWordWrap(true);
  note->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  note->setMargin(6);

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  helpbutton = box->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(helpbutton, &QPushButton::clicked, this, [this] {
    if (help) help(HELPCONTEXT);
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(busmasterbox);
  layout->addWidget(fastpollbox);
  layout->addWidget(echobox);
  layout->addWidget(oneatatimebox);
  layout->addSpacing(4);
  layout->addLayout(timeoutrow);
  layout->addWidget(cyclelabel);
  layout->addSpacing(4);
  layout->addWidget(note);
  layout->addSpacing(6);
  layout->addWidget(box);
  note->setMinimumWidth(340);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Fill();
}

void CommandModuleWindow::Fill() {
  // The bus master always polls as the PC command module and never runs
  // fast polls from here; the entries are for show and are not read back.
  busmasterbox->setChecked(true);
  fastpollbox->setChecked(false);
  // Shown as it is: an unchecked box while answers are being echoed onto
  // the bus would tell the operator the opposite of what happens.
  echobox->setChecked(busmaster.GetEcho());
  timeout->setText(QString::fromStdString(busmaster.GetTimeoutString()));
  oneatatimebox->setChecked(busmaster.GetOneAtATime());
  // The time to visit every device once: how late an alarm can be seen.
  const auto cycle = busmaster.Statistics().cycle;
  cyclelabel->setText(cycle == 0 ? QStringLiteral("Poll cycle: not yet measured")
                                 : QStringLiteral("Poll cycle: %1 ms").arg(cycle));
}

void CommandModuleWindow::Setup() {
  Fill();
  showNormal();
  raise();
  activateWindow();
}

void CommandModuleWindow::accept() {
  if (oneatatimebox->isChecked() != busmaster.GetOneAtATime())
    busmaster.SetOneAtATime(oneatatimebox->isChecked());
  busmaster.Ok();
  hide();
  setResult(QDialog::Accepted);
}

void CommandModuleWindow::reject() {
  busmaster.ResumePolling();
  hide();
  setResult(QDialog::Rejected);
}

}  // namespace quillark
