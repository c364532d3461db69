#include "core/status/pccommandmodule.h"

#include <cstring>

#include "core/common/ini.h"
#include "core/comms/bushost.h"

namespace quillark {

void PCcommandModule::Impl::UpdateStatistics(std::uint32_t start, std::uint32_t end,
                                             bool received) {
  if (start > end) {  // the tick counter wrapped during the poll
    ++dropped;
    return;
  }
  ++polls;
  if (!received) return;
  ++responses;
  std::uint32_t d = end - start;
  if (d > max) max = d;
  if (d < min || min == 0) min = d;
  sum += d;
}

void PCcommandModule::Impl::ResetStatistics() {
  max = min = sum = 0;
  polls = responses = dropped = 0;
}

PCcommandModule::PCcommandModule(BusHost* app, TSiteConfig* s, INI& i, int l)
    : MsgClass(app), site(s), ini(i), impl(std::make_unique<Impl>()) {
  timeoutstring = ini.ReadString("BusMaster", "Timeout", "140").substr(0, 5);
  mssecho = static_cast<int>(ini.ReadInt("BusMaster", "MSSecho", "0"));
  if (site != nullptr) idevice = site->begin();
  SetLoops(l);
}

PCcommandModule::~PCcommandModule() {
  polltimer.Cancel();
}

void PCcommandModule::SetLoops(int l) {
  loops = l < 0 ? 0 : l;
  impl->retries.resize(static_cast<std::size_t>(loops) * 256, 0);
}

int PCcommandModule::GetRetries(int device) const {
  if (device < 0 || static_cast<std::size_t>(device) >= impl->retries.size()) return 0;
  return impl->retries[static_cast<std::size_t>(device)];
}

void PCcommandModule::StartTimer(std::uint32_t ms) {
  if (main == nullptr) return;
  polltimer = main->Events().SingleShot(ms, [this] { EvTimer(POLLTIMER); });
}

void PCcommandModule::SetupWindow() {
  if (site != nullptr) idevice = site->begin();
  state = CM_NEW;
  StartTimer(1000);
}

bool PCcommandModule::OnNetworkLoop(int device) const {
  return main != nullptr && device >= 0 && main->IsNetworkLoop(device >> 8);
}

bool PCcommandModule::Pollable(const DeviceConfig& d) const {
  if (d.GetType() != DETECTOR && d.GetType() != BUSCONTROLLER) return false;
  if (d.GetAddress() >= static_cast<std::uint32_t>(loops) * 256) return false;
  // An address outside its kind's range would be cut into the loop's on the
  // wire and poll some other device, whose missing answers would then be
  // reported as that device's comms failure.
  if (!TSiteConfig::AddressProblem(d).empty()) return false;
  // Another computer polls a network loop and we hear its polls and answers;
  // polls of ours would be answered late or not at all, and the device would
  // be reported failed while it answers there.
  return !OnNetworkLoop(static_cast<int>(d.GetAddress()));
}

int PCcommandModule::GetNextPollDevice() {
  if (site == nullptr || site->empty()) return 0;
  const auto start = idevice;
  deviceinfo = nullptr;
  for (;;) {
    if (main != nullptr && main->ShuttingDown()) return 0;
    if (idevice == site->end() || ++idevice == site->end()) idevice = site->begin();
    const DeviceConfig& d = *idevice;
    if (idevice == start) {
      // Back where the walk began: that entry, whatever it is.
      deviceinfo = &d;
      break;
    }
    if (!Pollable(d)) continue;
    if (d.GetModel() == ARRAYSCANCELL) {
      // Array cells are read through their command module, not polled.
      if (arrayscanner != nullptr) arrayscanner->ScanArrayDevice(d.GetDeviceNumber());
      continue;
    }
    deviceinfo = &d;
    break;
  }
  // The timer returns to the event loop after every poll, so waiting work
  // (port events, commands) runs there rather than in a nested loop here.
  return deviceinfo->GetDeviceNumber();
}

void PCcommandModule::Poll(int device) {
  polltimer.Cancel();
  if (state == CM_PAUSED || !busmaster) return;
  // Only the command module (0) and detectors (1 to 127) are polled; the walk
  // may land on any entry when nothing in the site is pollable.
  if (device < 0 || (device & 0xFF) > 127 || (device >> 8) >= loops) {
    StartTimer(polltimeout);
    return;
  }
  recsuccess = false;
  impl->pollstart = main != nullptr ? main->Events().TickCount() : 0;
  // Only when nothing else is pollable does the walk land on a network loop:
  // keep the cycle going without touching that bus.
  if (OnNetworkLoop(device)) {
    StartTimer(polltimeout);
    return;
  }
  char msg[FRAMEBUFFER] = {'?', static_cast<char>((device & 0xFF) + 0x80), '\r', '\0'};
  SendBusMessage(device >> 8, msg, 3);
  // A serial line at a low baud rate needs longer than the poll interval just
  // to carry the poll and its answer; the wait grows by that time there and
  // stays at the poll interval on every other loop.
  const int linetime = main != nullptr ? main->GetAnswerLineTime(device >> 8) : 0;
  StartTimer(polltimeout + static_cast<std::uint32_t>(linetime > 0 ? linetime : 0));
}

void PCcommandModule::MsgRx(int loop, const char* msg) {
  if (state == CM_PAUSED || !busmaster || msg == nullptr || msg[0] == '\0') return;
  const int address = static_cast<unsigned char>(msg[1]);
  if (loop * 256 + address - 0x80 != polldevice) return;
  // On a shared serial bus the PC hears its own poll; that echo is not the
  // device answering. (The bus reset, also the command module's poll, is
  // still taken as it always was.)
  if ((msg[0] == '?' || msg[0] == '&') && address != 0x80) return;
  recsuccess = true;
  if (main != nullptr) impl->UpdateStatistics(impl->pollstart, main->Events().TickCount(), true);
  if (mssecho != 0) {
    char echo[FRAMEBUFFER];
    std::size_t n = strnlen(msg, 8);
    std::memcpy(echo, msg, n);
    echo[n] = '\0';
    SendBusMessage(loop, echo, static_cast<int>(n));
  }
  if (fastpoll && main != nullptr) {
    polltimer.Cancel();
    std::weak_ptr<int> guard = alive;
    main->Events().Post([this, guard] {
      if (guard.lock()) EvTimer(POLLTIMER);
    });
  }
}

void PCcommandModule::NextPoll() {
  polldevice = GetNextPollDevice();
  state = CM_POLL;
  Poll(polldevice);
}

void PCcommandModule::EvTimer(int id) {
  if (id != POLLTIMER || !busmaster) return;
  polltimer.Cancel();
  switch (state) {
    case CM_NEW:
      NextPoll();
      break;
    case CM_POLL: {
      const bool counted =
          polldevice >= 0 && static_cast<std::size_t>(polldevice) < impl->retries.size();
      if (!recsuccess && polldevice != 0 && !OnNetworkLoop(polldevice)) {
        impl->UpdateStatistics(0, 0, false);
        state = CM_RESET;
        if (counted) {
          int& retries = impl->retries[static_cast<std::size_t>(polldevice)];
          if (++retries >= 3) {
            retries = 3;
            // Paused while the made-up answer goes round, so it is not taken
            // for the device's own.
            state = CM_PAUSED;
            if (main != nullptr) main->SetRxFail(polldevice);
            state = CM_POLL;
          }
        }
      } else if (counted) {
        impl->retries[static_cast<std::size_t>(polldevice)] = 0;
      }
      NextPoll();
      break;
    }
    case CM_RESET:
      // A network loop's bus is reset by its own bus master, not from here.
      if (main != nullptr && !OnNetworkLoop(0)) main->BusReset(0);
      StartTimer(polltimeout);
      state = CM_POLL;
      break;
    default:
      state = CM_PAUSED;
      break;
  }
}

void PCcommandModule::PausePolling() {
  if (!busmaster) return;
  state = CM_PAUSED;
  polltimer.Cancel();
  if (main != nullptr) main->Events().Wait(500);
}

void PCcommandModule::ResumePolling() {
  if (!busmaster || state != CM_PAUSED) return;
  state = CM_NEW;
  if (main != nullptr) main->Events().Wait(1000);
  if (site != nullptr) idevice = site->begin();
  Poll(polldevice);
}

void PCcommandModule::Ok() {
  state = CM_PAUSED;
  impl->ResetStatistics();
  ResumePolling();
}

}  // namespace quillark
