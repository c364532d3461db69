#pragma once

#include <array>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "core/common/loops.h"
#include "core/comms/bushost.h"
#include "core/comms/msgclass.h"

namespace quillark {

class CommHandler;
class NetMirror;

// The bus master as the registry sees it: it hears every frame last, and
// stops and starts polling.
class BusPoller {
 public:
  virtual ~BusPoller() = default;
  virtual void PausePolling() = 0;
  virtual void ResumePolling() = 0;
  virtual void MsgRx(int loop, const char* msg) = 0;
};

// The receiver registry and frame delivery, and the bus operations that go to
// the communication handler: the one place every frame passes through.
// Delivery order: the bus viewer first (frames from a port only), then the
// registered receivers in order (MSG_FIRST ones at the front), the bus master
// last.
class BusRouter : public BusHost {
 public:
  explicit BusRouter(Services& services);
  ~BusRouter() override;
  BusRouter(const BusRouter&) = delete;
  BusRouter& operator=(const BusRouter&) = delete;

  Services& GetServices() const override { return services; }
  RemoteAudit* GetRemoteAudit() const override { return remoteaudit; }
  void SetRemoteAudit(RemoteAudit* audit) { remoteaudit = audit; }

  void Register(MsgClass* msgclass, std::uint32_t flags) override;
  void DeRegister(MsgClass* msgclass) override;
  void DespatchRxMessage(int loop, const char* msgbuff, int characters, bool fromrs232) override;
  void TxEmpty() override;
  int SendBusMessage(int loop, char* msg, int msglength) override;
  void ControlRx(int datalen, const char* data) override;
  void PostCommNotify(int loop, int status) override;
  std::size_t RegisteredReceivers() const;

  void SetBusViewer(MsgClass* viewer) override { busviewer = viewer; }
  MsgClass* GetBusViewer() const override { return busviewer; }
  void SetMainDisplay(MsgClass* display) override { maindisplay = display; }
  MsgClass* GetMainDisplay() const override { return maindisplay; }
  // Builds the main display; run when a frame arrives while there is none.
  void SetDisplayBuilder(std::function<void()> builder) { displaybuilder = std::move(builder); }
  // Runs the display builder unless a build is already under way.
  void BuildDisplay();

  // While polling is paused the status field says so, whatever the loops
  // last reported: a paused program must not look like a supervising one.
  static constexpr const char* PAUSEDTEXT = "Polling paused";
  void PausePolling() override;
  void ResumePolling() override { ResumePolling(true); }
  // Without `reset` the ports are left as they are (after a notification
  // that held polling for a moment).
  void ResumePolling(bool reset);
  bool IsPollPaused() const override { return paused; }

  int GetLoops() const override { return loops; }
  void SetLoops(int n) { loops = n; }
  bool IsLiveEdition() const override { return live; }
  void SetLiveEdition(bool on) { live = on; }
  bool IsNetworkLoop(int loop) const override;
  int GetAnswerLineTime(int loop) const override;
  int GetMaxDeviceTimeout() const override;
  bool IsWritable(int device) const override;
  void BusReset(int loop) override;
  void SetRxFail(int device) override;
  void SetEvent(int device, int event) override;
  bool ShuttingDown() const override;
  void SetShuttingDown(bool on) { shuttingdown = on; }

  // The communication handler that frames are written to, and the bus master
  // that hears every frame last; both owned elsewhere, null while absent.
  void SetCommHandler(CommHandler* comms) { commhandler = comms; }
  CommHandler* GetCommHandler() const { return commhandler; }
  void SetPoller(BusPoller* p) { poller = p; }

  // Builds the network monitoring handler for the communication handler;
  // without a factory of its own it is built on the TCP factory, when there
  // is one.
  using NetMirrorFactory = std::function<std::unique_ptr<NetMirror>(int loops, INI& ini)>;
  void SetNetMirrorFactory(NetMirrorFactory f) { netmirrorfactory = std::move(f); }
  std::unique_ptr<NetMirror> MakeNetMirror(int loops);

  // The communications state shown last (failed or OK); survives a rebuilt
  // communication handler.
  bool lastrxfail = false;

 private:
  void PurgeRemoved();

  Services& services;
  std::list<MsgClassInfo> registry;
  int delivering = 0;  // depth of deliveries in progress
  bool removedduringdelivery = false;
  MsgClass* busviewer = nullptr;
  MsgClass* maindisplay = nullptr;
  std::function<void()> displaybuilder;
  bool buildingdisplay = false;
  CommHandler* commhandler = nullptr;
  BusPoller* poller = nullptr;
  NetMirrorFactory netmirrorfactory;
  RemoteAudit* remoteaudit = nullptr;
  bool paused = false;
  bool live = false;
  bool shuttingdown = false;
  int loops = 1;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  // Notification bits per loop waiting in the one queued call of that loop.
  std::array<int, MAXLOOPS> pendingnotify{};
};

}  // namespace quillark
