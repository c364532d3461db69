#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace quillark {

// Cuts the bytes typed at the console into command lines. A line longer than
// MAXLINE is thrown away whole, up to and including its line end: running
// only its tail would execute whatever a flood of padding happened to end
// with, so an over-long line is reported and never run.
class ConsoleLineReader {
 public:
  static constexpr std::size_t MAXLINE = 65536;

  struct Line {
    std::string text;       // without its line end (LF or CR LF)
    bool overlong = false;  // the line was discarded; `text` is empty
  };

  void Append(std::string_view bytes);
  // The next complete line, in the order typed; none until its line end came.
  std::optional<Line> Next();
  // Bytes of an unfinished line held; never more than MAXLINE.
  std::size_t Held() const { return partial.size(); }

 private:
  std::deque<Line> ready;
  std::string partial;
  bool discarding = false;
};

}  // namespace quillark
