#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillark {

class EMail;
class INI;
class Page;
class ProgramLauncher;
class Prompter;
class Translator;

// "E-mail settings": the recipient and the enable box. OK stores both and
// makes the mailer again from them; Cancel changes nothing.
class EmailSetupDialog : public QDialog {
  Q_OBJECT

 public:
  // `mailer` (may be null) is made again on OK; problems are shown through
  // `prompter`.
  EmailSetupDialog(INI& ini, EMail* mailer, Prompter& prompter, Translator& translator,
                   QWidget* parent = nullptr);

  QLineEdit* Recipient() const { return recipient; }
  QCheckBox* Enable() const { return enable; }

 public slots:
  void accept() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  INI& ini;
  EMail* mailer;
  Prompter& prompter;
  Translator& translate;
  QLineEdit* recipient = nullptr;
  QCheckBox* enable = nullptr;
  QLabel* recipientlabel = nullptr;
};

// "Pager settings": call centre, password, pager number, baud rate, format,
// port and the enable box. OK and Apply store all seven settings; Test
// stores them and sends "Test message" to the pager.
class PagerSetupDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int HELPCONTEXT = 109;

  // `pager` (may be null) reads the settings again once they are stored;
  // the test page goes through a pager of its own made from `launcher`,
  // `prompter` and `home`.
  PagerSetupDialog(INI& ini, Page* pager, ProgramLauncher& launcher, Prompter& prompter,
                   Translator& translator, std::filesystem::path home, QWidget* parent = nullptr);
  ~PagerSetupDialog() override;

  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }

  QLineEdit* CallCentre() const { return callcentre; }
  QLineEdit* Password() const { return password; }
  QLineEdit* PagerNumber() const { return pagernumber; }
  QComboBox* BaudRate() const { return baudrate; }
  QComboBox* Format() const { return format; }
  QComboBox* Port() const { return port; }
  QCheckBox* Enable() const { return enable; }
  QPushButton* ApplyButton() const { return applybutton; }
  QPushButton* TestButton() const { return testbutton; }
  QPushButton* HelpButton() const { return helpbutton; }

  // Stores the seven settings; false (and said so) when they could not be.
  bool Apply();
  // Stores the settings and sends the test page through a pager of its own;
  // the outcome is reported when the pager program ends, and Test stays
  // disabled meanwhile. False when the settings could not be stored.
  bool Test();
  bool IsTesting() const { return tester != nullptr; }

 public slots:
  void accept() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  INI& ini;
  Page* pager;
  ProgramLauncher& launcher;
  Prompter& prompter;
  Translator& translate;
  std::filesystem::path home;
  QLineEdit* callcentre = nullptr;
  QLineEdit* password = nullptr;
  QLineEdit* pagernumber = nullptr;
  QComboBox* baudrate = nullptr;
  QComboBox* format = nullptr;
  QComboBox* port = nullptr;
  QCheckBox* enable = nullptr;
  QPushButton* applybutton = nullptr;
  QPushButton* testbutton = nullptr;
  QPushButton* helpbutton = nullptr;
  // Call centre, password, pager number, baud rate, format, port.
  std::array<QLabel*, 6> labels{};
  std::function<void(int)> help;
  std::unique_ptr<Page> tester;
};

}  // namespace quillark
