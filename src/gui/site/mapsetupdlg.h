#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/site/config.h"
#include "gui/views/mapview.h"

class QLabel;
class QPushButton;

namespace quillark {

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

 private:
  struct State {
    DeviceConfig::Point at;
    DeviceConfig::Rect area;
  };
  void Apply(const State& state);
  void UpdateButtons();

  TSiteConfig& target;
  TSiteConfig work;
  DeviceConfig* device;
  SiteMap::MapRef ref;
  std::vector<State> undo;
  MapSetupCanvas* canvas;
  QPushButton* undobutton;
};

}  // namespace quillark
