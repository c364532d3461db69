#pragma once

#include <QWidget>
#include <memory>

#include "core/views/bargraph.h"

class QEvent;
class QMenu;
class QScrollArea;
class QTabBar;
class QPainter;

namespace quillark {

class TDockingApp;
class Translator;
class BargraphCanvas;
class MapPane;

// The main window's working area: every panel of the bargraph painted by one
// widget under the loop tabs. It owns the bargraph and keeps no status of
// its own; a changed panel repaints its own rectangle and nothing else.
class BargraphView : public QWidget, private BargraphObserver {
 public:
  BargraphView(TDockingApp& app, std::unique_ptr<Bargraph> bargraph, QWidget* parent = nullptr);
  ~BargraphView() override;

  Bargraph& GetBargraph() { return *bargraph; }
  // The widget the panels are painted on, in panel coordinates.
  QWidget* Canvas() const;
  QTabBar* Tabs() const { return tabs; }
  // The context menu for the current selection; choosing an entry runs its
  // command.
  std::unique_ptr<QMenu> MakeContextMenu(QWidget* parent);
  // Scrolls panel rectangle `r` into sight.
  void EnsureVisible(const QRect& r);
  // Paints one panel at its place, its words in the translator's language.
  static void PaintPanel(QPainter& p, const PanelDisp& panel, bool selected,
                         Translator& translator);

  // Map view: the same area shows the current tab's map (a loop's, the
  // site's, or every loop's side by side) instead of the panels. The
  // selection is the application's, so it is the same in both.
  void ToggleMapView();
  bool MapDisplayed() const { return mapview; }
  MapPane* Maps() const { return maps; }

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The title, the tabs and the panels' words in the current language.
  void Retranslate();
  void PanelChanged(int index) override;
  void AllChanged() override;
  void TabsChanged() override;
  void Relayout();
  void RefreshTabs();
  void ShowTabMaps();
  // The selection changed here or on a map: every view shows it.
  void ShareSelection();

  TDockingApp& app;
  std::unique_ptr<Bargraph> bargraph;
  QTabBar* tabs;
  QScrollArea* scroll;
  BargraphCanvas* canvas;
  MapPane* maps;
  bool refreshingtabs = false;
  bool mapview = false;
};

}  // namespace quillark
