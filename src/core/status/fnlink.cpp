#include "core/status/fnlink.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/comms/bushost.h"
#include "core/comms/message.h"
#include "core/site/fnfile.h"

namespace quillark {

FunctionLink::FunctionLink(BusHost* host, int device, int model, const std::string& f, bool bus)
    : MsgClass(host), file(f), devload(bus) {
  set.SetType(model);
  set.SetDevice(device);
  if (!file.empty()) fileloaded = ReadFnFile(file, filetext);
  LoadFromFile();
  // The command module's window shows the command module's pages whatever
  // its file says.
  if ((device & 0xFF) == 0) set.SetType(PELORIN2000BUSMASTER);
}

FunctionLink::~FunctionLink() {
  Close();
}

std::string FunctionLink::ModelChangeText(const std::string& received, const std::string& shown) {
  return "The device type of the received functions is '" + received +
         "' and the settings saved on disk are for a '" + shown +
         "'. This may be because this device has been changed.\n\nIt is recommended that you "
         "synchronize the settings by selecting 'Cancel' to exit this dialog and selecting "
         "'Save function settings' from the 'File' menu.\nThis will save all the current device "
         "settings and types on to disk.";
}

void FunctionLink::LoadFromFile() {
  if (fileloaded) {
    set.LoadFns(filetext, set.GetDevice());
  } else {
    set.ClearFns();
  }
}

void FunctionLink::Pause() {
  if (paused || main == nullptr) return;
  main->PausePolling();
  paused = true;
}

void FunctionLink::Read(ReadDone done) {
  readdone = std::move(done);
  if (!UsesBus() || closed) {
    if (readdone) readdone(FunctionSet::Answer{});
    return;
  }
  if (!IsRegistered()) Register(this, MSG_LONG);
  pending = true;
  Pause();
  std::string request = FunctionSet::ReadRequest(set.GetDevice());
  char frame[FRAMEBUFFER] = {};
  std::memcpy(frame, request.data(), request.size());
  SendBusMessage(set.GetDevice() >> 8, frame, static_cast<int>(request.size()));
  const std::uint32_t wait =
      static_cast<std::uint32_t>(std::max(0, main->GetMaxDeviceTimeout())) + EXTRATIMEOUT;
  readtimer = main->Events().SingleShot(wait, [this] {
    if (!pending) return;
    pending = false;
    if (readdone) readdone(FunctionSet::Answer{});
  });
}

void FunctionLink::MsgRx(int loop, const char* msg) {
  if (!pending || msg == nullptr) return;
  const FunctionSet::Answer answer = set.TakeAnswer(loop, std::string_view(msg));
  if (!answer.taken) return;
  pending = false;
  readtimer.Cancel();
  if (readdone) readdone(answer);
}

bool FunctionLink::Write() {
  if (!UsesBus() || closed) return false;
  const std::string out = set.WriteFrame();
  if (out.empty()) return false;
  Pause();
  char frame[FRAMEBUFFER] = {};
  std::memcpy(frame, out.data(), std::min(out.size(), sizeof frame - 4));
  SendBusMessage(set.GetDevice() >> 8, frame, static_cast<int>(out.size()));
  return true;
}

bool FunctionLink::SaveFile() {
  if (!fileloaded) return false;
  // Before the write, which clears the modified flags the file goes by.
  const std::string before = filetext;
  set.SaveFns(filetext);
  return filetext == before || WriteFileAtomic(file, filetext);
}

void FunctionLink::ChangeDevice(int device) {
  SaveFile();
  Write();
  pending = false;
  readtimer.Cancel();
  set.SetDevice(device);
  LoadFromFile();
}

void FunctionLink::Close() {
  if (closed) return;
  pending = false;
  readtimer.Cancel();
  DeRegister();
  SaveFile();
  Write();
  closed = true;
  if (paused && main != nullptr && !main->ShuttingDown()) main->ResumePolling();
  paused = false;
}

}  // namespace quillark
