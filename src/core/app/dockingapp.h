#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/status/selset.h"

namespace quillark {

class DeviceStatusSource;
class EventLoop;
class INI;
class NetMirror;
class ProgramLauncher;
class SerialLine;
class SoundPlayer;
class Prompter;
class StatusDisplay;
class TcpFactory;
class TMainWindow;
class TSiteConfig;
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

  // The program's name; the demonstration edition says so.
  static constexpr const char* APPNAME = "Quillark demonstration version";
  static constexpr const char* LIVENAME = "Quillark";

  // The live edition ("Product"/"Edition" = "live") opens the ports that
  // "Loop%uPortType" names; otherwise every loop is simulated. Read once at
  // construction: the edition does not change while the program runs.
  bool IsLiveEdition() const { return live; }
  const char* GetAppName() const { return live ? LIVENAME : APPNAME; }

  // Where the program's files live: the program home and the files in it.
  struct Paths {
    std::filesystem::path home, settings, site, mimic, help, syslog;
  };

  // --- Start-up, display build and shutdown
  // Reads the settings of the program home, loads the site and creates the
  // main window with everything it owns, in the start-up order.
  void InitMainWindow(const std::filesystem::path& home);
  // Shutdown in order: the main window and what it owns, then the site.
  void Shutdown();
  const Paths& GetPaths() const { return paths; }
  TSiteConfig* GetSiteConfig() const { return site.get(); }
  // Pauses polling, re-reads "Site" and "Loops", reloads the site, builds a
  // new device display (once the host has given a builder) and resumes:
  // after start-up, site edits and a change of loop count.
  void ShowBargraph();
  // The COMMUNICATIONSETTINGS command around the settings dialog `edit`,
  // which stores the settings and says whether the operator chose OK: then
  // the loops are opened again from the new settings, and the display is
  // rebuilt when the loop count changed. Polling resumes with a port reset.
  void CommunicationSettings(const std::function<bool()>& edit);
  const std::string& GetTitle() const { return title; }
  // Resolves a "Site"/"Site" value: a bare name is taken in the program home.
  std::filesystem::path ResolveSitePath(const std::string& value) const;
  // Waits, keeping timers and port events running; ends early at shutdown.
  void Pause(std::uint32_t timeout, bool pumpmessages);

  // --- Selection and commands
  void SetSelDetector(int detector);
  int GetSelDetector() const { return seldetector; }
  SelectionSet& GetSelection() { return selection; }
  // Commands enabled by the selected device's model (and its port).
  bool IsCommandEnabled(int id) const;
  // A simulated event (fire, fault, reset) for the selected device.
  void DemoTest(int event);
  using CommandHandler = std::function<void()>;
  // An empty handler removes the command's handler.
  void SetCommandHandler(int id, CommandHandler handler) {
    if (handler)
      handlers[id] = std::move(handler);
    else
      handlers.erase(id);
  }
  // Whether some part of the program carries out command `id`.
  bool HasCommandHandler(int id) const { return handlers.count(id) != 0; }
  // Runs a command by id after asking for its permission. An exception
  // escaping the handler is shown and written as an event.
  enum class CommandResult { DONE, REFUSED, DISABLED, UNHANDLED };
  CommandResult ExecuteCommand(int id);
  bool HasPermission(int op);
  // EXIT and end of input ask the host to close the program.
  void SetQuitHook(std::function<void()> hook) { quithook = std::move(hook); }

  EventLoop& Events() const { return events; }
  Prompter& GetPrompter() const { return prompter; }
  StatusDisplay& GetStatusDisplay() const { return status; }
  INI* GetINI() const { return &ini; }
  Translator& GetTranslator() const { return *translator; }
  // Starts the mail transfer agent, the pager program and print commands.
  ProgramLauncher& GetLauncher() const { return *launcher; }
  // Plays the alarm sounds; silent until the host gives one.
  SoundPlayer& GetSoundPlayer() const { return *soundplayer; }
  void SetSoundPlayer(SoundPlayer* player);

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
  MsgClass* GetMainDisplay() const { return maindisplay; }
  void SetDisplayBuilder(std::function<void()> builder) { displaybuilder = std::move(builder); }

  // --- Files
  // Opens a file by the type its extension tells: asks the permission the
  // type needs, then hands it to the window registered for the type. A site
  // file becomes the site in use first. Unknown types, and types no window
  // takes, are reported. False when nothing was opened.
  using FileOpener = std::function<void(const std::string& path)>;
  void SetFileOpener(int type, FileOpener opener);
  bool OpenFile(const std::string& path);
  // The security operation opening a file of `type` needs, or NOPERMISSION.
  static int FilePermission(int type);

  // --- Main window and the operations forwarded to it
  void SetMainWindow(std::unique_ptr<TMainWindow> window);
  TMainWindow* GetMainWindow() const { return mainwindow.get(); }
  void DestroyMainWindow();

  void WriteEvent(int category, const std::string& text);
  // Isolate or de-isolate a device, and reset one (slot 0: every device).
  bool Isolate(int device, bool status);
  bool Reset(int device);
  // Switches copying events to the log printer, and stores the choice.
  void LogToPrinter(bool on);
  // A device's current status and fault bits, as the alarm display recorded
  // them; the not-yet-known markers 0x8001 and 0x100 while nothing is known.
  unsigned GetDeviceStatus(int device) const;
  unsigned GetDeviceFaultStatus(int device) const;
  void SetDeviceStatusSource(const DeviceStatusSource* source) { statussource = source; }
  // Also tells `listener` of every event written (the headless console prints
  // them). Set before InitMainWindow to see the start-up banner.
  using EventListener = std::function<void(int category, const std::string& text)>;
  void AddEventListener(EventListener listener) { eventlisteners.push_back(std::move(listener)); }
  void NotifyEventListeners(int category, const std::string& text) const {
    for (const auto& listener : eventlisteners) listener(category, text);
  }
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
  // Without a factory of its own, the network monitoring server is built on
  // the TCP factory, when the host gave one.
  std::unique_ptr<NetMirror> MakeNetMirror(int loops);

  // Makes the TCP streams and listeners of network loops and of network
  // monitoring; none (no networking) until the host sets one.
  void SetTcpFactory(TcpFactory* factory) { tcpfactory = factory; }
  TcpFactory* GetTcpFactory() const { return tcpfactory; }
  // The loop's port is another computer's loop: that computer polls it.
  bool IsNetworkLoop(int loop) const;
  // The time a loop's line needs for a poll and its answer (0 for most).
  int GetAnswerLineTime(int loop) const;

  // Opens serial lines for the serial and HLI ports; none when unset.
  using SerialLineFactory = std::function<std::unique_ptr<SerialLine>()>;
  void SetSerialLineFactory(SerialLineFactory f) { seriallinefactory = std::move(f); }
  std::unique_ptr<SerialLine> MakeSerialLine();

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
  std::unique_ptr<ProgramLauncher> launcher;
  std::unique_ptr<SoundPlayer> silentplayer;
  SoundPlayer* soundplayer;

  std::list<MsgClassInfo> registry;
  bool busy = false;   // true while an entry is being removed
  int delivering = 0;  // depth of deliveries in progress
  bool removedduringdelivery = false;
  MsgClass* busviewer = nullptr;
  MsgClass* maindisplay = nullptr;
  std::function<void()> displaybuilder;
  bool buildingdisplay = false;

  std::unique_ptr<TMainWindow> mainwindow;
  std::unique_ptr<TSiteConfig> site;
  Paths paths;
  std::string title;
  bool live = false;
  SelectionSet selection;
  int seldetector = -1;
  // CHARTLOG, EVENTLOG, HISTOGRAM, ISOLATE/DEISOLATE and RESET by the model.
  bool chartlogenabled = false, eventlogenabled = false, histogramenabled = false,
       isolateenabled = false, resetenabled = false;
  const DeviceStatusSource* statussource = nullptr;
  std::map<int, CommandHandler> handlers;
  std::map<int, FileOpener> fileopeners;
  std::vector<EventListener> eventlisteners;
  std::function<void()> quithook;
  NetMirrorFactory netmirrorfactory;
  TcpFactory* tcpfactory = nullptr;
  SerialLineFactory seriallinefactory;
  bool shuttingdown = false;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
};

}  // namespace quillark
