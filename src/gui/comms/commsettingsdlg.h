#pragma once

#include <QDialog>
#include <array>

#include "core/comms/commsettings.h"

class QCheckBox;
class QComboBox;
class QEvent;
class QGroupBox;
class QScrollArea;
class QShowEvent;
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

  // Sizes the ports for a screen `screenheight` pixels high (0: no limit).
  void FitPortsTo(int screenheight);

 private:
  struct Row {
    QLabel* label = nullptr;
    QComboBox* type = nullptr;
    QLineEdit* value = nullptr;
  };
  void ShowRows(int count);
  // Sets every text in the current language.
  void Retranslate();
  void changeEvent(QEvent* e) override;

  INI& ini;
  Prompter& prompter;
  Translator& translate;
  CommSettings before;
  QSpinBox* loops = nullptr;
  void showEvent(QShowEvent* event) override;
  // Sizes the scrolling ports to the rows shown and the screen.
  void FitPorts();

  std::array<Row, CommSettings::MAXLOOPS> rows{};
  QScrollArea* ports = nullptr;
  QGroupBox* portbox = nullptr;
  // Height kept for the loop count, the buffers, the buttons and the frame.
  static constexpr int RESERVEDHEIGHT = 260;
  static constexpr int MINPORTSHEIGHT = 120;
  QLineEdit* rxbuff = nullptr;
  QLineEdit* txbuff = nullptr;
  QLineEdit* timeout = nullptr;
  QCheckBox* monitor = nullptr;
  QLabel* typeheading = nullptr;
  QLabel* portheading = nullptr;
  QLabel* loopslabel = nullptr;
  QLabel* rxlabel = nullptr;
  QLabel* txlabel = nullptr;
  QLabel* timeoutlabel = nullptr;
};

}  // namespace quillark
