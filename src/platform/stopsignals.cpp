#include "platform/stopsignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <utility>

namespace quillark {
namespace {

int signalpipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  // Nothing else is safe in a signal handler; the event loop does the rest.
  // A full pipe already holds a pending stop, so a failed write loses nothing.
  [[maybe_unused]] auto n = write(signalpipe[1], &c, 1);
}

}  // namespace

void StopOnSignals(QObject* owner, std::function<void()> stop) {
  std::signal(SIGPIPE, SIG_IGN);
  if (signalpipe[0] >= 0 || pipe(signalpipe) != 0) return;
  fcntl(signalpipe[1], F_SETFL, fcntl(signalpipe[1], F_GETFL) | O_NONBLOCK);
  auto* notifier = new QSocketNotifier(signalpipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [stop = std::move(stop)] {
    char c;
    [[maybe_unused]] auto n = read(signalpipe[0], &c, 1);
    stop();
  });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);
}

}  // namespace quillark
