#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/site/fnpages.h"

class QCheckBox;
class QFormLayout;
class QComboBox;
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
// writes nothing.
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

 private:
  struct Control {
    QWidget* widget = nullptr;
    std::vector<QCheckBox*> bits;
  };
  struct Tab {
    FnPage page;
    std::vector<FnEntry> entries;
    std::vector<Control> controls;
  };

  void BuildPages();
  QWidget* BuildTab(Tab& tab);
  // The array page's All cells and No cells, and cells named by address.
  void AddArrayButtons(Tab& tab, QFormLayout& form);
  void LoadDlg();
  void ApplyAll();
  void StartRead();
  void DeviceChanged(int index);
  void Tell(const std::string& text, bool stop);

  Setup setup;
  std::unique_ptr<FunctionLink> link;
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
