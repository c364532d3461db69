#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/comms/comport.h"
#include "core/site/devicetypes.h"

namespace quillark {

// What the HLI unit last reported of one zone, answered on the bus as the
// detector with the zone's number.
class HLIstatus {
 public:
  unsigned GetStatus() const { return status; }
  void SetStatus(unsigned s) { status = s; }
  unsigned GetFaults() const { return faults; }
  void SetFaults(unsigned f) { faults = f; }
  bool GetConnected() const { return connected; }
  void SetConnected(bool c) { connected = c; }
  devicemodel GetModel() const { return model; }
  void SetModel(devicemodel m) { model = m; }

 private:
  unsigned status = 1;
  unsigned faults = 0;
  bool connected = false;
  devicemodel model = UNKNOWN;
};

// A loop on a serial line to a high-level interface unit of another maker's
// system: its zones look like the detectors of an ordinary loop. Bus frames
// written are translated into HLI commands, and the bus answers are made up
// from what the unit reports.
class HLIPort : public COMPort {
 public:
  enum Command : unsigned char {
    SetOperation = 1,
    Response = 3,
    ZoneUpdate = 4,
    CurrentZoneStatus = 5,
    RemoteInput = 6,
    GetDetectorType = 22,
    CurrentDetectorType = 23,
  };
  // Receive state: what was received last.
  enum State : int {
    PSC_NORMAL = 0,
    PSC_DLE = 16,
    PSC_STX = 2,
    PSC_CMD = 122,
    PSC_NETID = 123,
    PSC_ZONEID = 124,
    PSC_SECTORID = 125,
    PSC_DATALEN = 126,
    PSC_ETX = 3,
    PSC_CRC = 127,
  };
  static constexpr unsigned char DLE = 0x10, STX = 0x02, ETX = 0x03, ACK = 0x06, NAK = 0x15;
  static constexpr int MAXDATA = 127;  // received
  static constexpr int MAXSEND = 128;  // sent
  static constexpr int BAUDRATE = 19200;

  // The frame being received, from its DLE STX through DLE ETX.
  struct Input {
    unsigned char msg[7 + MAXDATA + 2 + 3] = {};
    int datalen = 0;
    int bytecount = 0;
    int dptr = 7;
    unsigned CRC = 0;
  };

  HLIPort(BusHost* AParent, Translator* ATranslator, int ALoop, INI& AnINI);

  bool Write(const char* data, int datalen) override;
  // The unit answers for its zones in its own time.
  int GetDeviceTimeout() override { return 10000; }
  // Polls are answered from the unit's zone records as they are written.
  int GetAnswerLineTime() const override { return 0; }
  // Every byte goes to the HLI receiver; none ever ends a bus frame.
  char ProcessSpecialCharacter(char rxchar) override;

  bool HandleSilence(int address);
  bool HandleReset(int address);
  bool HandleIsolate(int address, bool on);
  bool HandleRemoteInput(int address, unsigned char data);
  bool HandleGetFns(int address, int first, int end);

  void SendFastPollResponse(int zone, unsigned status, unsigned faults);
  void SendGetFnResponse(int zone, int first, int end);

  bool WriteZoneUpdateRequest(int zone);
  bool WriteResponse(int zone, unsigned char value);
  int WriteHLI(unsigned char command, int network, int zone, int sector, const unsigned char* data,
               int length);
  int WriteHLI(const unsigned char* buffer, int length);
  bool WriteACK();
  bool WriteNAK();
  void HandleInputMessage(const Input& frame);

  // CRC-16/KERMIT, one byte at a time and over a buffer.
  static std::uint16_t CalcCRC(std::uint16_t crc, unsigned char b);
  static std::uint16_t CalcCRC(const unsigned char* buffer, int length);
  // The bytes that go on the line for a whole frame: every DLE that is not
  // followed by STX or ETX is doubled.
  static std::string Stuff(const unsigned char* frame, int length);

  int GetNetId() const { return netid; }
  State GetState() const { return state; }
  const HLIstatus& GetZone(int zone) const { return status[static_cast<std::size_t>(zone & 0x7F)]; }

 private:
  void Receive(unsigned char b);

  Input input;
  State state = PSC_NORMAL;
  // A frame was given up: ignore everything up to the next DLE STX.
  bool resync = false;
  int netid = 0;
  std::array<HLIstatus, 128> status{};
};

}  // namespace quillark
