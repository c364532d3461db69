#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/comms/msgclass.h"

namespace quillark {

// Text lines packed into large shared blocks: a line costs its characters and
// an 8-byte reference, so an hour of every frame on sixteen loops stays a few
// tens of megabytes. Lines are only ever appended or all cleared.
class LineStore {
 public:
  static constexpr std::size_t BLOCK = 64 * 1024;
  // Longer lines are cut; the viewer's lines are far shorter.
  static constexpr std::size_t MAXLINE = 1024;

  void Append(std::string_view line);
  void Clear();
  std::size_t Size() const { return refs.size(); }
  std::string_view At(std::size_t index) const;
  // Bytes held for the text and the references.
  std::size_t MemoryUse() const;

 private:
  struct Ref {
    std::uint32_t block;
    std::uint16_t offset;
    std::uint16_t length;
  };
  std::vector<std::unique_ptr<char[]>> blocks;
  std::size_t used = BLOCK;  // characters used in the last block
  std::deque<Ref> refs;
};

// The bus viewer without its window: every frame heard on a port or sent by
// the program while it is open, one line each (long frames go on over
// continuation lines), with the frame kind and the check sum worked out from
// the frame itself. The application hands it frames for as long as it is its
// bus viewer: from construction until Close() or destruction.
//
// A line reads "1-005  CM sh->DET\t00 ?05...": loop and address, the kind
// label, the computed check sum (00 for short polls, which carry none), the
// start character with the address in hex, then the frame from its command
// letter. Short polls and short answers are listed only while fast polls are
// shown, which is off at first.
class BusDisp : public MsgClass {
 public:
  // Characters of the frame on the first line and on each continuation line,
  // and the indent of continuation lines.
  static constexpr std::size_t FIRSTPART = 40;
  static constexpr std::size_t CONTINUATION = 42;
  static constexpr std::size_t INDENT = 28;
  // Good and bad counts are halved whenever one passes this, so the error rate
  // follows the recent traffic.
  static constexpr unsigned HALVEAT = 127;

  // Becomes the application's bus viewer (`app` may be null: nothing to tell).
  explicit BusDisp(BusHost* app);
  ~BusDisp() override;

  void MsgRx(int loop, const char* msg) override { AddItem(loop, msg); }
  // Lists one frame; `msg` ends at its first CR or its NUL.
  void AddItem(int loop, const char* msg);
  // The check sum of the frame's first `length` characters except the last
  // two, which hold the check sum it came with; counts the frame as good or
  // bad and updates the error rate.
  int Check_XOR(const char* msg, std::size_t length);

  // The "Show fast poll" box.
  void FastPollChange(bool checked) { FastPollView = checked; }
  bool GetFastPollView() const { return FastPollView; }

  void Clear() { lines.Clear(); }
  std::size_t DiagCount() const { return lines.Size(); }
  std::string_view Line(std::size_t index) const { return lines.At(index); }
  std::size_t MemoryUse() const { return lines.MemoryUse(); }

  unsigned GetBusErr() const { return buserr; }
  unsigned GetBusOk() const { return busok; }
  // Per cent of the tested frames whose check sum was wrong.
  unsigned GetBusErrorRate() const { return buserrorrate; }

  // Writes every line to `path`, CR LF after each. A file that cannot be
  // opened or written is reported to the operator; false then.
  bool Save(const std::filesystem::path& path);

  // The application stops handing over frames. Also done on destruction.
  void Close();
  bool IsOpen() const { return open; }

  // A line cut into its columns: device, kind, check sum, frame. A
  // continuation line has only the last.
  static std::array<std::string_view, 4> SplitLine(std::string_view line);

 private:
  LineStore lines;
  bool FastPollView = false;
  unsigned buserr = 0;
  unsigned busok = 0;
  unsigned buserrorrate = 0;
  bool open = false;
};

}  // namespace quillark
