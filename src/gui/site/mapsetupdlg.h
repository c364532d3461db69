#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/site/config.h"
#include "gui/views/mapview.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quillark {

class Prompter;
class Translator;

// Browse... for a plan picture: asks with a file dialog (or `chooser`, when
// set) and refuses, with a message, a file that is not a readable bitmap.
// The answer is the name to store: the bare file name for a picture in
// `home`, as site files name theirs, else the full path; empty when nothing
// was chosen or the file was refused.
std::string ChoosePlanPicture(QWidget* parent, const QString& title, Translator& translator,
                              Prompter* prompter, const std::filesystem::path& home,
                              const std::function<QString()>& chooser);

// The map drawing of the map setup: a press on the device being placed
// drags its icon, a press anywhere else drags out its coverage area. The
// map follows the mouse as it goes (the owner stores each step in the site
// the canvas draws and reloads it).
class MapSetupCanvas : public MapCanvas {
 public:
  struct Hooks {
    // A drag has begun: the state before it is worth keeping for Undo.
    std::function<void()> begin;
    std::function<void(DeviceConfig::Point)> move;
    std::function<void(const DeviceConfig::Rect&)> area;
  };
  MapSetupCanvas(TDockingApp& app, const SiteMap::MapRef& ref, const TSiteConfig& site,
                 const DeviceConfig* device, Hooks hooks, QWidget* parent = nullptr);
  // A widget point as a map point, clipped to the plan: nothing is placed
  // or covered off the picture.
  DeviceConfig::Point ToMap(const QPoint& p) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  enum class Drag { NONE, PRESSED_ICON, PRESSED_PLAN, ICON, AREA };
  const DeviceConfig* device;
  Hooks hooks;
  Drag drag = Drag::NONE;
  QPoint from;
  DeviceConfig::Point origin;  // the device's place when its icon was pressed
};

// "ZONECONFIG": one device placed on one map of the site editor's working
// copy. It works on its own copy of that site, so Cancel leaves the editor
// as it was; Ok writes the device's position and coverage area on this map
// back into the editor's copy (which only the editor's Ok saves).
class MapSetupDlg : public QDialog {
 public:
  MapSetupDlg(TDockingApp& app, TSiteConfig& site, const DeviceConfig& device,
              const SiteMap::MapRef& ref, QWidget* parent = nullptr);

  MapSetupCanvas& Canvas() { return *canvas; }
  DeviceConfig::Point Position() const;
  DeviceConfig::Rect Area() const;
  bool CanUndo() const { return !undo.empty(); }
  void Undo();
  void accept() override;
  // Browse...: the plan's picture. How it asks for the file; a file dialog
  // unless told otherwise.
  void SetFileChooser(std::function<QString()> c) { chooser = std::move(c); }
  void Browse();
  // The plan's picture file as chosen (the map's own until Browse...).
  const std::string& MapFile() const { return ref.file; }
  // Whether Browse... chose a picture for the plan.
  bool PlanChosen() const { return browsed; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();
  void BuildCanvas();
  struct State {
    DeviceConfig::Point at;
    DeviceConfig::Rect area;
  };
  void Apply(const State& state);
  void UpdateButtons();

  TDockingApp& app;
  TSiteConfig& target;
  TSiteConfig work;
  DeviceConfig* device;
  SiteMap::MapRef ref;
  bool browsed = false;
  std::vector<State> undo;
  std::function<QString()> chooser;
  MapSetupCanvas* canvas = nullptr;
  QLabel* hint;
  QPushButton* browse;
  QPushButton* undobutton;
  QPushButton* ok;
  QPushButton* cancel;
  QVBoxLayout* layout;
};

}  // namespace quillark
