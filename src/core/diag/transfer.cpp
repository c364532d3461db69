#include "core/diag/transfer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/common/textutil.h"
#include "core/comms/bushost.h"
#include "core/comms/message.h"

namespace quillark {
namespace {

// Up to `limit` + 1 bytes of a file, so that a file over the limit is told
// from one at it without reading all of it.
bool ReadCapped(const std::string& path, std::size_t limit, std::string& content,
                std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "Cannot open " + path + ".";
    return false;
  }
  content.assign(limit + 1, '\0');
  const std::size_t n = std::fread(content.data(), 1, content.size(), f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "Cannot read " + path + ".";
    return false;
  }
  content.resize(n);
  return true;
}

// A whole decimal number, optionally negative; false for anything else.
bool ParseNumber(std::string_view s, long& value) {
  if (s.empty() || s.size() > 8) return false;
  const std::size_t start = s[0] == '-' ? 1 : 0;
  if (start == s.size()) return false;
  for (std::size_t i = start; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  value = AtoL(s);
  return true;
}

std::uint32_t Le32(std::string_view s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

void AppendHex(std::string& out, unsigned value, int digits) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%0*x", digits, value);
  out += buf;
}

}  // namespace

// --- Language text file ------------------------------------------------------

bool IltFile::Parse(std::string_view content, IltFile& file, std::string& error) {
  if (content.size() > MAXBYTES) {
    error = Format("The language file is too large: a device text file holds at most %zu bytes.",
                   MAXBYTES);
    return false;
  }
  IltFile out;
  std::size_t pos = 0;
  int lineno = 0, headers = 0;
  while (pos < content.size()) {
    std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    if (end < content.size() && content[end] == '\r' && pos < content.size() &&
        content[pos] == '\n')
      ++pos;
    ++lineno;
    if (Trim(line).empty()) continue;
    if (headers < 2) {
      long value = 0;
      if (!ParseNumber(Trim(line), value) || value < 0 || value > 255) {
        error = Format("Line %d of the language file must hold the %s text number (0 to 255).",
                       lineno, headers == 0 ? "first" : "last");
        return false;
      }
      (headers++ == 0 ? out.first : out.last) = static_cast<int>(value);
      continue;
    }
    const std::size_t space = line.find(' ');
    long number = 0;
    if (!ParseNumber(line.substr(0, space), number) || number < -1 || number > 255) {
      error = Format("Line %d of the language file does not start with a text number (-1 to 255).",
                     lineno);
      return false;
    }
    std::string text;
    if (space != std::string_view::npos) {
      // A device line holds 31 characters, number and space included: the
      // rest of a longer text is cut off rather than sent as a text of its own.
      const std::size_t room = space + 1 < LINECHARS ? LINECHARS - space - 1 : 0;
      text.assign(line.substr(space + 1, room));
    }
    out.texts.push_back({static_cast<int>(number), std::move(text)});
  }
  if (headers < 2) {
    error = headers == 0 ? "The language file is empty."
                         : "The language file has no last text number on line 2.";
    return false;
  }
  if (out.first > out.last) {
    error = Format("The language file's first text number %d is above its last, %d.", out.first,
                   out.last);
    return false;
  }
  // The devices take texts up to the last number; a file that stops short
  // would leave them with half a language.
  const bool complete = std::any_of(out.texts.begin(), out.texts.end(),
                                    [&](const Text& t) { return t.number >= out.last; });
  if (!complete) {
    error = Format("The language file ends before text %d.", out.last);
    return false;
  }
  file = std::move(out);
  return true;
}

bool IltFile::Load(const std::string& path, IltFile& file, std::string& error) {
  std::string content;
  return ReadCapped(path, MAXBYTES, content, error) && Parse(content, file, error);
}

// --- Logo file ---------------------------------------------------------------

std::size_t LgoFile::DataSize(long width, long height, unsigned bits) {
  if (bits == 0 || bits > 8 || width <= 0 || height <= 0) return 0;
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) / (8 / bits);
}

bool LgoFile::Parse(std::string_view content, LgoFile& file, std::string& error) {
  constexpr std::size_t FILEHEADER = 14, INFOHEADER = 44;
  if (content.size() > MAXBYTES) {
    error = Format("The logo file is too large: at most %zu bytes.", MAXBYTES);
    return false;
  }
  if (content.size() < FILEHEADER + INFOHEADER) {
    error = "The logo file is too short to hold a bitmap's headers.";
    return false;
  }
  if (content[0] != 'B' || content[1] != 'M') {
    error = "The logo file is not a bitmap.";
    return false;
  }
  const std::uint32_t offset = Le32(content, 10);
  const auto width = static_cast<std::int32_t>(Le32(content, FILEHEADER + 4));
  const auto height = static_cast<std::int32_t>(Le32(content, FILEHEADER + 8));
  const unsigned bits = static_cast<unsigned char>(content[FILEHEADER + 14]) |
                        static_cast<unsigned>(static_cast<unsigned char>(content[FILEHEADER + 15]))
                            << 8;
  // The frames carry width and height in four hex digits each.
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
    error = Format("The logo has the wrong size (%d x %d).", static_cast<int>(width),
                   static_cast<int>(height));
    return false;
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) {
    error =
        Format("The logo has the wrong depth (%u bits a pixel; 1, 2, 4 or 8 can be sent).", bits);
    return false;
  }
  const std::size_t size = DataSize(width, height, bits);
  if (offset < FILEHEADER || offset > content.size() || content.size() - offset < size) {
    error = Format("The logo file is truncated: it holds %zu of the %zu bytes of its picture.",
                   offset <= content.size() ? content.size() - offset : std::size_t{0}, size);
    return false;
  }
  file.width = width;
  file.height = height;
  file.bits = bits;
  file.pixels.assign(content.begin() + offset, content.begin() + offset + size);
  return true;
}

bool LgoFile::Load(const std::string& path, LgoFile& file, std::string& error) {
  std::string content;
  return ReadCapped(path, MAXBYTES, content, error) && Parse(content, file, error);
}

// --- Pacing ------------------------------------------------------------------

DeviceTransfer::DeviceTransfer(BusHost* app, int loops)
    : MsgClass(app), numloops(std::clamp(loops, 1, 16)) {}

DeviceTransfer::~DeviceTransfer() {
  pausetimer.Cancel();
  DeRegister();
}

void DeviceTransfer::Start() {
  if (main == nullptr || IsRegistered() || result != RUNNING) return;
  Register(this, MSG_TXEMPTY);
  NextBlock();
  BurstSent();
}

void DeviceTransfer::BurstSent() {
  if (result != RUNNING) return;
  // Timed from the sending as well, so that a port that never says its
  // transmitter is empty cannot hold the transfer up for ever.
  pausetimer = main->Events().SingleShot(PAUSEMS, [this] {
    burst = false;
    NextBlock();
    BurstSent();
  });
  Changed();
}

void DeviceTransfer::TxEmpty() {
  if (result != RUNNING || !burst) return;
  burst = false;
  // The devices get their time once the frames are out, not from the sending.
  pausetimer = main->Events().SingleShot(PAUSEMS, [this] {
    NextBlock();
    BurstSent();
  });
}

void DeviceTransfer::SendFrame(int loop, const std::string& frame) {
  char buf[FRAMEBUFFER] = {};
  const std::size_t n = std::min(frame.size(), static_cast<std::size_t>(MAXFRAME - 4));
  std::memcpy(buf, frame.data(), n);
  burst = true;
  ++framessent;
  SendBusMessage(loop, buf, static_cast<int>(n));
}

void DeviceTransfer::Cancel() {
  End(CANCELLED);
}

void DeviceTransfer::End(int how) {
  if (result != RUNNING) return;
  result = how;
  pausetimer.Cancel();
  DeRegister();
  if (how == DONE) percent = 100;
  Changed();
}

std::string DeviceTransfer::GetCaption() const {
  return Format("Sending %d%%", percent);
}

// --- Language ----------------------------------------------------------------

LanguageTransfer::LanguageTransfer(BusHost* app, int loops, IltFile f, bool hascm)
    : DeviceTransfer(app, loops), file(std::move(f)), hasCM(hascm) {
  gaugemin = file.first;
  gaugemax = file.last;
  gaugevalue = string;
}

std::string LanguageTransfer::BlockFrame(char kind, const std::string& data) {
  std::string frame;
  frame += kind;
  frame += '\x80';
  frame += 'T';
  AppendHex(frame, static_cast<unsigned>(data.size() & 0xFFF), 3);
  return frame + data;
}

void LanguageTransfer::LoadBlock() {
  block.clear();
  while (block.size() < BLOCKHEX) {
    if (next >= file.texts.size()) {
      block.clear();
      End(CANCELLED);
      return;
    }
    const IltFile::Text& t = file.texts[next++];
    string = t.number;
    if (string > file.last) break;
    AppendHex(block, static_cast<unsigned>(t.number < 0 ? t.number + 256 : t.number), 2);
    for (unsigned char c : t.text) AppendHex(block, c, 2);
    block += "00";
    if (string == -1 || string >= file.last) break;
  }
}

void LanguageTransfer::NextBlock() {
  if (GetResult() != RUNNING) return;
  if (tx == 0) ++string;
  if (string > file.last) {
    End(DONE);
    return;
  }
  for (int loop = 0; loop < numloops; ++loop) {
    if (tx == 0 && loop == 0) LoadBlock();
    if (GetResult() != RUNNING) return;
    if (!block.empty()) SendFrame(loop, BlockFrame(tx % 2 == 0 ? '>' : ':', block));
  }
  // Without command modules the ":" steps are left out.
  if (tx % 2 == 0 && !hasCM) ++tx;
  if (++tx > 3) tx = 0;
  percent = std::clamp((string - file.first) * 100 / std::max(file.last - file.first, 1), 0, 100);
  gaugevalue = std::clamp(string, gaugemin, gaugemax);
}

// --- Logo --------------------------------------------------------------------

LogoTransfer::LogoTransfer(BusHost* app, int loops, LgoFile f)
    : DeviceTransfer(app, loops),
      file(std::move(f)),
      blocks(static_cast<int>(file.pixels.size() / BLOCKBYTES)) {
  gaugemin = 1;
  gaugemax = blocks + 1;
}

std::string LogoTransfer::BlockFrame(int block, int blocks, const LgoFile& file) {
  std::string data;
  AppendHex(data, static_cast<unsigned>(block) & 0xFFFF, 4);
  AppendHex(data, static_cast<unsigned>(blocks) & 0xFFFF, 4);
  AppendHex(data, static_cast<unsigned>(file.width) & 0xFFFF, 4);
  AppendHex(data, static_cast<unsigned>(file.height) & 0xFFFF, 4);
  AppendHex(data, file.bits & 0xFF, 2);
  // Each block carries what is left of the picture, at most 256 bytes; past
  // the end it carries none.
  const std::size_t from = static_cast<std::size_t>(std::max(block, 0)) * BLOCKBYTES;
  if (from < file.pixels.size()) {
    const std::size_t n = std::min(BLOCKBYTES, file.pixels.size() - from);
    for (std::size_t i = from; i < from + n; ++i) AppendHex(data, file.pixels[i], 2);
  }
  std::string frame = ":\x80U";
  AppendHex(frame, static_cast<unsigned>(data.size()), 3);
  return frame + data;
}

void LogoTransfer::NextBlock() {
  if (GetResult() != RUNNING) return;
  if (block > blocks) {
    End(DONE);
    return;
  }
  const std::string frame = BlockFrame(block, blocks, file);
  for (int loop = 0; loop < numloops; ++loop) SendFrame(loop, frame);
  ++block;
  percent = blocks != 0 ? std::clamp((block - 1) * 100 / blocks, 0, 100) : 100;
  gaugevalue = block;
}

}  // namespace quillark
