#pragma once

#include <string>
#include <vector>

#include "core/comms/bushost.h"
#include "core/comms/msgclass.h"
#include "core/platform/eventwriter.h"
#include "core/platform/statusdisplay.h"

namespace quillark::test {

class RecordingStatus : public StatusDisplay {
 public:
  struct Shown {
    std::string text;
    Rgb fg, bg;
  };
  void SetStatusText(const std::string& text, Rgb fg, Rgb bg) override {
    shown.push_back({text, fg, bg});
  }
  void FlashCaption(bool invert) override { flashes.push_back(invert); }
  void WarningBeep() override { ++beeps; }

  std::vector<Shown> shown;
  std::vector<bool> flashes;
  int beeps = 0;
};

class RecordingEventWriter : public EventWriter {
 public:
  struct Event {
    int category;
    std::string text;
  };
  void WriteEvent(int category, const std::string& text) override {
    events.push_back({category, text});
  }
  std::vector<Event> events;
};

// Collects every frame it is given, as text with its length.
class RecordingReceiver : public MsgClass {
 public:
  explicit RecordingReceiver(BusHost* host) : MsgClass(host) {}
  ~RecordingReceiver() override { DeRegister(); }
  void MsgRx(int loop, const char* msg) override {
    loops.push_back(loop);
    frames.emplace_back(msg);
  }
  void TxEmpty() override { ++txempty; }
  std::vector<int> loops;
  std::vector<std::string> frames;
  int txempty = 0;
};

}  // namespace quillark::test
