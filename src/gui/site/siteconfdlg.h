#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/site/actions.h"
#include "core/site/siteeditor.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
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
  FaultConfigDlg(DeviceConfig& device, Translator& translator, QWidget* parent = nullptr);
  void accept() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  DeviceConfig& device;
  Translator& translator;
  std::vector<QCheckBox*> boxes;
  QPushButton* ok;
  QPushButton* cancel;
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

 protected:
  void changeEvent(QEvent* e) override;

 private:
  class Page;
  void Retranslate();

  AlarmActions sheet;
  Translator& translator;
  SoundPlayer& sound;
  devicetype kind = DETECTOR;
  std::uint32_t deviceaddress = 0;
  std::vector<Page*> pages;
  QLabel* noevents = nullptr;
  QCheckBox* saveall;
  QPushButton* ok;
  QPushButton* cancel;
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
    // Help... asks for the editor's help page with this.
    std::function<void(int)> help;
  };
  // The help page of the editor.
  static constexpr int HELPCONTEXT = 110;
  SiteConfigDlg(std::unique_ptr<SiteEditor> editor, const Setup& setup, QWidget* parent = nullptr);
  ~SiteConfigDlg() override;

  SiteEditor& Editor() { return *editor; }
  // How the Faults and Actions dialogs are run; modally unless told
  // otherwise (tests drive them instead).
  void SetRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }
  // How Browse... asks for a map file; a file dialog unless told otherwise.
  void SetFileChooser(std::function<QString()> c) { chooser = std::move(c); }
  void accept() override;
  // Less << and More >>: whether the full view is shown.
  bool IsFull() const { return full; }
  void SetFull(bool on);

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  void EditFunctions();
  void Zones();
  void Help();
  void ShowPreview();
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
  void Refuse(int textid, const char* english);
  void Run(QDialog& dialog);
  QString T(int id, const char* english) const;

  std::unique_ptr<SiteEditor> editor;
  Setup setup;
  std::function<void(QDialog&)> runner;
  std::function<QString()> chooser;
  bool loading = false;
  bool full = true;
  QFormLayout* form;
  QLayout* maprow;  // the map file's row of the form: the full view's
  QWidget* extra;   // what only the full view shows
  QLabel* preview;
  // Labels and buttons whose text is one table text.
  struct Text {
    QWidget* widget;
    int id;
    const char* english;
  };
  std::vector<Text> texts;
  QPushButton* less;
  QPushButton* more;
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
