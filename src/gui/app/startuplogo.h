#pragma once

#include <QObject>
#include <QSplashScreen>

namespace quillark {

// The start-up logo: shown once the main window is up, it stays above it
// until its time is up or it is clicked. It never hides a message: the first
// dialog or message box to appear ends it at once, so a start-up error
// (a port that cannot be opened) is never behind the picture.
class StartupLogo : public QObject {
  Q_OBJECT

 public:
  static constexpr int SHOW_MS = 3000;

  explicit StartupLogo(const QPixmap& picture, QObject* parent = nullptr);
  ~StartupLogo() override;

  // Call after the main window was shown.
  void Show(int ms = SHOW_MS);
  bool IsShowing() const { return splash.isVisible(); }
  QSplashScreen& Splash() { return splash; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Close();

  QSplashScreen splash;
  bool filtering = false;
};

}  // namespace quillark
