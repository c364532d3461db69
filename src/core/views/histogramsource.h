#pragma once

#include <cstdint>
#include <functional>

#include "core/comms/msgclass.h"
#include "core/views/histogram.h"

namespace quillark {

// The histogram viewer's side of the bus: asks a device for its histogram and
// keeps the answers from the device shown, which also drive the smoke-test
// stopwatches. Answers caused by anybody else's request count the same.
class HistogramSource : public MsgClass {
 public:
  // `device` is a packed device number (loop << 8 | address).
  HistogramSource(BusHost* bus, int device);
  ~HistogramSource() override;

  // Told after every answer taken (and after a device change).
  void SetObserver(std::function<void()> changed) { observer = std::move(changed); }

  // Sends ">", address, "H000" on the device's loop.
  void Request();
  // Shows another device: nothing is drawn until it answers, and it is asked
  // at once rather than waiting for somebody else's request.
  void SetDevice(int device);
  int Device() const { return device; }

  void MsgRx(int loop, const char* msg) override;

  const HistogramAnswer& Answer() const { return answer; }
  // The held answer is the shown device's and within a detector's figures.
  bool IsValid() const { return answer.IsValidFor(device & 0xFF); }

  HistogramTimer& Timer() { return timer; }
  // Milliseconds on the program's clock, for the stopwatches.
  std::int64_t Now();

 private:
  int device;
  HistogramAnswer answer;
  HistogramTimer timer;
  std::function<void()> observer;
  // The event loop's tick count wraps after 49 days; the watches do not.
  std::uint32_t lasttick = 0;
  std::int64_t ticks = 0;
  bool ticking = false;
};

}  // namespace quillark
