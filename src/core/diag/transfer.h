#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/comms/msgclass.h"
#include "core/platform/eventloop.h"

namespace quillark {

// A device language text file (".ilt"): the first and last text numbers,
// then one text a line as "<number> <text>". Numbers are 0..255, -1 ending
// a block.
struct IltFile {
  // A line holds at most this many characters, number and space included.
  static constexpr std::size_t LINECHARS = 31;
  // Far more than 257 lines of 31 characters: anything bigger is not a text file.
  static constexpr std::size_t MAXBYTES = 64 * 1024;
  struct Text {
    int number;
    std::string text;
  };
  int first = 1;
  int last = 1;
  std::vector<Text> texts;

  // False with the reason in `error` for a file that cannot be sent whole.
  static bool Parse(std::string_view content, IltFile& file, std::string& error);
  static bool Load(const std::string& path, IltFile& file, std::string& error);
};

// A logo file (".lgo"): a Windows bitmap of 1, 2, 4 or 8 bits a pixel whose
// pixel data is sent as it stands in the file.
struct LgoFile {
  static constexpr std::size_t MAXBYTES = 1024 * 1024;
  long width = 0;
  long height = 0;
  unsigned bits = 0;
  std::vector<unsigned char> pixels;

  static std::size_t DataSize(long width, long height, unsigned bits);
  static bool Parse(std::string_view content, LgoFile& file, std::string& error);
  static bool Load(const std::string& path, LgoFile& file, std::string& error);
};

// The sending side of a device transfer: a burst of frames on the loops,
// then, once every transmitter is empty, a 3000 ms pause before the next
// burst. Cancel stops after the frame in progress; nothing is undone on the
// devices. Every frame heard meanwhile is ignored.
class DeviceTransfer : public MsgClass {
 public:
  static constexpr std::uint32_t PAUSEMS = 3000;
  enum Result : int { RUNNING = 0, DONE = 1, CANCELLED = 2 };

  DeviceTransfer(BusHost* app, int loops);
  ~DeviceTransfer() override;
  DeviceTransfer(const DeviceTransfer&) = delete;
  DeviceTransfer& operator=(const DeviceTransfer&) = delete;

  // Starts listening for empty transmitters and sends the first burst.
  void Start();
  void Cancel();
  void MsgRx(int, const char*) override {}
  void TxEmpty() override;

  int GetResult() const { return result; }
  int GetPercent() const { return percent; }
  // "Sending 40%".
  std::string GetCaption() const;
  // Gauge range and position.
  int GaugeMin() const { return gaugemin; }
  int GaugeMax() const { return gaugemax; }
  int GaugeValue() const { return gaugevalue; }
  int FramesSent() const { return framessent; }
  // Told after every burst and at the end.
  void SetOnChange(std::function<void()> f) { onchange = std::move(f); }

 protected:
  virtual void NextBlock() = 0;
  void SendFrame(int loop, const std::string& frame);
  void End(int how);
  void Changed() {
    if (onchange) onchange();
  }

  int numloops;
  int percent = 0;
  int gaugemin = 0, gaugemax = 1, gaugevalue = 0;

 private:
  void BurstSent();

  int result = RUNNING;
  int framessent = 0;
  bool burst = false;  // frames went out: the pause starts when they are gone
  TimerHandle pausetimer;
  std::function<void()> onchange;
};

// Sends a language text file into every device of every loop, a block at
// a time: each block twice to the detectors (">") and, where the loops have
// a command module, alternately twice to it (":"). (Named apart from
// Translator::SetLanguage, which switches the program's own language.)
class LanguageTransfer : public DeviceTransfer {
 public:
  static constexpr std::size_t BLOCKHEX = 900;

  LanguageTransfer(BusHost* app, int loops, IltFile file, bool hascm);
  // The block frame, without check sum: `kind` 0x80 "T" length data.
  static std::string BlockFrame(char kind, const std::string& data);

 protected:
  void NextBlock() override;

 private:
  void LoadBlock();

  IltFile file;
  bool hasCM;
  std::size_t next = 0;  // the next line of the file to read
  int string = 1;
  int tx = 0;
  std::string block;  // hex text of the current block
};

// Sends a logo into the command module of every loop in 256-byte blocks,
// numbered 0 to size / 256, the last one header-only when the size is a
// whole number of blocks.
class LogoTransfer : public DeviceTransfer {
 public:
  static constexpr std::size_t BLOCKBYTES = 256;

  LogoTransfer(BusHost* app, int loops, LgoFile file);
  // The frame of block `block` of `blocks`, without check sum.
  static std::string BlockFrame(int block, int blocks, const LgoFile& file);
  int GetBlocks() const { return blocks; }

 protected:
  void NextBlock() override;

 private:
  LgoFile file;
  int block = 0;
  int blocks = 0;
};

}  // namespace quillark
