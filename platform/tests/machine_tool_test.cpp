// The nimbra-machine program, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/machine.h"

namespace nimbra::platform {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int code = -1;
  std::string out;  // stdout
  std::string err;  // stderr
};

class MachineTool : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = fs::path(NIMBRA_BINARY_DIR) / "nimbra-machine";
    if (!fs::exists(tool_)) GTEST_SKIP() << "nimbra-machine is not built";
    std::string pattern = (fs::temp_directory_path() / "nimbra-tool-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  ToolRun Tool(const std::string& args) {
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = "'" + tool_.string() + "' " + args + " 2>'" + err.string() + "'";
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    FILE* file = std::fopen(err.c_str(), "rb");
    while (file && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      run.err.append(buffer, got);
    if (file) std::fclose(file);
    return run;
  }
  std::string Dir(const std::string& name) { return "'" + (dir_ / name).string() + "'"; }

  fs::path tool_;
  fs::path dir_;
};

TEST_F(MachineTool, InitDriveAndShow) {
  EXPECT_EQ(Tool("init " + Dir("m") + " --win9x").code, 0);
  EXPECT_EQ(
      Tool("drive add " + Dir("m") + " n " + Dir("net") + " remote --remote '\\\\srv\\mail'").code,
      0);
  const ToolRun show = Tool("show " + Dir("m"));
  EXPECT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("Windows 95/98"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("C:\\WINDOWS\\SYSTEM"), std::string::npos);
  EXPECT_NE(show.out.find("N:\\ remote"), std::string::npos);
  EXPECT_NE(show.out.find("\\\\srv\\mail"), std::string::npos);
  Machine machine = Machine::Open(dir_ / "m");
  EXPECT_EQ(machine.GetDriveType("N:\\"), DriveType::Remote);
}

TEST_F(MachineTool, RegistryImportAndQuery) {
  ASSERT_EQ(Tool("init " + Dir("m")).code, 0);
  {
    FILE* file = std::fopen((dir_ / "a.reg").c_str(), "wb");
    std::fputs("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Demo]\r\n\"Name\"=\"value\"\r\n",
               file);
    std::fclose(file);
  }
  EXPECT_EQ(Tool("reg import " + Dir("m") + " " + Dir("a.reg")).code, 0);
  const ToolRun query = Tool("reg query " + Dir("m") + " 'HKCU\\Software\\Demo' Name");
  EXPECT_EQ(query.code, 0);
  EXPECT_NE(query.out.find("value"), std::string::npos) << query.out;
}

TEST_F(MachineTool, FailuresExitWithTwoAndOneLine) {
  ASSERT_EQ(Tool("init " + Dir("m")).code, 0);
  for (const std::string& args :
       {std::string(), std::string("frobnicate"), "init " + Dir("m"), "show " + Dir("none"),
        "reg query " + Dir("m") + " 'HKLM\\Software\\Missing'",
        "reg query " + Dir("m") + " 'HKXX\\Software'",
        "reg import " + Dir("m") + " " + Dir("no.reg"),
        "drive add " + Dir("m") + " 1 " + Dir("x") + " fixed",
        "drive add " + Dir("m") + " E " + Dir("x") + " tape"}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.code, 2) << args;
    EXPECT_TRUE(run.err.starts_with("nimbra-machine: ")) << args << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << args << ": " << run.err;
  }
}

TEST_F(MachineTool, DemoHoldsTheInstallerOnTheCdRom) {
  ASSERT_EQ(Tool("demo " + Dir("demo")).code, 0);
  Machine machine = Machine::Open(dir_ / "demo");
  EXPECT_EQ(machine.GetDriveType("D:\\"), DriveType::CdRom);
  const std::string script = machine.ReadFile("D:\\SETUP\\SCRIPT.TXT");
  EXPECT_NE(script.find("START COPY\r\nNimbraMGR.exe\r\n"), std::string::npos);
  EXPECT_TRUE(machine.FileExists("D:\\SETUP\\NimbraMGR.exe"));
  const ToolRun show = Tool("show " + Dir("demo"));
  EXPECT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("Installer folder D:\\SETUP\\"), std::string::npos) << show.out;
}

}  // namespace
}  // namespace nimbra::platform
