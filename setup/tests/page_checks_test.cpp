// The checks of the common pages, their messages and the run's end states.

#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

TEST_F(WizardTest, EmptyUserNameKeepsTheUserOnThePasswordPage) {
  ScriptType(1);
  Result r = Run("[TabSheet11]\r\nPrimeEmail=a@b.c\r\n[TabSheet12]\r\nUserName=\r\n");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_EQ(r.pages.back(), "TabSheet12");
  EXPECT_EQ(ui->LastMessage(),
            "You have not entered a user name. A user name is required\r\nto operate properly. "
            "Please enter a user name.");
  EXPECT_NE(r.reason.find("TabSheet12"), std::string::npos);
  EXPECT_EQ(wizard->Form().Focused(), "UserName");
}

TEST_F(WizardTest, PasswordsMustMatchExactly) {
  ScriptType(1);
  Result r =
      Run("[TabSheet11]\r\nPrimeEmail=a@b.c\r\n[TabSheet12]\r\nNewPass=Secret\r\n"
          "ConfirmPass=secret\r\n");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_EQ(ui->LastMessage(),
            "The New Password and Confirm Password that you entered are not the same.\r\nPlease "
            "re-type the password and confirm password making sure\r\nthat they are the same");
}

TEST_F(WizardTest, EmptyPasswordIsReportedAndAccepted) {
  ScriptType(1);
  Result r = Run("[TabSheet11]\r\nPrimeEmail=a@b.c\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].rfind("You have chosen not to password protect", 0), 0u);
  // The logon name replaced the placeholder user name.
  EXPECT_EQ(Text("UserName"), "tester");
}

TEST_F(WizardTest, NoDefaultAddressSendsTheUserBackToTheRandomDataPage) {
  ScriptType(1);
  Result r = Run("");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_EQ(ui->LastMessage(),
            "You must select a Primary Email Address from the list of Email Addresses");
  // 11 -> 10 -> 11 ... until the runner sees the circle.
  EXPECT_GT(std::count(r.pages.begin(), r.pages.end(), "TabSheet10"), 10);
  EXPECT_NE(r.reason.find("keeps coming back"), std::string::npos);
}

TEST_F(WizardTest, SummaryListsTheChosenSoftwareAndAddresses) {
  ScriptType(1);
  Result r = Run(
      "[TabSheet8]\r\nSoftwareList.Items=x\r\n"
      "[TabSheet11]\r\nEmailAddrs=jane@example.com,j@example.org\r\nPrimeEmail=jane@example.com\r\n"
      "[TabSheet12]\r\nUserName=Jane\r\nNewPass=pw\r\nConfirmPass=pw\r\n");
  // A list box part other than Selected is refused as not fitting the form.
  EXPECT_EQ(r.code, kExitBadAnswers);

  r = Run(
      "[TabSheet11]\r\nEmailAddrs=jane@example.com,j@example.org\r\nPrimeEmail=jane@example.com\r\n"
      "[TabSheet12]\r\nUserName=Jane\r\nNewPass=pw\r\nConfirmPass=pw\r\n");
  // Page 11's entry refills the list from the detected addresses, so the
  // answer file's list is what the summary shows.
  EXPECT_EQ(r.code, 0) << r.reason;
  const std::string summary = wizard->Form().At("InstallSet").Lines();
  EXPECT_EQ(summary,
            "Installation Details\r\n--------------------\r\nType = NimbraPost Test\r\nVersion = "
            "4.1\r\nSource = Generic\r\n \r\nInstall Software Directory = C:\\Program "
            "Files\\NimbraPost\\\r\nData Directory = C:\\Program Files\\NimbraPost\\Data\\\r\n"
            "Program Group = NimbraPost 4\r\n \r\nUser Name  = Jane\r\n \r\nEmail "
            "Software\r\n--------------\r\n \r\n \r\nUsers Email Address\r\n"
            "-------------------\r\n \r\njane@example.com\r\nj@example.org");
}

TEST_F(WizardTest, NetworkServerSummaryShowsTheEnabledConnections) {
  ScriptType(4);
  Result r =
      Run("[TabSheet22]\r\nPOP3=0\r\nIMAP=0\r\nNetSMTP=mail.local\r\n"
          "[TabSheet12]\r\nUserName=admin\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  const auto& lines = wizard->Form().At("InstallSet").items;
  std::vector<std::string> tail;
  for (std::size_t i = lines.size() - 8; i < lines.size(); ++i) tail.push_back(lines[i].text);
  EXPECT_EQ(tail, (std::vector<std::string>{
                      " ", "Network Configuration Address", "-----------------------------", " ",
                      "NimbraPost SMTP Connection", "IP Address 0.0.0.0 port 25",
                      "Network Configuration Address", "IP Address mail.local port 25"}));
}

TEST_F(WizardTest, KeyServerSummaryNumbersTheServerAddresses) {
  ScriptType(4);
  Result r =
      Run("[TabSheet31]\r\nPress=KeyServer\r\n[TabSheet32]\r\nNBR_IPList=10.0.0.5,10.0.0.6\r\n"
          "[TabSheet12]\r\nUserName=admin\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  const auto& lines = wizard->Form().At("InstallSet").items;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].text, "Server 1 IP : 10.0.0.5");
  EXPECT_EQ(lines.back().text, "Server 2 IP : 10.0.0.6");
}

TEST_F(WizardTest, DatabaseOnlySummaryIsBuiltOnLeavingTheInstallerPage) {
  ScriptType(4);
  Result r =
      Run("[TabSheet31]\r\nPress=ClientDatabase\r\n[TabSheet21]\r\nWSFilesLocation=C:\\WS\\\r\n"
          "[TabSheet12]\r\nUserName=admin\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  // Page 12 rebuilt the summary after page 21; the installer location shows in it.
  EXPECT_NE(wizard->Form().At("InstallSet").Lines().find("Client Software Directory = C:\\WS\\"),
            std::string::npos);
  EXPECT_EQ(wizard->DatabaseSummary()[8], "Workstation Software     = C:\\WS\\");
}

TEST_F(WizardTest, ExitAsksAndEndsWithStatusTwo) {
  ScriptType(1);
  Result r = Run("[TabSheet3]\r\nPress=ExitSetup\r\n[Answers]\r\nExitSetup=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitUserExit);
  EXPECT_EQ(r.pages.back(), "TabSheet3");
  EXPECT_EQ(r.log.back(), "END 2 Exit Setup");
  EXPECT_NE(std::find(r.log.begin(), r.log.end(),
                      "QUESTION ExitSetup Are you sure you want to Exit Setup? -> OK"),
            r.log.end());

  // Cancel keeps the wizard on the page.
  r = Run("[TabSheet3]\r\nPress=ExitSetup\r\n[Answers]\r\nare you sure=Cancel\r\n");
  EXPECT_EQ(r.code, ui::kExitStuck);
}

TEST_F(WizardTest, UnansweredQuestionStopsWithStatusThreeNamingIt) {
  ScriptType(1);
  machine.PutFile("C:\\Program Files\\NimbraPost\\Data\\Users.ini", "");
  Result r = Run(kDesktopAnswers);
  EXPECT_EQ(r.code, ui::kExitUnanswered);
  EXPECT_NE(r.reason.find("JoinExistingDatabase"), std::string::npos);
  // Default= answers any question.
  r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nDefault=No\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
}

TEST_F(WizardTest, RunType999EndsAfterReadingTheSettings) {
  ScriptType(999);
  Result r = Run("");
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.pages.empty());
  EXPECT_EQ(wizard->Settings().Release, "4.1");
}

TEST_F(WizardTest, UnknownRunTypeBuildsNoSequence) {
  ScriptType(42);
  Result r = Run("");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_TRUE(wizard->Settings().PageList.empty());
}

TEST_F(WizardTest, ScriptTxtWinsOverWsScriptTxt) {
  ScriptType(999);
  machine.PutFile("D:\\WsScript.txt", "[PRODUCT]\r\nRunType=1\r\n");
  Result r = Run("");
  EXPECT_EQ(wizard->Settings().ScriptName, "Script.txt");
  EXPECT_TRUE(r.pages.empty());
}

TEST_F(WizardTest, EditionCheckStopsIncompatibleUpgrades) {
  const char* key = "HKLM\\Software\\NimbraPost\\Current Version";
  ScriptType(0);
  machine.SetString(key, "Version", "NimbraPost Network 3.0");
  Result r = Run("");
  EXPECT_EQ(r.code, ui::kExitStopped);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].rfind("You are updating a previous server version of NimbraPost using "
                                "an NimbraPost Sapling installer.\r\n",
                                0),
            0u);

  machine.SetString(key, "Version", "NimbraPost Bramble 4.0");
  r = Run(std::string(kDesktopAnswers) + "[TabSheetOverWrite]\r\nPress=NewInstall\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;

  UndoRun();
  ScriptType(4);
  machine.SetString(key, "Version", "NimbraPost network");  // case counts
  r = Run("");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_EQ(r.messages[0].rfind("You are updating a previous version of workstation version", 0),
            0u);
}

TEST_F(WizardTest, DnsComesFromTheRegistryAndTheSettingsDefaults) {
  machine.SetString("HKLM\\System\\CurrentControlSet\\Services\\VxD\\MSTCP", "NameServer",
                    "10.0.0.1 10.0.0.2 10.0.0.3");
  Script("[PRODUCT]\r\nRunType=999\r\n[Defaults]\r\nDNS2=192.168.9.9\r\n");
  Run("");
  EXPECT_EQ(Text("DNS1"), "10.0.0.1");
  EXPECT_EQ(Text("DNS2"), "192.168.9.9");
}

TEST_F(WizardTest, ProductMessageCaptionComesFromTheInstalledWsIni) {
  ScriptType(999);
  Run("");
  EXPECT_EQ(wizard->Context().MessageCaption(), "MESSAGE:");
  machine.PutFile("D:\\WS.INI", "[WorkStation]\r\nINSTALLED=Beside Setup\r\n");
  EXPECT_EQ(wizard->Context().MessageCaption(), "Beside Setup");
  machine.PutFile("C:\\NP\\WS.INI", "[WORKSTATION]\r\nINSTALLED=NimbraPost 4\r\n");
  machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "exePath", "C:\\NP\\");
  EXPECT_EQ(wizard->Context().MessageCaption(), "NimbraPost 4");
}

TEST_F(WizardTest, LicenceTextByTypeAndAcceptCaption) {
  ScriptType(1);
  machine.PutFile("D:\\License.rtf", "{\\rtf paid}");
  machine.PutFile("D:\\FreeLic.rtf", "{\\rtf free}");
  Result r = Run("[TabSheet2]\r\nPress=ExitSetup\r\n[Answers]\r\nExitSetup=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitUserExit);
  EXPECT_EQ(Text("LicenseText"), "{\\rtf paid}");
  EXPECT_EQ(Text("Next"), "&Accept");
  ScriptType(0);
  Run("[TabSheet2]\r\nPress=ExitSetup\r\n[Answers]\r\nExitSetup=OK\r\n");
  EXPECT_EQ(Text("LicenseText"), "{\\rtf free}");
}

TEST_F(WizardTest, CalypsoAccountShowsTheTimeoutAdvice) {
  ScriptType(1);
  Result r = Run(std::string(kDesktopAnswers) + "[TabSheet12]\r\nNewPass=a\r\nConfirmPass=a\r\n");
  ASSERT_EQ(r.code, 0);
  wizard->Form().At("SoftwareList").items = {{"Calypso (jane)", true}};
  wizard->ShowPage("TabSheet12");
  wizard->NextClick();
  EXPECT_EQ(log->Lines().back(), "PAGE TabSheet13");
  EXPECT_NE(std::find(log->Lines().begin(), log->Lines().end(),
                      "DIALOG TCalyTimeout Email 2000 Timeout Settings."),
            log->Lines().end());
}

}  // namespace
}  // namespace nimbra::setup::testing

namespace nimbra::setup::testing {
namespace {

TEST_F(WizardTest, ProgramLocationIsNormalisedAndTheDataLocationFollowsItsDrive) {
  ScriptType(1);
  Result r =
      Run(std::string(kDesktopAnswers) + "[TabSheet5]\r\nSoftwareLocation=D:\\NP\\\\Prog\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("SoftwareLocation"), "D:\\NP\\Prog\\");
  EXPECT_EQ(Text("DataLocation"), "D:\\Program Files\\NimbraPost\\Data\\");
  EXPECT_EQ(Text("SharedDataLocation"), "D:\\Program Files\\NimbraPost\\Data\\Shared\\");
}

TEST_F(WizardTest, BrowseTakesTheChosenFilesFolder) {
  ScriptType(1);
  machine.AddDrive('E', platform::DriveType::Fixed, "DATA");
  Result r = Run(std::string(kDesktopAnswers) +
                 "[TabSheet5]\r\nPress=SoftwareBrowse,Next\r\n"
                 "[TabSheet6]\r\nPress=DataBrowse,Next\r\n"
                 "[Answers]\r\nProgramLocationDialog=E:\\Apps\\NP\\x.txt\r\n"
                 "Select Location for the NimbraPost Data=E:\\Keys\\file\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("SoftwareLocation"), "E:\\Apps\\NP\\");
  EXPECT_EQ(Text("DataLocation"), "E:\\Keys\\");
}

TEST_F(WizardTest, NextOnTheLastPageStaysAndPreviousOnTheFirstStays) {
  ScriptType(1);
  Run("[TabSheet1]\r\nPress=ExitSetup\r\n[Answers]\r\nExitSetup=OK\r\n");
  int entries = 0;
  wizard->Context().SetPageHandlers("TabSheet19", {[&] { ++entries; }, nullptr});
  wizard->PrevClick();
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet1");
  wizard->ShowPage("TabSheet19");
  wizard->NextClick();
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet19");
  EXPECT_EQ(entries, 1);  // the entry action ran again
  EXPECT_EQ(wizard->GetPageNo(), 20);
  wizard->ShowPage("TabSheet27");  // not in the standard list
  EXPECT_EQ(wizard->GetPageNo(), -1);
  wizard->NextClick();
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet27");
}

}  // namespace
}  // namespace nimbra::setup::testing
