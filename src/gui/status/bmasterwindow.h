#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QDialogButtonBox;
class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillark {

class PCcommandModule;

// The "Command module settings" window of the PC bus master. Its entries
// show the bus master's settings and the last poll cycle; OK takes the
// one-at-a-time choice, restarts the poll statistics and resumes polling,
// Cancel only resumes it.
class CommandModuleWindow : public QDialog {
  Q_OBJECT

 public:
  enum Control : int {
    IDC_BUSMASTER = 1101,
    IDC_FASTPOLL = 1102,
    IDC_ECHO = 1103,
    IDC_ONEATATIME = 1104,
    IDC_TIMEOUT = 601,
    IDC_HELP = 301,
  };
  static constexpr int HELPCONTEXT = 108;

  // Created hidden; `busmaster` must outlive the window.
  explicit CommandModuleWindow(PCcommandModule& busmaster, QWidget* parent = nullptr);

  // The "COMMANDMODULE" command after the bus master has paused polling:
  // fills the entries and shows the window restored.
  void Setup();
  // Help asks for HELPCONTEXT here; without a handler it does nothing.
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }

  QCheckBox* BusMasterBox() const { return busmasterbox; }
  QCheckBox* FastPollBox() const { return fastpollbox; }
  QCheckBox* EchoBox() const { return echobox; }
  QCheckBox* OneAtATimeBox() const { return oneatatimebox; }
  QLabel* CycleLabel() const { return cyclelabel; }
  QLineEdit* Timeout() const { return timeout; }
  QPushButton* HelpButton() const { return helpbutton; }

 public slots:
  void accept() override;
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  // Every text of the window in the current language; again after a change.
  void Retranslate();
  QString Text(int id, const char* english) const;
  void Fill();

  PCcommandModule& busmaster;
  QCheckBox* busmasterbox = nullptr;
  QCheckBox* fastpollbox = nullptr;
  QCheckBox* echobox = nullptr;
  QCheckBox* oneatatimebox = nullptr;
  QLabel* cyclelabel = nullptr;
  QLabel* timeoutlabel = nullptr;
  QLabel* note = nullptr;
  QDialogButtonBox* box = nullptr;
  QLineEdit* timeout = nullptr;
  QPushButton* helpbutton = nullptr;
  std::function<void(int)> help;
};

}  // namespace quillark
