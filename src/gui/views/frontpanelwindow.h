#pragma once

#include <QDialog>
#include <QPixmap>
#include <memory>

class QEvent;
class QPushButton;

namespace quillark {

class FrontPanelSource;
class TDockingApp;

// A detector as its real front panel: the panel picture ("mimic.bmp" in the
// program home, else one drawn here) with the detector's panel display laid
// over it, and Isolate and Reset buttons acting on that detector. Modeless:
// it stays open beside the main window.
class FrontPanelWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int WIDTH = 184;
  static constexpr int HEIGHT = 450;
  static constexpr int PICTUREHEIGHT = 330;

  FrontPanelWindow(TDockingApp& app, int device, QWidget* parent = nullptr);
  ~FrontPanelWindow() override;

  FrontPanelSource& Source() { return *source; }
  QPushButton* IsolateButton() const { return isolate; }
  QPushButton* ResetButton() const { return reset; }

  // FRONTPANEL: the window for the selected detector, when the operator may
  // see it; null when there is none to show.
  static FrontPanelWindow* Open(TDockingApp& app, QWidget* parent);

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Every text of the window in the current language; again after a change.
  void Retranslate();
  QString Text(int id, const char* english) const;
  void PlaceButtons();
  void Refresh();

  TDockingApp& app;
  std::unique_ptr<FrontPanelSource> source;
  QPixmap picture;
  QPushButton* isolate = nullptr;
  QPushButton* reset = nullptr;
  QPushButton* closebutton = nullptr;
};

}  // namespace quillark
