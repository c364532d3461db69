#include "core/status/devicestatusmonitor.h"

#include <cstring>

#include "core/comms/bushost.h"
#include "core/comms/fastpollanswer.h"
#include "core/platform/eventloop.h"

namespace quillark {

namespace {

constexpr unsigned MAXADDRESS = 127;

// Characters of a received frame up to and including its check sum. A frame
// cut from a port may still carry its CR, a made-up one does not.
std::size_t FrameLength(const char* msg) {
  std::size_t n = std::strlen(msg);
  if (n > 0 && msg[n - 1] == '\r') --n;
  return n;
}

// '>', address, 'A', a three-digit field, five levels, check sum.
constexpr std::size_t LEVELFIELD = 3 + 3 + 2;
constexpr std::size_t LEVELANSWER = 3 + 3 + 5 * 2 + 2;

bool InList(const DeviceStatusList& list, int device) {
  return device >= 0 && static_cast<std::size_t>(device) < list.size();
}

// Device numbers the list can hold at all; anything else would only be
// dropped by the list after observers had been told of it.
bool Storable(int device) {
  return device >= 0 && static_cast<std::size_t>(device) < DeviceStatusList::MAXSIZE;
}

}  // namespace

DeviceStatusMonitor::DeviceStatusMonitor(BusHost* application, DeviceStatusList& devicestatuslist)
    : MsgClass(application), devicestatuslist(devicestatuslist) {
  Register(this, MSG_SHORT | MSG_LONG);
}

DeviceStatusMonitor::~DeviceStatusMonitor() {
  DeRegister();
}

void DeviceStatusMonitor::MsgRx(int loop, const char* msg) {
  if (msg == nullptr || msg[0] == '\0') return;
  const int device = loop * 256 + (static_cast<unsigned char>(msg[1]) & 0x7F);
  if (msg[0] == '@') {
    DecodeAndStoreFastPoll(device, msg);
  } else if (msg[0] == '>' && msg[1] != '\0' && msg[2] == 'A') {
    DecodeAndStoreLevels(device, msg);
  }
  // While polling is paused another operation has the bus to itself; a level
  // poll now would cut into its exchange. The poll waits for the first frame
  // after polling resumes.
  if (main != nullptr && main->IsPollPaused()) return;
  if (TimeToSendAlarmLevelPoll()) SendNextAlarmLevelPoll();
}

void DeviceStatusMonitor::DecodeAndStoreFastPoll(int device, const char* msg) {
  // A frame too short for its three bytes would have them read past its end.
  const std::optional<FastPollAnswer> answer = FastPollAnswer::Decode(msg);
  if (!answer || !Storable(device)) return;
  const unsigned status = answer->status;
  const unsigned faults = answer->fault;
  const unsigned level = answer->Level();

  if (InList(devicestatuslist, device)) {
    const DeviceStatus stored = devicestatuslist.GetState(device);
    const DeviceStatus fresh(status, faults, level, stored.GetFire2Level(), stored.GetFire1Level(),
                             stored.GetPreAlarmLevel(), stored.GetAuxLevel(),
                             stored.GetDetectorLevel());
    // The same answer comes every poll; only a change is worth telling.
    if (fresh.Equ(stored)) return;
    devicestatuslist.SetState(device, fresh);
  } else {
    devicestatuslist.SetState(device, DeviceStatus(status, faults, level, 0, 0, 0, 0, 0));
  }
  devicestatuslist.Notify(device);
}

void DeviceStatusMonitor::DecodeAndStoreLevels(int device, const char* msg) {
  if (msg == nullptr || !Storable(device)) return;
  const std::size_t length = FrameLength(msg);
  if (length < LEVELFIELD) return;
  const char* ptr = msg + 3;
  // Our own request "A000" is heard on the bus too; its field is 0.
  if (GetData(3, ptr) < 10) return;
  if (length < LEVELANSWER) return;
  const auto fire2 = static_cast<std::uint8_t>(GetData(2, ptr));
  const auto fire1 = static_cast<std::uint8_t>(GetData(2, ptr));
  const auto prealarm = static_cast<std::uint8_t>(GetData(2, ptr));
  const auto aux = static_cast<std::uint8_t>(GetData(2, ptr));
  const auto detector = static_cast<std::uint8_t>(GetData(2, ptr));

  if (InList(devicestatuslist, device)) {
    DeviceStatus levels = devicestatuslist.GetState(device);
    if (!levels.SetLevelsIfRequired(fire2, fire1, prealarm, aux, detector)) return;
    devicestatuslist.SetState(device, levels);
  } else {
    devicestatuslist.SetState(device, DeviceStatus(0, 0, 0, fire2, fire1, prealarm, aux, detector));
  }
  devicestatuslist.Notify(device);
}

bool DeviceStatusMonitor::TimeToSendAlarmLevelPoll() {
  if (main == nullptr) return false;
  const std::uint32_t now = main->Events().TickCount();
  // Compared on the wrapping tick counter, so that the interval holds across
  // the wrap instead of a poll going out on every frame before it.
  if (levelpollsent && static_cast<std::int32_t>(now - nextsend) < 0) return false;
  levelpollsent = true;
  nextsend = now + LEVELPOLLINTERVAL;
  return true;
}

void DeviceStatusMonitor::SendNextAlarmLevelPoll() {
  const int loops = GetEnabledLoops(devicestatuslist);
  for (int loop = 0; loop < loops; ++loop) {
    char buf[FRAMEBUFFER];
    buf[0] = '>';
    buf[1] = static_cast<char>(address + 0x80);
    std::memcpy(buf + 2, "A000", 5);
    SendBusMessage(loop, buf, 6);
  }
  address = GetNextEnabledDetector(devicestatuslist, address);
}

int DeviceStatusMonitor::GetEnabledLoops(const DeviceStatusList& list) {
  const std::size_t n = list.size();
  if (n == 0) return 0;
  return static_cast<int>((n + 256) / 256);
}

bool DeviceStatusMonitor::IsEnabledAddress(const DeviceStatusList& list, unsigned address) {
  const int loops = GetEnabledLoops(list);
  for (int loop = 0; loop < loops; ++loop) {
    const std::size_t device = static_cast<std::size_t>(loop) * 256 + address;
    if (device < list.size() && list.GetState(static_cast<int>(device)).HasValues()) return true;
  }
  return false;
}

unsigned DeviceStatusMonitor::GetNextEnabledDetector(const DeviceStatusList& list,
                                                     unsigned address) {
  for (unsigned step = 0; step < MAXADDRESS; ++step) {
    ++address;
    if (address > MAXADDRESS) address = 1;
    if (IsEnabledAddress(list, address)) break;
  }
  return address;
}

}  // namespace quillark
