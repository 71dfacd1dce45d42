// The unattended installation into a prefix Wine itself booted, read back by
// Wine's own registry tool and by lnkinfo; and its uninstall, with a program
// file in use, read back by Wine's registry tool.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/files/path.h"
#include "platform/processes/running_programs.h"
#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"
#include "setup/unattended.h"
#include "setup/uninstall_command.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"
#include "testsupport/wine_prefix.h"
#include "ui/event_log.h"

namespace nimbra::setup::testing {
namespace {

constexpr const char* kScript =
    "[PRODUCT]\r\nInstaller=NimbraPost Test\r\nRelease=4.1\r\nRunType=1\r\n"
    "[STARTMENU]\r\nNimbraPost Manager=NimbraMGR.exe\r\n"
    "START COPY\r\nNimbra.exe\r\nNimbraMGR.exe\r\nNimbraQue.exe\r\nSTOP COPY\r\n";

constexpr const char* kAnswers =
    "[TabSheet28]\r\nDriveCheck=c:\\\r\n"
    "[TabSheet10]\r\nSamples=7C1A2B3C4D5E6F708192A3B4C5D6E7F8\r\n"
    "[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n"
    "[TabSheet12]\r\nUserName=admin\r\nNewPass=secret\r\nConfirmPass=secret\r\n"
    "[TabSheet16]\r\nPress=NoSTF\r\n";

TEST(WineInstallTest, AnInstallIntoABootedPrefixAndItsUninstallAreReadBackByWineAndLnkinfo) {
  const auto booted = testsupport::BootedWinePrefix();
  if (!booted) GTEST_SKIP() << "wine, wineboot or wineserver is not installed, or wineboot failed";
  if (!testsupport::OnPath("lnkinfo")) GTEST_SKIP() << "lnkinfo is not installed";
  testsupport::TempFolder prefix("nimbra-wine-install");
  std::filesystem::copy(
      *booted, prefix.Path(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  std::string program, group;
  {
    platform::Machine machine = platform::Machine::Open(prefix.Path());
    machine.AddDrive('D', prefix.Path() / "cd", platform::DriveType::CdRom);
    machine.WriteFile("D:\\Script.txt", kScript);
    for (const char* name : {"Nimbra.exe", "NimbraMGR.exe", "NimbraQue.exe"})
      machine.WriteFile(std::string("D:\\") + name, std::string("stand-in ") + name);
    AnswerFileUi ui(kAnswers);
    ui::EventLog events;
    ui.SetLog(&events);
    TSetupForm wizard(ui, machine, "D:\\");
    std::string reason;
    ASSERT_EQ(RunUnattended(wizard, ui, &reason), 0) << reason;
    program = platform::WithTrailingBackslash(wizard.Form().At("SoftwareLocation").text);
    group = platform::JoinWindowsPath(wizard.Settings().ProgramsFolder,
                                      wizard.Form().At("ProgGroupName").text);
    group = *machine.HostPath(group);
  }
  const std::string env = "WINEPREFIX='" + prefix.Path().string() + "' WINEDEBUG=-all ";
  const auto query = [&](const std::string& key) {
    return testsupport::RunCommand(env + "wine reg query " + testsupport::ShellQuote(key)).out;
  };
  const std::string uninstall =
      query("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NimbraPost");
  const std::string product = query("HKLM\\Software\\NimbraPost\\Current Version");
  testsupport::RunCommand(env + "wineserver -k");
  EXPECT_NE(uninstall.find("UninstallString"), std::string::npos) << uninstall;
  EXPECT_NE(uninstall.find("NimbraMGR.EXE UNI"), std::string::npos) << uninstall;
  EXPECT_NE(product.find("InstallDir"), std::string::npos) << product;
  EXPECT_NE(product.find(program), std::string::npos) << product;
  EXPECT_NE(product.find("Sequence"), std::string::npos) << product;

  // Each shortcut of the program group, as lnkinfo reads it: every one
  // points into the program location; these have their own arguments.
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"Manager Suite.lnk", {program + "NimbraMGR.exe", ""}},
      {"Uninstall (Keep Data).lnk", {program + "NimbraMGR.exe", "DIS"}},
      {"Desktop Utilities.lnk", {program + "NimbraDesktop.exe", ""}},
  };
  std::size_t links = 0, checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(group)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".lnk")) continue;
    SCOPED_TRACE(name);
    ++links;
    const auto shown =
        testsupport::RunCommand("lnkinfo " + testsupport::ShellQuote(entry.path().string()));
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("Local path\t\t\t: " + program), std::string::npos) << shown.out;
    const auto it = expected.find(name);
    if (it == expected.end()) continue;
    ++checked;
    EXPECT_NE(shown.out.find("Local path\t\t\t: " + it->second.first + "\n"), std::string::npos)
        << shown.out;
    const bool hasArguments = shown.out.find("Command line arguments") != std::string::npos;
    EXPECT_EQ(hasArguments, !it->second.second.empty()) << shown.out;
    if (hasArguments) {
      EXPECT_NE(shown.out.find(": " + it->second.second + "\n"), std::string::npos) << shown.out;
    }
  }
  EXPECT_GE(links, 5u);
  EXPECT_EQ(checked, expected.size());

  // Uninstalled while the product runs: its program file is left for Wine
  // to remove at the next start.
  const std::string running = program + "Nimbra.exe";
  std::filesystem::path runningFile;
  {
    platform::Machine machine = platform::Machine::Open(prefix.Path());
    runningFile = *machine.HostPath(running);
    platform::RunningPrograms(machine.Root(), platform::ResolverFor(machine)).Start(running, {});
    AnswerFileUi ui("[Answers]\r\nRemoveDataFiles=Yes\r\n");
    std::ostringstream out;
    ASSERT_EQ(RunUninstallCommand(machine, ui, DataChoice::Ask, out), 0) << out.str();
  }
  // Read while Wine's start-up is held back, the entry is there as Windows
  // keeps it ...
  const std::string pending =
      testsupport::RunCommand(env + "WINEDLLOVERRIDES=wineboot.exe=d " +
                              "wine reg query \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\"
                              "Session Manager\" /v PendingFileRenameOperations")
          .out;
  testsupport::RunCommand(env + "wineserver -k");
  EXPECT_NE(pending.find("REG_MULTI_SZ"), std::string::npos) << pending;
  EXPECT_NE(pending.find("\\??\\" + running), std::string::npos) << pending;
  // ... and Wine's next start removes the file and the entry.
  const std::string gone = query("HKLM\\Software\\NimbraPost");
  testsupport::RunCommand(env + "wineserver -k");
  EXPECT_EQ(gone.find("InstallDir"), std::string::npos) << gone;
  EXPECT_FALSE(std::filesystem::exists(runningFile));
  const std::string system = testsupport::ReadText(prefix.Path() / "system.reg");
  EXPECT_EQ(system.find("PendingFileRenameOperations"), std::string::npos);
}

}  // namespace
}  // namespace nimbra::setup::testing
