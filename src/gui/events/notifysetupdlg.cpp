#include "gui/events/notifysetupdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/access/translator.h"
#include "core/events/email.h"
#include "core/events/notifysettings.h"
#include "core/events/pager.h"
#include "core/platform/prompter.h"
#include "gui/common/uibuttonbox.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::string S(const QLineEdit* e) {
  return e->text().toStdString();
}

constexpr int TX_NOTSTORED = 84200;
constexpr int TX_MAILENABLE = 85900;
constexpr int TX_RECIPIENT = 86000;
constexpr int TX_NORECIPIENT = 86100;
constexpr int TX_PAGERENABLE = 86600;
constexpr int TX_TEST = 86700;
constexpr int TX_HELP = 62300;
constexpr int TX_EMAIL = 68800;  // the menu commands
constexpr int TX_PAGER = 68900;

void ReportUnwritten(Prompter& prompter, Translator& translate) {
  prompter.Show("", translate.TextOr(TX_NOTSTORED, "The settings could not be stored."),
                PromptIcon::STOP);
}

}  // namespace

// --- EmailSetupDialog ------------------------------------------------------------

EmailSetupDialog::EmailSetupDialog(INI& i, EMail* m, Prompter& p, Translator& t, QWidget* parent)
    : QDialog(parent), ini(i), mailer(m), prompter(p), translate(t) {
  const EmailSettings s = EmailSettings::Read(ini);
  recipient = new QLineEdit(Q(s.recipient), this);
  recipient->setMaxLength(EmailSettings::RECIPIENTLENGTH);
  recipient->setMinimumWidth(recipient->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
  enable = new QCheckBox(this);
  enable->setChecked(s.enable);

  recipientlabel = new QLabel(this);
  auto* form = new QFormLayout;
  form->addRow(recipientlabel, recipient);
  form->addRow(QString(), enable);
  auto* box = new UiButtonBox(&translate, QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Retranslate();
}

void EmailSetupDialog::Retranslate() {
  // The title is the menu command that opens the dialog.
  setWindowTitle(PlainUiText(translate, TX_EMAIL, "&E-mail..."));
  enable->setText(UiText(translate, TX_MAILENABLE, "Send alarms and faults by e-mail"));
  recipientlabel->setText(UiText(translate, TX_RECIPIENT, "Recipient:"));
}

void EmailSetupDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void EmailSetupDialog::accept() {
  EmailSettings s;
  s.recipient = S(recipient);
  s.enable = enable->isChecked();
  // Switched on with nobody to send to would fail at the first alarm.
  if (s.enable && recipient->text().trimmed().isEmpty()) {
    prompter.Show("",
                  translate.TextOr(TX_NORECIPIENT,
                                   "E-mail is switched on but has no recipient. Enter the address "
                                   "alarms and faults should go to, or switch e-mail off."),
                  PromptIcon::STOP);
    recipient->setFocus();
    return;
  }
  if (!s.Write(ini)) {
    ReportUnwritten(prompter, translate);
    return;
  }
  if (mailer != nullptr) mailer->Init();
  QDialog::accept();
}

// --- PagerSetupDialog ------------------------------------------------------------

PagerSetupDialog::PagerSetupDialog(INI& i, Page* p, ProgramLauncher& l, Prompter& pr, Translator& t,
                                   std::filesystem::path h, QWidget* parent)
    : QDialog(parent),
      ini(i),
      pager(p),
      launcher(l),
      prompter(pr),
      translate(t),
      home(std::move(h)) {
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
  enable = new QCheckBox(this);
  enable->setChecked(s.enable);

  auto* form = new QFormLayout;
  QWidget* const fields[] = {callcentre, password, pagernumber, baudrate, format, port};
  for (std::size_t f = 0; f < labels.size(); ++f) {
    labels[f] = new QLabel(this);
    form->addRow(labels[f], fields[f]);
  }
  form->addRow(QString(), enable);

  auto* box = new UiButtonBox(
      &translate, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  applybutton = box->button(QDialogButtonBox::Apply);
  testbutton = box->addButton(QString(), QDialogButtonBox::ActionRole);
  helpbutton = box->addButton(QString(), QDialogButtonBox::HelpRole);
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
  Retranslate();
}

PagerSetupDialog::~PagerSetupDialog() = default;

void PagerSetupDialog::Retranslate() {
  setWindowTitle(PlainUiText(translate, TX_PAGER, "&Pager..."));
  static const struct {
    int id;
    const char* english;
  } names[] = {{86200, "Call centre:"}, {86800, "Password:"}, {86300, "Pager number:"},
               {86400, "Baud rate:"},   {86500, "Format:"},   {86900, "Port:"}};
  for (std::size_t f = 0; f < labels.size(); ++f)
    labels[f]->setText(UiText(translate, names[f].id, names[f].english));
  enable->setText(UiText(translate, TX_PAGERENABLE, "Send alarms and faults to the pager"));
  testbutton->setText(UiText(translate, TX_TEST, "&Test"));
  helpbutton->setText(UiText(translate, TX_HELP, "Help"));
}

void PagerSetupDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

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
    ReportUnwritten(prompter, translate);
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
