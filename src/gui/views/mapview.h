#pragma once

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/views/sitemap.h"

namespace quillark {

class TDockingApp;
class TSiteConfig;

// The 32 x 32 device pictures by kind and rank: the picture file in the
// program home when it loads, else the built-in drawing of the same slot,
// used from then on without asking the disk again.
class DeviceIcons {
 public:
  explicit DeviceIcons(std::filesystem::path home) : home(std::move(home)) {}
  const QImage& Picture(devicetype kind, SiteMap::Rank rank);
  bool IsMissing(const std::string& file) const;
  static QImage BuiltIn(devicetype kind, SiteMap::Rank rank);

 private:
  std::filesystem::path home;
  std::map<std::string, QImage> pictures;
  std::map<std::string, bool> missing;
};

// One map drawn: the floor plan scaled into the widget, a coverage area and
// an icon per device coloured by its status, and the shared selection. It
// keeps the bits each device was drawn with, so that a status change
// repaints that device's icon and nothing else.
class MapCanvas : public QWidget {
 public:
  // `site` is drawn instead of the program's site when given (the site
  // editor's working copy); it must outlive the canvas.
  MapCanvas(TDockingApp& app, const SiteMap::MapRef& ref, QWidget* parent = nullptr,
            const TSiteConfig* site = nullptr);

  const SiteMap::MapRef& Ref() const { return ref; }
  // Why the map's picture is not shown ("Map not defined" when it has none).
  const std::string& Problem() const { return problem; }
  bool HasBitmap() const { return !bitmap.isNull(); }
  std::size_t DeviceCount() const { return items.size(); }
  // Repaints the devices whose status or fault bits changed since they were
  // last drawn; returns the area asked to be repainted.
  QRect RenderChangedDevices();
  // Where a device's icon and label are, in widget coordinates; empty when
  // the map does not show it.
  QRect DeviceRect(int device) const;
  QRect IconRect(int device) const;
  // Told after this map changed the shared selection.
  void SetSelectionHook(std::function<void()> hook) { selectionhook = std::move(hook); }
  // The device under a widget point, or -1.
  int DeviceAt(const QPoint& p) const;
  // Selects like a click: `toggle` is a Ctrl+click.
  void SelectAt(const QPoint& p, bool toggle);
  // Paints the whole map on `p` (a widget or an off-screen picture).
  void PaintMap(QPainter& p, const QRect& exposed);
  // Reads the devices' places and areas from the site again and repaints.
  void Reload();
  // The device number drawn for `config`, or -1 when the map does not show it.
  int DeviceOf(const DeviceConfig* config) const;
  // Frames `device` instead of the shared selection (-1: the selection again).
  void SetMarked(int device);
  // The plan's size in map pixels (640 x 480 without a picture) and how it
  // is scaled into the widget now.
  QSize MapSize() const;
  SiteMap::MapScale Scale() const;

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Placed {
    SiteMap::Item item;
    QRect icon, label, area;  // widget coordinates; area empty without one
  };
  // Lays the map out for the widget's size when that changed (a hidden
  // widget is resized without a resize event).
  void Relayout() const;
  void SelectionChanged();
  const Placed* Find(int device) const;
  const TSiteConfig* Site() const;

  TDockingApp& app;
  SiteMap::MapRef ref;
  std::string problem;
  QImage bitmap;
  std::vector<SiteMap::Item> items;
  mutable QSize laidout;
  mutable QPixmap scaled;  // the plan at the widget's size, drawn once per size
  mutable QRect picture;
  mutable std::vector<Placed> placed;
  MapStatusMemory drawn;
  DeviceIcons icons;
  std::function<void()> selectionhook;
  const TSiteConfig* source = nullptr;
  int marked = -1;
  QPoint start, current;
  bool pressed = false, dragging = false;
};

// Several maps in one widget, side by side: the main display's map view,
// showing the map of the current tab, or every loop's map for "All loops".
class MapPane : public QWidget {
 public:
  MapPane(TDockingApp& app, QWidget* parent = nullptr);
  void Show(const std::vector<SiteMap::MapRef>& refs);
  const std::vector<MapCanvas*>& Canvases() const { return canvases; }
  void SetSelectionHook(std::function<void()> hook);
  // Repaints the selection on every map.
  void SelectionChanged();
  QRect RenderChangedDevices();

 private:
  TDockingApp& app;
  std::vector<MapCanvas*> canvases;
  std::function<void()> selectionhook;
  QTimer timer;
};

// A map window (ViewMap, ViewZone): one map, titled by whose it is, that
// redraws its changed devices on its timer.
class MapView : public QWidget {
 public:
  MapView(TDockingApp& app, const SiteMap::MapRef& ref, QWidget* parent = nullptr);
  MapCanvas& Canvas() { return *canvas; }
  // Opens (or brings up) the window of `ref`; a refused picture is said in
  // a message box, the window still shows the devices.
  static MapView* Open(TDockingApp& app, const SiteMap::MapRef& ref, QWidget* parent,
                       std::function<void()> selectionhook);
  // The map windows open over `parent`.
  static std::vector<MapView*> Windows(const QWidget* parent);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // The title in the current language; again after a change.
  void Retranslate();

  TDockingApp& app;
  SiteMap::MapRef ref;
  MapCanvas* canvas;
  QTimer timer;
};

// The site map picture named by the settings ("Maps"/"Site"), in the
// program home unless a path; empty when none is set.
std::string SiteMapFile(TDockingApp& app);

}  // namespace quillark
