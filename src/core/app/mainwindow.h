#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/access/security.h"
#include "core/comms/commhndl.h"
#include "core/platform/eventwriter.h"
#include "core/status/fnio.h"
#include "core/status/pollingengine.h"

namespace quillark {

class AlarmDisp;
class AppSOPExecutive;
class BusStatusMonitor;
class DeviceOperations;
class EventInfo;
class SOPLauncher;
class SysLog;
class DeviceStatusList;
class DeviceStatusMonitor;
class EventNotifier;
class EventWriter;
class INI;
class PCcommandModule;
class BusRouter;
class TDockingApp;

// The non-visual half of the main window: owns the communication handler, the
// bus master, the status monitors, the logs, security and the alarm display,
// creates them in the start-up order and destroys them in the shutdown order.
// Frames and polling go through the application's bus router, which it hands
// the communication handler and the bus master.
class TMainWindow : public EventWriter {
 public:
  // Writes the start-up banner.
  TMainWindow(TDockingApp& AParent, int loops);
  // Shuts down in order, writing the shutdown banner.
  ~TMainWindow() override;

  // The rest of start-up: the demonstration notice, the display build, the
  // loops, the bus master and the status monitors.
  void SetupWindow();
  PCcommandModule* GetBusMaster() const;
  BusStatusMonitor* GetBusStatusMonitor() const { return busstatusmonitor.get(); }
  DeviceStatusList* GetDeviceStatusList() const { return devicestatuslist.get(); }

  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  // Creates (or re-creates, after a settings change) the communication handler.
  void CreateCommHandler();
  void DestroyCommHandler();
  CommHandler* GetCommHandler() const { return commhandler.get(); }
  void SetCommandModule(std::unique_ptr<PollingEngine> master);
  PollingEngine* GetCommandModule() const { return commandmodule.get(); }
  void DestroyCommandModule();
  void SetEventWriter(EventWriter* writer) { eventwriter = writer; }
  void SetMatrixScan(std::unique_ptr<ArrayScanner> scanner);
  void InitMatrixScan();

  void WriteEvent(int category, const std::string& text) override;
  // Whether the operator may do `op`, asking for a log-on when the level is
  // too low. Always false without security.
  bool HasPermission(int op);
  // Acknowledges the alarm viewer's selected line, or every line waiting
  // for it, in the name of the user logged on; how many were acknowledged.
  std::size_t Acknowledge(bool all);
  // Whether there is anything for Acknowledge to do.
  bool CanAcknowledge(bool all) const;
  Security* GetSecurity() const { return security.get(); }
  // The event text log, log printer, e-mail and pager.
  EventNotifier* GetNotifier() const { return notifier.get(); }
  AlarmDisp* GetAlarmDisplay() const { return alarmdisp.get(); }
  SysLog* GetSysLog() const { return syslog.get(); }
  const EventInfo* GetEventInfo() const { return eventinfo.get(); }
  DeviceOperations* GetDeviceOperations() const { return deviceops.get(); }
  SOPLauncher* GetSOPLauncher() const { return soplauncher.get(); }
  void SetLoops(int loops);
  int GetLoops() const { return loops; }

  // Saving, restoring or clocking every device's settings: one at a time.
  // Null when another is still running; the last one stays readable.
  FnIo* StartFnIo(FnIo::Mode mode, FnIo::Progress progress, FnIo::Done done);
  FnIo* GetFnIo() const { return fnio.get(); }

 private:
  TDockingApp& Parent;
  BusRouter& bus;
  int loops;
  INI& ini;
  EventWriter* eventwriter = nullptr;
  std::unique_ptr<CommHandler> commhandler;
  std::unique_ptr<PollingEngine> commandmodule;
  std::unique_ptr<EventInfo> eventinfo;
  std::unique_ptr<SysLog> syslog;
  std::unique_ptr<EventNotifier> notifier;
  std::unique_ptr<Security> security;
  std::unique_ptr<ArrayScanner> matrixscan;
  std::unique_ptr<AlarmDisp> alarmdisp;
  std::unique_ptr<DeviceOperations> deviceops;
  std::unique_ptr<AppSOPExecutive> sopexecutive;
  std::unique_ptr<SOPLauncher> soplauncher;
  std::unique_ptr<BusStatusMonitor> busstatusmonitor;
  std::unique_ptr<DeviceStatusList> devicestatuslist;
  std::unique_ptr<DeviceStatusMonitor> devicestatusmonitor;
  std::unique_ptr<FnIo> fnio;
};

}  // namespace quillark
