#pragma once

#include <functional>
#include <string>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"
#include "core/site/functionset.h"

namespace quillark {

// The bus and file side of the device settings window: the functions of one
// device, read from its function settings file and from the device, written
// back to both. Polling pauses at the first bus access and resumes when the
// link closes; a read that gets no answer ends after the ports' device
// time-out and 500 ms more, so nobody waits on a silent device for ever.
class FunctionLink : public MsgClass {
 public:
  static constexpr std::uint32_t EXTRATIMEOUT = 500;

  // `file` may be empty (bus only); without `bus` (null host) the link edits
  // the file alone. `model` is what the site says the device is.
  FunctionLink(BusHost* host, int device, int model, const std::string& file, bool bus);
  ~FunctionLink() override;
  FunctionLink(const FunctionLink&) = delete;
  FunctionLink& operator=(const FunctionLink&) = delete;

  FunctionSet& Set() { return set; }
  const FunctionSet& Set() const { return set; }
  bool FileLoaded() const { return fileloaded; }
  const std::string& GetFile() const { return file; }
  bool UsesBus() const { return devload && main != nullptr; }

  // The message of a model change, as the window shows it.
  static std::string ModelChangeText(const std::string& received, const std::string& shown);

  // Sends the read request; `done` gets the answer (taken false on time-out).
  using ReadDone = std::function<void(const FunctionSet::Answer& answer)>;
  void Read(ReadDone done);
  bool ReadPending() const { return pending; }
  // Sends the modified functions; false when there was nothing to send or
  // no bus.
  bool Write();
  // Moves to another device: writes the one edited, reloads from the file.
  void ChangeDevice(int device);
  // Writes the edited device and the file, resumes polling. Called by the
  // destructor when not called before; a pending read is dropped.
  void Close();
  // Writes the file text now; false when it cannot be written.
  bool SaveFile();

  void MsgRx(int loop, const char* msg) override;

 private:
  void LoadFromFile();
  void Pause();

  FunctionSet set;
  std::string file;
  std::string filetext;
  bool fileloaded = false;
  bool devload;
  bool paused = false;
  bool pending = false;
  bool closed = false;
  ReadDone readdone;
  TimerHandle readtimer;
};

}  // namespace quillark
