#include "core/app/consolelinereader.h"

namespace quillark {

void ConsoleLineReader::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto nl = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, nl);
    if (!discarding) {
      if (partial.size() + piece.size() > MAXLINE) {
        // Too long already: nothing of this line may run, its end included.
        partial.clear();
        discarding = true;
      } else {
        partial.append(piece);
      }
    }
    if (nl == std::string_view::npos) return;
    bytes.remove_prefix(nl + 1);
    if (discarding) {
      ready.push_back({std::string(), true});
      discarding = false;
      continue;
    }
    if (!partial.empty() && partial.back() == '\r') partial.pop_back();
    ready.push_back({std::move(partial), false});
    partial.clear();
  }
}

std::optional<ConsoleLineReader::Line> ConsoleLineReader::Next() {
  if (ready.empty()) return std::nullopt;
  Line line = std::move(ready.front());
  ready.pop_front();
  return line;
}

}  // namespace quillark
