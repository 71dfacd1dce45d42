// What stops an unattended run before its first page, and what a stuck run
// tells the administrator.

#include <algorithm>
#include <fstream>
#include <iterator>

#include "keys/text_seal.h"
#include "platform/processes/window.h"
#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

TEST_F(WizardTest, MistypedSetupFolderStopsTheRunWithOneLine) {
  ScriptType(1);
  Result r = Run(kDesktopAnswers, "D:\\SETUP\\");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_TRUE(r.pages.empty());
  const std::string host = (machine.Root() / "drive_d" / "SETUP").string();
  EXPECT_EQ(r.reason, "setup folder D:\\SETUP\\ (host " + host + ") does not exist");
  ASSERT_FALSE(r.log.empty());
  EXPECT_EQ(r.log.back(), "END 1 " + r.reason);

  machine.PutFile("D:\\SETUP\\Readme.txt", "");
  r = Run(kDesktopAnswers, "D:\\SETUP");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_EQ(r.reason, "setup folder D:\\SETUP\\ (host " + host +
                          ") holds neither Script.txt nor WsScript.txt");

  r = Run(kDesktopAnswers, "Q:\\");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_TRUE(Has(r.reason, "Q:\\ (host path none: no such drive) does not exist")) << r.reason;

  // A workstation installer's script alone will do.
  machine.PutFile("D:\\SETUP\\WsScript.txt", "[PRODUCT]\r\nRunType=1\r\n");
  r = Run(kDesktopAnswers, "D:\\SETUP\\");
  EXPECT_EQ(r.code, 0) << r.reason;
}

TEST_F(WizardTest, AnswerFileNamingNothingOfTheWizardStopsBeforeTheFirstPage) {
  ScriptType(1);
  for (const char* extra :
       {"[TabSheet12x]\r\nNewPass=pw\r\n", "[Answers]\r\nJoinExistingDatabse=No\r\n",
        "[TLogonFrom]\r\nPassword=pw\r\n"}) {
    Result r = Run(std::string(kDesktopAnswers) + extra);
    EXPECT_EQ(r.code, kExitBadAnswers) << extra;
    EXPECT_TRUE(r.pages.empty()) << extra;
    const std::string named = std::string(extra).substr(0, std::string(extra).find('\r'));
    EXPECT_TRUE(Has(r.reason, named.rfind("[Answers]", 0) == 0 ? "JoinExistingDatabse" : named))
        << r.reason;
  }
  // Dialogs, questions by their text and Default= are known names.
  Result r = Run(std::string(kDesktopAnswers) +
                 "[TLogonForm]\r\nPassword=pw\r\n[TCalyTimeout]\r\nPress=OK\r\n"
                 "[Answers]\r\nDo you wish to update Jo=No\r\nDefault=Cancel\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
}

TEST_F(WizardTest, StuckRunNamesTheAnswerKeyThatMovesItOn) {
  ScriptType(1);
  struct Case {
    std::string answers;
    std::string key;
  };
  const Case cases[] = {
      {"[TabSheet11]\r\nPrimeEmail=a@b.c\r\n[TabSheet12]\r\nUserName=\r\n",
       "[TabSheet12] UserName"},
      {"[TabSheet11]\r\nPrimeEmail=a@b.c\r\n[TabSheet12]\r\nNewPass=a\r\nConfirmPass=b\r\n",
       "[TabSheet12] ConfirmPass"},
      {"[TabSheet12]\r\nNewPass=a\r\nConfirmPass=a\r\n", "[TabSheet11] PrimeEmail"},
  };
  for (const Case& c : cases) {
    Result r = Run(c.answers);
    EXPECT_EQ(r.code, ui::kExitStuck);
    EXPECT_TRUE(Has(r.reason, "; the answer-file key that moves it on: " + c.key)) << r.reason;
  }
  // A page left by other buttons than Next names them.
  machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "Version", "Bramble 4.0");
  Result r = Run("");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_TRUE(Has(r.reason,
                  "page TabSheetOverWrite cannot press Next; the answer-file key that moves it on: "
                  "[TabSheetOverWrite] Press=OkMigrate or NewInstall"))
      << r.reason;
}

TEST_F(WizardTest, DamagedRegistryFilesAreLoggedKeptAsideAndTakeDefaults) {
  ScriptType(1);
  machine->Save();
  for (const char* hive : {"user.reg", "system.reg"}) {
    const std::filesystem::path file = machine.Root() / hive;
    std::string text = ReadText(file);
    text.insert(text.find('\n') + 1, "garbage\n");
    WriteText(file, text);
  }
  Result r = Run(kDesktopAnswers);
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_NE(std::find(r.pages.begin(), r.pages.end(), "TabSheet15"), r.pages.end());
  for (const char* hive : {"user.reg", "system.reg"}) {
    const std::string file = (machine.Root() / hive).string();
    EXPECT_NE(std::find(r.log.begin(), r.log.end(),
                        "MESSAGE The registry file " + file +
                            " is damaged at line 2 (unrecognized input; 1 damaged lines in all): "
                            "what it holds there is ignored and defaults are used. The damaged "
                            "file is kept as " +
                            file + ".damaged."),
              r.log.end())
        << hive;
    EXPECT_NE(ReadText(file + ".damaged").find("garbage"), std::string::npos);
  }
  // Saved after the finished run, as the program does: without the damaged line.
  machine->Save();
  EXPECT_EQ(ReadText(machine.Root() / "system.reg").find("garbage"), std::string::npos);
}

TEST_F(WizardTest, WrongAnswerFilePasswordEndsTheRunNamingTheLogonWindow) {
  machine.PutFile("D:\\WS.INI", "[WORKSTATION]\r\nUsersFile=C:\\Data\\Users.ini\r\n");
  machine.PutFile("C:\\Data\\Users.ini",
                  "[Users]\r\nJo=" + keys::SealUserEntry("right", std::string(40, 'D')) + "\r\n");
  for (const char* password : {"wrong", "right"}) {
    AnswerFileUi answers(std::string("[TLogonForm]\r\nPassword=") + password + "\r\n");
    TSetupForm logon(answers, *machine, "D:\\");
    logon.KeyManager().LoadGeneralSettings();
    try {
      EXPECT_TRUE(logon.KeyManager().InteractiveLogon()) << password;
      EXPECT_EQ(logon.KeyManager().CurrentUser(), "Jo");
    } catch (const ui::ProcessEnd& end) {
      EXPECT_STREQ(password, "wrong");
      EXPECT_EQ(end.code, ui::kExitUnanswered);
      EXPECT_EQ(end.reason,
                "no answer for dialog TLogonForm (NimbraPost Logon) after \"The password you "
                "entered was incorrect\": the answer file holds no other");
      EXPECT_EQ(answers.LastMessage(), "The password you entered was incorrect");
    }
  }
}

TEST_F(WizardTest, OlderUninstallersWindowIsWaitedForALimitedTime) {
  ScriptType(1);
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "Version", "2.1");
  machine.SetString("HKCU\\Software\\VRX\\NimbraPost\\Version", "InstallDir", "C:\\VRX\\");
  machine.PutFile("C:\\VRX\\setup.exe", "MZ");
  // A stale entry: the window never closes.
  platform::Windows(machine.Root()).Open("TSetupForm", "NimbraPost Auto Setup", true);
  Result r = Run("[Answers]\r\nOldVersionDetected=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitStopped);
  EXPECT_TRUE(Has(r.reason, "still present")) << r.reason;
  const auto waits = std::count_if(r.log.begin(), r.log.end(), [](const std::string& line) {
    return line.rfind("WAIT the window \"NimbraPost Auto Setup\" is still open after 50 ms", 0) ==
           0;
  });
  EXPECT_EQ(waits, 4);
}

}  // namespace
}  // namespace nimbra::setup::testing
