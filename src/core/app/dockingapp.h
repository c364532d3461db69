#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "core/comms/msgclass.h"

namespace quillark {

class EventLoop;
class INI;
class NetMirror;
class Prompter;
class StatusDisplay;
class TMainWindow;
class Translator;

// The application object: holds the services and the state shared by every
// window, owns the receiver registry through which all bus frames flow, and
// forwards bus operations to the main window.
class TDockingApp {
 public:
  TDockingApp(EventLoop& events, Prompter& prompter, StatusDisplay& status, INI& ini);
  ~TDockingApp();
  TDockingApp(const TDockingApp&) = delete;
  TDockingApp& operator=(const TDockingApp&) = delete;

  EventLoop& Events() const { return events; }
  Prompter& GetPrompter() const { return prompter; }
  StatusDisplay& GetStatusDisplay() const { return status; }
  INI* GetINI() const { return &ini; }
  Translator& GetTranslator() const { return *translator; }

  // --- Receiver registry and delivery
  void Register(MsgClass* msgclass, std::uint32_t flags);
  void DeRegister(MsgClass* msgclass);
  // A frame of `characters` characters (check sum included) heard on `loop`;
  // `fromrs232` is false for frames the program makes up itself.
  void DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232);
  // Called by a port whose transmitter drained.
  void TxEmpty();
  // Appends the check sum and CR (except to '?' polls) and writes the frame to
  // the loop's port. `msg` needs 4 spare bytes.
  int SendBusMessage(int loop, char* msg, int msglength);
  // A complete frame from a remote client: data[0] is the loop, then `datalen` bytes.
  void ControlRx(int datalen, const char* data);
  std::size_t RegisteredReceivers() const;

  // The bus viewer sees every frame from a port and every frame sent.
  void SetBusViewer(MsgClass* viewer) { busviewer = viewer; }
  MsgClass* GetBusViewer() const { return busviewer; }
  // The main device display; while it is missing, an arriving frame rebuilds
  // it through `builder`.
  void SetMainDisplay(MsgClass* display) { maindisplay = display; }
  void SetDisplayBuilder(std::function<void()> builder) { displaybuilder = std::move(builder); }

  // --- Main window and the operations forwarded to it
  void SetMainWindow(std::unique_ptr<TMainWindow> window);
  TMainWindow* GetMainWindow() const { return mainwindow.get(); }
  void DestroyMainWindow();

  void WriteEvent(int category, const std::string& text);
  void PausePolling();
  void ResumePolling();  // always with a port reset
  bool IsPollPaused() const;
  bool IsWritable(int device) const;
  void SetRxFail(int device);
  void SetEvent(int device, int event);
  void BusReset(int loop);
  void EvTimer(int timer);
  void EvCommNotify(int commId, int status);
  int GetMaxDeviceTimeout() const;
  void ScanArrayDevice(int device);

  // A port event for the main window, delivered later on the event loop (the
  // counterpart of a posted WM_COMMNOTIFY). Safe if the application goes first.
  void PostCommNotify(int loop, int status);

  // Builds the network monitoring handler for the communication handler; none
  // when unset.
  using NetMirrorFactory = std::function<std::unique_ptr<NetMirror>(int loops, INI& ini)>;
  void SetNetMirrorFactory(NetMirrorFactory f) { netmirrorfactory = std::move(f); }
  std::unique_ptr<NetMirror> MakeNetMirror(int loops);

  // The communications state shown last (failed or OK); survives a rebuilt
  // communication handler.
  bool lastrxfail = false;

  void SetShuttingDown(bool on) { shuttingdown = on; }
  bool ShuttingDown() const;

 private:
  void PurgeRemoved();

  EventLoop& events;
  Prompter& prompter;
  StatusDisplay& status;
  INI& ini;
  std::unique_ptr<Translator> translator;

  std::list<MsgClassInfo> registry;
  bool busy = false;   // true while an entry is being removed
  int delivering = 0;  // depth of deliveries in progress
  bool removedduringdelivery = false;
  MsgClass* busviewer = nullptr;
  MsgClass* maindisplay = nullptr;
  std::function<void()> displaybuilder;
  bool buildingdisplay = false;

  std::unique_ptr<TMainWindow> mainwindow;
  NetMirrorFactory netmirrorfactory;
  bool shuttingdown = false;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
