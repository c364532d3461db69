#include "core/site/devcnfig.h"

#include <charconv>
#include <istream>
#include <ostream>
#include <streambuf>

namespace quillark {
namespace {

using Traits = std::char_traits<char>;
const Traits::int_type END = Traits::eof();

bool IsSpace(Traits::int_type c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(Traits::int_type c) {
  return c >= '0' && c <= '9';
}

// Reads the fields of a site file line straight from the stream's buffer,
// with the rules of formatted stream input: numbers and punctuation skip
// white space (line ends included), texts are taken raw.
class Scanner {
 public:
  explicit Scanner(std::streambuf* sb) : sb(sb) {}

  Traits::int_type Peek() {
    auto c = sb->sgetc();
    if (c == END) hitend = true;
    return c;
  }
  Traits::int_type Next() {
    auto c = sb->sbumpc();
    if (c == END) hitend = true;
    return c;
  }
  void SkipSpace() {
    while (IsSpace(Peek())) Next();
  }
  // The next character that is not white space, consumed; END at the end.
  Traits::int_type Separator() {
    SkipSpace();
    return Next();
  }
  bool Expect(char want) { return Separator() == Traits::to_int_type(want); }

  // Sign and magnitude of a decimal number; false without digits or when the
  // magnitude exceeds `limit`.
  bool Magnitude(bool& negative, std::uint64_t& value, std::uint64_t limit) {
    SkipSpace();
    negative = false;
    auto c = Peek();
    if (c == '+' || c == '-') {
      negative = c == '-';
      Next();
    }
    if (!IsDigit(Peek())) return false;
    value = 0;
    bool overflow = false;
    while (IsDigit(Peek())) {
      value = value * 10 + static_cast<std::uint64_t>(Next() - '0');
      if (value > limit) {
        overflow = true;
        value = limit;
      }
    }
    return !overflow;
  }
  bool Signed(std::int32_t& out) {
    bool negative;
    std::uint64_t value;
    if (!Magnitude(negative, value, 0x80000000u)) return false;
    if (!negative && value > 0x7FFFFFFFu) return false;
    out = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value)
                                             : static_cast<std::int64_t>(value));
    return true;
  }
  // A minus sign wraps, as unsigned stream input does ("-1" is 4294967295).
  bool Unsigned(std::uint32_t& out) {
    bool negative;
    std::uint64_t value;
    if (!Magnitude(negative, value, 0xFFFFFFFFu)) return false;
    out = static_cast<std::uint32_t>(value);
    if (negative) out = 0u - out;
    return true;
  }
  bool ReadPoint(DeviceConfig::Point& p) {
    return Expect('(') && Signed(p.x) && Expect(',') && Signed(p.y) && Expect(')');
  }
  bool ReadRect(DeviceConfig::Rect& r) {
    return Expect('(') && Signed(r.left) && Expect(',') && Signed(r.top) && Expect('-') &&
           Signed(r.right) && Expect(',') && Signed(r.bottom) && Expect(')');
  }
  // Raw characters up to the next comma or line feed, at most MAXTEXT.
  void ReadText(std::string& out) {
    out.clear();
    while (out.size() < DeviceConfig::MAXTEXT) {
      auto c = Peek();
      if (c == END || c == ',' || c == '\n') break;
      out.push_back(Traits::to_char_type(Next()));
    }
  }

  bool hitend = false;

 private:
  std::streambuf* sb;
};

void AppendNumber(std::string& out, std::int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendPoint(std::string& out, const DeviceConfig::Point& p) {
  out += '(';
  AppendNumber(out, p.x);
  out += ',';
  AppendNumber(out, p.y);
  out += ')';
}

void AppendRect(std::string& out, const DeviceConfig::Rect& r) {
  out += '(';
  AppendNumber(out, r.left);
  out += ',';
  AppendNumber(out, r.top);
  out += '-';
  AppendNumber(out, r.right);
  out += ',';
  AppendNumber(out, r.bottom);
  out += ')';
}

const std::string EMPTY;

}  // namespace

DeviceConfig::DeviceConfig(std::uint32_t address, devicetype type, devicemodel model)
    : address(address), type(type), model(model) {}

std::string DeviceConfig::StorableText(std::string_view text) {
  std::size_t n = text.size();
  if (n > MAXTEXT) {
    n = MAXTEXT;
    // Step back over UTF-8 continuation bytes so no character is cut in two.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::string out(text.substr(0, n));
  for (char& c : out) {
    if (c == ',')
      c = ';';
    else if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  }
  return out;
}

void DeviceConfig::SetPtr(std::string& field, std::string_view text) {
  std::string stored = StorableText(text);
  if (stored != field) field = std::move(stored);
}

std::string* DeviceConfig::EventSound(std::int32_t bit) {
  switch (bit) {
    case 0x40:
      return &input2sound;
    case 0x20:
      return &input1sound;
    case 0x10:
      return &fire2sound;
    case 0x08:
      return &fire1sound;
    case 0x04:
      return &prealarmsound;
    case 0x02:
      return &auxsound;
    case 0x01:
      return &faultsound;
    case 0x800:
      return &criticalfaultsound;
    default:
      return nullptr;
  }
}

std::string* DeviceConfig::EventText(std::int32_t bit) {
  switch (bit) {
    case 0x40:
      return &input2text;
    case 0x20:
      return &input1text;
    case 0x10:
      return &fire2text;
    case 0x08:
      return &fire1text;
    case 0x04:
      return &prealarmtext;
    case 0x02:
      return &auxtext;
    case 0x01:
      return &faulttext;
    case 0x800:
      return &criticalfaulttext;
    default:
      return nullptr;
  }
}

const std::string& DeviceConfig::GetEventSound(std::int32_t bit) const {
  const std::string* s = const_cast<DeviceConfig*>(this)->EventSound(bit);
  return s ? *s : EMPTY;
}

void DeviceConfig::SetEventSound(std::int32_t bit, std::string_view text) {
  if (std::string* s = EventSound(bit)) SetPtr(*s, text);
}

void DeviceConfig::SetEventSound(std::int32_t bit, const char* text) {
  if (std::string* s = EventSound(bit)) SetPtr(*s, text);
}

const std::string& DeviceConfig::GetEventText(std::int32_t bit) const {
  const std::string* s = const_cast<DeviceConfig*>(this)->EventText(bit);
  return s ? *s : EMPTY;
}

void DeviceConfig::SetEventText(std::int32_t bit, std::string_view text) {
  if (std::string* s = EventText(bit)) SetPtr(*s, text);
}

void DeviceConfig::SetEventText(std::int32_t bit, const char* text) {
  if (std::string* s = EventText(bit)) SetPtr(*s, text);
}

bool DeviceConfig::Equ(const DeviceConfig& o) const {
  return address == o.address && type == o.type && model == o.model &&
         parentaddress == o.parentaddress && parenttype == o.parenttype && location == o.location &&
         map == o.map && deviceXY == o.deviceXY && siteXY == o.siteXY && loopXY == o.loopXY &&
         zone == o.zone && zoneXY == o.zoneXY && faultmask == o.faultmask &&
         input2sound == o.input2sound && input1sound == o.input1sound &&
         fire2sound == o.fire2sound && fire1sound == o.fire1sound &&
         prealarmsound == o.prealarmsound && auxsound == o.auxsound &&
         criticalfaultsound == o.criticalfaultsound && faultsound == o.faultsound &&
         input2text == o.input2text && input1text == o.input1text && fire2text == o.fire2text &&
         fire1text == o.fire1text && prealarmtext == o.prealarmtext && auxtext == o.auxtext &&
         criticalfaulttext == o.criticalfaulttext && faulttext == o.faulttext &&
         input1mask == o.input1mask && input2mask == o.input2mask &&
         siteorlooparea == o.siteorlooparea && zonearea == o.zonearea && devicearea == o.devicearea;
}

std::ostream& DeviceConfig::Put(std::ostream& os) const {
  std::string line;
  line.reserve(128);
  auto field = [&line](const std::string& text) {
    line += text;
    line += ',';
  };
  AppendNumber(line, address);
  line += ',';
  AppendNumber(line, type);
  line += ',';
  AppendNumber(line, model);
  line += ',';
  AppendNumber(line, parentaddress);
  line += ',';
  AppendNumber(line, parenttype);
  line += ',';
  field(location);
  field(map);
  AppendPoint(line, deviceXY);
  line += ',';
  AppendPoint(line, siteXY);
  line += ',';
  AppendPoint(line, loopXY);
  line += ',';
  AppendNumber(line, zone);
  line += ',';
  AppendPoint(line, zoneXY);
  line += ',';
  AppendNumber(line, faultmask);
  line += ',';
  for (const std::string* s : {&input2sound, &input1sound, &fire2sound, &fire1sound, &prealarmsound,
                               &auxsound, &criticalfaultsound, &faultsound})
    field(*s);
  for (const std::string* s : {&input2text, &input1text, &fire2text, &fire1text, &prealarmtext,
                               &auxtext, &criticalfaulttext, &faulttext})
    field(*s);
  AppendNumber(line, input1mask);
  line += ',';
  AppendNumber(line, input2mask);
  line += ',';
  AppendRect(line, siteorlooparea);
  line += ',';
  AppendRect(line, zonearea);
  line += ',';
  AppendRect(line, devicearea);
  return os.write(line.data(), static_cast<std::streamsize>(line.size()));
}

bool DeviceConfig::Read(std::istream& is) {
  if (!is.good()) {
    is.setstate(std::ios::failbit);
    return false;
  }
  Scanner in(is.rdbuf());
  auto fail = [&is, &in] {
    is.setstate(in.hitend ? std::ios::failbit | std::ios::eofbit : std::ios::failbit);
    return false;
  };
  auto comma = [&in] { return in.Expect(','); };

  // Everything is read into a scratch entry first: a rejected line must leave
  // this one as it was.
  DeviceConfig d;
  std::int32_t t = 0, m = 0, pt = 0;
  if (!(in.Unsigned(d.address) && comma() && in.Signed(t) && comma() && in.Signed(m) && comma() &&
        in.Unsigned(d.parentaddress) && comma() && in.Signed(pt) && comma()))
    return fail();
  // Types above DEVICE are not ours; zones and other tree nodes are negative.
  if (t > DEVICE) return fail();
  d.type = static_cast<devicetype>(t);
  d.model = static_cast<devicemodel>(m);
  d.parenttype = static_cast<devicetype>(pt);

  in.ReadText(d.location);
  if (!comma()) return fail();
  in.ReadText(d.map);
  if (!comma()) return fail();
  if (!(in.ReadPoint(d.deviceXY) && comma() && in.ReadPoint(d.siteXY) && comma() &&
        in.ReadPoint(d.loopXY) && comma() && in.Signed(d.zone) && comma() &&
        in.ReadPoint(d.zoneXY) && comma() && in.Unsigned(d.faultmask) && comma()))
    return fail();
  for (std::string* s :
       {&d.input2sound, &d.input1sound, &d.fire2sound, &d.fire1sound, &d.prealarmsound, &d.auxsound,
        &d.criticalfaultsound, &d.faultsound, &d.input2text, &d.input1text, &d.fire2text,
        &d.fire1text, &d.prealarmtext, &d.auxtext, &d.criticalfaulttext, &d.faulttext}) {
    in.ReadText(*s);
    if (!comma()) return fail();
  }
  if (!(in.Unsigned(d.input1mask) && comma() && in.Unsigned(d.input2mask) && comma() &&
        in.ReadRect(d.siteorlooparea)))
    return fail();

  // Older writers ended the line here; their zone area is the site area.
  d.zonearea = d.siteorlooparea;
  d.devicearea = Rect{0, 0, 0, 0};
  bool tailok = true;
  if (in.Peek() == ',') {
    in.Next();
    Rect zonearea, devicearea;
    tailok = in.ReadRect(zonearea);
    const bool separated = tailok && in.Separator() == ',';
    tailok = tailok && in.ReadRect(devicearea);
    if (tailok && separated) {
      d.zonearea = zonearea;
      d.devicearea = devicearea;
    }
  }
  *this = std::move(d);
  if (!tailok) fail();
  return true;
}

}  // namespace quillark
