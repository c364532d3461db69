#include "gui/common/windowplacekeeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "core/common/ini.h"
#include "core/common/windowplace.h"

namespace quillark {
namespace {

constexpr const char* SECTION = "Windows";

std::vector<WindowRect> Screens() {
  std::vector<WindowRect> out;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary != nullptr) {
    const QRect a = primary->availableGeometry();
    out.push_back({a.x(), a.y(), a.width(), a.height()});
  }
  for (const QScreen* s : QGuiApplication::screens()) {
    if (s == primary) continue;
    const QRect a = s->availableGeometry();
    out.push_back({a.x(), a.y(), a.width(), a.height()});
  }
  return out;
}

}  // namespace

WindowPlaceKeeper::WindowPlaceKeeper(QWidget& w, INI& i, std::string k)
    : QObject(&w), window(w), ini(i), key(std::move(k)) {
  Restore(window, ini, key);
  window.installEventFilter(this);
}

bool WindowPlaceKeeper::Restore(QWidget& window, INI& ini, const std::string& key) {
  const auto kept = ParseWindowRect(ini.ReadString(SECTION, key, ""));
  if (!kept) return false;
  const WindowRect r = PlaceOnScreens(*kept, Screens());
  window.setGeometry(r.x, r.y, r.w, r.h);
  return true;
}

void WindowPlaceKeeper::Save(const QWidget& window, INI& ini, const std::string& key) {
  // A maximised or minimised window keeps the place it returns to.
  const QRect g =
      window.isMaximized() || window.isMinimized() ? window.normalGeometry() : window.geometry();
  if (g.width() <= 0 || g.height() <= 0) return;
  ini.WriteString(SECTION, key, FormatWindowRect({g.x(), g.y(), g.width(), g.height()}));
}

bool WindowPlaceKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window && (event->type() == QEvent::Hide || event->type() == QEvent::Close))
    Save(window, ini, key);
  return QObject::eventFilter(watched, event);
}

}  // namespace quillark
