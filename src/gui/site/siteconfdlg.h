#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "core/site/actions.h"
#include "core/site/siteeditor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillark {

class INI;
class Prompter;
class SoundPlayer;
class TDockingApp;
class Translator;

// "Critical faults": one box per fault bit of the device's mask; a ticked
// box is a critical fault (a clear bit).
class FaultConfigDlg : public QDialog {
  Q_OBJECT

 public:
  FaultConfigDlg(DeviceConfig& device, QWidget* parent = nullptr);
  void accept() override;

 private:
  DeviceConfig& device;
  std::vector<QCheckBox*> boxes;
};

// The alarm actions of one device: a page per event its model raises, with
// its sound (Browse..., Play) and action text, "Bus reset" on the input
// pages, and "Save all" to copy the sounds and texts to every device of
// the same type.
class AlarmActionsDlg : public QDialog {
  Q_OBJECT

 public:
  AlarmActionsDlg(TSiteConfig& site, const DeviceConfig& device, Translator& translator,
                  SoundPlayer& sound, QWidget* parent = nullptr);
  void accept() override;
  AlarmActions& Sheet() { return sheet; }

 private:
  struct PageWidgets {
    QLineEdit* sound;
    QLineEdit* text;
    QCheckBox* busreset;
  };
  AlarmActions sheet;
  SoundPlayer& sound;
  std::vector<PageWidgets> widgets;
  QCheckBox* saveall;
};

// "SITECONF": the site as a tree of loops, power supplies and detectors,
// the free addresses, and the selected device's model, location, map and
// zone, on a working copy that only Ok writes to the site file.
class SiteConfigDlg : public QDialog {
  Q_OBJECT

 public:
  struct Setup {
    INI* ini = nullptr;
    Prompter* prompter = nullptr;
    Translator* translator = nullptr;
    SoundPlayer* sound = nullptr;
    // For the map setup (pictures, status colours); without it the map
    // buttons do nothing.
    TDockingApp* app = nullptr;
  };
  SiteConfigDlg(std::unique_ptr<SiteEditor> editor, const Setup& setup, QWidget* parent = nullptr);
  ~SiteConfigDlg() override;

  SiteEditor& Editor() { return *editor; }
  // How the Faults and Actions dialogs are run; modally unless told
  // otherwise (tests drive them instead).
  void SetRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }
  void accept() override;

 private:
  void LoadDeviceList();
  void SelectionChanged();
  void ShowDeviceInfo();
  void SaveDeviceInfo();
  void LoadFreeLists();
  void AddDetector();
  void AddPSU();
  void Remove();
  void Faults();
  void Actions();
  void Browse();
  // Map..., Site map..., Zone setup...: the selected device on its loop's
  // plan, the site plan or its zone's plan.
  enum class MapKind { LOOP, SITE, ZONE };
  void MapSetup(MapKind kind);
  void Refuse(int textid);
  void Run(QDialog& dialog);

  std::unique_ptr<SiteEditor> editor;
  Setup setup;
  std::function<void(QDialog&)> runner;
  bool loading = false;
  QTreeWidget* tree;
  QComboBox* freedetectors;
  QComboBox* freepsus;
  QLabel* address;
  QComboBox* model;
  QLineEdit* location;
  QLineEdit* map;
  QComboBox* zone;
};

}  // namespace quillark
