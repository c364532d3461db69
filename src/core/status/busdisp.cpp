#include "core/status/busdisp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/access/translator.h"
#include "core/comms/bushost.h"
#include "core/platform/prompter.h"

namespace quillark {

// --- LineStore ---------------------------------------------------------------

void LineStore::Append(std::string_view line) {
  if (line.size() > MAXLINE) line = line.substr(0, MAXLINE);
  if (BLOCK - used < line.size()) {
    blocks.push_back(std::make_unique<char[]>(BLOCK));
    used = 0;
  }
  std::memcpy(blocks.back().get() + used, line.data(), line.size());
  refs.push_back({static_cast<std::uint32_t>(blocks.size() - 1), static_cast<std::uint16_t>(used),
                  static_cast<std::uint16_t>(line.size())});
  used += line.size();
}

void LineStore::Clear() {
  refs.clear();
  refs.shrink_to_fit();
  blocks.clear();
  used = BLOCK;
}

std::string_view LineStore::At(std::size_t index) const {
  if (index >= refs.size()) return {};
  const Ref& r = refs[index];
  return {blocks[r.block].get() + r.offset, r.length};
}

std::size_t LineStore::MemoryUse() const {
  return blocks.size() * BLOCK + refs.size() * sizeof(Ref);
}

// --- BusDisp -----------------------------------------------------------------

namespace {

constexpr char HEX[] = "0123456789abcdef";

// Whether frames of this kind are listed only with fast polls shown, and
// whether they carry a check sum to test.
struct KindRule {
  bool fastpoll;
  bool tested;
};

KindRule RuleOf(char start) {
  switch (start) {
    case '?':
    case '&':
      return {true, false};
    case '@':
    case '*':
      return {true, true};
    default:
      return {false, true};
  }
}

// A small line buffer filled without printf: this runs for every frame.
struct LineBuilder {
  char text[BusDisp::INDENT + BusDisp::CONTINUATION + 32];
  std::size_t n = 0;

  void Put(char c) { text[n++] = c; }
  void Put(const char* s) {
    while (*s != '\0') text[n++] = *s++;
  }
  void Put(const char* s, std::size_t count) {
    std::memcpy(text + n, s, count);
    n += count;
  }
  void Hex2(unsigned v) {
    Put(HEX[(v >> 4) & 0xF]);
    Put(HEX[v & 0xF]);
  }
  void Decimal(unsigned v, int width) {
    char digits[12];
    int d = 0;
    do {
      digits[d++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (d < width) digits[d++] = '0';
    while (d > 0) Put(digits[--d]);
  }
  std::string_view View() const { return {text, n}; }
};

}  // namespace

BusDisp::BusDisp(BusHost* app) : MsgClass(app) {
  if (main != nullptr) main->SetBusViewer(this);
  open = true;
}

BusDisp::~BusDisp() {
  Close();
}

void BusDisp::Close() {
  if (!open) return;
  open = false;
  // Only forget ourselves: another viewer may have taken over meanwhile.
  if (main != nullptr && main->GetBusViewer() == this) main->SetBusViewer(nullptr);
}

int BusDisp::Check_XOR(const char* msg, std::size_t length) {
  int computed = 0;
  bool good = false;
  if (msg != nullptr && length >= 2) {
    for (std::size_t i = 0; i + 2 < length; ++i) computed ^= static_cast<unsigned char>(msg[i]);
    const char* sum = msg + length - 2;
    good = MsgClass::GetData(2, sum) == computed;
  }
  if (good)
    ++busok;
  else
    ++buserr;
  if (busok > HALVEAT || buserr > HALVEAT) {
    busok /= 2;
    buserr /= 2;
  }
  const unsigned tested = busok + buserr;
  buserrorrate = tested == 0 ? 0 : buserr * 100 / tested;
  return computed;
}

void BusDisp::AddItem(int loop, const char* msg) {
  if (msg == nullptr) return;
  const char start = msg[0];
  const KindRule rule = RuleOf(start);
  if (rule.fastpoll && !FastPollView) return;

  // The frame ends at its first CR, or at its NUL when it has none.
  std::size_t length = 0;
  while (msg[length] != '\0' && msg[length] != '\r') ++length;
  const unsigned address = start != '\0' ? static_cast<unsigned char>(msg[1]) & 0x7Fu : 0u;

  LineBuilder line;
  line.Decimal(static_cast<unsigned>(loop + 1), 0);
  line.Put('-');
  line.Decimal(address, 3);
  line.Put("  ");
  line.Put(Message::GetKindLabel(msg));
  line.Hex2(rule.tested ? static_cast<unsigned>(Check_XOR(msg, length)) & 0xFFu : 0u);
  line.Put(' ');
  line.Put(start);
  line.Hex2(address);
  std::size_t pos = std::min<std::size_t>(2, length);
  std::size_t take = std::min(FIRSTPART, length - pos);
  line.Put(msg + pos, take);
  lines.Append(line.View());
  pos += take;

  while (pos < length) {
    LineBuilder more;
    std::memset(more.text, ' ', INDENT);
    more.n = INDENT;
    take = std::min(CONTINUATION, length - pos);
    more.Put(msg + pos, take);
    lines.Append(more.View());
    pos += take;
  }
}

bool BusDisp::Save(const std::filesystem::path& path) {
  auto report = [this](int text) {
    if (main != nullptr)
      main->GetPrompter().Show("error", main->GetTranslator().Text(text), PromptIcon::STOP);
  };
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    report(52400);  // "Cannot open file."
    return false;
  }
  bool ok = true;
  for (std::size_t i = 0; i < lines.Size() && ok; ++i) {
    const std::string_view line = lines.At(i);
    ok = std::fwrite(line.data(), 1, line.size(), file) == line.size() &&
         std::fwrite("\r\n", 1, 2, file) == 2;
  }
  // A full disk shows only when the file is closed; the operator must not be
  // told the lines were saved when they were not.
  if (std::fclose(file) != 0) ok = false;
  if (!ok) report(52300);  // "write error"
  return ok;
}

std::array<std::string_view, 4> BusDisp::SplitLine(std::string_view line) {
  std::array<std::string_view, 4> columns{};
  if (line.size() >= INDENT && line.substr(0, INDENT).find_first_not_of(' ') == line.npos) {
    columns[3] = line.substr(INDENT);
    return columns;
  }
  const std::size_t blank = line.find(' ');
  const std::size_t tab = line.find('\t');
  if (blank == line.npos || tab == line.npos || tab < blank) {
    columns[3] = line;
    return columns;
  }
  columns[0] = line.substr(0, blank);
  std::size_t kindstart = line.find_first_not_of(' ', blank);
  std::string_view kind = line.substr(kindstart, tab - kindstart);
  while (!kind.empty() && kind.back() == ' ') kind.remove_suffix(1);
  columns[1] = kind;
  std::string_view rest = line.substr(tab + 1);
  columns[2] = rest.substr(0, 2);
  columns[3] = rest.size() > 3 ? rest.substr(3) : std::string_view();
  return columns;
}

}  // namespace quillark
