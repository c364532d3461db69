#pragma once

#include <string>

namespace quillark {

class INI;

// The e-mail notification settings as the setup dialog edits them.
struct EmailSettings {
  // The dialog's recipient field takes at most this many characters.
  static constexpr int RECIPIENTLENGTH = 128;

  static EmailSettings Read(INI& ini);
  // Stores "Email"/"Recipient" and "Email"/"Enable"; false when the settings
  // could not be written.
  bool Write(INI& ini) const;

  std::string recipient;  // empty while none is set
  bool enable = false;
};

// The pager notification settings as the setup dialog edits them. The pager
// program reads baud rate, format and port from the settings itself.
struct PagerSettings {
  static constexpr int CALLCENTRELENGTH = 31;
  static constexpr int PASSWORDLENGTH = 31;
  static constexpr int PAGERLENGTH = 127;
  static constexpr const char* BAUDRATES[] = {"1200", "2400", "4800", "9600"};
  static constexpr const char* FORMATS[] = {"0", "1"};
  // The ports offered, stored as their number (index + 1).
  static constexpr const char* PORTS[] = {"COM1", "COM2", "COM3", "COM4"};

  static PagerSettings Read(INI& ini);
  // Stores all seven "Pager" keys; false when the settings could not be written.
  bool Write(INI& ini) const;

  std::string callcentre, password, pager;
  int baudrate = 0;  // index into BAUDRATES
  int format = 0;    // index into FORMATS
  int port = 0;      // 1-based; 0 while none is chosen
  bool enable = false;
};

}  // namespace quillark
