// The nimbra-machine program, run as a user runs it.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/machine.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;

using testsupport::CommandResult;

class MachineTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(tool_)) << tool_ << " is not built"; }

  CommandResult Tool(const std::string& args) {
    return testsupport::RunCommand(testsupport::ShellQuote(tool_.string()) + " " + args);
  }
  std::string Dir(const std::string& name) {
    return testsupport::ShellQuote((dir_ / name).string());
  }

  const fs::path tool_ = testsupport::BuiltProgram("nimbra-machine");
  testsupport::TempFolder folder_{"nimbra-tool"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(MachineTool, InitDriveAndShow) {
  EXPECT_EQ(Tool("init " + Dir("m") + " --win9x").status, 0);
  EXPECT_EQ(Tool("drive add " + Dir("m") + " n " + Dir("net") + " remote --remote '\\\\srv\\mail'")
                .status,
            0);
  const CommandResult show = Tool("show " + Dir("m"));
  EXPECT_EQ(show.status, 0);
  EXPECT_NE(show.out.find("Windows 95/98"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("C:\\WINDOWS\\SYSTEM"), std::string::npos);
  EXPECT_NE(show.out.find("N:\\ remote"), std::string::npos);
  EXPECT_NE(show.out.find("\\\\srv\\mail"), std::string::npos);
  Machine machine = Machine::Open(dir_ / "m");
  EXPECT_EQ(machine.GetDriveType("N:\\"), DriveType::Remote);
}

TEST_F(MachineTool, RegistryImportAndQuery) {
  ASSERT_EQ(Tool("init " + Dir("m")).status, 0);
  {
    FILE* file = std::fopen((dir_ / "a.reg").c_str(), "wb");
    std::fputs("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Demo]\r\n\"Name\"=\"value\"\r\n",
               file);
    std::fclose(file);
  }
  EXPECT_EQ(Tool("reg import " + Dir("m") + " " + Dir("a.reg")).status, 0);
  const CommandResult query = Tool("reg query " + Dir("m") + " 'HKCU\\Software\\Demo' Name");
  EXPECT_EQ(query.status, 0);
  EXPECT_NE(query.out.find("value"), std::string::npos) << query.out;
}

TEST_F(MachineTool, FailuresExitWithTwoAndOneLine) {
  ASSERT_EQ(Tool("init " + Dir("m")).status, 0);
  for (const std::string& args :
       {std::string(), std::string("frobnicate"), "init " + Dir("m"), "show " + Dir("none"),
        "reg query " + Dir("m") + " 'HKLM\\Software\\Missing'",
        "reg query " + Dir("m") + " 'HKXX\\Software'",
        "reg import " + Dir("m") + " " + Dir("no.reg"),
        "drive add " + Dir("m") + " 1 " + Dir("x") + " fixed",
        "drive add " + Dir("m") + " E " + Dir("x") + " tape"}) {
    const CommandResult run = Tool(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_TRUE(run.err.starts_with("nimbra-machine: ")) << args << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << args << ": " << run.err;
  }
}

TEST_F(MachineTool, DemoHoldsTheInstallerOnTheCdRom) {
  ASSERT_EQ(Tool("demo " + Dir("demo")).status, 0);
  Machine machine = Machine::Open(dir_ / "demo");
  EXPECT_EQ(machine.GetDriveType("D:\\"), DriveType::CdRom);
  const std::string script = machine.ReadFile("D:\\SETUP\\SCRIPT.TXT");
  EXPECT_NE(script.find("START COPY\r\nNimbraMGR.exe\r\n"), std::string::npos);
  EXPECT_TRUE(machine.FileExists("D:\\SETUP\\NimbraMGR.exe"));
  const CommandResult show = Tool("show " + Dir("demo"));
  EXPECT_EQ(show.status, 0);
  EXPECT_NE(show.out.find("Installer folder D:\\SETUP\\"), std::string::npos) << show.out;
}

}  // namespace
}  // namespace nimbra::platform
