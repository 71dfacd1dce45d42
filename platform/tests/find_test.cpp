#include "platform/files/find.h"

#include <gtest/gtest.h>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(Wildcard, WindowsRules) {
  EXPECT_TRUE(WildcardMatch("*.ini", "EUDORA.INI"));
  EXPECT_TRUE(WildcardMatch("eudora.ini", "Eudora.Ini"));
  EXPECT_TRUE(WildcardMatch("*.*", "README"));
  EXPECT_TRUE(WildcardMatch("setup.*", "setup"));
  EXPECT_TRUE(WildcardMatch("pr?fs.js", "prefs.js"));
  EXPECT_TRUE(WildcardMatch("*a*b*c", "xxaxxbxxbc"));
  EXPECT_FALSE(WildcardMatch("*.box", "in.box.bak"));
  EXPECT_FALSE(WildcardMatch("?.ini", "ab.ini"));
  EXPECT_FALSE(WildcardMatch("*.ini", "eudora.ini~"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  // A "*" or "?" inside a name is an ordinary character there.
  EXPECT_TRUE(WildcardMatch("*", "*.x"));
  EXPECT_TRUE(WildcardMatch("a*", "a*b"));
}

TEST(FindFiles, WalksTheDriveSkippingHiddenAndSystemEntries) {
  TestMachine m;
  m.PutFile("C:\\Eudora\\EUDORA.INI", "");
  m.PutFile("C:\\Eudora\\Old\\Eudora.ini", "");
  m.PutFile("C:\\b\\eudora.ini", "");
  m.PutFile("C:\\b\\eudora.ini.bak", "");
  m.PutFile("C:\\hidden\\Eudora.ini", "");
  m.PutFile("C:\\system.ini\\x.txt", "");  // a folder with a matching name
  m.PutFile("C:\\sys\\eudora.ini", "");
  m.PutFile("C:\\.config\\eudora.ini", "");
  m.PutFile("C:\\eudora.ini", "");
  ASSERT_TRUE(m->SetAttributes("C:\\hidden", attr::Hidden));
  ASSERT_TRUE(m->SetAttributes("C:\\sys\\eudora.ini", attr::System));
  const std::vector<std::string> expected = {"C:\\eudora.ini", "C:\\b\\eudora.ini",
                                             "C:\\Eudora\\EUDORA.INI",
                                             "C:\\Eudora\\Old\\Eudora.ini"};
  EXPECT_EQ(m->FindFiles("C:\\", "*.ini"), expected);
  EXPECT_EQ(m->FindFiles("c:\\EUDORA", "eudora.INI"),
            (std::vector<std::string>{"C:\\EUDORA\\EUDORA.INI", "C:\\EUDORA\\Old\\Eudora.ini"}));
  EXPECT_TRUE(m->FindFiles("Q:\\", "*.ini").empty());
}

TEST(FindFiles, ALinkBackUpTheTreeIsNotFollowedForever) {
  TestMachine m;
  m.PutFile("C:\\a\\x.box", "");
  std::filesystem::create_directory_symlink(m.Root() / "drive_c",
                                            m.Root() / "drive_c" / "a" / "up");
  EXPECT_EQ(m->FindFiles("C:\\", "*.box"), std::vector<std::string>{"C:\\a\\x.box"});
}

}  // namespace
}  // namespace nimbra::platform
