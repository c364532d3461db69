#pragma once

#include <cstdint>
#include <string>

#include "core/platform/eventwriter.h"
#include "core/platform/services.h"

namespace quillark {

class EventLoop;
class MsgClass;
class RemoteAudit;
class Prompter;
class Translator;

// What a receiver or a port needs of the program around it: the registry
// through which frames flow, sending, port events, pausing the bus master
// and a few facts about the loops, with the service bundle. Ports and
// receivers see only this, so any of them can be built and tested on its own.
class BusHost {
 public:
  virtual ~BusHost() = default;

  virtual Services& GetServices() const = 0;

  // --- The registry and delivery
  virtual void Register(MsgClass* msgclass, std::uint32_t flags) = 0;
  virtual void DeRegister(MsgClass* msgclass) = 0;
  // A frame of `characters` characters (check sum included) heard on `loop`;
  // `fromrs232` is false for frames the program makes up itself.
  virtual void DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232) = 0;
  // Called by a port whose transmitter drained.
  virtual void TxEmpty() = 0;
  // Appends the check sum and CR (except to '?' polls) and writes the frame
  // to the loop's port. `msg` needs 4 spare bytes.
  virtual int SendBusMessage(int loop, char* msg, int msglength) = 0;
  // A complete frame from a remote client: data[0] is the loop, then `datalen` bytes.
  virtual void ControlRx(int datalen, const char* data) = 0;
  // Where the operations remote clients send are recorded; none at first.
  virtual RemoteAudit* GetRemoteAudit() const { return nullptr; }
  // A port event, delivered later on the event loop (the counterpart of a
  // posted WM_COMMNOTIFY).
  virtual void PostCommNotify(int loop, int status) = 0;
  // The bus viewer sees every frame from a port and every frame sent.
  virtual void SetBusViewer(MsgClass* viewer) = 0;
  virtual MsgClass* GetBusViewer() const = 0;
  // The main device display; while it is missing, an arriving frame rebuilds it.
  virtual void SetMainDisplay(MsgClass* display) = 0;
  virtual MsgClass* GetMainDisplay() const = 0;

  // --- Polling
  virtual void PausePolling() = 0;
  // Always with a port reset.
  virtual void ResumePolling() = 0;
  virtual bool IsPollPaused() const = 0;

  // --- The loops
  virtual int GetLoops() const = 0;
  virtual bool IsLiveEdition() const = 0;
  // The loop's port is another computer's loop: that computer polls it.
  virtual bool IsNetworkLoop(int loop) const = 0;
  // The time a loop's line needs for a poll and its answer (0 for most).
  virtual int GetAnswerLineTime(int loop) const = 0;
  virtual int GetMaxDeviceTimeout() const = 0;
  virtual bool IsWritable(int device) const = 0;
  // Resets a loop's bus; the reset is also the fast poll of its command module.
  virtual void BusReset(int loop) = 0;
  // Tells every receiver that `device` did not answer.
  virtual void SetRxFail(int device) = 0;
  // A simulated event for a device of a demonstration loop.
  virtual void SetEvent(int device, int event) = 0;
  virtual bool ShuttingDown() const = 0;

  // Shorthands for the services.
  EventLoop& Events() const { return GetServices().events; }
  Prompter& GetPrompter() const { return GetServices().prompter; }
  Translator& GetTranslator() const { return GetServices().translator; }
  INI& GetINI() const { return GetServices().ini; }
  void WriteEvent(int category, const std::string& text) const {
    GetServices().writer.WriteEvent(category, text);
  }
};

}  // namespace quillark
