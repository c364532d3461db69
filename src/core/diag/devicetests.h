#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"

namespace quillark {

// Sends one request to one device: kind ">" and its address byte in front
// of `body` ("D000", "Q000", ...).
void DiagSendRequest(MsgClass& sender, int device, const std::string& body);

// The self-test of one device: starts it, then asks for its progress every
// 2500 ms until the device reports an end. A device that never answers, or
// that only ever reports "Untested" (it did not take the start request),
// is said so in words after four polls; the polls go on until the test is
// closed, in case the device is only slow.
class Diagnose : public MsgClass {
 public:
  static constexpr std::uint32_t POLLMS = 2500;
  static constexpr int SILENTPOLLS = 4;

  Diagnose(BusHost* app, int device);
  ~Diagnose() override;
  Diagnose(const Diagnose&) = delete;
  Diagnose& operator=(const Diagnose&) = delete;

  // Pauses polling, starts the test and the progress polls.
  void Start();
  void MsgRx(int loop, const char* msg) override;

  int GetDevice() const { return device; }
  // 0 to 10.
  int GetGauge() const { return gauge; }
  const std::string& GetStatusText() const { return statustext; }
  // The words for a test that got no further: empty while there is none.
  const std::string& GetProblem() const { return problem; }
  bool Finished() const { return finished; }
  // Told of every change of text, gauge, problem or end.
  void SetOnChange(std::function<void()> f) { onchange = std::move(f); }

 private:
  void Tick();
  void Changed() {
    if (onchange) onchange();
  }

  int device;
  int gauge = 0;
  int polls = 0;
  bool started = false;  // the device reported a test running or done
  bool answered = false;
  bool finished = false;
  bool paused = false;
  std::string statustext;
  std::string problem;
  TimerHandle timer;
  std::function<void()> onchange;
};

// Reads one device's detector level and four pipe flows every 1500 ms,
// with polling paused while it runs.
class ContRead : public MsgClass {
 public:
  static constexpr std::uint32_t READMS = 1500;
  struct Reading {
    int level = 0;
    int pipes[4] = {};
    // The fields as shown: "%03u", pipes 2 to 4 blank above 100.
    std::string Field(int index) const;
  };

  ContRead(BusHost* app, int device);
  ~ContRead() override;
  ContRead(const ContRead&) = delete;
  ContRead& operator=(const ContRead&) = delete;

  void Start();
  void MsgRx(int loop, const char* msg) override;
  // A read answer of this device's frame, or false when it is not one (or
  // is cut short, or not hex where the values are).
  static bool ParseReading(std::string_view frame, Reading& reading);

  int GetDevice() const { return device; }
  int Readings() const { return readings; }
  const Reading& Last() const { return last; }
  // Requests sent that got no answer before the next one went.
  int Unanswered() const { return unanswered; }
  void SetOnReading(std::function<void(const Reading&)> f) { onreading = std::move(f); }

 private:
  void Send();

  int device;
  int readings = 0;
  int unanswered = 0;
  bool waiting = false;
  bool paused = false;
  Reading last;
  TimerHandle timer;
  std::function<void(const Reading&)> onreading;
};

// Drives one device's relays by hand: each switch sends the whole mask at
// once. Polling goes on meanwhile. A device that does not confirm a setting
// within three seconds is said so in words.
class RelayTest : public MsgClass {
 public:
  enum Relay : int { FAULT = 0x01, AUX = 0x02, PREALARM = 0x04, FIRE1 = 0x08, FIRE2 = 0x10 };
  static constexpr std::uint32_t CONFIRMMS = 3000;

  RelayTest(BusHost* app, int device);
  ~RelayTest() override;
  RelayTest(const RelayTest&) = delete;
  RelayTest& operator=(const RelayTest&) = delete;

  void Toggle(int relay) { SetMask(mask ^ (relay & 0x1F)); }
  void SetMask(int mask);
  int GetMask() const { return mask; }
  void MsgRx(int loop, const char* msg) override;
  // Whether `frame` is a device's answer that it set the relays to `mask`
  // (the sender is checked apart).
  static bool IsConfirmation(std::string_view frame, int mask);

  // The words for a setting the device did not confirm; empty otherwise.
  const std::string& GetProblem() const { return problem; }
  bool Confirmed() const { return confirmed; }
  void SetOnChange(std::function<void()> f) { onchange = std::move(f); }

 private:
  int device;
  int mask = 0;
  bool confirmed = false;
  std::string problem;
  TimerHandle timer;
  std::function<void()> onchange;
};

}  // namespace quillark
