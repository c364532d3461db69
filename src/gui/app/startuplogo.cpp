#include "gui/app/startuplogo.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

namespace quillark {

StartupLogo::StartupLogo(const QPixmap& picture, QObject* parent)
    : QObject(parent), splash(picture, Qt::WindowStaysOnTopHint) {}

StartupLogo::~StartupLogo() {
  if (filtering) qApp->removeEventFilter(this);
}

void StartupLogo::Show(int ms) {
  splash.show();
  splash.raise();
  // Watching every event costs a little, so only while the logo shows.
  qApp->installEventFilter(this);
  filtering = true;
  QTimer::singleShot(ms, this, [this] { Close(); });
}

void StartupLogo::Close() {
  splash.close();
  if (filtering) qApp->removeEventFilter(this);
  filtering = false;
}

bool StartupLogo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched != &splash &&
      qobject_cast<QDialog*>(watched) != nullptr)
    Close();
  return false;
}

}  // namespace quillark
