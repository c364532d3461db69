#include "core/status/pccommandmodule.h"

#include <algorithm>
#include <cstring>

#include "core/common/ini.h"
#include "core/comms/bushost.h"

namespace quillark {

void PCcommandModule::Counts::UpdateStatistics(std::uint32_t start, std::uint32_t end,
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

void PCcommandModule::Counts::ResetStatistics() {
  max = min = sum = 0;
  polls = responses = dropped = 0;
  cycle = 0;
}

PCcommandModule::PCcommandModule(BusHost* app, TSiteConfig* s, INI& i, int l)
    : MsgClass(app), site(s), ini(i), impl(std::make_unique<Impl>()) {
  timeoutstring = ini.ReadString("BusMaster", "Timeout", "140").substr(0, 5);
  mssecho = static_cast<int>(ini.ReadInt("BusMaster", "MSSecho", "0"));
  oneatatime = ini.ReadInt("BusMaster", "PollOneAtATime", "0") != 0;
  if (site != nullptr) idevice = site->begin();
  SetLoops(l);
}

PCcommandModule::~PCcommandModule() {
  polltimer.Cancel();
  walks.clear();
}

void PCcommandModule::SetLoops(int l) {
  loops = l < 0 ? 0 : l;
  impl->retries.resize(static_cast<std::size_t>(loops) * 256, 0);
  const int before = static_cast<int>(walks.size());
  walks.resize(static_cast<std::size_t>(loops));
  // A loop added while the loops are being walked starts its own walk now.
  if (activeperloop && state == CM_POLL)
    for (int loop = before; loop < loops; ++loop) LoopTick(loop);
}

const PCcommandModule::Counts& PCcommandModule::LoopStatistics(int loop) const {
  static const Counts none;
  if (loop < 0 || static_cast<std::size_t>(loop) >= walks.size()) return none;
  return walks[static_cast<std::size_t>(loop)].counts;
}

void PCcommandModule::SetOneAtATime(bool on) {
  oneatatime = on;
  ini.WriteInt("BusMaster", "PollOneAtATime", on ? 1 : 0);
}

std::uint32_t PCcommandModule::Tick() const {
  return main != nullptr ? main->Events().TickCount() : 0;
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
  activeperloop = !oneatatime;
  cyclestart = Tick();
  cycled = false;
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
    if (idevice == site->end() || ++idevice == site->end()) {
      idevice = site->begin();
      const std::uint32_t now = Tick();
      if (cycled) impl->cycle = now - cyclestart;
      cyclestart = now;
      cycled = true;
    }
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
  if (state == CM_PAUSED || injecting || !busmaster || msg == nullptr || msg[0] == '\0') return;
  if (activeperloop) {
    LoopAnswer(loop, msg);
    return;
  }
  const int address = static_cast<unsigned char>(msg[1]);
  if (loop * 256 + address - 0x80 != polldevice) return;
  // On a shared serial bus the PC hears its own poll; that echo is not the
  // device answering. (The bus reset, also the command module's poll, is
  // still taken as it always was.)
  if ((msg[0] == '?' || msg[0] == '&') && address != 0x80) return;
  recsuccess = true;
  if (main != nullptr) {
    const std::uint32_t now = main->Events().TickCount();
    impl->UpdateStatistics(impl->pollstart, now, true);
    if (static_cast<std::size_t>(loop) < walks.size())
      walks[static_cast<std::size_t>(loop)].counts.UpdateStatistics(impl->pollstart, now, true);
  }
  Echo(loop, msg);
  if (fastpoll && main != nullptr) {
    polltimer.Cancel();
    std::weak_ptr<int> guard = alive;
    main->Events().Post([this, guard] {
      if (guard.lock()) EvTimer(POLLTIMER);
    });
  }
}

void PCcommandModule::Echo(int loop, const char* msg) {
  if (mssecho == 0) return;
  char echo[FRAMEBUFFER];
  std::size_t n = strnlen(msg, 8);
  std::memcpy(echo, msg, n);
  echo[n] = '\0';
  SendBusMessage(loop, echo, static_cast<int>(n));
}

bool PCcommandModule::CountMiss(int device) {
  if (device < 0 || static_cast<std::size_t>(device) >= impl->retries.size()) return false;
  int& retries = impl->retries[static_cast<std::size_t>(device)];
  if (++retries < 3) return false;
  retries = 3;
  // The made-up answer goes round every receiver, this one included: it
  // must not be taken for the device's own.
  injecting = true;
  if (main != nullptr) main->SetRxFail(device);
  injecting = false;
  return true;
}

void PCcommandModule::NextPoll() {
  polldevice = GetNextPollDevice();
  state = CM_POLL;
  Poll(polldevice);
}

void PCcommandModule::EvTimer(int id) {
  if (id != POLLTIMER || !busmaster) return;
  polltimer.Cancel();
  // The loops' walks run on their own timers.
  if (activeperloop && state != CM_NEW) return;
  switch (state) {
    case CM_NEW:
      if (activeperloop)
        StartLoops();
      else
        NextPoll();
      break;
    case CM_POLL: {
      const bool counted =
          polldevice >= 0 && static_cast<std::size_t>(polldevice) < impl->retries.size();
      if (!recsuccess && polldevice != 0 && !OnNetworkLoop(polldevice)) {
        impl->UpdateStatistics(0, 0, false);
        if (static_cast<std::size_t>(polldevice >> 8) < walks.size())
          walks[static_cast<std::size_t>(polldevice >> 8)].counts.UpdateStatistics(0, 0, false);
        state = CM_RESET;
        if (counted) CountMiss(polldevice);
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
  for (LoopWalk& w : walks) RestartWalk(w);
  if (main != nullptr) main->Events().Wait(500);
}

void PCcommandModule::ResumePolling() {
  if (!busmaster || state != CM_PAUSED) return;
  state = CM_NEW;
  if (main != nullptr) main->Events().Wait(1000);
  activeperloop = !oneatatime;
  if (activeperloop) {
    polltimer.Cancel();
    // Paused again (or shut down) while waiting: stay paused.
    if (state != CM_NEW || (main != nullptr && main->ShuttingDown())) return;
    StartLoops();
    return;
  }
  for (LoopWalk& w : walks) RestartWalk(w);
  if (site != nullptr) idevice = site->begin();
  Poll(polldevice);
}

void PCcommandModule::Ok() {
  state = CM_PAUSED;
  impl->ResetStatistics();
  for (LoopWalk& w : walks) w.counts.ResetStatistics();
  ResumePolling();
}

// --- The per-loop walk ------------------------------------------------------

void PCcommandModule::RestartWalk(LoopWalk& w) {
  w.timer.Cancel();
  w.period = 0;
  w.polldevice = -1;
  w.recsuccess = false;
  w.atstart = true;
  w.cycled = false;
}

void PCcommandModule::StartLoops() {
  polltimer.Cancel();
  state = CM_POLL;
  for (LoopWalk& w : walks) RestartWalk(w);
  for (int loop = 0; loop < static_cast<int>(walks.size()); ++loop) {
    if (state != CM_POLL) break;  // a poll's side effects paused polling
    LoopTick(loop);
  }
}

int PCcommandModule::NextLoopDevice(int loop) {
  if (site == nullptr || site->empty() || main == nullptr) return -1;
  // Another computer polls a network loop; we only listen there.
  if (main->IsNetworkLoop(loop)) return -1;
  LoopWalk& w = walks[static_cast<std::size_t>(loop)];
  if (w.atstart) {
    w.entry = site->begin();
    w.atstart = false;
    w.cyclestart = Tick();
  }
  const auto start = w.entry;
  for (;;) {
    if (main->ShuttingDown()) return -1;
    // The walk advances before it looks, as the site-wide walk does.
    if (w.entry == site->end() || ++w.entry == site->end()) {
      w.entry = site->begin();
      const std::uint32_t now = Tick();
      if (w.cycled) {
        w.counts.cycle = now - w.cyclestart;
        // The site's cycle is its slowest loop's.
        std::uint32_t longest = 0;
        for (const LoopWalk& other : walks) longest = std::max(longest, other.counts.cycle);
        impl->cycle = longest;
      }
      w.cyclestart = now;
      w.cycled = true;
    }
    const DeviceConfig& d = *w.entry;
    if (d.GetLoop() == static_cast<std::uint32_t>(loop) && Pollable(d)) {
      if (d.GetModel() != ARRAYSCANCELL) return d.GetDeviceNumber();
      // Array cells are read through their command module, not polled.
      if (arrayscanner != nullptr) arrayscanner->ScanArrayDevice(d.GetDeviceNumber());
    }
    if (w.entry == start) return -1;  // round the whole site: nothing here
  }
}

void PCcommandModule::LoopTick(int loop) {
  if (!busmaster || state != CM_POLL || main == nullptr) return;
  if (loop < 0 || static_cast<std::size_t>(loop) >= walks.size()) return;
  {
    LoopWalk& w = walks[static_cast<std::size_t>(loop)];
    const int device = w.polldevice;
    w.polldevice = -1;
    if (device >= 0) {
      if (!w.recsuccess && device != 0 && !OnNetworkLoop(device)) {
        impl->UpdateStatistics(0, 0, false);
        w.counts.UpdateStatistics(0, 0, false);
        CountMiss(device);
        // Whoever took the failure may have paused polling or changed the loops.
        if (state != CM_POLL || static_cast<std::size_t>(loop) >= walks.size()) return;
      } else if (static_cast<std::size_t>(device) < impl->retries.size()) {
        impl->retries[static_cast<std::size_t>(device)] = 0;
      }
    }
  }
  const int device = NextLoopDevice(loop);
  LoopWalk& w = walks[static_cast<std::size_t>(loop)];
  std::uint32_t period = IDLELOOKMS;
  if (device >= 0) {
    w.polldevice = polldevice = device;
    w.recsuccess = false;
    w.pollstart = impl->pollstart = Tick();
    char msg[FRAMEBUFFER] = {'?', static_cast<char>((device & 0xFF) + 0x80), '\r', '\0'};
    SendBusMessage(loop, msg, 3);
    if (state != CM_POLL || static_cast<std::size_t>(loop) >= walks.size()) return;
    // A slow serial line's poll and answer take longer than the poll
    // interval; only that loop waits longer.
    const int linetime = main->GetAnswerLineTime(loop);
    period = polltimeout + static_cast<std::uint32_t>(linetime > 0 ? linetime : 0);
  }
  // One repeating timer per loop, re-armed only when its period changes:
  // nothing is created or destroyed per poll.
  LoopWalk& armed = walks[static_cast<std::size_t>(loop)];
  if (armed.period != period || !armed.timer.Active()) {
    armed.period = period;
    armed.timer = main->Events().Repeating(period, [this, loop] { LoopTick(loop); });
  }
}

void PCcommandModule::LoopAnswer(int loop, const char* msg) {
  if (loop < 0 || static_cast<std::size_t>(loop) >= walks.size()) return;
  LoopWalk& w = walks[static_cast<std::size_t>(loop)];
  const int address = static_cast<unsigned char>(msg[1]);
  if (w.polldevice < 0 || loop * 256 + address - 0x80 != w.polldevice) return;
  // Our own poll heard back on a shared line is not the device answering.
  if ((msg[0] == '?' || msg[0] == '&') && address != 0x80) return;
  w.recsuccess = true;
  const std::uint32_t now = Tick();
  impl->UpdateStatistics(w.pollstart, now, true);
  w.counts.UpdateStatistics(w.pollstart, now, true);
  Echo(loop, msg);
  if (fastpoll && main != nullptr) {
    // The next poll of this loop goes now; its timer starts afresh from it.
    w.timer.Cancel();
    w.period = 0;
    std::weak_ptr<int> guard = alive;
    main->Events().Post([this, guard, loop] {
      if (guard.lock()) LoopTick(loop);
    });
  }
}

}  // namespace quillark
