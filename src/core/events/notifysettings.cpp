#include "core/events/notifysettings.h"

#include "core/common/ini.h"

namespace quillark {
namespace {

// Reads a text the way the dialog's field holds it: cut to `length` characters.
std::string ReadField(INI& ini, const char* section, const char* key, int length) {
  std::string v = ini.ReadString(section, key, "");
  if (v.size() > static_cast<std::size_t>(length)) v.resize(static_cast<std::size_t>(length));
  return v;
}

// An index the lists do not hold shows as no choice.
int ReadIndex(INI& ini, const char* key, int count) {
  const long v = ini.ReadInt("Pager", key, "0");
  return v >= 0 && v < count ? static_cast<int>(v) : -1;
}

}  // namespace

EmailSettings EmailSettings::Read(INI& ini) {
  EmailSettings s;
  s.recipient = ReadField(ini, "Email", "Recipient", RECIPIENTLENGTH);
  s.enable = ini.ReadInt("Email", "Enable", "0") != 0;
  return s;
}

bool EmailSettings::Write(INI& ini) const {
  bool ok = ini.WriteString("Email", "Recipient", recipient);
  ok &= ini.WriteInt("Email", "Enable", enable ? 1 : 0);
  return ok;
}

PagerSettings PagerSettings::Read(INI& ini) {
  PagerSettings s;
  s.callcentre = ReadField(ini, "Pager", "CallCentre", CALLCENTRELENGTH);
  s.password = ReadField(ini, "Pager", "Password", PASSWORDLENGTH);
  s.pager = ReadField(ini, "Pager", "Pager", PAGERLENGTH);
  s.baudrate = ReadIndex(ini, "BaudRate", 4);
  s.format = ReadIndex(ini, "Format", 2);
  const long port = ini.ReadInt("Pager", "Port", "0");
  s.port = port >= 1 && port <= 4 ? static_cast<int>(port) : 0;
  s.enable = ini.ReadInt("Pager", "Enable", "0") != 0;
  return s;
}

bool PagerSettings::Write(INI& ini) const {
  bool ok = ini.WriteString("Pager", "CallCentre", callcentre);
  ok &= ini.WriteString("Pager", "Password", password);
  ok &= ini.WriteString("Pager", "Pager", pager);
  // No choice in a list stores the first entry, which is also the default.
  ok &= ini.WriteInt("Pager", "BaudRate", baudrate < 0 ? 0 : baudrate);
  ok &= ini.WriteInt("Pager", "Format", format < 0 ? 0 : format);
  ok &= ini.WriteInt("Pager", "Port", port);
  ok &= ini.WriteInt("Pager", "Enable", enable ? 1 : 0);
  return ok;
}

}  // namespace quillark
