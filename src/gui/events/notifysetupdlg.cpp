#include "gui/events/notifysetupdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/events/email.h"
#include "core/events/notifysettings.h"
#include "core/events/pager.h"
#include "core/platform/prompter.h"

namespace quillark {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string S(const QLineEdit* e) {
  return e->text().toStdString();
}

void ReportUnwritten(Prompter& prompter) {
  prompter.Show("", "The settings could not be stored.", PromptIcon::STOP);
}

}  // namespace

// --- EmailSetupDialog ------------------------------------------------------------

EmailSetupDialog::EmailSetupDialog(INI& i, EMail* m, Prompter& p, QWidget* parent)
    : QDialog(parent), ini(i), mailer(m), prompter(p) {
  setWindowTitle(QStringLiteral("E-mail settings"));
  const EmailSettings s = EmailSettings::Read(ini);
  recipient = new QLineEdit(Q(s.recipient), this);
  recipient->setMaxLength(EmailSettings::RECIPIENTLENGTH);
  recipient->setMinimumWidth(recipient->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
  enable = new QCheckBox(QStringLiteral("Send alarms and faults by e-mail"), this);
  enable->setChecked(s.enable);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Recipient:"), recipient);
  form->addRow(QString(), enable);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void EmailSetupDialog::accept() {
  EmailSettings s;
  s.recipient = S(recipient);
  s.enable = enable->isChecked();
  // Switched on with nobody to send to would fail at the first alarm.
  if (s.enable && recipient->text().trimmed().isEmpty()) {
    prompter.Show("",
                  "E-mail is switched on but has no recipient. Enter the address alarms and "
                  "faults should go to, or switch e-mail off.",
                  PromptIcon::STOP);
    recipient->setFocus();
    return;
  }
  if (!s.Write(ini)) {
    ReportUnwritten(prompter);
    return;
  }
  if (mailer != nullptr) mailer->Init();
  QDialog::accept();
}

// --- PagerSetupDialog ------------------------------------------------------------

PagerSetupDialog::PagerSetupDialog(INI& i, Page* p, ProgramLauncher& l, Prompter& pr,
                                   std::filesystem::path h, QWidget* parent)
    : QDialog(parent), ini(i), pager(p), launcher(l), prompter(pr), home(std::move(h)) {
  setWindowTitle(QStringLiteral("Pager settings"));
  const PagerSettings s = PagerSettings::Read(ini);

  callcentre = new QLineEdit(Q(s.callcentre), this);
  callcentre->setMaxLength(PagerSettings::CALLCENTRELENGTH);
  password = new QLineEdit(Q(s.password), this);
  password->setMaxLength(PagerSettings::PASSWORDLENGTH);
  password->setEchoMode(QLineEdit::Password);
  pagernumber = new QLineEdit(Q(s.pager), this);
  pagernumber->setMaxLength(PagerSettings::PAGERLENGTH);
  pagernumber->setMinimumWidth(pagernumber->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 20);

  baudrate = new QComboBox(this);
  for (const char* b : PagerSettings::BAUDRATES) baudrate->addItem(QString::fromLatin1(b));
  baudrate->setCurrentIndex(s.baudrate);
  format = new QComboBox(this);
  for (const char* f : PagerSettings::FORMATS) format->addItem(QString::fromLatin1(f));
  format->setCurrentIndex(s.format);
  port = new QComboBox(this);
  for (const char* c : PagerSettings::PORTS) port->addItem(QString::fromLatin1(c));
  // Port 0 means none chosen yet: no entry selected.
  port->setCurrentIndex(s.port - 1);
  enable = new QCheckBox(QStringLiteral("Send alarms and faults to the pager"), this);
  enable->setChecked(s.enable);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Call centre:"), callcentre);
  form->addRow(QStringLiteral("Password:"), password);
  form->addRow(QStringLiteral("Pager number:"), pagernumber);
  form->addRow(QStringLiteral("Baud rate:"), baudrate);
  form->addRow(QStringLiteral("Format:"), format);
  form->addRow(QStringLiteral("Port:"), port);
  form->addRow(QString(), enable);

  auto* box = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  applybutton = box->button(QDialogButtonBox::Apply);
  testbutton = box->addButton(QStringLiteral("&Test"), QDialogButtonBox::ActionRole);
  helpbutton = box->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(applybutton, &QPushButton::clicked, this, [this] { Apply(); });
  connect(testbutton, &QPushButton::clicked, this, [this] { Test(); });
  connect(helpbutton, &QPushButton::clicked, this, [this] {
    if (help) help(HELPCONTEXT);
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

PagerSetupDialog::~PagerSetupDialog() = default;

bool PagerSetupDialog::Apply() {
  PagerSettings s;
  s.callcentre = S(callcentre);
  s.password = S(password);
  s.pager = S(pagernumber);
  s.baudrate = baudrate->currentIndex();
  s.format = format->currentIndex();
  s.port = port->currentIndex() + 1;
  s.enable = enable->isChecked();
  if (!s.Write(ini)) {
    ReportUnwritten(prompter);
    return false;
  }
  // Applied settings take effect at once, not only after OK.
  if (pager != nullptr) pager->Init();
  return true;
}

bool PagerSetupDialog::Test() {
  if (!Apply() || tester != nullptr) return false;
  tester = std::make_unique<Page>(ini, launcher, prompter, home);
  testbutton->setEnabled(false);
  tester->SendTestPage([this](bool) {
    // Dropped later: this runs inside the pager's own completion.
    QTimer::singleShot(0, this, [this] {
      tester.reset();
      testbutton->setEnabled(true);
    });
  });
  return true;
}

void PagerSetupDialog::accept() {
  if (Apply()) QDialog::accept();
}

}  // namespace quillark
