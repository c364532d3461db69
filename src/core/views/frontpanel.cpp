#include "core/views/frontpanel.h"

#include "core/comms/fastpollanswer.h"

namespace quillark {

FrontPanelSource::FrontPanelSource(BusHost* bus, const DeviceConfig& device, int deviceid,
                                   std::uint32_t background)
    : MsgClass(bus), panel(device, deviceid, background) {
  // Only short answers: a long frame never changes the panel.
  if (main != nullptr) Register(this, MSG_SHORT);
}

FrontPanelSource::~FrontPanelSource() {
  DeRegister();
}

void FrontPanelSource::MsgRx(int loop, const char* msg) {
  const std::optional<FastPollAnswer> answer = FastPollAnswer::Decode(msg);
  if (!answer || ((loop << 8) | static_cast<int>(answer->address)) != panel.GetDeviceId()) return;
  laststatus = answer->status;
  lastfault = answer->Faults();
  panel.Update(laststatus, lastfault, answer->level);
  if (observer) observer();
}

}  // namespace quillark
