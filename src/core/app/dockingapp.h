#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/common/loops.h"
#include "core/comms/busrouter.h"
#include "core/platform/eventwriter.h"
#include "core/platform/services.h"
#include "core/status/devicecontext.h"
#include "core/status/selset.h"

namespace quillark {

class DeviceStatusSource;
class EventLoop;
class INI;
class ProgramLauncher;
class SoundPlayer;
class Prompter;
class StatusDisplay;
class TMainWindow;
class TSiteConfig;
class Translator;

// The application object: the program's lifecycle (start-up, display build,
// shutdown), the selection, the command table and the file-type opener. It
// owns the service bundle and the bus router through which every frame flows,
// and is the event writer every object writes to.
class TDockingApp : public DeviceContext, public EventWriter {
 public:
  // The host program chooses the platform's services; without a sound
  // player the program is silent.
  TDockingApp(EventLoop& events, Prompter& prompter, StatusDisplay& status, INI& ini,
              ProgramLauncher& launcher, SoundPlayer* sound = nullptr);
  ~TDockingApp() override;
  TDockingApp(const TDockingApp&) = delete;
  TDockingApp& operator=(const TDockingApp&) = delete;

  // The program's name; the demonstration edition says so.
  static constexpr const char* APPNAME = "Quillark demonstration version";
  static constexpr const char* LIVENAME = "Quillark";

  // The live edition ("Product"/"Edition" = "live") opens the ports that
  // "Loop%uPortType" names; otherwise every loop is simulated. Read once at
  // construction: the edition does not change while the program runs.
  bool IsLiveEdition() const { return router.IsLiveEdition(); }
  const char* GetAppName() const { return IsLiveEdition() ? LIVENAME : APPNAME; }

  // Where the program's files live: the program home and the files in it.
  struct Paths {
    std::filesystem::path home, settings, site, syslog;
  };

  // The services every object is handed, and the registry and bus operations.
  Services& GetServices() { return services; }
  BusRouter& GetBus() { return router; }
  const BusRouter& GetBus() const { return router; }

  // --- Start-up, display build and shutdown
  // Reads the settings of the program home, loads the site and creates the
  // main window with everything it owns, in the start-up order.
  void InitMainWindow(const std::filesystem::path& home);
  // Shutdown in order: the main window and what it owns, then the site.
  void Shutdown();
  const Paths& GetPaths() const { return paths; }
  TSiteConfig* GetSiteConfig() const override { return site.get(); }
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

  // --- Selection and commands
  void SetSelDetector(int detector) override;
  int GetSelDetector() const override { return seldetector; }
  SelectionSet& GetSelection() override { return selection; }
  // Commands enabled by the selected device's model (and its port).
  bool IsCommandEnabled(int id) const override;
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
  // CANCELLED: the operator answered No to the command's question.
  enum class CommandResult { DONE, REFUSED, DISABLED, UNHANDLED, CANCELLED };
  CommandResult ExecuteCommand(int id);
  // Commands that act on every device, or on every selected one, are asked
  // about first (after their permission) through the host's confirmer, which
  // answers true for Yes. Without one they run as asked: a script has
  // already decided.
  using Confirmer = std::function<bool(const std::string& question)>;
  void SetConfirmer(Confirmer c) { confirmer = std::move(c); }
  // The question asked before command `id`, saying how many devices of how
  // many loops it touches; empty for a command that runs without asking.
  std::string ConfirmationQuestion(int id) const;
  bool HasPermission(int op);
  // EXIT and end of input ask the host to close the program.
  void SetQuitHook(std::function<void()> hook) { quithook = std::move(hook); }
  // Said in the start-up event after the banner, such as how long the
  // previous run left the loops unsupervised. Set before InitMainWindow.
  void SetStartupNote(std::string note) { startupnote = std::move(note); }
  const std::string& GetStartupNote() const { return startupnote; }

  // --- The bus, by the names the rest of the program knows it by
  // A frame heard on `loop` (see BusRouter::DespatchRxMessage).
  void DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232) {
    router.DespatchRxMessage(loop, msgbuff, characters, fromrs232);
  }
  // Appends the check sum and writes the frame (see BusRouter::SendBusMessage).
  int SendBusMessage(int loop, char* msg, int msglength) {
    return router.SendBusMessage(loop, msg, msglength);
  }

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

  // --- Main window and the operations that go through it
  void SetMainWindow(std::unique_ptr<TMainWindow> window);
  TMainWindow* GetMainWindow() const { return mainwindow.get(); }
  void DestroyMainWindow();

  // Every event: to the main window's outputs, then to the listeners.
  void WriteEvent(int category, const std::string& text) override;
  // Isolate or de-isolate a device, and reset one (slot 0: every device).
  bool Isolate(int device, bool status);
  bool Reset(int device);
  // Switches copying events to the log printer, and stores the choice.
  void LogToPrinter(bool on);
  // A device's current status and fault bits, as the alarm display recorded
  // them; the not-yet-known markers 0x8001 and 0x100 while nothing is known.
  unsigned GetDeviceStatus(int device) const override;
  unsigned GetDeviceFaultStatus(int device) const override;
  void SetDeviceStatusSource(const DeviceStatusSource* source) { statussource = source; }
  // Also tells `listener` of every event written (the headless console prints
  // them). Set before InitMainWindow to see the start-up banner.
  using EventListener = std::function<void(int category, const std::string& text)>;
  void AddEventListener(EventListener listener) { eventlisteners.push_back(std::move(listener)); }
  void NotifyEventListeners(int category, const std::string& text) const {
    for (const auto& listener : eventlisteners) listener(category, text);
  }

 private:
  // A simulated event (fire, fault, reset) for the selected device.
  void DemoTest(int event);
  // Reads "Comm"/"Loops" and gives the count to the router, which is where
  // the rest of the program asks for it.
  int ReadLoopSettings();

  std::unique_ptr<Translator> translator;
  std::unique_ptr<SoundPlayer> silentplayer;
  Services services;
  BusRouter router;

  std::unique_ptr<TMainWindow> mainwindow;
  std::unique_ptr<TSiteConfig> site;
  Paths paths;
  std::string title;
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
  std::string startupnote;
  Confirmer confirmer;
};

}  // namespace quillark
