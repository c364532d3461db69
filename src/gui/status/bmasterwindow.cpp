#include "gui/status/bmasterwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/comms/bushost.h"
#include "core/status/pccommandmodule.h"
#include "gui/common/uitext.h"

namespace quillark {

namespace {

// Texts of the window.
enum : int {
  TX_TITLE = 57050,
  TX_PCMODULE = 57100,
  TX_ECHO = 57150,
  TX_ONEATATIME = 57200,
  TX_ONEATATIMETIP = 57250,
  TX_TIMEOUT = 57300,
  TX_NOTE = 57350,
  TX_NOTMEASURED = 57400,
  TX_CYCLE = 57450,
  TX_CANCEL = 82200,
  TX_HELP = 69300,
};

}  // namespace

CommandModuleWindow::CommandModuleWindow(PCcommandModule& bm, QWidget* parent)
    : QDialog(parent), busmaster(bm) {
  setModal(false);

  busmasterbox = new QCheckBox(this);
  // FastPoll is the name of the feature in every language.
  fastpollbox = new QCheckBox(QStringLiteral("FastPoll"), this);
  echobox = new QCheckBox(this);
  oneatatimebox = new QCheckBox(this);
  cyclelabel = new QLabel(this);

  timeout = new QLineEdit(this);
  timeout->setMaxLength(6);
  timeout->setFixedWidth(timeout->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  auto* timeoutrow = new QHBoxLayout;
  timeoutlabel = new QLabel(this);
  timeoutrow->addWidget(timeoutlabel);
  timeoutrow->addWidget(timeout);
  // The unit is written the same in every language.
  timeoutrow->addWidget(new QLabel(QStringLiteral("ms"), this));
  timeoutrow->addStretch();

  note = new QLabel(this);
  note->setWordWrap(true);
  note->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  note->setMargin(6);

  box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  helpbutton = box->addButton(QString(), QDialogButtonBox::HelpRole);
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

  Retranslate();
}

QString CommandModuleWindow::Text(int id, const char* english) const {
  BusHost* app = busmaster.GetMain();
  return app != nullptr ? UiText(app->GetTranslator(), id, english) : QString::fromLatin1(english);
}

void CommandModuleWindow::Retranslate() {
  setWindowTitle(Text(TX_TITLE, "Command module settings"));
  busmasterbox->setText(Text(TX_PCMODULE, "PC command module"));
  echobox->setText(Text(TX_ECHO, "Echo responses"));
  oneatatimebox->setText(Text(TX_ONEATATIME, "Poll one device at a time across all loops"));
  oneatatimebox->setToolTip(Text(TX_ONEATATIMETIP,
                                 "For a command-module bridge that cannot take traffic on several "
                                 "loops at once. Otherwise every loop is polled side by side."));
  timeoutlabel->setText(Text(TX_TIMEOUT, "Poll timeout"));
  note->setText(Text(TX_NOTE,
                     "Due to PC limitations using a PC as a command module is NOT a fully fault "
                     "tolerant configuration. If full fault tolerance is required use a hardware "
                     "command module."));
  box->button(QDialogButtonBox::Cancel)->setText(Text(TX_CANCEL, "Cancel"));
  helpbutton->setText(Text(TX_HELP, "&Help"));
  Fill();
}

void CommandModuleWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
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
  cyclelabel->setText(cycle == 0 ? Text(TX_NOTMEASURED, "Poll cycle: not yet measured")
                                 : Text(TX_CYCLE, "Poll cycle: %d ms")
                                       .replace(QStringLiteral("%d"), QString::number(cycle)));
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
