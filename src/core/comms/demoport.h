#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "core/comms/ioport.h"

namespace quillark {

// Simulated device events fed to a demonstration loop.
enum : int {
  DEMO_RESET = 139,
  DEMO_FIRE2 = 150,
  DEMO_FIRE1 = 151,
  DEMO_PREALARM = 152,
  DEMO_AUX = 153,
  DEMO_DETFAULT = 154,
};

// A whole loop of simulated devices: every frame written is answered at once,
// before Write returns, and the alarm and fault state of each address can be
// changed through SetEvent.
class DemoPort : public IOPort {
 public:
  DemoPort(BusHost* AParent, int ALoop, INI& AnINI);
  ~DemoPort() override;

  bool Write(const char* data, int datalen) override;
  bool IsTxEmpty() override { return true; }
  bool IsWritable() override { return true; }
  void SetEvent(int address, int event) override;
  // A simulated loop never counts as failed.
  bool Notify(int commId, int status) override;

  void CreateDemoAnswer(const char* msg, int length);

  // Pins the pseudo-random part of the reported levels.
  void SeedLevels(std::uint32_t seed) { random.seed(seed); }
  std::int32_t GetDetStat(int addr) const { return detstat[static_cast<std::size_t>(addr & 0xFF)]; }
  std::int32_t GetDetFault(int addr) const {
    return detfault[static_cast<std::size_t>(addr & 0xFF)];
  }

 private:
  void Summarise();
  void Deliver(int length);
  static std::string Acknowledge(const char* msg, int length);

  std::array<std::int32_t, 256> detstat{};
  std::array<std::int32_t, 256> detfault{};
  // Functions written to the simulated detectors ("P"), by address: -1 is
  // what the built-in answer holds. They answer the next read with them.
  using Functions = std::array<std::int16_t, 181>;
  void StoreFunctions(std::size_t addr, const char* msg, int length);
  static void StoreFunctions(Functions& into, const char* msg, int length);
  // The built-in function-read answer with `values` written over it, and
  // `model` as the model it reports (below 0: the built-in detector's).
  static std::string FunctionAnswer(const Functions& values, int model);
  std::array<Functions, 128> written;
  // The same for the loop's command module (":" requests).
  Functions commandmodule;
  std::minstd_rand random;
};

}  // namespace quillark
