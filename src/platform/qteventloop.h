#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <unordered_map>
#include <vector>

#include "core/platform/eventloop.h"

class QEventLoop;

namespace quillark {

// The event loop of the running program, on Qt's main thread.
class QtEventLoop : public QObject, public EventLoop {
  Q_OBJECT
 public:
  explicit QtEventLoop(QObject* parent = nullptr);
  ~QtEventLoop() override;

  std::uint32_t TickCount() const override;
  std::time_t Now() const override;
  void Post(std::function<void()> fn) override;
  void Wait(std::uint32_t ms) override;
  void RunUntil(const std::function<bool()>& done) override;
  bool ShuttingDown() const override { return shuttingdown; }

  // Ends every nested wait at once and makes later waits return immediately.
  void BeginShutdown();

 protected:
  std::uint64_t AddTimer(std::uint32_t ms, bool repeating, std::function<void()> fn) override;
  void RemoveTimer(std::uint64_t id) override;
  bool IsTimerActive(std::uint64_t id) const override;

 private:
  QElapsedTimer clock;
  std::uint32_t tickbase;
  std::uint64_t nextid = 1;
  std::unordered_map<std::uint64_t, QTimer*> timers;
  std::vector<QPointer<QEventLoop>> nested;
  bool shuttingdown = false;
};

}  // namespace quillark
