// The wizard program run as an administrator runs it on the demo machine:
// exit status and the one line it prints.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace {

using nimbra::testsupport::BuiltProgram;
using nimbra::testsupport::ReadText;
using nimbra::testsupport::RunCommand;
using nimbra::testsupport::ShellQuote;

const std::string kAnswers = std::string(NIMBRA_SOURCE_DIR) + "/app/nimbra-setup/demo-answers.ini";

struct Result {
  int status = -1;
  std::string err;  // what the program wrote to its error output
};

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& program : {setup_, machine_tool_})
      ASSERT_TRUE(std::filesystem::exists(program)) << program << " is not built";
    ASSERT_EQ(
        RunCommand(ShellQuote(machine_tool_.string()) + " demo " + ShellQuote(Machine())).status,
        0);
  }
  std::string Machine() const { return (dir_ / "machine").string(); }
  Result Setup(const std::string& setupDir, const std::string& answers) {
    const auto run =
        RunCommand(ShellQuote(setup_.string()) + " --machine " + ShellQuote(Machine()) +
                   " --setup-dir " + ShellQuote(setupDir) + " --silent --answers " +
                   ShellQuote(answers) + " --log " + ShellQuote((dir_ / "setup.log").string()));
    return {run.status, run.err};
  }
  std::string Write(const std::string& name, const std::string& text) {
    nimbra::testsupport::WriteText(dir_ / name, text);
    return (dir_ / name).string();
  }

  const std::filesystem::path setup_ = BuiltProgram("nimbra-setup");
  const std::filesystem::path machine_tool_ = BuiltProgram("nimbra-machine");
  nimbra::testsupport::TempFolder folder_{"nimbra-setup-program"};
  const std::filesystem::path& dir_ = folder_.Path();
};

TEST_F(SetupProgram, DemoRunFindsTheAccountsOfFiveClients) {
  const Result r = Setup("D:\\SETUP\\", kAnswers);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = ReadText(dir_ / "setup.log");
  for (const char* line :
       {"DETECTED 1 Netscape Navigator (Jo Example)\n", "DETECTED 2 Eudora (Jo Example)\n",
        "DETECTED 3 Eudora (Jo Example)\n", "DETECTED 4 TurnPike Mail Client (Jo Example)\n",
        "DETECTED 5 Netscape Communicator (Jo Example)\n",
        "DETECTED 6 MS Outlook Express/Outlook 98 Client (pop.example.net) (Jo Example)\n",
        "END 0 Finish\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  }
  // The personality is the second Eudora section.
  const std::string wsIni =
      ReadText(dir_ / "machine" / "drive_c" / "Program Files" / "NimbraPost" / "WS.INI");
  EXPECT_NE(wsIni.find("Persona=Persona-Work\r\nDetectType=7\r\n"), std::string::npos);
}

TEST_F(SetupProgram, MistypedSetupFolderStopsWithOneLine) {
  const Result r = Setup("D:\\SETPU\\", kAnswers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "nimbra-setup: setup folder D:\\SETPU\\ (host " + Machine() +
                       "/drive_d/SETPU) does not exist\n");
}

TEST_F(SetupProgram, MisspeltSectionStopsBeforeTheFirstPage) {
  std::string answers = ReadText(kAnswers);
  answers.replace(answers.find("[TabSheet12]"), 12, "[TabSheet12x]");
  const Result r = Setup("D:\\SETUP\\", Write("misspelt.ini", answers));
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, "nimbra-setup: [TabSheet12x] names no page or dialog of the wizard\n");
  EXPECT_EQ(ReadText(dir_ / "setup.log").find("PAGE"), std::string::npos);
}

TEST_F(SetupProgram, StoppedRunsLeaveTheRegistryAsItWas) {
  const std::filesystem::path root = dir_ / "machine";
  const std::string system = ReadText(root / "system.reg");
  const std::string user = ReadText(root / "user.reg");
  const std::string answers = ReadText(kAnswers);
  const std::string exit_setup = "[TabSheet1]\r\nPress=ExitSetup\r\n";
  std::string stuck = answers;
  stuck.replace(stuck.find("UserName=Jo"), 11, "UserName=");
  std::string misspelt = answers;
  misspelt.replace(misspelt.find("[TabSheet12]"), 12, "[TabSheet12x]");
  const struct {
    int status;
    std::string answers;
  } runs[] = {{2, exit_setup + "[Answers]\r\nExitSetup=Yes\r\n"},
              {3, exit_setup},
              {4, stuck},
              {5, misspelt}};
  for (const auto& run : runs) {
    const Result r = Setup("D:\\SETUP\\", Write("answers.ini", run.answers));
    EXPECT_EQ(r.status, run.status) << r.err;
    // Not even the values of the rights check are saved.
    EXPECT_EQ(ReadText(root / "system.reg"), system) << "exit " << run.status;
    EXPECT_EQ(ReadText(root / "user.reg"), user) << "exit " << run.status;
  }
  const Result finished = Setup("D:\\SETUP\\", kAnswers);
  EXPECT_EQ(finished.status, 0) << finished.err;
  EXPECT_NE(ReadText(root / "system.reg").find("NimbraPostDesktopMenu"), std::string::npos);
}

TEST_F(SetupProgram, DamagedUserHiveIsLoggedAndKeptAside) {
  const std::filesystem::path hive = dir_ / "machine" / "user.reg";
  std::string text = ReadText(hive);
  text.insert(text.find('\n') + 1, "damage\n");
  std::ofstream(hive, std::ios::binary) << text;
  const Result r = Setup("D:\\SETUP\\", kAnswers);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string log = ReadText(dir_ / "setup.log");
  EXPECT_EQ(log.rfind("MESSAGE The registry file " + hive.string() + " is damaged at line 2", 0),
            0u)
      << log;
  EXPECT_NE(log.find("PAGE TabSheet15"), std::string::npos);
  EXPECT_EQ(ReadText(hive.string() + ".damaged"), text);
}

}  // namespace
