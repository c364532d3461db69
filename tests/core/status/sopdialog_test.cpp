#include "core/status/soplauncher.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/access/logonprompt.h"
#include "core/access/security.h"
#include "core/comms/demoport.h"
#include "core/status/deviceoperations.h"
#include "core/status/devicestatussource.h"
#include "core/status/selset.h"
#include "support/apphost.h"

namespace quillark::test {
namespace {

SelectionSet Select(std::initializer_list<int> devices) {
  SelectionSet s;
  for (int d : devices) s.InsertInternalAddress(d);
  return s;
}

// Devices that report what they were last told, unless they are silent or
// stubborn; every command is noted with the virtual time it came at.
class FakeDevices : public SOPExecutive {
 public:
  explicit FakeDevices(VirtualEventLoop& clock) : clock(clock) {}
  struct State {
    unsigned status = 0, fault = 0;
    bool ignores = false;
  };
  void Isolate(int device, bool isolate) override {
    commands.push_back({clock.Elapsed(), device, isolate});
    State& s = devices[device];
    if (s.ignores) return;
    s.fault = isolate ? (s.fault | 0x20) : (s.fault & ~0x20u);
    s.status = s.fault != 0 ? (s.status | 0x01) : (s.status & ~0x01u);
  }
  unsigned GetDeviceStatus(int device) override {
    auto it = devices.find(device);
    return it != devices.end() ? it->second.status : 0x8001;
  }
  unsigned GetDeviceFaultStatus(int device) override {
    auto it = devices.find(device);
    return it != devices.end() ? it->second.fault : 0x100;
  }
  struct Command {
    std::uint64_t at;
    int device;
    bool isolate;
    bool operator==(const Command&) const = default;
  };
  VirtualEventLoop& clock;
  std::map<int, State> devices;
  std::vector<Command> commands;
};

class MassOperation : public ::testing::Test {
 protected:
  SOPDialog& Launch(int sopcode, const SelectionSet& selection) {
    return launcher.LaunchSopDialog(sopcode, selection);
  }
  // Fields 521..525.
  std::vector<std::string> Fields(const SOPDialog& d) const {
    std::vector<std::string> out;
    for (int id = SOPDialog::IDC_TOTAL; id <= SOPDialog::IDC_UNKNOWN; ++id)
      out.push_back(d.GetFieldText(id));
    return out;
  }

  VirtualEventLoop events;
  FakeDevices devices{events};
  std::vector<SOPDialog*> shown;
  SOPLauncher launcher{devices, events, [this](SOPDialog* d) { shown.push_back(d); }};
};

TEST_F(MassOperation, IsolatesTheAnsweringDevicesAndNeverFinishesWithASilentOne) {
  devices.devices[5] = {};
  devices.devices[6] = {0x01, 0x00};  // stopped answering
  devices.devices[7] = {};
  SOPDialog& d = Launch(SOPC_MASS_ISOLATE, Select({5, 6, 7}));
  EXPECT_EQ(d.GetCaption(), "Isolate Selected Detectors ...");
  EXPECT_EQ(d.GetLabel(SOPDialog::IDC_LABEL_DONE), "Isolated");
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"3", "0", "0", "0", "3"}));
  EXPECT_EQ(d.GetProgressRange(), 3);

  events.Advance(250);
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"3", "0", "2", "1", "0"}));

  // One command every six ticks; the silent device is skipped.
  events.Advance(60'000);
  EXPECT_EQ(devices.commands,
            (std::vector<FakeDevices::Command>{{1500, 5, true}, {3000, 7, true}}));
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"3", "2", "0", "1", "0"}));
  EXPECT_EQ(d.GetProgress(), 2);
  EXPECT_FALSE(d.IsFinished());
  EXPECT_EQ(launcher.GetSopDialog(), &d);

  // Once it answers and is isolated, the operation is done.
  devices.devices[6] = {0x01, 0x20};
  events.Advance(250);
  EXPECT_TRUE(d.IsFinished());
  EXPECT_EQ(d.GetProgress(), 3);
}

TEST_F(MassOperation, AStubbornDeviceIsCommandedAgainOnEveryPass) {
  devices.devices[5] = {0, 0, true};
  devices.devices[9] = {};
  Launch(SOPC_MASS_ISOLATE, Select({5, 9}));
  events.Advance(8000);
  // A pass that finds nothing left after the last command waits for the next
  // turn before starting again at the first entry.
  EXPECT_EQ(devices.commands,
            (std::vector<FakeDevices::Command>{
                {1500, 5, true}, {3000, 9, true}, {4500, 5, true}, {7500, 5, true}}));
}

TEST_F(MassOperation, UnknownOperationLoadsDetectorsButNeitherCountsNorCommands) {
  devices.devices[5] = {};
  SOPDialog& d = Launch(SOPC_NONE, Select({0, 5, 130, 512, 0x0F7F, 0x1005, 0x1100, 0x1105}));
  SelectionSet loaded;
  d.GetLoadedDevices(loaded);
  EXPECT_EQ(loaded, Select({5, 130, 0x0F7F}));
  EXPECT_EQ(d.GetLabel(SOPDialog::IDC_LABEL_UNKNOWN), "<Unknown>");
  events.Advance(10'000);
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"3", "", "", "0", "2"}));
  EXPECT_FALSE(d.IsFinished());
  EXPECT_TRUE(devices.commands.empty());
  d.SetOperation(7);  // leaves caption and labels as they were
  EXPECT_EQ(d.GetCaption(), "Unknown Operation ...");
}

TEST_F(MassOperation, DeIsolateClosesEightSecondsAfterFinishingOnlyWithTheBox) {
  devices.devices[5] = {0x01, 0x24};  // isolated, with a detector fault
  devices.devices[7] = {0x00, 0x20};  // fault bits without the fault flag mean nothing
  devices.devices[9] = {0x01, 0x20};
  SOPDialog& first = Launch(SOPC_MASS_ISOLATE, Select({9}));
  events.Advance(60'000);
  EXPECT_EQ(first.GetFinishedTime(), SOPDialog::FINISHEDTICKS);
  EXPECT_EQ(launcher.GetSopDialog(), &first);  // no box: stays open

  // A new launch replaces it; only one timer ticks.
  SOPDialog& d = Launch(SOPC_MASS_DEISOLATE, Select({5, 7}));
  EXPECT_EQ(events.ActiveTimers(), 1u);
  EXPECT_EQ(shown, (std::vector<SOPDialog*>{&first, nullptr, &d}));
  EXPECT_EQ(d.GetLabel(SOPDialog::IDC_LABEL_NOTDONE), "Not De-Isolated");
  d.HandleAutoCloseCheckBox(true);
  events.Advance(250);
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"2", "1", "1", "0", "0"}));
  // Device 5 is told at the sixth tick and seen de-isolated at the seventh;
  // 32 ticks later the window closes, unless the box is clicked meanwhile.
  events.Advance(250 * 36);
  EXPECT_EQ(devices.commands, (std::vector<FakeDevices::Command>{{61'500, 5, false}}));
  EXPECT_EQ(Fields(d), (std::vector<std::string>{"2", "2", "0", "0", "0"}));
  d.HandleAutoCloseCheckBox(true);
  events.Advance(250 * 31);
  EXPECT_EQ(launcher.GetSopDialog(), &d);
  events.Advance(250);
  EXPECT_EQ(launcher.GetSopDialog(), nullptr);
  EXPECT_EQ(shown.back(), nullptr);
  EXPECT_EQ(events.ActiveTimers(), 0u);

  // The Close button: gone once the click has been handled.
  SOPDialog& last = Launch(SOPC_MASS_DEISOLATE, Select({5}));
  last.HandleOkButton();
  EXPECT_EQ(launcher.GetSopDialog(), &last);
  events.RunPending();
  EXPECT_EQ(launcher.GetSopDialog(), nullptr);
}

// The whole path on demonstration loops: the application's executive sends
// real isolate frames and reads what the devices then report; device 262 is
// silent at first.
class DemoLoopStatus : public DeviceStatusSource, public LogOnPrompt {
 public:
  explicit DemoLoopStatus(AppHost& host) : host(host) {}
  int Fault(int device) const {
    return dynamic_cast<DemoPort&>(*host.Comms().GetPort(device >> 8)).GetDetFault(device);
  }
  unsigned GetDeviceStatus(int device) const override {
    return device == silent ? 0x01 : (Fault(device) != 0 ? 0x01 : 0);
  }
  unsigned GetDeviceFaultStatus(int device) const override {
    return device == silent ? 0 : static_cast<unsigned>(Fault(device));
  }
  std::optional<LogOnAnswer> AskForLogOn(const std::vector<std::string>&, std::size_t) override {
    ++prompts;
    return std::nullopt;
  }
  AppHost& host;
  int silent = 256 + 6;
  int prompts = 0;
};

TEST(MassOperationOnDemoLoops, IsolatesThroughTheApplicationWithoutPromptingFromTheTimer) {
  AppHost host;
  host.Set("Comm", "Loops", "2");
  host.Start(2);
  DemoLoopStatus status(host);
  host.app->SetDeviceStatusSource(&status);
  Security security(host.writer, host.ini, host.app->GetServices().translator, host.events,
                    host.prompter, host.home / "dovetree.ini");
  security.SetLogOnPrompt(&status);
  ASSERT_TRUE(security.LogOn("Operator", ""));
  DeviceOperations ops(host.Bus(), nullptr, &security);
  AppSOPExecutive executive(*host.app, ops);
  SOPLauncher launcher(executive, host.events);

  SOPDialog& d = launcher.LaunchSopDialog(SOPC_MASS_ISOLATE, Select({5, 256 + 6, 256 + 7}));
  host.events.Advance(5000);
  EXPECT_EQ(d.GetFieldText(SOPDialog::IDC_DONE), "2");
  EXPECT_EQ(d.GetFieldText(SOPDialog::IDC_COMMSFAULT), "1");
  EXPECT_EQ(host.writer.events.back().text, "Isolate on detector 2-007 by user 'Operator'");

  // Once the access level has lapsed, the commands stop; nobody is asked.
  host.events.Advance(400'000);
  status.silent = -1;
  host.events.Advance(5000);
  EXPECT_EQ(status.prompts, 0);
  EXPECT_EQ(d.GetFieldText(SOPDialog::IDC_NOTDONE), "1");

  host.app->SetDeviceStatusSource(nullptr);
}

}  // namespace
}  // namespace quillark::test
