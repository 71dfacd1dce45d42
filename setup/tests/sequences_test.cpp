// Walks every page sequence unattended on fresh machines.

#include <algorithm>
#include <map>

#include "core/strings.h"
#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

const std::vector<std::string> kStandard =
    WizardTest::Pages({"1",  "2",  "3",  "4",  "5",  "6",  "28", "7",  "8",  "9",
                       "10", "11", "12", "13", "14", "18", "15", "16", "17", "19"});

TEST_F(WizardTest, StandardSequenceRunsToFinishForTypesZeroAndOne) {
  for (int type : {0, 1}) {
    UndoRun();
    ScriptType(type);
    Result r = Run(kDesktopAnswers);
    EXPECT_EQ(r.code, 0) << r.reason;
    EXPECT_EQ(r.pages, kStandard) << "type " << type;
    EXPECT_EQ(Text("Next"), "&Continue");
    EXPECT_FALSE(wizard->Form().At("Prev").enabled);  // completion page leaves only Finish
  }
}

TEST_F(WizardTest, MissingSettingsFileGivesTheStandardSequence) {
  AnswerFileUi person("");
  TSetupForm created(person, *machine, "D:\\");
  created.FormCreate();
  std::vector<std::string> list = {""};
  list.insert(list.end(), kStandard.begin(), kStandard.end());
  list.emplace_back();
  EXPECT_EQ(created.Settings().PageList, list);
  EXPECT_EQ(created.Form().ActivePage(), "TabSheet1");
  EXPECT_EQ(created.Settings().ScriptName, "WsScript.txt");
  EXPECT_EQ(created.Settings().InstallType, 0);
}

TEST_F(WizardTest, ThicketSequenceHasSharedDataAndPgpPages) {
  ScriptType(2);
  Result r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nInstallPgpDrivers=No\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"1",  "2",  "3",  "4",  "5",  "6",  "6a",  "28", "7",  "8",  "9",
                            "10", "11", "12", "13", "14", "18", "PGP", "15", "16", "17", "19"}));
  // Leaving page 6 put the shared location below the data location.
  EXPECT_EQ(Text("SharedDataLocation"), "C:\\Program Files\\NimbraPost\\Data\\Shared\\");
}

TEST_F(WizardTest, PalisadeSequenceIsTheGatewayWithRetitledDataPages) {
  ScriptType(3);
  Result r = Run(kDesktopAnswers);
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"25", "2",  "27", "24", "4",  "5",  "6",  "6a", "20", "32", "33",
                            "34", "35", "36", "9",  "10", "12", "14", "26", "17", "19"}));
  EXPECT_TRUE(wizard->Settings().GatewayServer);
  EXPECT_EQ(Text("ProgGroupName"), "NimbraPost Thicket Gateway");
  EXPECT_EQ(Text("DataBox"), "NimbraPost Primary Data Files");
  EXPECT_EQ(Text("SharedDataHeading"), "Enter a Location for the NimbraPost Secondary Data Files");
  EXPECT_EQ(Text("SharedDataLocation"), "C:\\Program Files\\NimbraPost\\Data\\Secondary\\");
}

TEST_F(WizardTest, CanopyServerTypeChoiceBuildsTheMatchingSequence) {
  struct Case {
    const char* press;
    std::vector<std::string> pages;
    bool gateway, keyServer, database;
  };
  const std::vector<std::string> head = Pages({"25", "2", "27", "31"});
  auto with = [&](std::initializer_list<const char*> rest) {
    auto all = head;
    for (auto& p : Pages(rest)) all.push_back(p);
    return all;
  };
  const Case cases[] = {
      {"Next",
       with({"4", "5", "6", "6a", "22", "23", "24", "9", "10", "12", "14", "26", "17", "19"}),
       false, false, false},
      {"InternetServer",
       with({"4", "5", "6", "6a", "22", "23", "24", "9", "10", "12", "14", "26", "17", "19"}),
       false, false, false},
      {"InternetGateway",
       with({"24", "4", "5", "6", "6a", "20", "32", "33", "34", "35", "36", "9", "10", "12", "14",
             "26", "17", "19"}),
       true, false, false},
      {"KeyServer", with({"4", "5", "6", "6a", "32", "10", "12", "14", "26", "17", "19"}), false,
       true, false},
      {"ClientDatabase", with({"24", "4", "5", "6", "21", "12", "14", "15", "19"}), false, false,
       true},
  };
  for (const Case& c : cases) {
    UndoRun();
    ScriptType(4);
    Result r = Run(std::string(kDesktopAnswers) + "[TabSheet31]\r\nPress=" + c.press + "\r\n");
    EXPECT_EQ(r.code, 0) << c.press << ": " << r.reason;
    EXPECT_EQ(r.pages, c.pages) << c.press;
    const InstallSettings& s = wizard->Settings();
    EXPECT_EQ(s.GatewayServer, c.gateway) << c.press;
    EXPECT_EQ(s.KeyServerOnly, c.keyServer) << c.press;
    EXPECT_EQ(s.DatabaseOnly, c.database) << c.press;
    EXPECT_EQ(s.SharedInstaller, c.database) << c.press;
  }
}

TEST_F(WizardTest, WorkstationSequenceTakesTheSharedDatabaseLocation) {
  Script("[PRODUCT]\r\nRunType=5\r\n[DBINSTALLER]\r\nFILES=F:\\Shared\\Data\\\r\n");
  Result r = Run("");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"Orva", "2", "4", "5", "6", "28", "7", "8", "18", "14", "15", "19"}));
  EXPECT_EQ(wizard->Form().caption, "NimbraPost Workstation Install");
  EXPECT_EQ(Text("UserName"), "");
  // Page 5 moved the data location to the program drive C.
  EXPECT_EQ(Text("DataLocation"), "C:\\Shared\\Data\\");
}

TEST_F(WizardTest, OrvantaServerAndWorkstationSequences) {
  for (int type : {6, 7}) {
    UndoRun();
    ScriptType(type);
    Result r =
        Run("[TabSheet6]\r\nDataLocation=C:\\Orvanta\\Data\r\n"
            "[TabSheet12]\r\nUserName=admin\r\n");
    EXPECT_EQ(r.code, 0) << r.reason;
    EXPECT_EQ(r.pages, Pages({"Orva", "2", "4", "5", "6", "21", "12", "14", "15", "19"}));
    EXPECT_EQ(wizard->Form().caption, "Orvanta Enrollment Server Install");
    EXPECT_TRUE(wizard->Settings().SharedInstaller);
    EXPECT_EQ(Text("SoftwareLocation"), "C:\\Program Files\\Orvanta\\");
    EXPECT_EQ(Text("ProgGroupName"), "Orvanta");
    EXPECT_EQ(Text("NewPassLabel"), "Pass Phrase");
    EXPECT_FALSE(wizard->Form().At("PassWarning").visible);
    EXPECT_EQ(Text("ThankYou"), "Thank you for Installing Orvanta");
  }
  UndoRun();
  ScriptType(8);
  Result r = Run("");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"Orva", "2", "4", "5", "6", "28", "7", "8", "18", "14", "15", "19"}));
  EXPECT_EQ(wizard->Form().caption, "Orvanta Workstation Install");
  // The builder's locations, before any page is left.
  UndoRun();
  r = Run("[TabSheetOrva]\r\nPress=ExitSetup\r\n[Answers]\r\nExitSetup=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitUserExit);
  EXPECT_EQ(Text("DataLocation"), "C:\\Program Files\\Orvanta\\Data\\");
  EXPECT_EQ(Text("SharedDataLocation"), "C:\\Program Files\\Orvanta\\LocalData\\");
}

// Each page's title is the caption of its group box ("...Box"), before and
// after the builders and the server types retitle them.
TEST_F(WizardTest, RetitledPagesKeepTitleAndGroupBoxAlike) {
  const std::map<int, std::map<std::string, std::string>> retitled = {
      {1, {}},
      {3,
       {{"TabSheet6", "NimbraPost Primary Data Files"},
        {"TabSheet6a", "NimbraPost Secondary Data Files"}}},
      {4,
       {{"TabSheet6", "NimbraPost Primary Data Files"},
        {"TabSheet6a", "NimbraPost Secondary Data Files"}}},
      {6,
       {{"TabSheet2", "Orvanta License"},
        {"TabSheet4", "Orvanta Program Group"},
        {"TabSheet5", "Orvanta Program Files"},
        {"TabSheet6", "Orvanta Data Files"},
        {"TabSheet12", "Administrator Registration"},
        {"TabSheet15", "Orvanta Ready to Install"},
        {"TabSheet19", "Orvanta Install Complete"}}},
      {8,
       {{"TabSheet2", "Orvanta License"},
        {"TabSheet5", "Orvanta Program Files"},
        {"TabSheet15", "Orvanta Ready to Install"}}},
  };
  for (const auto& [type, titles] : retitled) {
    ScriptType(type);
    Result r =
        Run("[Answers]\r\nExitSetup=OK\r\n[TabSheet1]\r\nPress=ExitSetup\r\n"
            "[TabSheet25]\r\nPress=ExitSetup\r\n[TabSheetOrva]\r\nPress=ExitSetup\r\n");
    ASSERT_EQ(r.code, ui::kExitUserExit) << r.reason;
    ui::Form& f = wizard->Form();
    for (const ui::Control& box : f.Controls()) {
      if (box.Kind() != ui::ControlKind::GroupBox || !EndsText(box.Name(), "Box") ||
          box.Page().empty())
        continue;
      EXPECT_EQ(f.FindPage(box.Page())->title, box.text) << "type " << type << " " << box.Name();
    }
    for (const auto& [page, title] : titles)
      EXPECT_EQ(f.FindPage(page)->title, title) << "type " << type;
  }
  EXPECT_EQ(wizard->Form().At("SoftwareHeading").text,
            "Please select the location of the Orvanta Program Files");
}

TEST_F(WizardTest, JoiningAnExistingDatabaseSwitchesToTheClientSequence) {
  ScriptType(1);
  machine.PutFile("C:\\Program Files\\NimbraPost\\Data\\Users.ini", "");
  Result r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nJoinExistingDatabase=Yes\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"1", "2", "3", "4", "5", "6", "28", "7", "8", "18", "14", "15", "19"}));
  EXPECT_TRUE(wizard->Settings().JoinExistingDatabase);
  EXPECT_EQ(Text("SharedDataLocation"), "C:\\Program Files\\NimbraPost\\LocalData\\");

  // Answering No keeps the standard sequence.
  UndoRun();
  r = Run(std::string(kDesktopAnswers) +
          "[Answers]\r\nJoinExistingDatabase=No\r\nOverwriteDataFiles=Yes\r\n");
  EXPECT_EQ(r.pages, kStandard);
  EXPECT_FALSE(wizard->Settings().JoinExistingDatabase);
}

TEST_F(WizardTest, JoiningFromTheSharedDataPage) {
  ScriptType(2);
  machine->AddDrive('E', machine.Root() / "drive_e", platform::DriveType::Fixed);
  machine.PutFile("E:\\Shared\\Users.ini", "");
  Result r = Run(std::string(kDesktopAnswers) +
                 "[TabSheet6a]\r\nSharedDataLocation=E:\\\\Shared\r\n"
                 "[Answers]\r\nJoinExistingDatabase=Yes\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages,
            Pages({"1", "2", "3", "4", "5", "6", "6a", "28", "7", "8", "18", "14", "15", "19"}));
  EXPECT_EQ(Text("SharedDataLocation"), "E:\\Shared\\");
}

TEST_F(WizardTest, WorkstationNeverAsksToJoin) {
  ScriptType(5);
  machine.PutFile("C:\\Program Files\\NimbraPost\\Data\\Users.ini", "");
  Result r = Run("[TabSheet6]\r\nDataLocation=C:\\Program Files\\NimbraPost\\Data\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  for (const auto& line : r.log) EXPECT_NE(line.rfind("QUESTION", 0), 0u) << line;
}

TEST_F(WizardTest, KeepingAPreviousInstallationTakesTheUpdateSequence) {
  ScriptType(1);
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  const std::string user = Text("UserName");
  // Over the installation just made: the update sequence, the logon as its
  // user, and straight to the completion page.
  r = Run("[TabSheetOverWrite]\r\nPress=OkMigrate\r\n[TLogonForm]\r\nUsers=" + user +
          "\r\nPassword=secret\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"1", "2", "OverWrite", "14", "18", "15", "19"}));
  const auto& summary = wizard->Form().At("InstallSet").items;
  ASSERT_GE(summary.size(), 5u);
  EXPECT_EQ(summary[4].text, "Updating From = 4.1");
  EXPECT_FALSE(wizard->Settings().CreateNewKeys);
  EXPECT_EQ(Text("UserName"), user);

  // "Create new keys" continues with the page after the licence page.
  UndoRun();
  r = Run(std::string(kDesktopAnswers) +
          "[TabSheetOverWrite]\r\nPress=NewInstall\r\n"
          "[Answers]\r\nJoinExistingDatabase=No\r\nOverwriteDataFiles=Yes\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  auto expected = kStandard;
  expected.insert(expected.begin() + 2, "TabSheetOverWrite");
  EXPECT_EQ(r.pages, expected);
  EXPECT_TRUE(wizard->Settings().CreateNewKeys);
}

TEST_F(WizardTest, PerUserPreviousInstallationIsFoundToo) {
  ScriptType(2);
  machine.SetString("HKCU\\Software\\NimbraPost\\Current Version", "Version", "Thicket 4.0");
  Result r = Run("[TabSheetOverWrite]\r\nPress=OkMigrate\r\n[Answers]\r\nInstallPgpDrivers=No\r\n");
  // Found and kept; its user cannot log on, as no key database was left.
  EXPECT_EQ(r.code, ui::kExitStopped) << r.reason;
  EXPECT_NE(r.reason.find("could not log on"), std::string::npos) << r.reason;
  EXPECT_EQ(r.pages, Pages({"1", "2", "OverWrite", "14", "18", "PGP", "15"}));
  EXPECT_EQ(wizard->Settings().PreviousSequence, "03.00.00");
}

TEST_F(WizardTest, PreviousInstallationValueOfAnotherTypeLeavesOnlyItselfOut) {
  ScriptType(1);
  machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "Version", "Bramble 4.0");
  machine.SetDword("HKLM\\Software\\NimbraPost\\Current Version", "DataDir", 7);
  machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "GroupName", "NP");
  machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "Sequence", "04.01.00");
  Run("[TabSheetOverWrite]\r\nPress=OkMigrate\r\n");
  EXPECT_TRUE(wizard->Settings().PreviousFound);
  EXPECT_EQ(wizard->Settings().PreviousDataDir, "");
  EXPECT_EQ(wizard->Settings().PreviousGroup, "NP");
  EXPECT_EQ(wizard->Settings().PreviousSequence, "04.01.00");
}

TEST_F(WizardTest, AddressPageSendsBackToThePageBeforeItInTheSequenceInUse) {
  ScriptType(1);
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "Version", "2.1");
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "InstallDir", "C:\\VRX\\");
  const std::string older =
      "[Answers]\r\nOldVersionDetected=Ignore\r\nOldVersionFolderDialog=Cancel\r\n"
      "[TabSheetOverWrite]\r\nPress=OkMigrate\r\n"
      "[TabSheet12]\r\nNewPass=pw\r\nConfirmPass=pw\r\n";
  // Without a default address the older generation's sequence goes back to
  // its software page, which is the page before the address page there.
  Result r = Run(older);
  EXPECT_EQ(r.code, ui::kExitStuck);
  const auto eleven = std::find(r.pages.begin(), r.pages.end(), "TabSheet11");
  ASSERT_NE(eleven, r.pages.end());
  ASSERT_NE(eleven + 1, r.pages.end());
  EXPECT_EQ(*(eleven + 1), "TabSheet8");
  EXPECT_EQ(std::count(r.pages.begin(), r.pages.end(), "TabSheet10"), 0);

  // Choosing the default from the list, as a person clicks an entry and
  // "Set as Default", passes the address page.
  r = Run(older +
          "[TabSheet11]\r\nEmailAddrs=jo@example.com,al@example.com\r\n"
          "EmailAddrs.Selected=al@example.com\r\nPress=SetDefault,Next\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("PrimeEmail"), "al@example.com");
  EXPECT_EQ(r.pages.back(), "TabSheet19");
}

TEST_F(WizardTest, IgnoredOlderGenerationLeadsToTheMigrationSequence) {
  ScriptType(1);
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "Version", "2.1");
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "InstallDir", "C:\\VRX\\");
  machine.PutFile("C:\\VRX\\SAB.INI", "[Registration]\r\nVersion=2.15\r\n");
  Result r = Run(std::string(kDesktopAnswers) +
                 "[Answers]\r\nOldVersionDetected=Ignore\r\n"
                 "[TabSheetOverWrite]\r\nPress=OkMigrate\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(r.pages, Pages({"1", "2", "OverWrite", "3", "4", "5", "6", "28", "7", "8", "11", "12",
                            "13", "14", "18", "15", "16", "17", "19"}));
  EXPECT_TRUE(wizard->Settings().OldVersionFound);
  EXPECT_EQ(wizard->Settings().OldVersionText, "2.15");

  r = Run("[Answers]\r\nOldVersionDetected=Cancel\r\n");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_TRUE(r.pages.empty());
}

}  // namespace
}  // namespace nimbra::setup::testing

namespace nimbra::setup::testing {
namespace {

TEST_F(WizardTest, OlderGenerationUninstallerIsStartedOrReported) {
  ScriptType(1);
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "Version", "2.1");
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "InstallDir", "C:\\VRX\\");
  Result r = Run("[Answers]\r\nOldVersionDetected=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitStopped);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0],
            "The NimbraPost Uninstaller in directory C:\\VRX\\can not be started.\r\nPlease "
            "Un-install the Old NimbraPost manually or choice Ignore to continue the Installing "
            "version 4.1");

  // An uninstaller that leaves the older version behind is not run forever.
  machine.PutFile("C:\\VRX\\setup.exe", "MZ");
  r = Run("[Answers]\r\nOldVersionDetected=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_NE(r.reason.find("still present"), std::string::npos);
  EXPECT_TRUE(r.messages.empty());
}

}  // namespace
}  // namespace nimbra::setup::testing
