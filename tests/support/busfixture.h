#pragma once

#include <memory>
#include <string>

#include "core/access/translator.h"
#include "core/common/inifile.h"
#include "core/comms/busrouter.h"
#include "core/comms/commhndl.h"
#include "core/platform/soundplayer.h"
#include "support/nullservices.h"
#include "support/recorders.h"
#include "support/recordingprompter.h"
#include "support/tempdir.h"
#include "support/virtualeventloop.h"

namespace quillark::test {

// A bus host with nothing around it: the service bundle made of test doubles
// on a virtual clock, settings in a temporary program home, and the bus
// router. Enough to build and drive any port or receiver without the
// application; set a communication handler or a poller on `bus` as needed.
class BusFixture {
 public:
  explicit BusFixture(std::uint32_t starttick = 0, std::time_t startclock = 1700000000)
      : events(starttick, startclock),
        ini(home / "quillark.ini"),
        translator(&ini, &prompter),
        services{events, prompter, status, ini, translator, writer, launcher, sound, nullptr, {}},
        bus(services) {}

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    ini.WriteString(section, key, value);
  }

  // A communication handler with the ports the settings give `loops` loops,
  // writing through the router.
  CommHandler& StartComms(int loops = 1) {
    bus.SetLoops(loops);
    bus.SetCommHandler(nullptr);
    comms = std::make_unique<CommHandler>(bus);
    bus.SetCommHandler(comms.get());
    return *comms;
  }
  CommHandler& Comms() { return *comms; }
  // The ports go, and with them what they hold of the transports.
  void StopComms() {
    bus.SetCommHandler(nullptr);
    comms.reset();
  }
  BusRouter& Bus() { return bus; }

  TempDir home;
  VirtualEventLoop events;
  RecordingPrompter prompter;
  RecordingStatus status;
  RecordingEventWriter writer;
  NullLauncher launcher;
  SilentSoundPlayer sound;
  INIfile ini;
  Translator translator;
  Services services;
  BusRouter bus;
  std::unique_ptr<CommHandler> comms;
};

}  // namespace quillark::test
