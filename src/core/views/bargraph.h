#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/common/loops.h"
#include "core/comms/msgclass.h"

namespace quillark {

class DeviceConfig;
class EventInfo;
class INI;
class BusHost;
class DeviceContext;

// One lamp of a panel. Colours are red + 256 x green + 65536 x blue, as the
// event colours are.
enum LEDtype { TL_FAULT = 1, TL_ALARM = 2, TL_ROUNDBAR = 3 };
// SL_UNKNOWN: nothing has been heard from the device yet, so the status lamp
// can say neither OK nor Fault.
enum LEDstatus { SL_OFF = 0, SL_ON = 1, SL_ON2 = 2, SL_UNKNOWN = 3 };

class TLED {
 public:
  TLED() = default;
  TLED(LEDtype type, std::string label) : type(type), label(std::move(label)) {
    // A status lamp is grey until the device has answered: a device whose
    // state is not known yet must not look faulty.
    if (type == TL_FAULT) state = SL_UNKNOWN;
  }
  // Returns the state the lamp had before.
  LEDstatus SetLED(LEDstatus s) {
    const LEDstatus old = state;
    state = s;
    return old;
  }
  LEDstatus GetState() const { return state; }
  LEDtype GetType() const { return type; }
  std::uint32_t GetColour() const { return Colour(type, state); }
  // The status lamp names its state; the others always show their label.
  const std::string& GetText() const;
  // What the status lamp says while the state is unknown ("Unknown", or
  // "Not polled" for a device the bus master never polls).
  void SetUnknownText(std::string text) { unknowntext = std::move(text); }
  static std::uint32_t Colour(LEDtype type, LEDstatus state);

 private:
  LEDtype type = TL_ALARM;
  LEDstatus state = SL_OFF;
  std::string label;
  std::string unknowntext = "Unknown";
};

// Where the parts of a panel sit, relative to the panel's top left corner.
// Every panel has the same size, so the layout of the window is a grid.
struct PanelGeometry {
  struct Box {
    int x, y, w, h;
  };
  static constexpr int WIDTH = 156;
  static constexpr int HEIGHT = 112;
  static constexpr int GAP = 4;  // between panels and around the edge
  static constexpr Box TITLE{4, 4, 148, 16};
  static constexpr Box STATUS{6, 24, 40, 22};
  // Fire2, Fire1, Pre., Aux from left to right, each with its label under it.
  static constexpr Box ALARM(int i) { return {52 + i * 24, 24, 22, 10}; }
  static constexpr Box ALARMLABEL(int i) { return {50 + i * 24, 35, 26, 11}; }
  static constexpr Box ROUNDBAR(int i) { return {12 + i * 24, 53, 10, 10}; }
  static constexpr Box GAUGE{6, 70, 144, 14};
  static constexpr Box LEVEL{6, 88, 144, 16};
};

// One device's panel: its title, status lamp, the four alarm lamps
// (Fire2, Fire1, Pre., Aux), six round-bar lamps and a 0..20 level gauge.
class PanelDisp {
 public:
  struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool Intersects(const Rect& r) const {
      return left < r.right && r.left < right && top < r.bottom && r.top < bottom;
    }
  };
  static constexpr int ALARMS = 4;
  static constexpr int ROUNDBARS = 6;
  static constexpr int GAUGEMAX = 20;

  PanelDisp(const DeviceConfig& device, int deviceid, std::uint32_t background);

  // From the three bytes of a fast-poll answer; a status word above a byte
  // (the not-yet-known marker) leaves the status lamp unknown and the alarm
  // lamps dark.
  void Update(unsigned status, unsigned fault, unsigned level);
  // The level a level byte shows: bits 5 and 6 are not part of it, and a
  // byte with the top bit set shows nothing.
  static int ShownLevel(unsigned level);

  int GetDeviceId() const { return deviceid; }
  const std::string& GetTitle() const { return title; }
  std::uint32_t GetBackground() const { return background; }
  const Rect& GetPanelRect() const { return rect; }
  void SetPanelRect(const Rect& r) { rect = r; }
  const TLED& Status() const { return status; }
  const TLED& Alarm(int i) const { return alarms[static_cast<std::size_t>(i)]; }
  const TLED& RoundBar(int i) const { return roundbars[static_cast<std::size_t>(i)]; }
  int GetLevel() const { return level; }
  int GetGauge() const { return level > GAUGEMAX ? GAUGEMAX : level; }
  bool IsDetector() const { return (deviceid & 0xFF) >= 1 && (deviceid & 0xFF) <= 127; }
  std::int32_t GetZone() const { return zone; }
  const std::string& GetLocation() const { return location; }

 private:
  int deviceid;
  std::int32_t zone;
  std::string title;
  std::string location;
  std::uint32_t background;
  Rect rect;
  TLED status;
  std::array<TLED, ALARMS> alarms;
  std::array<TLED, ROUNDBARS> roundbars;
  int level = 0;
};

// What a view of the bargraph is told, so that it repaints no more than what
// changed.
class BargraphObserver {
 public:
  virtual ~BargraphObserver() = default;
  // One panel (an index of GetPanels()) shows something new.
  virtual void PanelChanged(int index) = 0;
  // The panels were made again, laid out again or the selection changed.
  virtual void AllChanged() = 0;
  // The current tab or a tab's icon changed.
  virtual void TabsChanged() = 0;
};

// The main device display: one panel per configured device, grouped under
// one tab per loop plus "Site" and "All loops" when there is more than one
// loop. Listens to fast-poll answers and updates the panel of the device.
class Bargraph : public MsgClass {
 public:
  static constexpr int LOOPS = MAXLOOPS;
  static constexpr int SLOTS = 256;
  static constexpr std::uint8_t NOLEVEL = 232;  // no level shown yet

  // `eventinfo` may be null; the tab icons then use the built-in colours.
  // `context` tells the selection and the status of each device; without
  // one nothing is selected and every device is shown as not yet known.
  Bargraph(BusHost* app, DeviceContext* context, int loops, const EventInfo* eventinfo = nullptr);
  ~Bargraph() override;

  void MsgRx(int loop, const char* msg) override;

  void SetObserver(BargraphObserver* o) { observer = o; }

  // --- Panels and layout
  // Makes the panels of the current tab from the site, each showing what is
  // known of its device already; call again when the site changes.
  void CreatePanels();
  void DeletePanels();
  // Lays the panels out in rows no wider than `width` pixels; returns the
  // size the panels need.
  std::pair<int, int> Layout(int width);
  std::pair<int, int> GetExtent() const { return {extentw, extenth}; }
  const std::vector<PanelDisp>& GetPanels() const { return panels; }
  // The panel of a device number, or null when it has none on this tab.
  const PanelDisp* GetPanel(int device) const;
  int GetPanelIndex(int device) const;
  int PanelAt(int x, int y) const;
  int GetLoops() const { return loops; }

  // --- Tabs: loops 0..loops-1, then "Site" and "All loops". A single loop
  // has no tabs.
  int GetTabCount() const { return loops > 1 ? loops + 2 : 0; }
  int SiteTab() const { return loops; }
  int AllLoopsTab() const { return loops + 1; }
  std::string GetTabCaption(int tab) const;
  int GetCurrentTab() const { return currenttab; }
  // Changes the tab and makes its panels.
  void LoopChange(int tab);
  // The OR of the status bits of the tab's devices, and the icon for it:
  // 0 normal, 1 fault, 2 aux, 3 pre-alarm, 4 fire 1, 5 fire 2.
  unsigned GetTabStatus(int tab) const;
  int GetTabIcon(int tab) const { return 5 - StatusPriority(GetTabStatus(tab), 0); }
  // Ranks a device's status: 0 fire 2, 1 fire 1, 2 pre-alarm, 3 aux,
  // 4 fault, 5 normal, 6 isolated.
  static int StatusPriority(unsigned status, unsigned fault);
  bool GetSwitchLoop() const { return switchloop; }
  std::uint32_t GetLoopColour(int loop) const;

  // --- Selection, shared with every other window
  enum SelectMode { SEL_REPLACE, SEL_TOGGLE, SEL_ADD };
  // The panel under a point; a click on no panel with SEL_REPLACE clears
  // the selection.
  void SelectAt(int x, int y, SelectMode mode);
  void SelectRect(const PanelDisp::Rect& r, SelectMode mode);
  bool IsSelected(const PanelDisp& p) const;
  // Another window changed the shared selection: the panels show it.
  void SelectionChanged() { AllChangedNotify(); }
  bool HasDetectorSelected() const;

  // --- Keyboard: a focus panel that the arrows move and Space selects, so
  // that every device can be reached without a mouse.
  enum Direction { FOCUS_LEFT, FOCUS_RIGHT, FOCUS_UP, FOCUS_DOWN, FOCUS_FIRST, FOCUS_LAST };
  // The focused panel's index, or -1. It follows its device through a
  // rebuilt set of panels, and is lost when the device has no panel.
  int GetFocusPanel() const { return focusdevice < 0 ? -1 : GetPanelIndex(focusdevice); }
  // Moves the focus a step across the laid-out grid; without a focus the
  // first step lands on the first panel. The panels left and reached are
  // redrawn.
  void MoveFocus(Direction d);
  // Focuses the selected device's panel when nothing has the focus.
  void EnsureFocus();
  // Space (SEL_REPLACE) and Ctrl+Space (SEL_TOGGLE) on the focused panel.
  void SelectFocus(SelectMode mode);
  // What Return runs on the focused panel (see DoubleClickCommand).
  int FocusCommand() const;

  // --- Context menu and double click
  struct MenuEntry {
    int command;  // 0: a separator
    int text;     // translated text number
    bool enabled;
  };
  // The entries for the current selection; commands without a handler or
  // not open to the selected device are disabled.
  std::vector<MenuEntry> ContextMenu() const;
  // Says whether a command has a handler; all do until one is given.
  void SetCommandFilter(std::function<bool(int)> f) { commandfilter = std::move(f); }
  // The command a double click at a point runs: the zone view when the
  // device has a zone the site defines, else the map view; 0 for none.
  int DoubleClickCommand(int x, int y) const;

  const EventInfo* GetEventInfo() const { return eventinfo; }
  unsigned GetLastLevel(int device) const;

 private:
  bool TabShowsLoop(int loop) const;
  void UpdateTabStatus(int loop, int device, unsigned status);
  unsigned LoopStatus(int loop, int except) const;
  void SelectIndexes(const std::vector<int>& indexes, SelectMode mode);
  void Changed(int index) {
    if (observer != nullptr) observer->PanelChanged(index);
  }
  void AllChangedNotify() {
    if (observer != nullptr) observer->AllChanged();
  }
  void TabsChangedNotify() {
    if (observer != nullptr) observer->TabsChanged();
  }

  DeviceContext* context;
  int loops;
  const EventInfo* eventinfo;
  INI* ini;
  BargraphObserver* observer = nullptr;
  std::function<bool(int)> commandfilter;
  std::array<std::uint8_t, LOOPS * SLOTS> lastlevel;
  std::array<int, LOOPS * SLOTS> panelindex;  // -1: no panel
  std::vector<PanelDisp> panels;
  std::array<unsigned, LOOPS> tabstatus{};
  std::array<std::uint32_t, LOOPS> loopcolours{};
  std::array<std::string, LOOPS> tabcaptions;
  int currenttab;
  bool switchloop = false;
  int columns = 1;
  int focusdevice = -1;  // the device whose panel has the keyboard focus
  int layoutwidth = 0;
  int extentw = 0, extenth = 0;
};

}  // namespace quillark
