#include "setup/install_ops.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/links/shell_link.h"
#include "platform/processes/running_programs.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"
#include "testsupport/test_machine.h"

namespace nimbra::setup {
namespace {

using platform::RootKey;

class InstallOpsTest : public ::testing::Test {
 public:
  // Fields of the journal's lines that begin an operation of kind op.
  std::vector<std::vector<std::string>> Begun(std::string_view op) {
    std::vector<std::vector<std::string>> out;
    for (const auto& line : journal.Lines()) {
      std::vector<std::string> fields;
      std::size_t from = 0;
      for (;;) {
        const std::size_t tab = line.find('\t', from);
        fields.push_back(InstallJournal::UnescapeField(line.substr(from, tab - from)));
        if (tab == std::string::npos) break;
        from = tab + 1;
      }
      if (fields.size() > 2 && fields[0] == "B" && fields[2] == op) {
        out.emplace_back(fields.begin() + 3, fields.end());
      }
    }
    return out;
  }

  testsupport::TestMachine m;
  InstallJournal journal{*m, "C:\\Prog\\"};
  InstallOps ops{*m, journal};
};

TEST_F(InstallOpsTest, JournalWaitsForTheProgramFolderAndMarksEveryOperationDone) {
  EXPECT_TRUE(ops.CreateFolderTree("C:\\Prog\\Sub"));
  // The drive root is no operation; the two new folders are.
  ASSERT_EQ(Begun("FOLDER").size(), 2u);
  EXPECT_EQ(Begun("FOLDER")[0][0], "C:\\Prog\\");
  EXPECT_EQ(Begun("FOLDER")[1][0], "C:\\Prog\\Sub\\");
  // The first folder's line was kept until the folder existed; the file now
  // holds every line, each operation begun and done.
  const std::string text = m.ReadFile("C:\\Prog\\Install.jnl");
  EXPECT_EQ(text,
            "NimbraPost installation journal 1\r\nB\t1\tFOLDER\tC:\\Prog\\\r\nD\t1\tOK\r\n"
            "B\t2\tFOLDER\tC:\\Prog\\Sub\\\r\nD\t2\tOK\r\n");
  // An existing folder is no change and no line.
  EXPECT_TRUE(ops.CreateFolderTree("C:\\Prog\\Sub\\"));
  EXPECT_EQ(journal.Lines().size(), 5u);
  EXPECT_FALSE(ops.CreateFolderTree("Q:\\Nowhere"));
  EXPECT_EQ(journal.Lines().back(), "D\t3\tFAILED");
}

TEST_F(InstallOpsTest, FieldsEscapeSeparatorsAndLineBreaks) {
  const std::string odd = "a\tb\r\nc%d 100%";
  const std::string escaped = InstallJournal::EscapeField(odd);
  EXPECT_EQ(escaped, "a%09b%0D%0Ac%25d 100%25");
  EXPECT_EQ(InstallJournal::UnescapeField(escaped), odd);
  EXPECT_EQ(InstallJournal::UnescapeField("50%"), "50%");
}

TEST_F(InstallOpsTest, CopiesRecordWhatTheyReplacedAndLockedTargetsMoveAside) {
  m.AddDrive('D', platform::DriveType::CdRom);
  m.PutFile("D:\\SETUP\\NimbraMGR.exe", "v2");
  m.PutFile("C:\\Prog\\NimbraMGR.exe", "v1");
  m.PutFile("C:\\Prog\\NimbraMGR.exe.REMOVE", "v0");
  platform::RunningPrograms(m.Root(), platform::ResolverFor(*m))
      .Start("C:\\Prog\\NimbraMGR.exe", {});
  EXPECT_TRUE(ops.CopyInto("D:\\SETUP\\", "NimbraMGR.exe", "C:\\Prog\\"));
  EXPECT_EQ(m.ReadFile("C:\\Prog\\NimbraMGR.exe"), "v2");
  EXPECT_EQ(m.ReadFile("C:\\Prog\\NimbraMGR.exe.REMOVE"), "v1");
  const auto copies = Begun("COPY");
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0][1], "C:\\Prog\\NimbraMGR.exe");
  EXPECT_EQ(copies[0][2].substr(0, 7), "size=2 ");
  const auto aside = Begun("MOVEASIDE");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(aside[0][1], "C:\\Prog\\NimbraMGR.exe.REMOVE");
  EXPECT_NE(aside[0][2], "absent");  // the older ".REMOVE" it replaced
  // The first copy, onto the file in use, failed.
  const auto& lines = journal.Lines();
  const auto firstCopy = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("\tCOPY\t") != std::string::npos;
  });
  ASSERT_NE(firstCopy, lines.end());
  const std::string number = firstCopy->substr(2, firstCopy->find('\t', 2) - 2);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "D\t" + number + "\tFAILED"), lines.end());
  // Both files replaced were kept first, named by their content, in the
  // program location's "Replaced" folder.
  const auto kept = Begun("KEPT");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0][0], "C:\\Prog\\NimbraMGR.exe");
  EXPECT_EQ(kept[0][2], copies[0][2]);
  EXPECT_EQ(kept[0][1],
            "C:\\Prog\\Replaced\\" + copies[0][2].substr(copies[0][2].find("sha1=") + 5));
  EXPECT_EQ(m.ReadFile(kept[0][1]), "v1");
  EXPECT_EQ(kept[1][0], "C:\\Prog\\NimbraMGR.exe.REMOVE");
  EXPECT_EQ(m.ReadFile(kept[1][1]), "v0");
  // What the copy left, for an uninstall to tell a file changed since.
  const auto wrote = Begun("WROTE");
  ASSERT_EQ(wrote.size(), 1u);
  EXPECT_EQ(wrote[0][0], "C:\\Prog\\NimbraMGR.exe");
  EXPECT_EQ(wrote[0][1].substr(0, 7), "size=2 ");

  // A missing source is skipped without a line; a missing destination tree
  // is made, a doubled backslash in the destination folder does no harm.
  const auto before = journal.Lines().size();
  EXPECT_FALSE(ops.CopyInto("D:\\SETUP\\", "Missing.exe", "C:\\Prog\\"));
  EXPECT_EQ(journal.Lines().size(), before);
  EXPECT_TRUE(ops.CopyInto("D:\\SETUP\\", "NimbraMGR.exe", "C:\\New\\Dir\\\\"));
  EXPECT_TRUE(m->FileExists("C:\\New\\Dir\\NimbraMGR.exe"));
  EXPECT_EQ(Begun("COPY").back()[2], "absent");
}

// Only what was there before the installation is kept: a file a record of
// the journal made, in this run or in the interrupted one it goes on with,
// is the installation's own.
TEST_F(InstallOpsTest, OnlyFilesTheInstallationDidNotMakeAreKept) {
  m.PutFile("C:\\Src\\new.txt", "new");
  m.PutFile("C:\\Prog\\A.txt", "the user's");
  EXPECT_TRUE(ops.CopyFile("C:\\Src\\new.txt", "C:\\Prog\\A.txt"));
  EXPECT_TRUE(ops.WriteFile("C:\\Prog\\a.TXT", "again"));
  EXPECT_TRUE(ops.WriteFile("C:\\Prog\\B.txt", "b"));
  EXPECT_TRUE(ops.WriteFile("C:\\Prog\\B.txt", "b2"));
  ASSERT_EQ(Begun("KEPT").size(), 1u);
  EXPECT_EQ(m.ReadFile(Begun("KEPT")[0][1]), "the user's");

  InstallJournal resumed{*m, "C:\\Prog\\"};
  ASSERT_TRUE(resumed.Resumed());
  InstallOps again{*m, resumed};
  EXPECT_TRUE(again.CopyFile("C:\\Src\\new.txt", "C:\\Prog\\B.txt"));
  EXPECT_TRUE(again.CopyFile("C:\\Src\\new.txt", "C:\\Prog\\A.txt"));
  const auto kept =
      std::count_if(resumed.Lines().begin(), resumed.Lines().end(),
                    [](const std::string& l) { return l.find("\tKEPT\t") != std::string::npos; });
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(m->ListDirectory("C:\\Prog\\Replaced\\").size(), 1u);
}

TEST_F(InstallOpsTest, IniAndRegistryWritesRecordThePreviousValueOrItsAbsence) {
  m.PutFile("C:\\Prog\\WS.INI", "[WORKSTATION]\r\nSMTP=24\r\n");
  EXPECT_TRUE(ops.WriteIni("C:\\Prog\\WS.INI", "WORKSTATION", "SMTP", "25"));
  EXPECT_TRUE(ops.WriteIni("C:\\Prog\\WS.INI", "WORKSTATION", "POP3", "110"));
  EXPECT_FALSE(ops.WriteIni("C:\\Missing\\WS.INI", "A", "B", "C"));
  const auto ini = Begun("INI");
  ASSERT_EQ(ini.size(), 3u);
  EXPECT_EQ(ini[0][4], "=24");
  EXPECT_EQ(ini[1][4], "absent");
  platform::ProfileFile file(*m->HostPath("C:\\Prog\\WS.INI"));
  EXPECT_EQ(file.ReadString("WORKSTATION", "SMTP", ""), "25");

  m.SetString("HKLM\\Software\\VRX\\NimbraPost", "InstallDir", "C:\\Old\\");
  ops.WriteRegString(RootKey::LocalMachine, "Software\\VRX\\NimbraPost", "InstallDir",
                     "C:\\Prog\\");
  ops.WriteRegInteger(RootKey::LocalMachine, "Software\\VRX\\NimbraPost\\New", "Count", 7);
  const auto values = Begun("REGVALUE");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0][0], "HKEY_LOCAL_MACHINE\\Software\\VRX\\NimbraPost");
  EXPECT_EQ(values[0][3].substr(0, 2), "1:");  // the old REG_SZ
  EXPECT_EQ(values[0][4], "key-existed");
  EXPECT_EQ(values[1][2], "4:07000000");
  EXPECT_EQ(values[1][3], "absent");
  EXPECT_EQ(values[1][4], "key-created");
  auto key = m->Reg().OpenKey(RootKey::LocalMachine, "Software\\VRX\\NimbraPost", false);
  EXPECT_EQ(key->ReadString("InstallDir"), "C:\\Prog\\");

  // A deleted key is recorded with everything it held.
  EXPECT_TRUE(ops.DeleteRegKey(RootKey::LocalMachine, "Software\\VRX\\NimbraPost"));
  EXPECT_FALSE(ops.DeleteRegKey(RootKey::LocalMachine, "Software\\VRX\\NimbraPost"));
  const auto deleted = Begun("REGDELETE");
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_NE(deleted[0][1].find("\"InstallDir\"=\"C:\\\\Prog\\\\\""), std::string::npos);
  EXPECT_NE(deleted[0][1].find("\"Count\"=dword:00000007"), std::string::npos);
}

TEST_F(InstallOpsTest, ShortcutsAndImportsAreRecordedAndFailuresMarked) {
  m.PutFile("C:\\Prog\\NimbraMGR.exe", "exe");
  platform::ShellLink link(*m);
  link.SetPath("C:\\Prog\\NimbraMGR.exe");
  link.SetArguments("/tray");
  link.SetWorkingDirectory("C:\\Prog");
  link.SetDescription("Key Manager");
  ops.SaveShortcut(link, "C:\\Prog\\Key Manager.lnk");
  EXPECT_TRUE(m->FileExists("C:\\Prog\\Key Manager.lnk"));
  const auto links = Begun("LINK");
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0],
            (std::vector<std::string>{"C:\\Prog\\Key Manager.lnk", "C:\\Prog\\NimbraMGR.exe",
                                      "/tray", "C:\\Prog", "Key Manager", "absent"}));
  EXPECT_ANY_THROW(ops.SaveShortcut(link, "C:\\Missing\\x.lnk"));
  EXPECT_EQ(journal.Lines().back(), "D\t3\tFAILED");

  int warnings = 0;
  ops.ImportReg(ParseUpdateReg("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n"
                               "\"A\"=\"1\"\r\n\r\n"),
                "t.reg", [&] { ++warnings; });
  EXPECT_TRUE(m->Reg().KeyExists(RootKey::CurrentUser, "Software\\T"));
  EXPECT_EQ(Begun("REGIMPORT").size(), 1u);
  EXPECT_EQ(Begun("REGKEY").size(), 1u);
  EXPECT_EQ(Begun("REGVALUE").size(), 1u);
  EXPECT_EQ(warnings, 0);
  EXPECT_EQ(journal.Lines().back(), "D\t4\tOK");
  // The key made, and the outermost key made with it.
  EXPECT_EQ(Begun("REGKEY")[0], (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\T",
                                                          "HKEY_CURRENT_USER\\Software\\T"}));
}

}  // namespace
}  // namespace nimbra::setup
