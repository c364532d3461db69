#include "core/comms/hliport.h"

#include <cctype>
#include <cstdio>

#include "core/common/ini.h"
#include "core/common/textutil.h"
#include "core/comms/bushost.h"

namespace quillark {
namespace {

// "0"-"9" and "a"-"f"; anything else counts as 0.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

int HexByte(const char* p) {
  return HexDigit(p[0]) * 16 + HexDigit(p[1]);
}

// The network id: the last number in the loop's port setting ("1,0" is COM1
// on network 0).
int LastNumber(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && !std::isdigit(static_cast<unsigned char>(text[end - 1]))) --end;
  std::size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
  if (start == end) return 0;
  return static_cast<int>(
      AtoL(std::string_view(text).substr(start, std::min<std::size_t>(end - start, 9))));
}

}  // namespace

HLIPort::HLIPort(BusHost* AParent, Translator* ATranslator, int ALoop, INI& AnINI)
    : COMPort(AParent, ATranslator, ALoop, AnINI, BAUDRATE) {
  netid = LastNumber(
      AnINI.ReadString("Comm", Format("Loop%uPort", static_cast<unsigned>(ALoop + 1)), "1,0"));
  // Tells the unit who we are; sent once.
  const unsigned char operation = 0x48;
  WriteHLI(SetOperation, 0, 0, 0, &operation, 1);
}

std::uint16_t HLIPort::CalcCRC(std::uint16_t crc, unsigned char b) {
  unsigned x = (crc ^ b) & 0xFFu;
  unsigned c = (static_cast<unsigned>(crc) >> 8) ^ (x << 8) ^ (x << 3) ^ (x << 12) ^ (x >> 4) ^
               (x & 0x0Fu) ^ ((x & 0x0Fu) << 7);
  return static_cast<std::uint16_t>(c & 0xFFFFu);
}

std::uint16_t HLIPort::CalcCRC(const unsigned char* buffer, int length) {
  std::uint16_t crc = 0;
  for (int i = 0; i < length; ++i) crc = CalcCRC(crc, buffer[i]);
  return crc;
}

std::string HLIPort::Stuff(const unsigned char* frame, int length) {
  std::string out;
  out.reserve(static_cast<std::size_t>(length) * 2);
  for (int i = 0; i < length; ++i) {
    if (i > 0 && frame[i - 1] == DLE && frame[i] != STX && frame[i] != ETX)
      out += static_cast<char>(DLE);
    out += static_cast<char>(frame[i]);
  }
  return out;
}

int HLIPort::WriteHLI(unsigned char command, int network, int zone, int sector,
                      const unsigned char* data, int length) {
  if (length < 0 || length > MAXSEND) return 0;
  unsigned char frame[7 + MAXSEND + 4];
  int n = 0;
  frame[n++] = DLE;
  frame[n++] = STX;
  frame[n++] = command;
  frame[n++] = static_cast<unsigned char>(network);
  frame[n++] = static_cast<unsigned char>(zone);
  frame[n++] = static_cast<unsigned char>(sector);
  frame[n++] = static_cast<unsigned char>(length);
  for (int i = 0; i < length; ++i) frame[n++] = data[i];
  frame[n++] = DLE;
  frame[n++] = ETX;
  const std::uint16_t crc = CalcCRC(frame, n);
  frame[n++] = static_cast<unsigned char>(crc >> 8);
  frame[n++] = static_cast<unsigned char>(crc & 0xFF);
  return WriteHLI(frame, n);
}

int HLIPort::WriteHLI(const unsigned char* buffer, int length) {
  const std::string wire = Stuff(buffer, length);
  return COMPort::Write(wire.data(), static_cast<int>(wire.size())) ? 1 : 0;
}

bool HLIPort::WriteACK() {
  const char b = static_cast<char>(ACK);
  return COMPort::Write(&b, 1);
}

bool HLIPort::WriteNAK() {
  const char b = static_cast<char>(NAK);
  return COMPort::Write(&b, 1);
}

bool HLIPort::WriteZoneUpdateRequest(int zone) {
  return WriteHLI(ZoneUpdate, netid, zone, 0, nullptr, 0) != 0;
}

bool HLIPort::WriteResponse(int zone, unsigned char value) {
  return WriteHLI(Response, netid, zone, 0, &value, 1) != 0;
}

bool HLIPort::Write(const char* data, int datalen) {
  if (data == nullptr || datalen < 1) return true;
  // Fast polls and the bus reset are not passed on: the unit reports its
  // zones by itself. A zone it has reported answers from its record, or the
  // bus master would count every zone as lost between two reports. A unit that
  // falls silent is still caught by the loop's communications watch.
  if (data[0] == '?') {
    const int address = datalen >= 2 ? static_cast<unsigned char>(data[1]) - 0x80 : 0;
    if (address >= 1 && address <= 127) {
      const HLIstatus& zone = status[static_cast<std::size_t>(address)];
      if (zone.GetConnected()) SendFastPollResponse(address, zone.GetStatus(), zone.GetFaults());
    }
    return true;
  }
  if ((data[0] != '>' && data[0] != ':') || datalen <= 5) return true;
  const int address = static_cast<unsigned char>(data[1]) - 0x80;
  if (address < 0 || address > 127) return true;
  const std::string_view command(data + 2, 4);
  if (data[0] == '>') {
    if (command == "B000") return HandleSilence(address);
    if (command == "R000") return HandleReset(address);
    if (command == "I001" && datalen > 6) return HandleIsolate(address, data[6] == '1');
  }
  if (command == "G004" && datalen >= 10) {
    const int first = HexByte(data + 6), end = HexByte(data + 8);
    return HandleGetFns(data[0] == '>' ? address : 0, first, end);
  }
  return true;
}

bool HLIPort::HandleRemoteInput(int address, unsigned char data) {
  const int zone = address == 0 ? 255 : address;
  const bool sent = WriteHLI(RemoteInput, netid, zone, 0, &data, 1) != 0;
  // Ask for the zone at once so that the change shows.
  const bool asked = WriteZoneUpdateRequest(address);
  return sent || asked;
}

bool HLIPort::HandleSilence(int address) {
  return HandleRemoteInput(address, 0x08);
}

bool HLIPort::HandleReset(int address) {
  return HandleRemoteInput(address, 0x40);
}

bool HLIPort::HandleIsolate(int address, bool on) {
  return HandleRemoteInput(address, on ? 0x20 : 0x10);
}

bool HLIPort::HandleGetFns(int address, int first, int end) {
  if (address != 0) {
    // The answer follows when the unit tells the detector type.
    return WriteHLI(GetDetectorType, netid, address, 0, nullptr, 0) != 0;
  }
  SendGetFnResponse(0, first, end);
  return true;
}

void HLIPort::SendFastPollResponse(int zone, unsigned st, unsigned faults) {
  char msg[16];
  int n = std::snprintf(msg, sizeof msg, "@%c%02x%02x%02x", static_cast<char>(0x80 + (zone & 0x7F)),
                        st & 0xFFu, faults & 0xFFu, 0u);
  Message::CalculateAndSetXORsum(msg, n);
  msg[n + 2] = '\0';
  DespatchMessage(msg, n + 2);
}

void HLIPort::SendGetFnResponse(int zone, int first, int end) {
  first &= 0xFF;
  end &= 0xFF;
  char msg[FRAMEBUFFER];
  int n = 0;
  if (zone == 0) {
    msg[n++] = '/';
    msg[n++] = static_cast<char>(0x81);
  } else {
    msg[n++] = '<';
    msg[n++] = static_cast<char>(0x80 + (zone & 0x7F));
  }
  msg[n++] = 'G';
  // An empty range has no values; the length never goes below zero.
  const int length = end > first ? 2 * (end - first - 1) : 0;
  n += std::snprintf(msg + n, 4, "%03x", static_cast<unsigned>(length) & 0xFFFu);
  const unsigned model = zone == 0 ? static_cast<unsigned>(ORVALEOPENHLI)
                                   : static_cast<unsigned>(GetZone(zone).GetModel());
  for (int f = first; f < end; ++f)
    n += std::snprintf(msg + n, 3, "%02x", f == 44 ? (model & 0xFFu) : 0xFFu);
  Message::CalculateAndSetXORsum(msg, n);
  msg[n + 2] = '\0';
  DespatchMessage(msg, n + 2);
}

char HLIPort::ProcessSpecialCharacter(char rxchar) {
  Receive(static_cast<unsigned char>(rxchar));
  return 0;
}

void HLIPort::Receive(unsigned char b) {
  Input& in = input;
  switch (state) {
    case PSC_DATALEN:
      if (in.bytecount < in.datalen) {
        in.msg[in.dptr++] = b;
        ++in.bytecount;
        return;
      }
      [[fallthrough]];  // all data in: wait for DLE ETX
    case PSC_NORMAL:
      if (b == DLE) {
        in.msg[0] = b;
        state = PSC_DLE;
      }
      return;
    case PSC_DLE:
      if (b == STX) {
        in.msg[1] = b;
        resync = false;
        state = PSC_STX;
      } else if (b == ETX) {
        if (resync) {
          state = PSC_NORMAL;
          return;
        }
        in.msg[7 + in.datalen] = DLE;
        in.msg[8 + in.datalen] = ETX;
        state = PSC_ETX;
      }
      return;
    case PSC_STX:
      in.msg[2] = b;
      state = PSC_CMD;
      return;
    case PSC_CMD:
      in.msg[3] = b;
      state = PSC_NETID;
      return;
    case PSC_NETID:
      in.msg[4] = b;
      state = PSC_ZONEID;
      return;
    case PSC_ZONEID:
      in.msg[5] = b;
      state = PSC_SECTORID;
      return;
    case PSC_SECTORID: {
      in.msg[6] = b;
      const int length = static_cast<signed char>(b);
      in.bytecount = 0;
      in.dptr = 7;
      if (length < 0) {
        // More data than a frame can hold: the frame is broken. Ask again once
        // and skip the rest of it, its DLE ETX included.
        in.datalen = 0;
        resync = true;
        state = PSC_NORMAL;
        WriteNAK();
        return;
      }
      in.datalen = length;
      state = PSC_DATALEN;
      return;
    }
    case PSC_ETX:
      in.CRC = static_cast<unsigned>(b) << 8;
      state = PSC_CRC;
      return;
    case PSC_CRC: {
      in.CRC |= b;
      state = PSC_NORMAL;
      if (CalcCRC(in.msg, in.datalen + 9) == in.CRC)
        HandleInputMessage(in);
      else
        WriteNAK();
      return;
    }
  }
}

void HLIPort::HandleInputMessage(const Input& frame) {
  if (frame.msg[3] != netid) return;
  const int zone = static_cast<signed char>(frame.msg[4]);
  if (zone < 1 || zone > 127) return;
  HLIstatus& record = status[static_cast<std::size_t>(zone)];
  switch (frame.msg[2]) {
    case CurrentZoneStatus: {
      // Without both status bytes there is nothing to report.
      if (frame.datalen < 2) return;
      const unsigned d0 = frame.msg[7], d1 = frame.msg[8];
      unsigned st = 0, faults = 0;
      if (d0 & 0x80) st |= 0x02;
      if (d0 & 0x40) st |= 0x04;
      if (d0 & 0x20) st |= 0x08;
      if (d0 & 0x10) st |= 0x10;
      if (d0 & 0x0E) faults |= 0x04;
      if (d0 & 0x01) faults |= 0x10;
      if (d1 & 0x80) faults |= 0x04;
      if (d1 & 0x40) faults |= 0x02;
      if (d1 & 0x20) faults |= 0x40;
      if (d1 & 0x10) faults |= 0x20;
      if (faults != 0) st |= 0x01;
      record.SetStatus(st);
      record.SetFaults(faults);
      record.SetConnected(true);
      SendFastPollResponse(zone, st, faults);
      WriteACK();
      return;
    }
    case CurrentDetectorType: {
      WriteACK();
      if (frame.datalen < 1) return;
      const unsigned t = frame.msg[7];
      devicemodel model;
      if (t >= 1 && t <= 3)
        model = ORVALEPRIME;
      else if (t == 4)
        model = ORVALEPETITE;
      else
        return;
      record.SetModel(model);
      record.SetConnected(true);
      SendGetFnResponse(zone, 0, 182);
      return;
    }
    default:
      return;
  }
}

}  // namespace quillark
