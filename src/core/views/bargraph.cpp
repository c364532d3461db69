#include "core/views/bargraph.h"

#include <cstdio>
#include <cstring>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/common/ini.h"
#include "core/common/statusbits.h"
#include "core/comms/bushost.h"
#include "core/comms/fastpollanswer.h"
#include "core/comms/message.h"
#include "core/events/eventinfo.h"
#include "core/site/config.h"
#include "core/status/devicecontext.h"
#include "core/status/selset.h"

namespace quillark {
namespace {

// Words of the tabs.
constexpr int TX_LOOP = 65000;
constexpr int TX_SITE = 81600;
constexpr int TX_ALLLOOPS = 58850;

constexpr std::uint32_t RGB(int r, int g, int b) {
  return EventInfo::RGB(r, g, b);
}

}  // namespace

// --- Lamps ---------------------------------------------------------------------

std::uint32_t TLED::Colour(LEDtype type, LEDstatus state) {
  switch (type) {
    case TL_FAULT:
      if (state == SL_UNKNOWN) return RGB(0xA0, 0xA0, 0xA0);
      return state == SL_OFF ? RGB(0, 255, 0)
                             : (state == SL_ON ? RGB(255, 255, 0) : RGB(0x40, 0x40, 0xFF));
    case TL_ALARM:
      return state == SL_ON ? RGB(255, 0, 0) : RGB(0, 0, 0);
    case TL_ROUNDBAR:
      return state == SL_ON ? RGB(255, 0x80, 0) : RGB(0, 0, 0);
  }
  return RGB(0, 0, 0);
}

const std::string& TLED::GetText() const {
  static const std::string ok = " OK", fault = "Fault", isol = "Isol";
  if (type != TL_FAULT) return label;
  if (state == SL_UNKNOWN) return unknowntext;
  return state == SL_OFF ? ok : (state == SL_ON ? fault : isol);
}

// --- Panels --------------------------------------------------------------------

PanelDisp::PanelDisp(const DeviceConfig& device, int id, std::uint32_t bg)
    : deviceid(id),
      zone(device.GetZone()),
      location(device.GetLocation()),
      background(bg),
      status(TL_FAULT, "Fault"),
      alarms{TLED(TL_ALARM, "Fire2"), TLED(TL_ALARM, "Fire1"), TLED(TL_ALARM, "Pre."),
             TLED(TL_ALARM, "Aux")} {
  for (auto& r : roundbars) r = TLED(TL_ROUNDBAR, "");
  // The bus master polls detectors and command modules only: a power supply
  // answers nothing until something asks it, so its state is never known
  // from the polls and the lamp says why instead of showing a fault.
  if (device.GetType() == POWERSUPPLY) status.SetUnknownText("Not polled");
  const int loop = (id >> 8) + 1;
  char buf[64];
  if (device.GetType() == BUSCONTROLLER)
    std::snprintf(buf, sizeof buf, "%s %03d", "Command module", loop);
  else
    std::snprintf(buf, sizeof buf, "%s %d-%03d",
                  device.GetType() == POWERSUPPLY ? "Power supply" : "Detector", loop,
                  static_cast<int>(device.GetAddress() & 0xFF));
  title = buf;
}

int PanelDisp::ShownLevel(unsigned level) {
  level &= 0xFF;
  if (level >= 128) return 0;
  return static_cast<int>(level & 0x9F);
}

void PanelDisp::Update(unsigned st, unsigned fault, unsigned lvl) {
  if (st > 0xFF) {
    status.SetLED(SL_UNKNOWN);
    for (auto& a : alarms) a.SetLED(SL_OFF);
    level = ShownLevel(lvl);
    for (int i = 0; i < ROUNDBARS; ++i)
      roundbars[static_cast<std::size_t>(i)].SetLED(level > GAUGEMAX + i ? SL_ON : SL_OFF);
    return;
  }
  if ((st & ST_FAULT) == 0)
    status.SetLED(SL_OFF);
  else
    status.SetLED((fault & FT_ISOLATED) != 0 ? SL_ON2 : SL_ON);
  static constexpr unsigned bits[ALARMS] = {0x10, 0x08, 0x04, 0x02};
  for (int i = 0; i < ALARMS; ++i)
    alarms[static_cast<std::size_t>(i)].SetLED((st & bits[i]) != 0 ? SL_ON : SL_OFF);
  level = ShownLevel(lvl);
  for (int i = 0; i < ROUNDBARS; ++i)
    roundbars[static_cast<std::size_t>(i)].SetLED(level > GAUGEMAX + i ? SL_ON : SL_OFF);
}

// --- Bargraph ------------------------------------------------------------------

Bargraph::Bargraph(BusHost* app, DeviceContext* ctx, int nloops, const EventInfo* info)
    : MsgClass(app),
      context(ctx),
      loops(nloops < 1 ? 1 : (nloops > LOOPS ? LOOPS : nloops)),
      eventinfo(info),
      ini(app != nullptr ? &app->GetINI() : nullptr) {
  lastlevel.fill(NOLEVEL);
  panelindex.fill(-1);
  for (int l = 0; l < LOOPS; ++l) {
    int r = 192, g = 192, b = 192;
    std::string caption;
    const std::string key = "Loop" + std::to_string(l + 1);
    if (ini != nullptr) {
      const std::string text = ini->ReadString("Colours", key, "192,192,192");
      int rr, gg, bb;
      if (std::sscanf(text.c_str(), "%d,%d,%d", &rr, &gg, &bb) == 3) r = rr, g = gg, b = bb;
      caption = ini->ReadString("Tabs", key, "");
    }
    loopcolours[static_cast<std::size_t>(l)] = RGB(r, g, b);
    // A loop without a name of its own is named in the current language
    // when its tab is drawn.
    tabcaptions[static_cast<std::size_t>(l)] = caption;
  }
  if (ini != nullptr) switchloop = ini->ReadInt("Tabs", "SwitchLoop", "0") != 0;
  currenttab = loops > 1 ? AllLoopsTab() : 0;
  // A display made while devices are already in alarm shows it on its tabs.
  if (context != nullptr)
    for (int l = 0; l < loops; ++l) tabstatus[static_cast<std::size_t>(l)] = LoopStatus(l, -1);
  if (app != nullptr) app->SetMainDisplay(this);
  Register(this, MSG_SHORT | MSG_FIRST);
  CreatePanels();
}

Bargraph::~Bargraph() {
  DeRegister();
  // A new display may already have taken over.
  if (main != nullptr && main->GetMainDisplay() == this) main->SetMainDisplay(nullptr);
}

bool Bargraph::TabShowsLoop(int loop) const {
  if (loops <= 1) return loop == 0;
  // The site map is not drawn here: its tab shows every panel meanwhile.
  return currenttab >= loops || currenttab == loop;
}

std::uint32_t Bargraph::GetLoopColour(int loop) const {
  return loop >= 0 && loop < LOOPS ? loopcolours[static_cast<std::size_t>(loop)]
                                   : RGB(192, 192, 192);
}

std::string Bargraph::GetTabCaption(int tab) const {
  const auto text = [this](int id, const char* english) {
    return TextOr(main != nullptr ? &main->GetTranslator() : nullptr, id, english);
  };
  if (tab >= 0 && tab < loops) {
    const std::string& caption = tabcaptions[static_cast<std::size_t>(tab)];
    return caption.empty() ? " " + text(TX_LOOP, "Loop") + " " + std::to_string(tab + 1) + " "
                           : caption;
  }
  if (tab == SiteTab()) return text(TX_SITE, "Site");
  if (tab == AllLoopsTab()) return text(TX_ALLLOOPS, "All loops");
  return {};
}

void Bargraph::DeletePanels() {
  for (const auto& p : panels) panelindex[static_cast<std::size_t>(p.GetDeviceId())] = -1;
  panels.clear();
}

void Bargraph::CreatePanels() {
  DeletePanels();
  const TSiteConfig* site = context != nullptr ? context->GetSiteConfig() : nullptr;
  if (site != nullptr) {
    for (int loop = 0; loop < loops; ++loop) {
      if (!TabShowsLoop(loop)) continue;
      for (int slot = 0; slot < SLOTS; ++slot) {
        const int device = loop * SLOTS + slot;
        const DeviceConfig* d = site->GetDevice(static_cast<std::uint32_t>(device));
        // The PC itself, as the loop's command module, has no panel.
        if (d == nullptr || (slot == 0 && d->GetModel() == PCBUSMASTER)) continue;
        panels.emplace_back(*d, device, GetLoopColour(loop));
        // A panel made again (new site, other tab) shows what is known now,
        // not the blank state, since an unchanged device never redraws it.
        const std::uint8_t lvl = lastlevel[static_cast<std::size_t>(device)];
        const unsigned st = context->GetDeviceStatus(device);
        panels.back().Update(st, context->GetDeviceFaultStatus(device), lvl == NOLEVEL ? 0 : lvl);
        panelindex[static_cast<std::size_t>(device)] = static_cast<int>(panels.size()) - 1;
      }
    }
  }
  Layout(layoutwidth);
  AllChangedNotify();
}

std::pair<int, int> Bargraph::Layout(int width) {
  layoutwidth = width;
  const int stepx = PanelGeometry::WIDTH + PanelGeometry::GAP;
  const int stepy = PanelGeometry::HEIGHT + PanelGeometry::GAP;
  columns = (width - PanelGeometry::GAP) / stepx;
  if (columns < 1) columns = 1;
  for (std::size_t i = 0; i < panels.size(); ++i) {
    const int col = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
    const int x = PanelGeometry::GAP + col * stepx, y = PanelGeometry::GAP + row * stepy;
    panels[i].SetPanelRect({x, y, x + PanelGeometry::WIDTH, y + PanelGeometry::HEIGHT});
  }
  const int n = static_cast<int>(panels.size());
  const int usedcols = n < columns ? n : columns;
  const int rows = (n + columns - 1) / columns;
  extentw = PanelGeometry::GAP + usedcols * stepx;
  extenth = PanelGeometry::GAP + rows * stepy;
  return {extentw, extenth};
}

int Bargraph::PanelAt(int x, int y) const {
  const int stepx = PanelGeometry::WIDTH + PanelGeometry::GAP;
  const int stepy = PanelGeometry::HEIGHT + PanelGeometry::GAP;
  if (x < PanelGeometry::GAP || y < PanelGeometry::GAP) return -1;
  const int col = (x - PanelGeometry::GAP) / stepx, row = (y - PanelGeometry::GAP) / stepy;
  if (col >= columns) return -1;
  const long index = static_cast<long>(row) * columns + col;
  if (index >= static_cast<long>(panels.size())) return -1;
  const PanelDisp& p = panels[static_cast<std::size_t>(index)];
  return p.GetPanelRect().Contains(x, y) ? static_cast<int>(index) : -1;
}

int Bargraph::GetPanelIndex(int device) const {
  if (device < 0 || device >= LOOPS * SLOTS) return -1;
  return panelindex[static_cast<std::size_t>(device)];
}

const PanelDisp* Bargraph::GetPanel(int device) const {
  const int i = GetPanelIndex(device);
  return i < 0 ? nullptr : &panels[static_cast<std::size_t>(i)];
}

unsigned Bargraph::GetLastLevel(int device) const {
  if (device < 0 || device >= LOOPS * SLOTS) return NOLEVEL;
  return lastlevel[static_cast<std::size_t>(device)];
}

void Bargraph::MsgRx(int loop, const char* msg) {
  // Only fast-poll answers carry the three bytes; a power supply's short
  // answer ('*') has none, and a cut-off frame must not be read past its end.
  if (context == nullptr || loop < 0 || loop >= loops) return;
  const std::optional<FastPollAnswer> answer = FastPollAnswer::Decode(msg);
  // The address byte indexes the panels: without its top bit it is no address.
  if (!answer || (static_cast<unsigned char>(msg[1]) & 0x80) == 0) return;
  const unsigned st = answer->status;
  const unsigned fault = answer->Faults();
  // The panel reads the whole level byte its own way.
  const unsigned lvl = answer->level;

  const int device = loop * SLOTS + static_cast<int>(answer->address);
  const auto shown = static_cast<std::uint8_t>(PanelDisp::ShownLevel(lvl));
  // We are ahead of the alarm display in the registry, so the application
  // still answers with the bits before this frame.
  const bool statuschanged = st != context->GetDeviceStatus(device);
  const bool changed = statuschanged || fault != context->GetDeviceFaultStatus(device) ||
                       shown != lastlevel[static_cast<std::size_t>(device)];
  if (!changed) return;
  // Kept for every device, so that a panel made later starts right.
  lastlevel[static_cast<std::size_t>(device)] = shown;
  // The tab first: switching to the loop makes its panels again from the
  // application's bits, which do not have this frame yet.
  if (statuschanged) UpdateTabStatus(loop, device, st);
  const int index = panelindex[static_cast<std::size_t>(device)];
  if (index >= 0) {
    panels[static_cast<std::size_t>(index)].Update(st, fault, lvl);
    Changed(index);
  }
}

unsigned Bargraph::LoopStatus(int loop, int except) const {
  unsigned bits = 0;
  for (int a = 1; a <= 126; ++a) {
    const int other = loop * SLOTS + a;
    if (other == except) continue;
    // Devices not heard from yet carry markers above a byte: left out.
    const unsigned s = context->GetDeviceStatus(other);
    if (s <= 255) bits |= s;
  }
  return bits;
}

void Bargraph::UpdateTabStatus(int loop, int device, unsigned st) {
  const unsigned bits = st | LoopStatus(loop, device);
  const bool tabchanged = bits != tabstatus[static_cast<std::size_t>(loop)];
  tabstatus[static_cast<std::size_t>(loop)] = bits;
  if (switchloop && loops > 1 && currenttab != loop) {
    LoopChange(loop);
    return;
  }
  if (tabchanged) TabsChangedNotify();
}

unsigned Bargraph::GetTabStatus(int tab) const {
  if (tab >= 0 && tab < loops) return tabstatus[static_cast<std::size_t>(tab)];
  unsigned bits = 0;
  for (int l = 0; l < loops; ++l) bits |= tabstatus[static_cast<std::size_t>(l)];
  return bits;
}

int Bargraph::StatusPriority(unsigned status, unsigned fault) {
  if (status & 0x10) return 0;
  if (status & 0x08) return 1;
  if (status & 0x04) return 2;
  if (status & 0x02) return 3;
  if ((status & ST_FAULT) == 0) return 5;
  if (fault & FT_ISOLATED) return 6;
  return 4;
}

void Bargraph::LoopChange(int tab) {
  if (loops <= 1 || tab < 0 || tab >= GetTabCount()) return;
  currenttab = tab;
  CreatePanels();
  TabsChangedNotify();
}

// --- Selection -------------------------------------------------------------------

bool Bargraph::IsSelected(const PanelDisp& p) const {
  return context != nullptr && context->GetSelection().ContainsInternalAddress(p.GetDeviceId());
}

bool Bargraph::HasDetectorSelected() const {
  if (context == nullptr) return false;
  for (int d : context->GetSelection())
    if ((d & 0xFF) >= 1 && (d & 0xFF) <= 127) return true;
  return false;
}

void Bargraph::SelectIndexes(const std::vector<int>& indexes, SelectMode mode) {
  if (context == nullptr) return;
  SelectionSet& sel = context->GetSelection();
  if (mode == SEL_REPLACE) sel.Empty();
  int last = -1;
  for (int i : indexes) {
    const int id = panels[static_cast<std::size_t>(i)].GetDeviceId();
    if (mode == SEL_TOGGLE && sel.ContainsInternalAddress(id)) {
      sel.Remove(id);
    } else {
      sel.InsertInternalAddress(id);
      last = id;
    }
  }
  // The single-device commands act on the panel picked last.
  if (last >= 0)
    context->SetSelDetector(last);
  else if (sel.Count() == 0)
    context->SetSelDetector(-1);
  AllChangedNotify();
}

void Bargraph::SelectAt(int x, int y, SelectMode mode) {
  const int i = PanelAt(x, y);
  if (i < 0 && mode != SEL_REPLACE) return;
  SelectIndexes(i < 0 ? std::vector<int>{} : std::vector<int>{i}, mode);
}

void Bargraph::SelectRect(const PanelDisp::Rect& r, SelectMode mode) {
  std::vector<int> hit;
  for (std::size_t i = 0; i < panels.size(); ++i)
    if (panels[i].GetPanelRect().Intersects(r)) hit.push_back(static_cast<int>(i));
  SelectIndexes(hit, mode);
}

// --- Keyboard ----------------------------------------------------------------------

void Bargraph::MoveFocus(Direction d) {
  const int n = static_cast<int>(panels.size());
  if (n == 0) return;
  const int from = GetFocusPanel();
  int to = from;
  if (from < 0) {
    to = d == FOCUS_LAST ? n - 1 : 0;
  } else {
    switch (d) {
      case FOCUS_LEFT:
        to = from > 0 ? from - 1 : from;
        break;
      case FOCUS_RIGHT:
        to = from + 1 < n ? from + 1 : from;
        break;
      case FOCUS_UP:
        to = from >= columns ? from - columns : from;
        break;
      case FOCUS_DOWN:
        // The last row may be short: Down from above its end lands on its
        // last panel rather than nowhere.
        if (from + columns < n)
          to = from + columns;
        else if (from / columns < (n - 1) / columns)
          to = n - 1;
        break;
      case FOCUS_FIRST:
        to = 0;
        break;
      case FOCUS_LAST:
        to = n - 1;
        break;
    }
  }
  if (to == from) return;
  focusdevice = panels[static_cast<std::size_t>(to)].GetDeviceId();
  if (from >= 0) Changed(from);
  Changed(to);
}

void Bargraph::EnsureFocus() {
  if (GetFocusPanel() >= 0 || panels.empty()) return;
  const int selected = context != nullptr ? context->GetSelDetector() : -1;
  const int index = selected >= 0 ? GetPanelIndex(selected) : -1;
  focusdevice = panels[static_cast<std::size_t>(index >= 0 ? index : 0)].GetDeviceId();
  Changed(GetFocusPanel());
}

void Bargraph::SelectFocus(SelectMode mode) {
  const int i = GetFocusPanel();
  if (i >= 0) SelectIndexes({i}, mode);
}

int Bargraph::FocusCommand() const {
  const int i = GetFocusPanel();
  if (i < 0) return 0;
  const PanelDisp::Rect& r = panels[static_cast<std::size_t>(i)].GetPanelRect();
  return DoubleClickCommand(r.left, r.top);
}

// --- Commands --------------------------------------------------------------------

std::vector<Bargraph::MenuEntry> Bargraph::ContextMenu() const {
  static constexpr int single[][2] = {
      {CMD_DEMOFIRE2, 31100},    {CMD_DEMOFIRE1, 31200},
      {CMD_DEMOPREALARM, 31300}, {CMD_DEMOAUX, 31400},
      {CMD_DEMODETFAULT, 31900}, {0, 0},
      {CMD_SINGLERESET, 33500},  {CMD_ISOLATE, 26500},
      {CMD_DEISOLATE, 26600},    {0, 0},
      {CMD_FRONTPANEL, 18100},   {CMD_SINGLEDIAGNOSTICS, 18200},
      {CMD_HISTOGRAM, 18300},    {CMD_CHARTLOG, 18400},
      {CMD_EVENTLOG, 18500},     {CMD_EDITDEVFN, 18600},
      {CMD_VIEWMAP, 18700},      {CMD_VIEWZONE, 18800},
  };
  std::vector<MenuEntry> menu;
  auto add = [&](int cmd, int text) {
    bool enabled = cmd != 0 && context != nullptr && context->IsCommandEnabled(cmd) &&
                   (!commandfilter || commandfilter(cmd));
    // A single-device command needs a device to act on.
    if (cmd != CMD_ISOLATESELECTED && cmd != CMD_DEISOLATESELECTED && context != nullptr &&
        context->GetSelDetector() < 0)
      enabled = false;
    menu.push_back({cmd, text, enabled});
  };
  for (const auto& e : single) add(e[0], e[1]);
  if (HasDetectorSelected()) {
    add(0, 0);
    add(CMD_ISOLATESELECTED, 50900);
    add(CMD_DEISOLATESELECTED, 51000);
  }
  return menu;
}

int Bargraph::DoubleClickCommand(int x, int y) const {
  const int i = PanelAt(x, y);
  if (i < 0 || context == nullptr) return 0;
  const std::int32_t zone = panels[static_cast<std::size_t>(i)].GetZone();
  const TSiteConfig* site = context->GetSiteConfig();
  if (zone != 0 && site != nullptr &&
      site->GetDevice(static_cast<std::uint32_t>(zone), ZONE) != nullptr)
    return CMD_VIEWZONE;
  return CMD_VIEWMAP;
}

}  // namespace quillark
