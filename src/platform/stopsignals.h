#pragma once

#include <functional>

class QObject;

namespace quillark {

// Turns SIGINT, SIGTERM and SIGHUP into a call of `stop` on the event loop,
// so a stop request from the service manager, a logout or a closed terminal
// ends the program in order (logs closed, keep-alive marked stopped) instead
// of killing it in the middle of a write. The handler only writes a byte to
// a pipe; `stop` runs later on the one thread. The watcher lives as a child
// of `owner`. SIGPIPE is ignored: a closed pipe is an error to handle where
// it is written, never a reason to die. Installing twice keeps the first.
void StopOnSignals(QObject* owner, std::function<void()> stop);

}  // namespace quillark
