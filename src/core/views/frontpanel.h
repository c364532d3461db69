#pragma once

#include <cstdint>
#include <functional>

#include "core/common/statusbits.h"
#include "core/comms/msgclass.h"
#include "core/views/bargraph.h"

namespace quillark {

class DeviceConfig;

// One detector's front panel: its panel display follows the detector's
// fast-poll answers, and Isolate toggles by the last fault bits heard.
class FrontPanelSource : public MsgClass {
 public:
  FrontPanelSource(BusHost* bus, const DeviceConfig& device, int deviceid,
                   std::uint32_t background);
  ~FrontPanelSource() override;

  void SetObserver(std::function<void()> changed) { observer = std::move(changed); }
  void MsgRx(int loop, const char* msg) override;

  const PanelDisp& Panel() const { return panel; }
  int DeviceId() const { return panel.GetDeviceId(); }
  unsigned LastStatus() const { return laststatus; }
  unsigned LastFault() const { return lastfault; }
  // What the Isolate button does now: isolate unless the detector says it is
  // isolated.
  bool IsolateWanted() const { return (lastfault & FT_ISOLATED) == 0; }

 private:
  PanelDisp panel;
  unsigned laststatus = STATUS_UNKNOWN;
  unsigned lastfault = 0;
  std::function<void()> observer;
};

}  // namespace quillark
