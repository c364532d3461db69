#include "core/events/notifysettings.h"

#include <gtest/gtest.h>

#include "core/common/inifile.h"
#include "support/tempdir.h"

namespace quillark::test {
namespace {

class NotifySettings : public ::testing::Test {
 protected:
  TempDir home;
  INIfile ini{home / "quillark.ini"};
};

TEST_F(NotifySettings, EmailShowsAnEmptyRecipientUntilOneIsSetAndStoresBothKeys) {
  EmailSettings s = EmailSettings::Read(ini);
  EXPECT_EQ(s.recipient, "");
  EXPECT_FALSE(s.enable);
  s.recipient = "duty@plant.example";
  s.enable = true;
  ASSERT_TRUE(s.Write(ini));
  EXPECT_EQ(ini.ReadString("Email", "Recipient", "?"), "duty@plant.example");
  EXPECT_EQ(ini.ReadString("Email", "Enable", "?"), "1");
  ini.WriteString("Email", "Recipient", std::string(300, 'r'));
  EXPECT_EQ(EmailSettings::Read(ini).recipient.size(), 128u);
}

TEST_F(NotifySettings, PagerReadsWithinTheListsAndStoresAllSevenKeys) {
  ini.WriteString("Pager", "BaudRate", "3");
  ini.WriteString("Pager", "Format", "7");
  ini.WriteString("Pager", "Port", "2");
  ini.WriteString("Pager", "CallCentre", std::string(40, '5'));
  PagerSettings s = PagerSettings::Read(ini);
  EXPECT_EQ(s.baudrate, 3);
  EXPECT_EQ(s.format, -1);  // not in the list: nothing chosen
  EXPECT_EQ(s.port, 2);
  EXPECT_EQ(s.callcentre.size(), 31u);

  s.password = "secret";
  s.pager = "07700900123";
  s.format = 1;
  s.port = 0;
  s.enable = true;
  ASSERT_TRUE(s.Write(ini));
  EXPECT_EQ(ini.ReadString("Pager", "CallCentre", "?"), std::string(31, '5'));
  EXPECT_EQ(ini.ReadString("Pager", "Password", "?"), "secret");
  EXPECT_EQ(ini.ReadString("Pager", "Pager", "?"), "07700900123");
  EXPECT_EQ(ini.ReadString("Pager", "BaudRate", "?"), "3");
  EXPECT_EQ(ini.ReadString("Pager", "Format", "?"), "1");
  EXPECT_EQ(ini.ReadString("Pager", "Port", "?"), "0");
  EXPECT_EQ(ini.ReadString("Pager", "Enable", "?"), "1");
}

}  // namespace
}  // namespace quillark::test
