#include "platform/files/find.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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

TEST(FindFiles, OneWalkForSeveralPatternsGivesWhatEachWalkGives) {
  TestMachine m;
  m.PutFile("C:\\Eudora\\EUDORA.INI", "");
  m.PutFile("C:\\Eudora\\in.box", "");
  m.PutFile("C:\\b\\Prefs.js", "");
  m.PutFile("C:\\b\\c\\eudora.ini", "");
  m.PutFile("C:\\b\\c\\out.BOX", "");
  m.PutFile("C:\\Caf\xe9\\prefs.js", "");  // stored on the host in UTF-8
  m.PutFile("C:\\z.box", "");
  const std::vector<std::string> patterns = {"Eudora.ini", "*.box", "prefs.js", "none.txt"};
  int folders = 0;
  const auto found = m->FindFiles("C:\\", patterns, [&] { ++folders; });
  ASSERT_EQ(found.size(), patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    EXPECT_EQ(found[i], m->FindFiles("C:\\", patterns[i])) << patterns[i];
  }
  EXPECT_EQ(found[1],
            (std::vector<std::string>{"C:\\z.box", "C:\\b\\c\\out.BOX", "C:\\Eudora\\in.box"}));
  EXPECT_EQ(found[2], (std::vector<std::string>{"C:\\b\\Prefs.js", "C:\\Caf\xe9\\prefs.js"}));
  EXPECT_TRUE(found[3].empty());
  // Each folder is announced once before it is read.
  EXPECT_GE(folders, 5);
}

TEST(FindFiles, AnUnreadableFolderIsPassedOver) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  TestMachine m;
  m.PutFile("C:\\a\\x.box", "");
  m.PutFile("C:\\locked\\y.box", "");
  m.PutFile("C:\\z\\w.box", "");
  const auto locked = m.Root() / "drive_c" / "locked";
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  const auto found = m->FindFiles("C:\\", "*.box");
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  EXPECT_EQ(found, (std::vector<std::string>{"C:\\a\\x.box", "C:\\z\\w.box"}));
}

}  // namespace
}  // namespace nimbra::platform
