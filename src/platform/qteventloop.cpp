#include "platform/qteventloop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>

namespace quillark {

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {
  clock.start();
  // Start the tick counter where the system's monotonic clock stands, like a
  // real tick count, so wrap-around is as likely here as anywhere.
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  tickbase = static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  if (QCoreApplication::instance() != nullptr)
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &QtEventLoop::BeginShutdown);
}

QtEventLoop::~QtEventLoop() {
  for (auto& [id, timer] : timers) delete timer;
}

std::uint32_t QtEventLoop::TickCount() const {
  return tickbase + static_cast<std::uint32_t>(clock.elapsed());
}

std::time_t QtEventLoop::Now() const {
  return std::time(nullptr);
}

void QtEventLoop::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

std::uint64_t QtEventLoop::AddTimer(std::uint32_t ms, bool repeating, std::function<void()> fn) {
  std::uint64_t id = nextid++;
  auto* timer = new QTimer(this);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setSingleShot(!repeating);
  timer->setInterval(static_cast<int>(ms));
  connect(timer, &QTimer::timeout, this, [this, id, repeating, fn = std::move(fn)]() {
    if (!repeating) {
      // Forget a single-shot timer before its callback, which may start another.
      auto it = timers.find(id);
      if (it != timers.end()) {
        it->second->deleteLater();
        timers.erase(it);
      }
    }
    fn();
  });
  timers[id] = timer;
  timer->start();
  return id;
}

void QtEventLoop::RemoveTimer(std::uint64_t id) {
  auto it = timers.find(id);
  if (it == timers.end()) return;
  it->second->stop();
  it->second->deleteLater();
  timers.erase(it);
}

bool QtEventLoop::IsTimerActive(std::uint64_t id) const {
  return timers.count(id) != 0;
}

void QtEventLoop::Wait(std::uint32_t ms) {
  if (shuttingdown) return;
  QEventLoop loop;
  nested.emplace_back(&loop);
  QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  nested.pop_back();
}

void QtEventLoop::RunUntil(const std::function<bool()>& done) {
  while (!shuttingdown && !done())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void QtEventLoop::BeginShutdown() {
  shuttingdown = true;
  for (auto& loop : nested)
    if (loop) loop->quit();
}

}  // namespace quillark
