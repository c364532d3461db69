#pragma once

#include <QDialog>
#include <array>

#include "core/comms/commsettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace quillark {

class INI;
class Prompter;
class Translator;

// "Communications settings": how many loops there are and which port serves
// each, the port buffers, the communications failure time-out and whether the
// loops are served to the network. OK checks and stores the settings (the
// caller then opens the loops again); a value that cannot work is pointed out
// and the dialog stays open.
class CommSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // Problems are shown through `prompter`.
  CommSettingsDialog(INI& ini, Translator& translate, Prompter& prompter,
                     QWidget* parent = nullptr);

  QSpinBox* Loops() const { return loops; }
  QComboBox* PortType(int loop) const { return rows[static_cast<std::size_t>(loop)].type; }
  QLineEdit* PortValue(int loop) const { return rows[static_cast<std::size_t>(loop)].value; }
  QLineEdit* RxBuff() const { return rxbuff; }
  QLineEdit* TxBuff() const { return txbuff; }
  QLineEdit* Timeout() const { return timeout; }
  QCheckBox* Monitor() const { return monitor; }
  // The settings as the dialog shows them now.
  CommSettings Shown() const;

 public slots:
  void accept() override;

 private:
  struct Row {
    QLabel* label = nullptr;
    QComboBox* type = nullptr;
    QLineEdit* value = nullptr;
  };
  void ShowRows(int count);

  INI& ini;
  Prompter& prompter;
  CommSettings before;
  QSpinBox* loops = nullptr;
  std::array<Row, CommSettings::MAXLOOPS> rows{};
  QLineEdit* rxbuff = nullptr;
  QLineEdit* txbuff = nullptr;
  QLineEdit* timeout = nullptr;
  QCheckBox* monitor = nullptr;
};

}  // namespace quillark
