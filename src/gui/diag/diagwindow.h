#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/common/progressdialog.h"

class QCheckBox;
class QEvent;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace quillark {

class ContRead;
class DeviceTransfer;
class Diag;
class Diagnose;
class RelayTest;
class TDockingApp;
class Translator;

// The diagnostics list: every device answering on the loops (or the one
// device asked for) with type, firmware, self-test state and text, and the
// three tests of the selected row, which are enabled only while a row is
// selected.
class DiagWindow : public QDialog {
  Q_OBJECT
 public:
  // `single` is the one device to list, or -1 for every device.
  DiagWindow(TDockingApp& app, int single, QWidget* parent = nullptr);
  ~DiagWindow() override;

  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  // How the test dialogs are run; modally unless told otherwise (tests look
  // at them instead).
  void SetDialogRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }
  // Where Save As writes, asked of the operator unless told otherwise.
  void SetFileChooser(std::function<std::string()> c) { choosefile = std::move(c); }

  // Clears the list and scans the loops, showing the scan's progress.
  void Scan();
  void Diagnostics();
  void Read();
  void Relays();
  void Save();
  void Print();

  QListWidget* List() const { return list; }
  Diag& Core() const { return *diag; }
  QPushButton* TestButton(int index) const { return tests[index]; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  // Every text of the window in the current language; again after a change.
  void Retranslate();
  void Fill();
  void Selected();
  int SelectedDevice() const;
  void RunDialog(QDialog& dialog);
  QString Text(int id) const;

  TDockingApp& app;
  // Who opened the window: the record names whoever was allowed in, not
  // whoever holds the level when it closes (a timed-out level may have
  // dropped by then).
  std::string opener;
  std::unique_ptr<Diag> diag;
  QListWidget* list;
  QLabel* header;
  QPushButton* tests[3];
  // The buttons and their texts' numbers.
  std::vector<std::pair<QPushButton*, int>> buttons;
  std::function<void(int)> help;
  std::function<void(QDialog&)> runner;
  std::function<std::string()> choosefile;
};

// The self-test of one device: its state in words and a gauge over the ten
// parts, polled until it ends; what got no answer is said in the window.
class SelfTestDialog : public QDialog {
  Q_OBJECT
 public:
  SelfTestDialog(TDockingApp& app, int device, QWidget* parent = nullptr);
  ~SelfTestDialog() override;
  Diagnose& Core() const { return *test; }
  QLabel* Status() const { return status; }
  QProgressBar* Gauge() const { return gauge; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  void Follow();
  TDockingApp& app;
  int device;
  QPushButton* closebutton;
  std::unique_ptr<Diagnose> test;
  QLabel* status;
  QProgressBar* gauge;
};

// The detector level and four pipe flows of one device, read every 1.5 s.
class ReadDialog : public QDialog {
  Q_OBJECT
 public:
  ReadDialog(TDockingApp& app, int device, QWidget* parent = nullptr);
  ~ReadDialog() override;
  ContRead& Core() const { return *read; }
  QLabel* Field(int index) const { return fields[index]; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  TDockingApp& app;
  int device;
  QPushButton* closebutton;
  QLabel* names[5];
  std::unique_ptr<ContRead> read;
  QLabel* fields[5];
};

// The relays of one device, driven by hand: each box sends the whole mask.
class RelayDialog : public QDialog {
  Q_OBJECT
 public:
  RelayDialog(TDockingApp& app, int device, QWidget* parent = nullptr);
  ~RelayDialog() override;
  RelayTest& Core() const { return *relays; }
  QCheckBox* Box(int index) const { return boxes[index]; }
  QLabel* Problem() const { return problem; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  TDockingApp& app;
  int device;
  QPushButton* closebutton;
  std::unique_ptr<RelayTest> relays;
  QCheckBox* boxes[5];
  QLabel* problem;
};

// The progress of a language text or logo transfer, with Cancel; closes
// itself when the transfer ends.
class TransferDialog : public ProgressDialog {
  Q_OBJECT
 public:
  TransferDialog(DeviceTransfer& transfer, const std::string& text, Translator& translator,
                 QWidget* parent = nullptr);
  ~TransferDialog() override;
  QProgressBar* Gauge() const { return gauge; }

 public slots:
  void reject() override;

 private:
  void Follow();
  DeviceTransfer& transfer;
};

// The ways into diagnostics and the transfers: DIAGNOSTICS for every
// device, SINGLEDIAGNOSTICS for the selected one, and opening .ilt and .lgo
// files. The handlers go when this object goes.
class DiagCommands {
 public:
  DiagCommands(TDockingApp& app, QWidget* parent);
  ~DiagCommands();
  DiagCommands(const DiagCommands&) = delete;
  DiagCommands& operator=(const DiagCommands&) = delete;

  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  // How a window is run once set up; modally unless told otherwise.
  void SetRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }

  void Show(int single);
  void SendFile(int type, const std::string& path);

 private:
  TDockingApp& app;
  QWidget* parent;
  std::function<void(int)> help;
  std::function<void(QDialog&)> runner;
};

}  // namespace quillark
