#include "platform/profile/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadText;
using testsupport::WriteText;

class ProfileFileTest : public ::testing::Test {
 protected:
  testsupport::TempFolder folder_{"nimbra-profile"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(ProfileFileTest, MissingFileReadsDefaultsAndWritingCreatesIt) {
  ProfileFile ini(dir_ / "WS.INI");
  EXPECT_EQ(ini.ReadString("WorkStation", "INSTALLED", "MESSAGE:"), "MESSAGE:");
  EXPECT_EQ(ini.ReadInteger("WorkStation", "Port", 110), 110);
  EXPECT_TRUE(ini.SectionNames().empty());
  ini.DeleteKey("WorkStation", "x");  // nothing to delete: no file appears
  EXPECT_FALSE(fs::exists(dir_ / "WS.INI"));
  ini.WriteString("WorkStation", "INSTALLED", "Yes");
  EXPECT_EQ(ReadText(dir_ / "WS.INI"), "[WorkStation]\r\nINSTALLED=Yes\r\n");
  EXPECT_EQ(fs::directory_iterator(dir_)->path().filename(), "WS.INI");  // no temp file left
}

TEST_F(ProfileFileTest, MissingFolderOrReadOnlyFileFailsNamingTheFile) {
  ProfileFile nowhere(dir_ / "NoFolder" / "Users.ini");
  EXPECT_EQ(nowhere.ReadString("S", "k", "d"), "d");
  try {
    nowhere.WriteString("S", "k", "v");
    FAIL();
  } catch (const ProfileError& e) {
    EXPECT_NE(std::string(e.what()).find("NoFolder/Users.ini"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir_ / "NoFolder"));

  WriteText(dir_ / "ro.ini", "[S]\nk=old\n");
  fs::permissions(dir_ / "ro.ini", fs::perms::owner_read);
  ProfileFile ro(dir_ / "ro.ini");
  EXPECT_THROW(ro.WriteString("S", "k", "new"), ProfileError);
  EXPECT_EQ(ro.ReadString("S", "k", "-"), "old");  // the failed edit is not shown
}

TEST_F(ProfileFileTest, WritesKeepTheRestOfTheFileAndItsAttributes) {
  const std::string original = "; settings\n[A]\nx = 1\n\n[B]\ny=2\n";
  WriteText(dir_ / "a.ini", original);
  fs::permissions(dir_ / "a.ini", fs::perms(0640));
  ProfileFile ini(dir_ / "a.ini");
  ini.WriteInteger("a", "X", 5);
  ini.WriteBool("B", "flag", false);
  EXPECT_EQ(ReadText(dir_ / "a.ini"), "; settings\n[A]\nx = 5\n\n[B]\ny=2\nflag=0\n");
  EXPECT_EQ(fs::status(dir_ / "a.ini").permissions(), fs::perms(0640));
  ini.DeleteSection("a");
  EXPECT_EQ(ReadText(dir_ / "a.ini"), "; settings\n[B]\ny=2\nflag=0\n");
  EXPECT_EQ(ini.SectionValues("b"), (std::vector<std::string>{"y=2", "flag=0"}));
}

TEST_F(ProfileFileTest, ReadsSeeChangesMadeByOthers) {
  ProfileFile one(dir_ / "s.ini");
  ProfileFile two(dir_ / "s.ini");
  one.WriteString("S", "k", "1");
  EXPECT_EQ(two.ReadString("S", "k", "-"), "1");
  two.WriteString("S", "k", "2");
  EXPECT_EQ(one.ReadString("S", "k", "-"), "2");
  WriteText(dir_ / "s.ini", "[S]\nk=edited by hand\n");
  EXPECT_EQ(one.ReadString("S", "k", "-"), "edited by hand");
  fs::remove(dir_ / "s.ini");
  EXPECT_FALSE(one.SectionExists("S"));
}

TEST_F(ProfileFileTest, BatchSavesOnceAtTheEnd) {
  ProfileFile ini(dir_ / "b.ini");
  ini.WriteString("S", "first", "1");
  {
    ProfileBatch batch(ini);
    for (int i = 0; i < 100; ++i) ini.WriteInteger("S", "k" + std::to_string(i), i);
    EXPECT_EQ(ini.ReadInteger("S", "k99", -1), 99);  // reads see pending writes
    EXPECT_EQ(ReadText(dir_ / "b.ini"), "[S]\r\nfirst=1\r\n");
    batch.Commit();
  }
  ProfileFile other(dir_ / "b.ini");
  EXPECT_EQ(other.KeyNames("S").size(), 101u);
  {
    ProfileBatch batch(ini);
    ini.WriteString("S", "late", "x");
  }  // saved by the destructor
  EXPECT_EQ(other.ReadString("S", "late", "-"), "x");
}

TEST_F(ProfileFileTest, ConcurrentWritersLoseNothing) {
  const fs::path path = dir_ / "shared.ini";
  ProfileFile(path).WriteString("S", "start", "1");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int code = 0;
      try {
        ProfileFile ini(path);
        for (int i = 0; i < 60; ++i)
          ini.WriteInteger("S", std::to_string(c) + "_" + std::to_string(i), i);
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
  }
  // Meanwhile a batch of this process, saved after the children wrote.
  ProfileFile mine(path);
  {
    ProfileBatch batch(mine);
    mine.WriteString("S", "parent", "yes");
    for (pid_t child : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    batch.Commit();
  }
  ProfileFile check(path);
  EXPECT_EQ(check.KeyNames("S").size(), 122u);
  EXPECT_EQ(check.ReadString("S", "parent", "-"), "yes");
  EXPECT_EQ(check.ReadInteger("S", "1_59", -1), 59);
}

TEST_F(ProfileFileTest, FollowsALinkInsteadOfReplacingIt) {
  WriteText(dir_ / "real.ini", "[S]\r\nk=1\r\n");
  fs::create_symlink("real.ini", dir_ / "link.ini");
  ProfileFile ini(dir_ / "link.ini");
  ini.WriteString("S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(ReadText(dir_ / "real.ini"), "[S]\r\nk=2\r\n");
}

// A writer killed at any moment leaves the old or the new file, never a mix.
TEST_F(ProfileFileTest, KilledWriterLeavesOldOrNewFile) {
  const fs::path path = dir_ / "big.ini";
  const std::string filler(200000, 'v');
  {
    ProfileFile ini(path);
    ini.WriteString("S", "state", "0");
    ini.WriteString("S", "filler", filler);
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      ProfileFile ini(path);
      for (int i = 1; i < 100000; ++i) {  // bounded in case the parent dies first
        ini.WriteString("S", "state", std::to_string(i % 2));
        ini.WriteString("S", "filler", std::string(200000, i % 2 ? 'a' : 'b'));
      }
    } catch (...) {
    }
    ::_exit(0);
  }
  // Read while the child writes, then kill it at some moment and read again.
  std::vector<std::string> values;
  for (int round = 0; round < 40; ++round) {
    ::usleep(static_cast<useconds_t>(1000 + round * 250));
    if (round == 39) ::kill(child, SIGKILL);
    values.push_back(ProfileText(ReadText(path)).ReadString("S", "filler", ""));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  values.push_back(ProfileText(ReadText(path)).ReadString("S", "filler", ""));
  for (const std::string& value : values) {
    ASSERT_EQ(value.size(), filler.size());
    ASSERT_EQ(value.find_first_not_of(value[0]), std::string::npos);
  }
  // A killed writer can leave its temporary file behind; the next save works.
  ProfileFile(path).WriteString("S", "state", "done");
  EXPECT_EQ(ProfileFile(path).ReadString("S", "state", ""), "done");
}

}  // namespace
}  // namespace nimbra::platform
