#include "gui/access/securitydlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "core/access/security.h"

namespace quillark {

void CentreOnScreen(QWidget& w) {
  const QScreen* screen = w.screen() != nullptr ? w.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize size = w.frameGeometry().size();
  const int x = area.left() + (area.width() - size.width()) / 2;
  const int y = size.height() <= area.height() ? area.top() + (area.height() - size.height()) / 2
                                               : area.top();
  w.move(x, y);
}

SecurityBaseDlg::SecurityBaseDlg(const QString& caption, const QString& text,
                                 const std::vector<std::string>& names, std::size_t selection,
                                 QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  setModal(true);

  explanation = new QLabel(text, this);
  explanation->setWordWrap(true);
  explanation->setMinimumWidth(320);

  accesslevel = new QComboBox(this);
  for (const std::string& n : names) accesslevel->addItem(QString::fromStdString(n));
  if (selection < names.size()) accesslevel->setCurrentIndex(static_cast<int>(selection));

  password = new QLineEdit(this);
  password->setEchoMode(QLineEdit::Password);
  password->setMaxLength(static_cast<int>(PASSWORDEDITLIMIT));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Access level"), accesslevel);
  form->addRow(QStringLiteral("Password"), password);

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addSpacing(6);
  layout->addLayout(form);
  layout->addSpacing(6);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  password->setFocus();
}

void SecurityBaseDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  CentreOnScreen(*this);
}

namespace {

QString EntryExplanation(const std::string& required) {
  if (required.empty())
    return QStringLiteral(
        "The correct authorization is required to perform this operation. Please enter the "
        "required access level and password.");
  return QStringLiteral(
             "The correct authorization is required to perform this operation: the %1 level "
             "or above. Please enter the required access level and password.")
      .arg(QString::fromStdString(required));
}

}  // namespace

SecurityEntryDlg::SecurityEntryDlg(const std::vector<std::string>& names, std::size_t preselected,
                                   QWidget* parent, const std::string& required)
    : SecurityBaseDlg(QStringLiteral("Security"), EntryExplanation(required), names, preselected,
                      parent) {}

void SecurityEntryDlg::accept() {
  if (answerdelay == 0) {
    QDialog::accept();
    return;
  }
  if (answering) return;
  // Guessing is slowed, not blocked: the window keeps drawing and the
  // program keeps supervising while the answer waits.
  answering = true;
  for (auto* box : findChildren<QDialogButtonBox*>()) box->setEnabled(false);
  explanation->setText(QStringLiteral("Checking the password..."));
  QTimer::singleShot(static_cast<int>(answerdelay), this, [this] { QDialog::accept(); });
}

LogOnAnswer SecurityEntryDlg::Answer() const {
  LogOnAnswer a;
  a.entry =
      accesslevel->currentIndex() < 0 ? 0 : static_cast<std::size_t>(accesslevel->currentIndex());
  a.password = password->text().toStdString();
  return a;
}

PasswordChangeDlg::PasswordChangeDlg(PasswordEditSession& s, QWidget* parent)
    : SecurityBaseDlg(QStringLiteral("Passwords"),
                      QStringLiteral("Please enter the password for the displayed access level."),
                      s.Names(), s.Selection(), parent),
      session(s) {
  password->setText(QString::fromStdString(session.Password()));
  connect(accesslevel, &QComboBox::currentIndexChanged, this, &PasswordChangeDlg::UserChange);
}

void PasswordChangeDlg::UserChange(int index) {
  if (index < 0) return;
  // Whether or not the session took the text, show where it now stands: on
  // a refusal (the operator has been told why) that is the account left.
  session.Select(static_cast<std::size_t>(index), password->text().toStdString());
  ShowSession();
}

void PasswordChangeDlg::ShowSession() {
  QSignalBlocker block(accesslevel);
  accesslevel->setCurrentIndex(static_cast<int>(session.Selection()));
  password->setText(QString::fromStdString(session.Password()));
}

void PasswordChangeDlg::accept() {
  if (session.Ok(password->text().toStdString())) {
    QDialog::accept();
    return;
  }
  ShowSession();
}

std::optional<LogOnAnswer> GuiLogOnPrompt::AskForLogOn(const std::vector<std::string>& names,
                                                       std::size_t preselected) {
  SecurityEntryDlg dlg(names, preselected, parent, RequiredLevel());
  dlg.SetAnswerDelay(answerdelay);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.Answer();
}

void GuiPasswordEditor::EditPasswords(PasswordEditSession& session) {
  PasswordChangeDlg dlg(session, parent);
  dlg.exec();
}

}  // namespace quillark
