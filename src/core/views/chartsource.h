#pragma once

#include <cstdint>
#include <functional>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"
#include "core/views/chart.h"

namespace quillark {

// The chart recorder's side of the bus: reads a detector's chart log and,
// while recording live, turns the group's fast-poll answers into a sample
// per detector each sampling period. A chart opened from a file only takes
// chart answers after a Refresh.
class ChartSource : public MsgClass {
 public:
  // `device` is packed (loop << 8 | address); `live` records from the
  // fast-poll answers once the log is in.
  ChartSource(BusHost* bus, int device, bool live);
  ~ChartSource() override;

  void SetObserver(std::function<void()> changed) { observer = std::move(changed); }

  // Sends ">", address, "C000" to the group's shown detector.
  void Request();
  bool IsReading() const { return reading; }
  void MsgRx(int loop, const char* msg) override;

  Chart& GetChart() { return chart; }
  const Chart& GetChart() const { return chart; }
  bool IsLive() const { return live; }

 private:
  void Tick();

  int device;
  bool live;
  bool reading = false;
  Chart chart;
  RealTimeChart recorder{chart};
  std::function<void()> observer;
  TimerHandle ticker;
};

}  // namespace quillark
