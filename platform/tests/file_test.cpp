#include <gtest/gtest.h>

#include <chrono>

#include "platform/files/file_stamp.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

class Files : public ::testing::Test {
 protected:
  TestMachine m;
  // Names in a folder, hidden ones included (temporary files would show).
  std::vector<std::string> Names(std::string_view folder) {
    std::vector<std::string> names;
    for (const DirEntry& e : m->ListDirectory(folder)) names.push_back(e.name);
    return names;
  }
};

TEST_F(Files, DirectoriesAreCreatedOneByOneOrAsATree) {
  EXPECT_FALSE(m->CreateDirectory("C:\\a\\b"));  // parent missing
  EXPECT_TRUE(m->CreateDirectory("C:\\a"));
  EXPECT_FALSE(m->CreateDirectory("C:\\A"));  // exists, in another case
  EXPECT_TRUE(m->ForceDirectories("C:\\A\\b\\\\c\\"));
  EXPECT_TRUE(m->DirectoryExists("c:\\a\\B\\C"));
  EXPECT_FALSE(m->FileExists("C:\\a\\b"));
  EXPECT_FALSE(m->ForceDirectories("Q:\\x"));
  EXPECT_FALSE(m->RemoveDirectory("C:\\a"));  // not empty
  EXPECT_TRUE(m->RemoveDirectory("C:\\a\\b\\c"));
  EXPECT_FALSE(m->DirectoryExists("C:\\a\\b\\c"));
}

TEST_F(Files, CopyOverwritesOrRefusesAndKeepsTheTimeStamp) {
  m.PutFile("C:\\src\\a.txt", "new");
  m.PutFile("C:\\dst\\A.TXT", "old");
  const auto stamp = std::chrono::system_clock::time_point(std::chrono::seconds(946684800));
  ASSERT_TRUE(m->SetLastWriteTime("C:\\src\\a.txt", stamp));
  EXPECT_FALSE(m->CopyFile("C:\\src\\a.txt", "C:\\dst\\a.txt", true));
  EXPECT_EQ(m.ReadFile("C:\\dst\\a.txt"), "old");
  EXPECT_TRUE(m->CopyFile("C:\\src\\a.txt", "C:\\dst\\a.txt", false));
  EXPECT_EQ(m.ReadFile("C:\\dst\\a.txt"), "new");
  EXPECT_EQ(Names("C:\\dst"), std::vector<std::string>{"A.TXT"});
  EXPECT_EQ(m->LastWriteTime("C:\\dst\\a.txt"), stamp);
  EXPECT_FALSE(m->CopyFile("C:\\src\\missing.txt", "C:\\dst\\b.txt", false));
  EXPECT_FALSE(m->CopyFile("C:\\src\\a.txt", "C:\\nowhere\\b.txt", false));
  EXPECT_FALSE(m->CopyFile("C:\\src\\a.txt", "C:\\SRC\\A.txt", false));  // onto itself
  EXPECT_FALSE(m->CopyFile("C:\\src", "C:\\dst\\x", false));             // a folder
}

TEST_F(Files, ReadOnlyFilesRefuseOverwriteAndDelete) {
  m.PutFile("C:\\dst\\lock.dll", "in use");
  m.PutFile("C:\\src\\lock.dll", "update");
  ASSERT_TRUE(m->SetAttributes("C:\\dst\\lock.dll", attr::ReadOnly));
  EXPECT_EQ(*m->GetAttributes("C:\\dst\\lock.dll") & attr::ReadOnly, attr::ReadOnly);
  EXPECT_FALSE(m->CopyFile("C:\\src\\lock.dll", "C:\\dst\\lock.dll", false));
  EXPECT_FALSE(m->DeleteFile("C:\\dst\\lock.dll"));
  EXPECT_THROW(m->WriteFile("C:\\dst\\lock.dll", "x"), FileError);
  EXPECT_EQ(m.ReadFile("C:\\dst\\lock.dll"), "in use");
  ASSERT_TRUE(m->SetAttributes("C:\\dst\\lock.dll", 0));
  EXPECT_TRUE(m->DeleteFile("C:\\dst\\lock.dll"));
  EXPECT_FALSE(m->DeleteFile("C:\\dst\\lock.dll"));
  EXPECT_FALSE(m->DeleteFile("C:\\dst"));
}

TEST_F(Files, MoveRenamesReplacesOnlyWhenAskedAndChangesCase) {
  m.PutFile("C:\\a\\one.txt", "1");
  m.PutFile("C:\\a\\two.txt", "2");
  EXPECT_FALSE(m->MoveFile("C:\\a\\one.txt", "C:\\a\\TWO.txt"));
  EXPECT_TRUE(m->MoveFile("C:\\a\\one.txt", "C:\\a\\TWO.txt", true));
  EXPECT_EQ(Names("C:\\a"), std::vector<std::string>{"two.txt"});
  EXPECT_EQ(m.ReadFile("C:\\a\\two.txt"), "1");
  EXPECT_TRUE(m->MoveFile("C:\\a\\two.txt", "C:\\a\\Two.TXT"));
  EXPECT_EQ(Names("C:\\a"), std::vector<std::string>{"Two.TXT"});
  EXPECT_TRUE(m->MoveFile("C:\\a", "C:\\b"));
  EXPECT_TRUE(m->FileExists("C:\\b\\two.txt"));
  EXPECT_FALSE(m->MoveFile("C:\\missing", "C:\\c"));
  EXPECT_FALSE(m->MoveFile("C:\\b\\two.txt", "C:\\nowhere\\x"));
}

TEST_F(Files, WritesAreAtomicAndLeaveNoTemporaryFiles) {
  m.PutFile("C:\\cfg\\WS.INI", "[A]\r\n");
  m->SetAttributes("C:\\cfg\\WS.INI", attr::Hidden);
  m->WriteFile("C:\\cfg\\ws.ini", std::string(100000, 'x'));
  EXPECT_EQ(m->FileSize("C:\\cfg\\WS.INI"), 100000u);
  EXPECT_EQ(Names("C:\\cfg"), std::vector<std::string>{"WS.INI"});
  EXPECT_TRUE(*m->GetAttributes("C:\\cfg\\WS.INI") & attr::Hidden);  // kept over the rewrite
  EXPECT_THROW(m->WriteFile("C:\\nowhere\\x.ini", "x"), FileError);
  EXPECT_THROW(m->WriteFile("C:\\cfg", "x"), FileError);
  EXPECT_THROW(m->ReadFile("C:\\cfg\\missing.ini"), FileError);
  EXPECT_THROW(m->ReadFile("C:\\cfg"), FileError);
  EXPECT_EQ(m->FileSize("C:\\cfg"), std::nullopt);
}

TEST_F(Files, AttributesAndListing) {
  m.PutFile("C:\\d\\plain.txt", "abc");
  m.PutFile("C:\\d\\.dot", "");
  m.PutDirectory("C:\\d\\Sub");
  ASSERT_TRUE(m->SetAttributes("C:\\d\\plain.txt", attr::Hidden | attr::System));
  const auto entries = m->ListDirectory("C:\\D");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, ".dot");
  EXPECT_TRUE(entries[0].attributes & attr::Hidden);
  EXPECT_EQ(entries[1].name, "plain.txt");
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_EQ(entries[1].attributes, attr::Hidden | attr::System);
  EXPECT_EQ(entries[2].name, "Sub");
  EXPECT_EQ(entries[2].attributes, attr::Directory);
  EXPECT_EQ(m->GetAttributes("C:\\d\\missing"), std::nullopt);
  EXPECT_TRUE(m->ListDirectory("C:\\missing").empty());
}

TEST_F(Files, StampsTellEveryRewriteApartButNotTheFile) {
  m.PutFile("C:\\a.ini", "[A]");
  const std::filesystem::path host = *m->HostPath("C:\\a.ini");
  const FileStamp first = FileStamp::Of(host);
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(FileStamp::Of(host), first);
  // The same size and time stamp by another file renamed over it.
  const auto time = *m->LastWriteTime("C:\\a.ini");
  m->WriteFile("C:\\a.ini", "[B]");
  ASSERT_TRUE(m->SetLastWriteTime("C:\\a.ini", time));
  const FileStamp renamed = FileStamp::Of(host);
  EXPECT_NE(renamed, first);
  EXPECT_FALSE(renamed.SameFile(first));
  // Attributes changed in place: the file is the same one, its stamp is not.
  ASSERT_TRUE(m->SetAttributes("C:\\a.ini", attr::Hidden));
  EXPECT_NE(FileStamp::Of(host), renamed);
  EXPECT_TRUE(FileStamp::Of(host).SameFile(renamed));
  EXPECT_FALSE(FileStamp::Of(host.string() + "x").exists);
  EXPECT_FALSE(FileStamp{}.SameFile(FileStamp{}));
}

}  // namespace
}  // namespace nimbra::platform
