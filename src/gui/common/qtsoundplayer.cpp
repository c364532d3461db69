#include "gui/common/qtsoundplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>

namespace quillark {

void QtSoundPlayer::Play(const std::filesystem::path& file, bool synchronous) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return;
  effect.stop();
  effect.setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
  effect.play();
  if (!synchronous) return;
  // A synchronous sound never holds the program for more than a few seconds.
  QElapsedTimer waited;
  waited.start();
  while (effect.isPlaying() && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
}

}  // namespace quillark
