// The drive, search and check-list pages in an unattended run.

#include <algorithm>

#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

class SearchPagesTest : public WizardTest {
 public:
  // Eudora on the hard disk and on a network drive, and Netscape Navigator.
  void TwoDrivesWithClients() {
    machine.AddDrive('N', platform::DriveType::Remote, "", "\\\\mail\\home");
    machine->SetVolumeLabel("C:\\", "System");
    machine.PutFile("C:\\Eudora\\Eudora.ini",
                    "[Settings]\r\nRealName=Jo\r\nReturnAddress=jo@example.net\r\n"
                    "POPServer=pop.example.net\r\nSMTPServer=smtp.example.net\r\n");
    machine.PutFile("N:\\Eudora\\Eudora.ini",
                    "[Settings]\r\nRealName=Al\r\nReturnAddress=al@example.org\r\n"
                    "POPServer=pop.example.org\r\n");
    const std::string navigator = "HKCU\\Software\\Netscape\\Netscape Navigator\\";
    machine.SetString(navigator + "User", "User_Addr", "nav@example.net");
    machine.SetString(navigator + "Services", "SMTP_Server", "smtp.example.net");
    machine.SetString(navigator + "Services", "POP_Server", "pop.example.net");
  }
  std::vector<std::string> Entries(const char* control) {
    std::vector<std::string> texts;
    for (const auto& item : wizard->Form().At(control).items) {
      texts.push_back(item.text + (item.checked ? " [x]" : " [ ]"));
    }
    return texts;
  }
  bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(SearchPagesTest, DrivesAndAccountsAreChosenByTheAnswerFile) {
  ScriptType(1);
  TwoDrivesWithClients();
  // Without answers the network drive starts unchecked and every account
  // found is checked.
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Entries("DriveCheck"),
            (std::vector<std::string>{"C:\\ - [SYSTEM] [x]", "N:\\ ~ \\\\MAIL\\HOME [ ]"}));
  EXPECT_EQ(Entries("SoftwareList"),
            (std::vector<std::string>{"Netscape Navigator [x]", "Eudora (Jo) [x]"}));
  EXPECT_EQ(Text("Detect"), "Finished");
  EXPECT_TRUE(Has(r.pages, "TabSheet28") && Has(r.pages, "TabSheet7"));
  // The detected addresses are offered on the address page.
  EXPECT_TRUE(Has(wizard->Settings().DetectedAddresses, "jo@example.net"));

  // The network drive alone (named by its root), and one account of the
  // list: the search appends the network drive's account, and the summary
  // holds only the chosen one.
  // (over the installation the first run made: new keys again)
  r = Run(std::string(kDesktopAnswers) +
          "[TabSheetOverWrite]\r\nPress=NewInstall\r\n"
          "[Answers]\r\nJoinExistingDatabase=No\r\nOverwriteDataFiles=Yes\r\n"
          "[TabSheet28]\r\nDriveCheck=n:\\\r\n"
          "[TabSheet8]\r\nSoftwareList=\"Eudora (Al)\"\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(
      Entries("SoftwareList"),
      (std::vector<std::string>{"Netscape Navigator [ ]", "Eudora (Jo) [ ]", "Eudora (Al) [x]"}));
  const auto summary = wizard->Form().At("InstallSet").items;
  std::vector<std::string> lines;
  for (const auto& item : summary) lines.push_back(item.text);
  EXPECT_TRUE(Has(lines, "Eudora (Al)"));
  EXPECT_FALSE(Has(lines, "Eudora (Jo)"));

  // A third run finds nothing new.
  // (over the installation the first run made: new keys again)
  r = Run(std::string(kDesktopAnswers) +
          "[TabSheetOverWrite]\r\nPress=NewInstall\r\n"
          "[Answers]\r\nJoinExistingDatabase=No\r\nOverwriteDataFiles=Yes\r\n" +
          "[TabSheet28]\r\nDriveCheck=*\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(wizard->Form().At("SoftwareList").items.size(), 3u);
}

TEST_F(SearchPagesTest, AnEntryTheListDoesNotHoldEndsTheRun) {
  ScriptType(1);
  TwoDrivesWithClients();
  Result r = Run(std::string(kDesktopAnswers) + "[TabSheet8]\r\nSoftwareList=Eudora (Jo)\r\n");
  // Without quotes the blanks split the entry: "(Jo)" names nothing.
  EXPECT_EQ(r.code, kExitBadAnswers);
  EXPECT_NE(r.reason.find("SoftwareList has no entry (Jo)"), std::string::npos) << r.reason;
  r = Run(std::string(kDesktopAnswers) + "[TabSheet28]\r\nDriveCheck=Q:\\\r\n");
  EXPECT_EQ(r.code, kExitBadAnswers);
  EXPECT_NE(r.reason.find("DriveCheck has no entry Q:\\"), std::string::npos) << r.reason;
}

TEST_F(SearchPagesTest, OneDriveSkipsTheDrivePage) {
  ScriptType(1);
  machine.PutFile("C:\\Eudora\\Eudora.ini", "[Settings]\r\nReturnAddress=jo@example.net\r\n");
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(wizard->Form().At("DriveCheck").items.empty());
  EXPECT_EQ(Entries("SoftwareList"), std::vector<std::string>{"Eudora (No Name) [x]"});
  // The run went on from the drive page at once, and from the search page
  // (whose navigation buttons were enabled again: the run pressed Next on
  // the check list).
  const auto at = std::find(r.pages.begin(), r.pages.end(), "TabSheet28");
  ASSERT_NE(at, r.pages.end());
  EXPECT_EQ(*(at + 1), "TabSheet7");
  EXPECT_EQ(*(at + 2), "TabSheet8");
}

TEST_F(SearchPagesTest, WorkstationSummaryIsBuiltOnTheCheckListPage) {
  ScriptType(5);
  TwoDrivesWithClients();
  Result r = Run("[TabSheet8]\r\nSoftwareList=\"Netscape Navigator\"\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(wizard->Form().At("InstallSet").Lines(),
            "Installation Details\r\n--------------------\r\nType = NimbraPost Test\r\n"
            "Version = 4.1\r\nSource = Generic\r\n \r\n"
            "Install Software Directory = C:\\Program Files\\NimbraPost\\\r\n"
            "Data Directory = C:\\Program Files\\NimbraPost\\Data\\\r\n"
            "Program Group = NimbraPost 4\r\n \r\n \r\nEmail Software\r\n--------------\r\n \r\n"
            "Netscape Navigator");
  EXPECT_TRUE(wizard->Form().At("InstallSet").visible);
}

}  // namespace
}  // namespace nimbra::setup::testing
