#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "core/site/functionset.h"

namespace quillark {

class Translator;

// The pages of the device settings window as records: what each control
// shows of the function set and what Apply writes and marks. A page widget
// only copies its controls to and from the entries, so every rule here can
// be checked without a window.

// The always-present information page has no bit of its own.
inline constexpr int FP_INFO2K = 0;

enum class FnKind {
  NUMBER,       // decimal number of one function, within min..max
  ONOFF,        // 110 on, 109 off
  INPUT,        // 109 off, 109 + n on with input n (entry value n, 0 off)
  YEAR,         // four digits shown, stored modulo 100
  LIST,         // list position; stored as position + extra
  READONLY,     // a number shown and never written
  FIXED,        // a text of the page's own, no function
  ACCESSCODE,   // 0 to 9999 kept as index = code / 100 and index + 1 = code % 100
  TEXT,         // one character per function, index .. extra
  BITS,         // extra flags, flag i at bit i & 7 of index + i / 8
  BIT,          // one bit (extra) of a function
  SCALED,       // shown as the value times extra
  DAYNIGHTOFF,  // ticked when index and extra hold the same hour
  FIRMWARE,     // the version function, in tenths
  RUNTIME,      // hours kept in three functions, index..index + 2, 100 each
};

struct FnControl {
  FnKind kind = FnKind::NUMBER;
  std::string label;
  int index = -1;
  int min = 0;
  int max = 255;
  // Controls of one group (not 0) are written and marked together as soon
  // as one of them was edited.
  int group = 0;
  int extra = 0;
  int width = 0;  // zero-padded digits shown, 0: plain decimal
  std::vector<std::string> items;
  bool enabled = true;
  bool readonly = false;
  // TEXT: ends with a 0 value (else padded with blanks). ONOFF: written only
  // when the box differs from the stored value.
  bool variant = false;
};

struct FnPage {
  int bit = FP_INFO2K;
  std::string title;
  // The title's number in the text table and its English, for a tab that
  // retitles itself when the language changes.
  int titleid = 0;
  const char* english = "";
  std::string dialog;
  std::vector<FnControl> controls;
};

// What a control holds on the page. `changed` is set by whoever edits it
// (the widget, a console command).
struct FnEntry {
  int value = 0;
  std::string text;
  std::vector<bool> bits;
  bool changed = false;
  // Some controls are usable only for some stored values.
  bool enabled = true;
};

// The information page, then one page for each page bit of the model at its
// version, in the order of the tabs.
std::vector<FnPage> FnPagesForModel(int model, int version, Translator* translator = nullptr);
FnPage FnMakePage(int bit, int model, int version, Translator* translator = nullptr);

// LoadDlg: the entries of every control from the set.
std::vector<FnEntry> FnLoadPage(const FnPage& page, const FunctionSet& set);
// Apply: writes what was edited into the set and marks it. Returns the
// messages the page shows (stop icon) about values it refused, in the
// translator's language (English without one).
std::vector<std::string> FnApplyPage(const FnPage& page, std::vector<FnEntry>& entries,
                                     FunctionSet& set, Translator* translator = nullptr);
// The control's value as the page shows it ("9", "on", "input 2", "2069",
// "not set").
std::string FnShowEntry(const FnControl& control, const FnEntry& entry, const FunctionSet& set);
// Reads `text` into the entry as a user typing it would; false (with why)
// when the control cannot take it.
bool FnEnterText(const FnControl& control, const std::string& text, FnEntry& entry,
                 std::string& why);

// "Set from PC" of the time page: the local time into functions 17 to 21
// (indices 16 to 20), marked.
void FnSetClock(FunctionSet& set, const std::tm& now);
// "Scan devices" of the bus setup page.
void FnScanDevices(FunctionSet& set);

inline constexpr int FN_CLOCKFIRST = 16;
inline constexpr int FN_CLOCKLAST = 20;

}  // namespace quillark
