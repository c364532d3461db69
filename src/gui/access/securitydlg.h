#pragma once

#include <QDialog>
#include <QPointer>
#include <cstddef>
#include <string>
#include <vector>

#include "core/access/logonprompt.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace quillark {

class Translator;

// Centres `w` on its screen; a window taller than the screen goes to the top.
void CentreOnScreen(QWidget& w);

// What the log-on and password dialogs share: an "Access level" drop-down of
// account names, a masked "Password" box, an explanation, OK and Cancel.
class SecurityBaseDlg : public QDialog {
  Q_OBJECT

 public:
  QComboBox* AccessLevel() const { return accesslevel; }
  QLineEdit* Password() const { return password; }
  QLabel* Explanation() const { return explanation; }

 protected:
  // The texts come from `translator` (English without one); Retranslate()
  // sets them, and again on a language change.
  SecurityBaseDlg(Translator* translator, const std::vector<std::string>& names,
                  std::size_t selection, QWidget* parent);
  void showEvent(QShowEvent* e) override;
  void changeEvent(QEvent* e) override;
  virtual void Retranslate();
  // Text `id` of the table, or `english` without a translator.
  QString Text(int id, const char* english) const;

  Translator* translator = nullptr;
  QLabel* levellabel = nullptr;
  QLabel* passwordlabel = nullptr;
  QComboBox* accesslevel = nullptr;
  QLineEdit* password = nullptr;
  QLabel* explanation = nullptr;
};

// Asks for an account and its password before a guarded command. It only
// collects the answer; Security decides whether the password is right.
class SecurityEntryDlg : public SecurityBaseDlg {
  Q_OBJECT

 public:
  // `required` names the level the operation needs; empty when unknown.
  SecurityEntryDlg(const std::vector<std::string>& names, std::size_t preselected,
                   QWidget* parent = nullptr, const std::string& required = {},
                   Translator* translator = nullptr);
  LogOnAnswer Answer() const;
  // OK is answered only after `ms` (repeated failures); the dialog stays live.
  void SetAnswerDelay(std::uint32_t ms) { answerdelay = ms; }
  bool Answering() const { return answering; }

 public slots:
  void accept() override;

 protected:
  void Retranslate() override;

 private:
  std::string required;
  std::uint32_t answerdelay = 0;
  bool answering = false;
};

// Edits the passwords of the accounts through a PasswordEditSession: moving
// to another account keeps the text typed for the one left, OK writes them
// all and closes, Cancel writes nothing. A text the session refuses keeps the dialog where
// it was.
class PasswordChangeDlg : public SecurityBaseDlg {
  Q_OBJECT

 public:
  explicit PasswordChangeDlg(PasswordEditSession& session, QWidget* parent = nullptr,
                             Translator* translator = nullptr);

 public slots:
  void accept() override;

 protected:
  void Retranslate() override;

 private:
  void UserChange(int index);
  void ShowSession();

  PasswordEditSession& session;
};

// The dialogs as Security asks for them, modal over `parent`.
class GuiLogOnPrompt : public LogOnPrompt {
 public:
  explicit GuiLogOnPrompt(QWidget* parent = nullptr, Translator* translator = nullptr)
      : parent(parent), translator(translator) {}
  void SetParent(QWidget* p) { parent = p; }
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>& names,
                                         std::size_t preselected) override;
  void SetAnswerDelay(std::uint32_t ms) override { answerdelay = ms; }

 private:
  QPointer<QWidget> parent;
  Translator* translator;
  std::uint32_t answerdelay = 0;
};

class GuiPasswordEditor : public PasswordEditor {
 public:
  explicit GuiPasswordEditor(QWidget* parent = nullptr, Translator* translator = nullptr)
      : parent(parent), translator(translator) {}
  void SetParent(QWidget* p) { parent = p; }
  void EditPasswords(PasswordEditSession& session) override;

 private:
  QPointer<QWidget> parent;
  Translator* translator;
};

}  // namespace quillark
