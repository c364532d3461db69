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
#include "gui/common/uibuttonbox.h"
#include "gui/common/uitext.h"

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

namespace {

constexpr int TX_SECURITY = 82700;
constexpr int TX_ACCESSLEVEL = 82800;
constexpr int TX_PASSWORD = 82900;
constexpr int TX_AUTHORIZATION = 83000;
constexpr int TX_AUTHORIZATIONLEVEL = 83100;
constexpr int TX_CHECKING = 83200;
constexpr int TX_ENTERPASSWORD = 83300;
constexpr int TX_PASSWORDS = 69100;  // the menu command

}  // namespace

SecurityBaseDlg::SecurityBaseDlg(Translator* t, const std::vector<std::string>& names,
                                 std::size_t selection, QWidget* parent)
    : QDialog(parent), translator(t) {
  setModal(true);

  explanation = new QLabel(this);
  explanation->setWordWrap(true);
  explanation->setMinimumWidth(320);

  accesslevel = new QComboBox(this);
  for (const std::string& n : names) accesslevel->addItem(QString::fromStdString(n));
  if (selection < names.size()) accesslevel->setCurrentIndex(static_cast<int>(selection));

  password = new QLineEdit(this);
  password->setEchoMode(QLineEdit::Password);
  password->setMaxLength(static_cast<int>(PASSWORDEDITLIMIT));

  levellabel = new QLabel(this);
  passwordlabel = new QLabel(this);
  auto* form = new QFormLayout;
  form->addRow(levellabel, accesslevel);
  form->addRow(passwordlabel, password);

  auto* box = new UiButtonBox(translator, QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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

void SecurityBaseDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

QString SecurityBaseDlg::Text(int id, const char* english) const {
  return UiText(translator, id, english);
}

void SecurityBaseDlg::Retranslate() {
  levellabel->setText(Text(TX_ACCESSLEVEL, "Access level"));
  passwordlabel->setText(Text(TX_PASSWORD, "Password"));
}

SecurityEntryDlg::SecurityEntryDlg(const std::vector<std::string>& names, std::size_t preselected,
                                   QWidget* parent, const std::string& level, Translator* t)
    : SecurityBaseDlg(t, names, preselected, parent), required(level) {
  Retranslate();
}

void SecurityEntryDlg::Retranslate() {
  SecurityBaseDlg::Retranslate();
  setWindowTitle(Text(TX_SECURITY, "Security"));
  if (answering)
    explanation->setText(Text(TX_CHECKING, "Checking the password..."));
  else if (required.empty())
    explanation->setText(Text(TX_AUTHORIZATION,
                              "The correct authorization is required to perform this operation. "
                              "Please enter the required access level and password."));
  else
    explanation->setText(
        Text(TX_AUTHORIZATIONLEVEL,
             "The correct authorization is required to perform this operation: the %1 level or "
             "above. Please enter the required access level and password.")
            .arg(QString::fromStdString(required)));
}

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
  explanation->setText(Text(TX_CHECKING, "Checking the password..."));
  QTimer::singleShot(static_cast<int>(answerdelay), this, [this] { QDialog::accept(); });
}

LogOnAnswer SecurityEntryDlg::Answer() const {
  LogOnAnswer a;
  a.entry =
      accesslevel->currentIndex() < 0 ? 0 : static_cast<std::size_t>(accesslevel->currentIndex());
  a.password = password->text().toStdString();
  return a;
}

PasswordChangeDlg::PasswordChangeDlg(PasswordEditSession& s, QWidget* parent, Translator* t)
    : SecurityBaseDlg(t, s.Names(), s.Selection(), parent), session(s) {
  password->setText(QString::fromStdString(session.Password()));
  connect(accesslevel, &QComboBox::currentIndexChanged, this, &PasswordChangeDlg::UserChange);
  Retranslate();
}

void PasswordChangeDlg::Retranslate() {
  SecurityBaseDlg::Retranslate();
  // The title is the menu command that opens the dialog.
  setWindowTitle(translator != nullptr ? PlainUiText(*translator, TX_PASSWORDS, "Pass&words...")
                                       : QStringLiteral("Passwords"));
  explanation->setText(
      Text(TX_ENTERPASSWORD, "Please enter the password for the displayed access level."));
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
  SecurityEntryDlg dlg(names, preselected, parent, RequiredLevel(), translator);
  dlg.SetAnswerDelay(answerdelay);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.Answer();
}

void GuiPasswordEditor::EditPasswords(PasswordEditSession& session) {
  PasswordChangeDlg dlg(session, parent, translator);
  dlg.exec();
}

}  // namespace quillark
