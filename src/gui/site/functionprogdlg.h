#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/site/fnpages.h"

class QCheckBox;
class QComboBox;
class QEvent;
class QFormLayout;
class QLabel;
class QPushButton;
class QTabWidget;

namespace quillark {

class BusHost;
class FunctionLink;
class Prompter;
class TSiteConfig;
class Translator;

// "Device settings": the functions of one device on one tab per page of its
// model, the information page first. The pages' rules live in the page
// records; each tab only copies its controls to and from them. OK applies
// every page and writes the changes to the device and the file; Cancel
// writes nothing. Every text follows the operator's language at once: the
// pages relabel their controls and keep what was typed but not applied.
class FunctionProgDlg : public QDialog {
  Q_OBJECT

 public:
  struct Setup {
    BusHost* bus = nullptr;             // null: the file alone ("offline")
    const TSiteConfig* site = nullptr;  // fills the device selector
    Translator* translator = nullptr;
    Prompter* prompter = nullptr;
    int device = 1;
    int model = DEFAULT_DETECTOR;
    std::string file;  // the function settings file, or empty
  };
  explicit FunctionProgDlg(const Setup& setup, QWidget* parent = nullptr);
  ~FunctionProgDlg() override;

  // The first device of an offline file worth showing: the first command
  // module, detector or power supply whose model has pages, else the first.
  static int PickDevice(const std::string& filetext, int kindmodel);

  QTabWidget* Pages() const { return tabs; }
  const FunctionLink& Link() const { return *link; }
  void accept() override;
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  friend class FnSheetPage;
  struct Control {
    QWidget* widget = nullptr;
    std::vector<QCheckBox*> bits;
  };
  struct Tab {
    FnPage page;
    std::vector<FnEntry> entries;
    std::vector<Control> controls;
    QWidget* widget = nullptr;
    QFormLayout* form = nullptr;
    QPushButton* scan = nullptr;
    QPushButton* allcells = nullptr;
    QPushButton* nocells = nullptr;
  };

  // The table of texts in the operator's language (English without one).
  Translator& Words() const;
  QString Text(int id, const char* english) const;
  // The window's own texts; the pages retranslate themselves.
  void Retranslate();
  // The page of `widget` takes its labels in the new language; values the
  // operator typed stay in their controls.
  void RetranslatePage(const QWidget* widget);
  // A read-only value as shown, "not set" in the operator's language.
  QString Shown(const FnControl& c, const FnEntry& e) const;
  void BuildPages();
  void BuildTab(Tab& tab);
  // The array page's All cells and No cells, and cells named by address.
  void AddArrayButtons(Tab& tab, QFormLayout& form);
  void LoadDlg();
  void ApplyAll();
  void StartRead();
  void DeviceChanged(int index);
  void Tell(const std::string& text, bool stop);

  Setup setup;
  std::unique_ptr<Translator> english;  // when the setup has no translator
  std::unique_ptr<FunctionLink> link;
  QLabel* devicelabel = nullptr;
  QComboBox* selector = nullptr;
  QCheckBox* saveall = nullptr;
  QCheckBox* modified = nullptr;
  QTabWidget* tabs = nullptr;
  std::vector<std::unique_ptr<Tab>> pages;
  std::vector<int> selectordevices;
  bool loading = false;
  int builtmodel = -1;
  int builtversion = -1;
};

}  // namespace quillark
