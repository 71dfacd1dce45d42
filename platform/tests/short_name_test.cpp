#include "platform/files/short_name.h"

#include <gtest/gtest.h>

#include <set>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(ShortName, WhichNamesAlreadyFit) {
  EXPECT_TRUE(FitsEightDotThree("WS.INI"));
  EXPECT_TRUE(FitsEightDotThree("Script.txt"));
  EXPECT_TRUE(FitsEightDotThree("NIMBRAPO"));
  EXPECT_FALSE(FitsEightDotThree("NimbraPost"));
  EXPECT_FALSE(FitsEightDotThree("Program Files"));
  EXPECT_FALSE(FitsEightDotThree("a.b.c"));
  EXPECT_FALSE(FitsEightDotThree("a+b.txt"));
  EXPECT_FALSE(FitsEightDotThree("file.text"));
  EXPECT_FALSE(FitsEightDotThree(".profile"));
}

TEST(ShortName, AliasesFollowNameOrderAndStayUnique) {
  const std::vector<std::string> names = {"NimbraQue.exe", "Program Files", "NimbraMGR.exe",
                                          "Script.txt",    "Nimbra.exe",    "my file+1.html"};
  const auto aliases = ShortNamesForFolder(names);
  EXPECT_EQ(aliases[0], "NIMBRA~2.EXE");  // after NimbraMGR.exe in name order
  EXPECT_EQ(aliases[1], "PROGRA~1");
  EXPECT_EQ(aliases[2], "NIMBRA~1.EXE");
  EXPECT_EQ(aliases[3], "SCRIPT.TXT");
  EXPECT_EQ(aliases[4], "NIMBRA.EXE");
  EXPECT_EQ(aliases[5], "MYFILE~1.HTM");
  // The same folder listed in another order gives the same aliases.
  std::vector<std::string> reversed(names.rbegin(), names.rend());
  auto again = ShortNamesForFolder(reversed);
  std::reverse(again.begin(), again.end());
  EXPECT_EQ(again, aliases);
}

TEST(ShortName, TakenAliasesAreSkippedAndLongRunsShortenTheBase) {
  std::vector<std::string> names = {"PROGRA~1", "Program Files"};
  for (int i = 0; i < 11; ++i) names.push_back("Longname number " + std::to_string(i));
  const auto aliases = ShortNamesForFolder(names);
  EXPECT_EQ(aliases[0], "PROGRA~1");
  EXPECT_EQ(aliases[1], "PROGRA~2");
  const std::set<std::string> unique(aliases.begin(), aliases.end());
  EXPECT_EQ(unique.size(), aliases.size());
  EXPECT_TRUE(unique.count("LONGNA~9"));
  EXPECT_TRUE(unique.count("LONGN~10"));
  EXPECT_TRUE(unique.count("LONGN~11"));
  for (const std::string& alias : aliases) EXPECT_LE(alias.size(), 12u) << alias;
}

TEST(ShortName, MachinePathsConvertBothWays) {
  TestMachine m;
  m.PutFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", "MZ");
  m.PutFile("C:\\Program Files\\NimbraPost\\NimbraQue.exe", "MZ");
  const auto short_path = m->ShortPath("c:\\program files\\nimbrapost\\nimbraque.exe");
  ASSERT_TRUE(short_path);
  EXPECT_EQ(*short_path, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRA~2.EXE");
  EXPECT_EQ(m->LongPath(*short_path), "C:\\Program Files\\NimbraPost\\NimbraQue.exe");
  EXPECT_EQ(m.ReadFile("C:\\PROGRA~1\\NIMBRA~1\\nimbra~1.exe"), "MZ");
  EXPECT_EQ(m->ShortPath("C:\\"), "C:\\");
  EXPECT_FALSE(m->ShortPath("C:\\Program Files\\Missing"));
  // Directory listings carry the same aliases.
  const auto entries = m->ListDirectory("C:\\PROGRA~1\\NIMBRA~1");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].short_name, "NIMBRA~2.EXE");
}

}  // namespace
}  // namespace nimbra::platform
