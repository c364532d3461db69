#include "core/site/fnpages.h"

#include <algorithm>
#include <cstdio>

#include "core/access/translator.h"
#include "core/common/textutil.h"
#include "core/site/detector.h"

namespace quillark {
namespace {

FnControl Num(std::string label, int index, int min, int max, int group = 0, int width = 0) {
  FnControl c;
  c.kind = FnKind::NUMBER;
  c.label = std::move(label);
  c.index = index;
  c.min = min;
  c.max = max;
  c.group = group;
  c.width = width;
  return c;
}

FnControl Make(FnKind kind, std::string label, int index, int extra = 0) {
  FnControl c;
  c.kind = kind;
  c.label = std::move(label);
  c.index = index;
  c.extra = extra;
  if (kind == FnKind::READONLY || kind == FnKind::FIXED || kind == FnKind::FIRMWARE ||
      kind == FnKind::RUNTIME)
    c.readonly = true;
  return c;
}

FnControl OnOff(std::string label, int index) {
  return Make(FnKind::ONOFF, std::move(label), index);
}

FnControl Input(std::string label, int index) {
  FnControl c = Make(FnKind::INPUT, std::move(label), index);
  c.min = 0;
  c.max = 146;  // 109 + n stays a byte below the "not set" value
  return c;
}

FnControl List(std::string label, int index, int offset, std::vector<std::string> items) {
  FnControl c = Make(FnKind::LIST, std::move(label), index, offset);
  c.items = std::move(items);
  c.min = 0;
  c.max = static_cast<int>(c.items.size()) - 1;
  return c;
}

FnControl Text(std::string label, int first, int last, bool terminated) {
  FnControl c = Make(FnKind::TEXT, std::move(label), first, last);
  c.variant = terminated;
  return c;
}

FnControl Bits(std::string label, int index, int count, bool readonly) {
  FnControl c = Make(FnKind::BITS, std::move(label), index, count);
  c.readonly = readonly;
  return c;
}

std::vector<std::string> TextList(Translator* translator, int first, int count) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i)
    items.push_back(translator != nullptr ? translator->Text(first + 50 * i) : std::string());
  return items;
}

bool OldModel(int model) {
  return model == PELORINVANTOR || model == PELORINFERROW;
}

// The table's text `id` in the operator's language; English without a
// table (or when the table lacks it).
std::string Words(Translator* translator, int id, const char* english) {
  return TextOr(translator, id, english);
}

// `pattern` with its first "%s" (or "%d") replaced by `what`: labels made of
// two table texts ("%s level" and "Fire 2"), whose order each language
// decides.
std::string Fill(std::string pattern, const std::string& what) {
  for (std::size_t at = pattern.find('%'); at != std::string::npos && at + 1 < pattern.size();
       at = pattern.find('%', at + 1)) {
    if (pattern[at + 1] == 's' || pattern[at + 1] == 'd') {
      pattern.replace(at, 2, what);
      break;
    }
  }
  return pattern;
}

void LevelControls(FnPage& page, int overridemax, Translator* translator) {
  auto T = [translator](int id, const char* english) { return Words(translator, id, english); };
  const std::string fire2 = T(31100, "Fire 2"), fire1 = T(31200, "Fire 1"),
                    prealarm = T(31300, "Pre-Alarm"), aux = T(31400, "Aux");
  const std::string level = T(71800, "%s level"), delay = T(71850, "%s delay");
  page.controls = {
      Num(Fill(level, fire2), 92, 1, 25, 1),
      Num(Fill(level, fire1), 91, 8, 10, 1),
      Num(Fill(level, prealarm), 9, 3, 8, 1),
      Num(Fill(level, aux), 10, 2, 10, 1),
      Num(Fill(delay, fire2), 94, 0, 90, 2),
      Num(Fill(delay, fire1), 11, 0, 90, 2),
      Num(Fill(delay, prealarm), 12, 0, 90, 2),
      Num(Fill(delay, aux), 13, 0, 90, 2),
      Num(T(71900, "Alarm factor"), 37, 0, 8),
      Num(T(71950, "Sortiva override"), 38, 0, overridemax),
  };
}

}  // namespace

FnPage FnMakePage(int bit, int model, int version, Translator* translator) {
  auto T = [translator](int id, const char* english) { return Words(translator, id, english); };
  auto Title = [translator](FnPage& page, int id, const char* english) {
    page.title = Words(translator, id, english);
    page.titleid = id;
    page.english = english;
  };
  FnPage p;
  p.bit = bit;
  switch (bit) {
    case FP_INFO2K: {
      Title(p, 70800, "Information");
      p.dialog = "DIALOG_INFO2K";
      FnControl type = Make(FnKind::FIXED, T(63400, "Device type"), -1);
      type.items = {std::string(Trim(Detector(translator).GetTypeName(model)))};
      p.controls = {type,
                    Make(FnKind::FIRMWARE, T(71550, "Firmware version"), FunctionSet::VERSIONINDEX),
                    Make(FnKind::RUNTIME, T(71600, "Run-time hours"), 57),
                    Make(FnKind::READONLY, T(71650, "Watchdog count"), 42),
                    Text(T(71700, "Device text"), 63, 78, false)};
      p.controls[3].width = 2;
      break;
    }
    case FP_LEVELS: {
      Title(p, 70850, "Levels");
      p.dialog = "DIALOG_LEVELS";
      FnControl fire = Make(FnKind::FIXED, Fill(T(71800, "%s level"), T(71750, "Fire")), -1);
      fire.items = {"8"};
      p.controls = {fire,
                    Num(Fill(T(71800, "%s level"), T(31300, "Pre-Alarm")), 9, 3, 8, 1),
                    Num(Fill(T(71800, "%s level"), T(31400, "Aux")), 10, 2, 10, 1),
                    Num(Fill(T(71850, "%s delay"), T(71750, "Fire")), 11, 0, 60, 2),
                    Num(Fill(T(71850, "%s delay"), T(31300, "Pre-Alarm")), 12, 0, 60, 2),
                    Num(Fill(T(71850, "%s delay"), T(31400, "Aux")), 13, 0, 60, 2),
                    Num(T(71900, "Alarm factor"), 37, 0, 8),
                    Num(T(71950, "Sortiva override"), 38, 0, 99),
                    OnOff(T(72000, "Varn enable"), 52),
                    OnOff(T(72050, "FastLearn enable"), 8),
                    OnOff(T(72100, "Auto FastLearn enable"), 51),
                    OnOff(T(72150, "Time delay override"), 29)};
      break;
    }
    case FP_LEVELS2K:
      Title(p, 70850, "Levels");
      p.dialog = "DIALOG_LEVELS2K";
      LevelControls(p, 199, translator);
      p.controls.push_back(OnOff(T(72000, "Varn enable"), 52));
      p.controls.push_back(OnOff(T(72050, "FastLearn enable"), 8));
      p.controls.push_back(OnOff(T(72100, "Auto FastLearn enable"), 51));
      p.controls.push_back(OnOff(T(72200, "Sortiva 3D"), 29));
      // Enabled only on devices that have the mode (24 holds on or off).
      p.controls.push_back(OnOff(T(30000, "Demo mode"), 24));
      break;
    case FP_LEVELSTINDLE:
      Title(p, 70850, "Levels");
      p.dialog = "DIALOG_LEVELSTINDLE";
      LevelControls(p, 199, translator);
      p.controls.push_back(OnOff(T(72050, "FastLearn enable"), 8));
      p.controls.push_back(OnOff(T(72100, "Auto FastLearn enable"), 51));
      break;
    case FP_DAYNIGHT:
      Title(p, 70900, "Day/Night");
      p.dialog = "DIALOG_DAYNIGHT";
      p.controls = {Num(T(29600, "Day start"), 32, 0, 23, 1),
                    Num(T(29700, "Night start"), 33, 0, 23, 1),
                    Make(FnKind::DAYNIGHTOFF, T(72250, "Disable day/night switching"), 32, 33)};
      break;
    case FP_TIME: {
      Title(p, 56100, "Time");
      p.dialog = "DIALOG_TIME";
      FnControl year = Make(FnKind::YEAR, T(72450, "Year"), 20);
      year.min = 1970;
      year.max = 2069;
      year.group = 1;
      p.controls = {Num(T(72300, "Hours"), 16, 0, 23, 1), Num(T(72350, "Minutes"), 17, 0, 59, 1),
                    Num(T(13900, "Day"), 18, 1, 31, 1), Num(T(72400, "Month"), 19, 1, 12, 1), year};
      break;
    }
    case FP_FLOW:
    case FP_FLOW2K: {
      const bool pipes = bit == FP_FLOW2K;
      Title(p, 71000, "Flow");
      p.dialog = pipes ? "DIALOG_FLOW2K" : "DIALOG_FLOW";
      if (!pipes && OldModel(model)) {
        p.controls = {Make(FnKind::READONLY, T(72500, "Flow rate"), 25),
                      Num(T(72550, "Flow low limit"), 23, 0, 99, 1),
                      Num(T(72600, "Flow high limit"), 24, 0, 99, 1)};
        p.controls[0].width = 2;
      } else if (!pipes) {
        p.controls = {Make(FnKind::READONLY, T(72500, "Flow rate"), 79),
                      Num(T(72550, "Flow low limit"), 80, 0, 99, 1),
                      Num(T(72600, "Flow high limit"), 81, 0, 99, 1)};
        p.controls[0].width = 2;
      } else {
        const std::string flow = T(72500, "Flow rate"), low = T(72550, "Flow low limit"),
                          high = T(72600, "Flow high limit"), sensor = T(72650, "Enable sensor");
        for (int pipe = 0; pipe < 4; ++pipe) {
          // "Pipe 2: Flow low limit": the pipe's name, then the setting's.
          const std::string name = Fill(T(62800, "Pipe %d"), std::to_string(pipe + 1)) + ": ";
          p.controls.push_back(Make(FnKind::READONLY, name + flow, 79 + 3 * pipe));
          p.controls.back().width = 2;
          p.controls.push_back(Num(name + low, 80 + 3 * pipe, 0, 99, 1 + pipe));
          p.controls.push_back(Num(name + high, 81 + 3 * pipe, 0, 99, 1 + pipe));
          p.controls.push_back(Make(FnKind::BIT, name + sensor, 23, pipe));
        }
      }
      // An aspirator of one speed has nothing to set.
      const int speeds = Detector::GetAspiratorSpeeds(model);
      if (speeds > 1) p.controls.push_back(Num(T(72700, "Aspirator speed"), 41, 1, speeds));
      if (Detector::GetModelCaps(model, CAP_FAULTDELAY, version) != 0)
        p.controls.push_back(Num(T(72750, "Fault delay"), 25, 0, 240));
      break;
    }
    case FP_FLOWTINDLE:
      Title(p, 71000, "Flow");
      p.dialog = "DIALOG_FLOWTINDLE";
      p.controls = {Make(FnKind::READONLY, T(72500, "Flow rate"), 79),
                    Make(FnKind::READONLY, T(72600, "Flow high limit"), 80),
                    Make(FnKind::READONLY, T(72550, "Flow low limit"), 81),
                    Make(FnKind::READONLY, T(72750, "Fault delay"), 25)};
      break;
    case FP_ACTIONS:
    case FP_ACTIONS2K: {
      const bool inputs = bit == FP_ACTIONS2K;
      Title(p, 71050, "Actions");
      p.dialog = inputs ? "DIALOG_ACTIONS2K" : "DIALOG_ACTIONS";
      for (auto [label, index] :
           {std::pair{T(72800, "Remote Isolate"), 39}, std::pair{T(29000, "Remote reset"), 27},
            std::pair{T(72850, "Remote day/night"), 53}}) {
        p.controls.push_back(inputs ? Input(label, index) : OnOff(label, index));
        // Model 11 takes no remote commands.
        if (inputs && model == PELORINLUMO) p.controls.back().enabled = false;
      }
      for (auto [label, index] :
           {std::pair{T(72900, "Programmed Isolate"), 40},
            std::pair{T(72950, "Latching alarms"), 26}, std::pair{T(73000, "Latching faults"), 47},
            std::pair{T(73050, "Cascading alarms"), 28}})
        p.controls.push_back(OnOff(label, index));
      break;
    }
    case FP_POWER:
    case FP_POWER2K: {
      const bool inputs = bit == FP_POWER2K;
      Title(p, 71100, "Power");
      p.dialog = inputs ? "DIALOG_POWER2K" : "DIALOG_POWER";
      p.controls = {
          OnOff(T(73100, "Auto. power save"), 49),
          inputs ? Input(T(73150, "Mains check"), 22) : OnOff(T(73150, "Mains check"), 22),
          inputs ? Input(T(73200, "Battery check"), 21) : OnOff(T(73200, "Battery check"), 21)};
      break;
    }
    case FP_PANEL:
      Title(p, 71150, "Panel");
      p.dialog = "DIALOG_PANEL";
      p.controls = {OnOff(T(73250, "Reset button enable"), 36),
                    OnOff(T(73300, "Test button enable"), 35),
                    OnOff(T(73350, "Isolate button enable"), 34)};
      break;
    case FP_REFERENCING:
      Title(p, 71200, "Referencing");
      p.dialog = "DIALOG_REFERENCING";
      p.controls = {OnOff(T(73400, "Local reference"), 4), OnOff(T(73450, "Remote reference"), 5),
                    Num(T(73500, "Reference level"), 6, 0, 99, 1),
                    Num(T(73550, "Reference back-off"), 7, 0, 99, 1)};
      break;
    case FP_REFERENCING2K:
      Title(p, 71200, "Referencing");
      p.dialog = "DIALOG_REFERENCING2K";
      p.controls = {OnOff(T(73600, "Reference enable"), 4),
                    Num(T(73500, "Reference level"), 6, 0, 99, 1),
                    Num(T(73550, "Reference back-off"), 7, 0, 99, 1),
                    Num(T(73650, "Reference detector"), 60, 1, 127, 1)};
      break;
    case FP_MISCELLANEOUS: {
      Title(p, 71250, "Miscellaneous");
      p.dialog = "DIALOG_MISCELLANEOUS";
      FnControl code = Make(FnKind::ACCESSCODE, T(30200, "Access code"), 30);
      code.max = 9999;
      code.width = 4;
      FnControl month = Num(T(73750, "Separator expiry month"), 55, 1, 12, 1);
      FnControl year = Make(FnKind::YEAR, T(73800, "Separator expiry year"), 56);
      year.min = 1970;
      year.max = 2069;
      year.group = 1;
      // The date is the separator's own: written only to models that keep it.
      const bool dated = Detector::GetModelCaps(model, CAP_SEPARATORDATE, version) != 0;
      for (FnControl* c : {&month, &year}) {
        c->variant = true;  // 109 shows "--"
        c->readonly = !dated;
        c->enabled = !OldModel(model);
      }
      std::vector<std::string> rates =
          !OldModel(model)        ? TextList(translator, 15000, 20)
          : translator != nullptr ? TextList(translator, 14600, 6)
                                  : std::vector<std::string>{"No rec",   "1 second",  "20 seconds",
                                                             "1 minute", "5 minutes", "20 minutes"};
      p.controls = {code,
                    Make(FnKind::READONLY, T(73700, "Separator condition"), 50),
                    month,
                    year,
                    OnOff(T(73850, "Factory default"), 2),
                    List(T(73900, "Chart recording rate"), 46, 0, rates)};
      break;
    }
    case FP_MISCTINDLE:
      Title(p, 71250, "Miscellaneous");
      p.dialog = "DIALOG_MISCTINDLE";
      p.controls = {Make(FnKind::READONLY, T(73700, "Separator condition"), 50),
                    List(T(73900, "Chart recording rate"), 46, 0, TextList(translator, 6000, 10))};
      p.controls[0].width = 2;
      break;
    case FP_PAGER:
      Title(p, 71300, "Pager");
      p.dialog = "DIALOG_PAGER";
      p.controls = {Text(T(73950, "Call centre number"), 95, 110, true),
                    Text(T(82900, "Password"), 111, 120, true),
                    Text(T(74050, "Pager/GSM phone number"), 121, 136, true),
                    OnOff(T(74100, "Page on Fault"), 138),
                    OnOff(T(74150, "Page on Alarm"), 139),
                    List(T(74200, "Baud rate"), 137, 2, {"1200", "2400", "4800", "9600"}),
                    List(T(74250, "Format"), 159, 0, {"0", "1"})};
      p.controls[3].variant = p.controls[4].variant = true;
      break;
    case FP_BUSSETUP: {
      Title(p, 71350, "Bus setup");
      p.dialog = "DIALOG_BUSSETUP";
      FnControl timeout = Make(FnKind::SCALED, T(74550, "ms poll timeout"), 158, 16);
      timeout.min = 64;
      timeout.max = 992;
      p.controls = {List(T(74300, "CM mode"), 179, 1, {T(74350, "Primary"), T(74400, "Secondary")}),
                    Num(T(74450, "Interface address"), 160, 0, 127, 0, 3),
                    Make(FnKind::READONLY, T(74500, "Detectors"), 3),
                    timeout,
                    OnOff(T(74600, "Looped bus"), 140),
                    Make(FnKind::READONLY, T(74650, "Scan progress"), 162),
                    Bits(T(74700, "Detectors present"), 163, 127, true)};
      break;
    }
    case FP_ARRAY:
      Title(p, 71400, "Array");
      p.dialog = "DIALOG_ARRAY";
      p.controls = {OnOff(T(74750, "Enable"), 141),
                    Num(T(74800, "Base address"), 142, 0, 255, 0, 3),
                    Bits(T(74850, "Cells"), 143, 105, false)};
      break;
    default:
      break;
  }
  return p;
}

std::vector<FnPage> FnPagesForModel(int model, int version, Translator* translator) {
  static const int order[] = {FP_PAGER,         FP_DAYNIGHT,     FP_FLOW,        FP_FLOW2K,
                              FP_FLOWTINDLE,    FP_ACTIONS,      FP_ACTIONS2K,   FP_LEVELS,
                              FP_LEVELS2K,      FP_LEVELSTINDLE, FP_TIME,        FP_POWER,
                              FP_POWER2K,       FP_PANEL,        FP_REFERENCING, FP_REFERENCING2K,
                              FP_MISCELLANEOUS, FP_MISCTINDLE,   FP_ARRAY,       FP_BUSSETUP};
  std::vector<FnPage> pages{FnMakePage(FP_INFO2K, model, version, translator)};
  for (int bit : order)
    if (Detector::GetModelProgramCaps(model, bit, version) != 0)
      pages.push_back(FnMakePage(bit, model, version, translator));
  return pages;
}

namespace {

int Stored(const FunctionSet& set, int index) {
  return set.GetFunction(index);
}

// The entry value a control gets from the set.
FnEntry LoadControl(const FnControl& c, const FunctionSet& set) {
  FnEntry e;
  const int v = Stored(set, c.index);
  switch (c.kind) {
    case FnKind::NUMBER:
    case FnKind::READONLY:
      e.value = v;
      break;
    case FnKind::SCALED:
      e.value = v * c.extra;
      break;
    case FnKind::ONOFF:
      e.value = v == FN_ON ? 1 : 0;
      if (c.index == 24 && v != FN_ON && v != FN_OFF) e.enabled = false;
      break;
    case FnKind::INPUT:
      e.value = v > FN_OFF && v != FN_NOTSET ? v - FN_OFF : 0;
      break;
    case FnKind::YEAR:
      e.value = v == FN_NOTSET || v == FN_OFF ? v : (v % 100 < 70 ? 2000 : 1900) + v % 100;
      break;
    case FnKind::LIST:
      e.value = v - c.extra;
      if (c.index == 159 && v == FN_NOTSET) e.enabled = false;
      break;
    case FnKind::ACCESSCODE:
      e.value = Stored(set, c.index) * 100 + Stored(set, c.index + 1);
      break;
    case FnKind::TEXT:
      for (int i = c.index; i <= c.extra; ++i) {
        const int ch = Stored(set, i);
        if (ch == 0 || ch == FN_NOTSET) break;
        e.text += static_cast<char>(ch);
      }
      if (!c.variant) e.text = std::string(Trim(e.text));
      break;
    case FnKind::BITS:
      e.bits.assign(static_cast<std::size_t>(c.extra), false);
      for (int i = 0; i < c.extra; ++i) {
        const int byte = Stored(set, c.index + i / 8);
        e.bits[static_cast<std::size_t>(i)] = byte != FN_NOTSET && ((byte >> (i & 7)) & 1) != 0;
      }
      break;
    case FnKind::BIT:
      e.value = v != FN_NOTSET && ((v >> c.extra) & 1) != 0 ? 1 : 0;
      break;
    case FnKind::DAYNIGHTOFF:
      e.value = Stored(set, c.index) == Stored(set, c.extra) ? 1 : 0;
      break;
    case FnKind::FIXED:
    case FnKind::FIRMWARE:
    case FnKind::RUNTIME:
      break;
  }
  if (!c.enabled) e.enabled = false;
  return e;
}

bool Differs(const FnControl& c, const FnEntry& e, const FunctionSet& set) {
  const FnEntry stored = LoadControl(c, set);
  return stored.value != e.value || stored.text != e.text || stored.bits != e.bits;
}

bool Writable(const FnControl& c, const FnEntry& e) {
  return !c.readonly && c.enabled && e.enabled;
}

void Put(FunctionSet& set, int index, int value) {
  set.SetFunction(index, value);
  set.SetModFlag(index);
}

// Writes one control's entry into the set and marks what it wrote.
void WriteControl(const FnControl& c, const FnEntry& e, FunctionSet& set) {
  // A member of an edited group that the device never had stays unset.
  if (!e.changed && e.value == FN_NOTSET &&
      (c.kind == FnKind::YEAR || (c.kind == FnKind::NUMBER && c.max < FN_NOTSET)))
    return;
  const int value = std::clamp(e.value, c.min, c.max);
  switch (c.kind) {
    case FnKind::NUMBER:
      // "--" (109) stays as the device keeps it until a date is entered.
      if (c.variant && e.value == FN_OFF) break;
      Put(set, c.index, value);
      break;
    case FnKind::SCALED:
      Put(set, c.index, value / c.extra);
      break;
    case FnKind::ONOFF:
      Put(set, c.index, e.value != 0 ? FN_ON : FN_OFF);
      break;
    case FnKind::INPUT:
      Put(set, c.index, FN_OFF + std::clamp(e.value, 0, FN_NOTSET - FN_OFF - 1));
      break;
    case FnKind::YEAR:
      if (c.variant && e.value == FN_OFF) break;
      Put(set, c.index, value % 100);
      break;
    case FnKind::LIST:
      Put(set, c.index, value + c.extra);
      break;
    case FnKind::ACCESSCODE:
      Put(set, c.index, value / 100);
      Put(set, c.index + 1, value % 100);
      break;
    case FnKind::TEXT: {
      std::size_t i = 0;
      for (int index = c.index; index <= c.extra; ++index, ++i) {
        if (i < e.text.size() && (!c.variant || index < c.extra)) {
          Put(set, index, static_cast<unsigned char>(e.text[i]));
        } else if (c.variant) {
          Put(set, index, 0);  // the text's end
          break;
        } else {
          Put(set, index, ' ');
        }
      }
      break;
    }
    case FnKind::BITS:
      for (int byte = 0; byte < (c.extra + 7) / 8; ++byte) {
        int v = 0;
        for (int b = 0; b < 8; ++b) {
          const std::size_t i = static_cast<std::size_t>(byte * 8 + b);
          if (i < e.bits.size() && e.bits[i]) v |= 1 << b;
        }
        Put(set, c.index + byte, v);
      }
      break;
    default:
      break;
  }
}

}  // namespace

std::vector<FnEntry> FnLoadPage(const FnPage& page, const FunctionSet& set) {
  std::vector<FnEntry> entries;
  entries.reserve(page.controls.size());
  for (const FnControl& c : page.controls) entries.push_back(LoadControl(c, set));
  return entries;
}

std::vector<std::string> FnApplyPage(const FnPage& page, std::vector<FnEntry>& entries,
                                     FunctionSet& set, Translator* translator) {
  std::vector<std::string> messages;
  if (entries.size() != page.controls.size()) return messages;
  const std::size_t n = entries.size();
  // Switching day/night off makes the day start at night.
  for (std::size_t i = 0; i < n; ++i) {
    const FnControl& c = page.controls[i];
    if (c.kind != FnKind::DAYNIGHTOFF || entries[i].value == 0) continue;
    FnEntry* day = nullptr;
    const FnEntry* night = nullptr;
    for (std::size_t j = 0; j < n; ++j) {
      if (page.controls[j].kind != FnKind::NUMBER) continue;
      if (page.controls[j].index == c.index) day = &entries[j];
      if (page.controls[j].index == c.extra) night = &entries[j];
    }
    if (day != nullptr && night != nullptr && day->value != night->value) {
      day->value = night->value;
      day->changed = true;
    }
  }
  // Groups are written whole when any member was edited.
  std::vector<int> dirtygroups;
  for (std::size_t i = 0; i < n; ++i) {
    const FnControl& c = page.controls[i];
    if (c.group != 0 && Writable(c, entries[i]) &&
        (entries[i].changed || Differs(c, entries[i], set)))
      dirtygroups.push_back(c.group);
  }
  bool bitchanged = false;
  int bitindex = -1;
  for (std::size_t i = 0; i < n; ++i) {
    const FnControl& c = page.controls[i];
    FnEntry& e = entries[i];
    if (!Writable(c, e)) continue;
    switch (c.kind) {
      case FnKind::ONOFF:
        // A box is written when the user clicked it (the pager's boxes:
        // when it differs), so a setting the device never had is not made up.
        if (c.variant ? Differs(c, e, set) : e.changed) WriteControl(c, e, set);
        break;
      case FnKind::TEXT:
        if (e.changed && Differs(c, e, set)) WriteControl(c, e, set);
        break;
      case FnKind::BIT:
        if (e.changed || Differs(c, e, set)) bitchanged = true;
        bitindex = c.index;
        break;
      case FnKind::DAYNIGHTOFF:
        break;
      default:
        if (c.group != 0) {
          if (std::find(dirtygroups.begin(), dirtygroups.end(), c.group) != dirtygroups.end())
            WriteControl(c, e, set);
        } else if (e.changed || Differs(c, e, set)) {
          WriteControl(c, e, set);
        }
        break;
    }
  }
  if (bitchanged && bitindex >= 0) {
    int v = Stored(set, bitindex);
    if (v == FN_NOTSET) v = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const FnControl& c = page.controls[i];
      if (c.kind != FnKind::BIT || c.index != bitindex) continue;
      v = entries[i].value != 0 ? (v | (1 << c.extra)) : (v & ~(1 << c.extra));
    }
    Put(set, bitindex, v);
    if ((v & 0x0F) == 0)
      messages.push_back(Words(translator, 70700,
                               "All flow sensors have been disabled. No flow monitoring will be "
                               "done by the detector."));
  }
  // Limits: a low limit above its high limit is not sent.
  if (page.bit == FP_FLOW || page.bit == FP_FLOW2K) {
    bool refused = false;
    for (std::size_t i = 0; i + 1 < n; ++i) {
      const FnControl& low = page.controls[i];
      const FnControl& high = page.controls[i + 1];
      if (low.kind != FnKind::NUMBER || high.kind != FnKind::NUMBER || low.group == 0 ||
          low.group != high.group)
        continue;
      if (!set.GetModFlag(low.index) && !set.GetModFlag(high.index)) continue;
      if (Stored(set, high.index) < Stored(set, low.index)) {
        set.SetModFlag(low.index, false);
        set.SetModFlag(high.index, false);
        refused = true;
      }
    }
    if (refused)
      messages.insert(messages.begin(),
                      page.bit == FP_FLOW
                          ? Words(translator, 70600,
                                  "The flow low limit is set higher than the flow high limit. "
                                  "The entered values will be ignored")
                          : Words(translator, 70650,
                                  "One or more flow low limits are set higher than the flow "
                                  "high limit. The entered values will be ignored"));
  }
  for (FnEntry& e : entries) e.changed = false;
  return messages;
}

std::string FnShowEntry(const FnControl& c, const FnEntry& e, const FunctionSet& set) {
  const int v = Stored(set, c.index);
  switch (c.kind) {
    case FnKind::FIXED:
      return c.items.empty() ? std::string() : c.items.front();
    case FnKind::FIRMWARE:
      return v == FN_NOTSET ? "not set" : Format("%.1f", v / 10.0);
    case FnKind::RUNTIME: {
      const int a = Stored(set, c.index), b = Stored(set, c.index + 1),
                d = Stored(set, c.index + 2);
      if (a == FN_NOTSET && b == FN_NOTSET && d == FN_NOTSET) return "not set";
      return Format("%lu", static_cast<unsigned long>(a) * 10000ul +
                               static_cast<unsigned long>(b) * 100ul +
                               static_cast<unsigned long>(d));
    }
    case FnKind::TEXT:
      return e.text;
    case FnKind::BITS: {
      std::string out;
      for (std::size_t i = 0; i < e.bits.size(); ++i)
        if (e.bits[i]) out += (out.empty() ? "" : " ") + std::to_string(i + 1);
      return out.empty() ? "none" : out;
    }
    case FnKind::ACCESSCODE:
      if (v == FN_NOTSET || Stored(set, c.index + 1) == FN_NOTSET) return "not set";
      return Format("%04d", e.value);
    case FnKind::DAYNIGHTOFF:
      return e.value != 0 ? "on" : "off";
    default:
      break;
  }
  if (v == FN_NOTSET) return "not set";
  if (c.variant && v == FN_OFF && (c.kind == FnKind::NUMBER || c.kind == FnKind::YEAR)) return "--";
  switch (c.kind) {
    case FnKind::ONOFF:
    case FnKind::BIT:
      return e.value != 0 ? "on" : "off";
    case FnKind::INPUT:
      return e.value == 0 ? "off" : Format("input %d", e.value);
    case FnKind::LIST:
      if (e.value >= 0 && static_cast<std::size_t>(e.value) < c.items.size() &&
          !c.items[static_cast<std::size_t>(e.value)].empty())
        return c.items[static_cast<std::size_t>(e.value)];
      return std::to_string(e.value);
    default:
      return c.width > 0 ? Format("%0*d", c.width, e.value) : std::to_string(e.value);
  }
}

bool FnEnterText(const FnControl& c, const std::string& text, FnEntry& e, std::string& why) {
  if (c.readonly || c.kind == FnKind::FIXED) {
    why = "'" + c.label + "' cannot be changed";
    return false;
  }
  if (!c.enabled || !e.enabled) {
    why = "'" + c.label + "' is not available on this device";
    return false;
  }
  const std::string t = ToLower(Trim(text));
  auto number = [&](int min, int max, int& out) {
    if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos) {
      why = "'" + text + "' is not a number";
      return false;
    }
    out = static_cast<int>(AtoL(t));
    if (out < min || out > max) {
      why = Format("'%s' takes %d to %d", c.label.c_str(), min, max);
      return false;
    }
    return true;
  };
  int v = 0;
  switch (c.kind) {
    case FnKind::ONOFF:
    case FnKind::BIT:
    case FnKind::DAYNIGHTOFF:
      if (t == "on" || t == "1" || t == "110") {
        v = 1;
      } else if (t == "off" || t == "0" || t == "109") {
        v = 0;
      } else {
        why = "'" + c.label + "' takes on or off";
        return false;
      }
      break;
    case FnKind::INPUT:
      if (t == "off") break;
      if (!number(0, 9, v)) return false;
      break;
    case FnKind::LIST: {
      auto it = std::find_if(c.items.begin(), c.items.end(),
                             [&](const std::string& s) { return !s.empty() && ToLower(s) == t; });
      if (it != c.items.end()) {
        v = static_cast<int>(it - c.items.begin());
      } else if (!number(0, c.max, v)) {
        return false;
      }
      break;
    }
    case FnKind::TEXT: {
      const std::size_t room = static_cast<std::size_t>(c.extra - c.index + (c.variant ? 0 : 1));
      if (text.size() > room) {
        why = Format("'%s' holds %zu characters at most", c.label.c_str(), room);
        return false;
      }
      for (char ch : text)
        if (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126) {
          why = "'" + c.label + "' takes printable characters only";
          return false;
        }
      e.text = text;
      e.changed = true;
      return true;
    }
    case FnKind::BITS:
      why = "'" + c.label + "' is set on its page";
      return false;
    default:
      if (!number(c.min, c.max, v)) return false;
      break;
  }
  e.value = v;
  e.changed = true;
  return true;
}

void FnSetClock(FunctionSet& set, const std::tm& now) {
  Put(set, 20, (now.tm_year + 1900) % 100);
  Put(set, 19, now.tm_mon + 1);
  Put(set, 18, now.tm_mday);
  Put(set, 16, now.tm_hour);
  Put(set, 17, now.tm_min);
}

void FnScanDevices(FunctionSet& set) {
  Put(set, 161, FN_ON);
}

}  // namespace quillark
