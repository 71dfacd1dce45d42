// Unattended installations of every installation type, run to Finish on a
// fresh machine with an e-mail program, and what each leaves on the machine.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "core/strings.h"
#include "keys/dsa_key_text.h"
#include "platform/files/path.h"
#include "platform/processes/process_journal.h"
#include "platform/processes/running_programs.h"
#include "platform/processes/service.h"
#include "platform/processes/window.h"
#include "platform/profile/profile_file.h"
#include "setup/copy_script.h"
#include "setup/install_ops.h"
#include "setup/tests/wizard_fixture.h"
#include "testsupport/end_state.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::setup::testing {
namespace {

using namespace std::chrono_literals;

// An installer with a file in every copy block, program-group entries and
// key servers; every file is a small stand-in.
constexpr const char* kScript =
    "[PRODUCT]\r\nInstaller=NimbraPost Test\r\nRelease=4.1\r\nRunType=%d\r\n"
    "[Defaults]\r\nKEYSERVER1=keys.example.com\r\n"
    "[STARTMENU]\r\nNimbraPost Manager=NimbraMGR.exe\r\n"
    "START COPY\r\nNimbra.exe\r\nNimbraMGR.exe\r\nNimbraQue.exe\r\nNimbraSrv.exe\r\nSTOP COPY\r\n"
    "NET START COPY\r\nWsSetup.exe\r\nNET STOP COPY\r\n"
    "WIN START COPY\r\nNimbraPost.ini\r\nWIN STOP COPY\r\n"
    "SYS START COPY\r\nNimbraMenu.dll\r\nSYS STOP COPY\r\n"
    "PROFILE START COPY\r\nlocal.dns\r\nPROFILE STOP COPY\r\n"
    "[DATABASE ONLY SCRIPT]\r\nSTART COPY\r\nNimbraMGR.exe\r\nSTOP COPY\r\n"
    "NET START COPY\r\nWsSetup.exe\r\nNET STOP COPY\r\n";

constexpr const char* kEudoraIni =
    "[Settings]\r\nRealName=Jo Example\r\nReturnAddress=jo@example.net\r\n"
    "POPAccount=jo@pop.example.net\r\nSMTPServer=smtp.example.net\r\n"
    "POPServer=pop.example.net\r\nUsesIMAP=0\r\n";

constexpr const char* kProgram = "C:\\Program Files\\NimbraPost\\";

struct TypeCase {
  int type;
  const char* answers;
  bool serverRun;
};

// The desktop user, or the administrator of a server.
const char* const kUser =
    "[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n"
    "[TabSheet12]\r\nUserName=admin\r\nNewPass=secret\r\nConfirmPass=secret\r\n";

const char* const kServer =
    "[TabSheet24]\r\nNimbraAccounts.1=Jo|jo@example.com|Person\r\n"
    "NimbraAccounts.2=Nobody||Person\r\n";

const TypeCase kTypes[] = {
    {0, "", false},
    {1, "", false},
    {2, "[Answers]\r\nInstallPgpDrivers=No\r\n", false},
    {3, kServer, true},
    {4, "[TabSheet31]\r\nPress=InternetServer\r\n", true},
    {5, "", false},
    {6, "[TabSheet6]\r\nDataLocation=C:\\Orvanta\\Data\r\n", false},
    {7, "[TabSheet6]\r\nDataLocation=C:\\Orvanta\\Data\r\n", false},
    {8, "", false},
};

class InstallationRunTest : public WizardTest {
 public:
  void Installer(int type) {
    std::string script = kScript;
    script.replace(script.find("%d"), 2, std::to_string(type));
    Script(script);
    for (const char* name : {"Nimbra.exe", "NimbraMGR.exe", "NimbraQue.exe", "NimbraSrv.exe",
                             "WsSetup.exe", "NimbraPost.ini", "NimbraMenu.dll"})
      machine.PutFile(std::string("D:\\") + name, std::string("stand-in ") + name);
    machine.PutFile("D:\\local.dns", "127.0.0.1\tlocalhost\r\n");
    machine.PutFile("C:\\Program Files\\Eudora\\Eudora.ini", kEudoraIni);
    machine.SetString("HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters", "NameServer",
                      "192.0.2.53");
  }

  std::string Program() const {
    return wizard ? platform::WithTrailingBackslash(wizard->Form().At("SoftwareLocation").text)
                  : kProgram;
  }
  std::string Ini(const std::string& file, const char* section, const char* key) {
    const auto host = machine->HostPath(file);
    if (!host || !machine->FileExists(file)) return "(no file)";
    return platform::ProfileFile(*host).ReadString(section, key, "(absent)");
  }
  std::string Reg(platform::RootKey root, const std::string& key, const char* name) {
    auto k = machine->Reg().OpenKey(root, key, false);
    return k && k->ValueExists(name) ? k->ReadString(name) : "(absent)";
  }
  // Rows of a key database, read with the sqlite3 shell.
  std::string Sql(const std::string& database, const std::string& query) {
    const auto host = machine->HostPath(database);
    if (!host || !machine->FileExists(database)) return "(no file)";
    return testsupport::RunCommand("sqlite3 '" + host->string() + "' '" + query + "'").out;
  }
  static bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
  }
};

class EveryTypeTest : public InstallationRunTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(EveryTypeTest, InstallsToFinish) {
  const TypeCase& c = GetParam();
  Installer(c.type);
  Result r = Run(std::string(kUser) + c.answers);
  ASSERT_EQ(r.code, 0) << r.reason;
  const InstallSettings& s = wizard->Settings();
  const std::string program = Program();
  const std::string data = platform::WithTrailingBackslash(Text("DataLocation"));
  const bool database = s.DatabaseOnly;

  // The run's page, its progress list ticked, and the completion page.
  EXPECT_TRUE(Has(r.pages, c.serverRun ? "TabSheet26" : "TabSheet15"));
  EXPECT_EQ(r.pages.back(), "TabSheet19");
  const ui::Control& progress = wizard->Form().At(c.serverRun ? "NetProgress" : "InstallProgress");
  for (const auto& item : progress.items) {
    // Only keys are not made for a workstation, nor accounts protected
    // without a search.
    const bool optional = item.text == "Creating Base Data" || item.text == "Create User Keys" ||
                          item.text == "Updating Email Configuration";
    if (!optional) {
      EXPECT_TRUE(item.checked) << item.text;
    }
  }

  // Files: the program block (or the database-only part), the workstation
  // installer, the Windows and system folders, the profile file.
  EXPECT_TRUE(machine->FileExists(program + "NimbraMGR.exe"));
  EXPECT_EQ(machine->FileExists(program + "Nimbra.exe"), !database);
  EXPECT_TRUE(machine->FileExists(s.InstallerDir + "WsSetup.exe")) << s.InstallerDir;
  EXPECT_EQ(machine->FileExists(machine->WindowsDirectory() + "\\NimbraPost.ini"), !database);
  EXPECT_EQ(machine->FileExists(machine->SystemDirectory() + "\\NimbraMenu.dll"), !database);
  EXPECT_EQ(machine->FileExists(data + "local.dns"), !database);

  // WS.INI: the product type, DNS and the key server.
  const std::string ws = program + "WS.INI";
  EXPECT_EQ(Ini(ws, "WORKSTATION", "INSTALLED"), "NimbraPost Test");
  EXPECT_EQ(Ini(ws, "DNS", "Server1"), "192.0.2.53");
  EXPECT_EQ(Ini(ws, "KeyServer", "Server1"), "keys.example.com");
  if (s.SharedInstaller) {
    EXPECT_EQ(Ini(s.InstallerDir + "wsscript.txt", "DBINSTALLER", "FILES"), Text("DataLocation"));
  }

  // The users file and the key databases.
  const bool usersFile = c.type != 5 && c.type != 8;
  EXPECT_EQ(machine->FileExists(data + "Users.ini"), usersFile) << data;
  const std::string ownKeys = Sql(data + "MYKEYS.DAT", "select count(*) from [MYKEYS.DAT];");
  if (c.serverRun) {
    // One VRX key for the one grid row with addresses (the row without is
    // skipped), none for the administrator.
    if (c.type == 3) {
      EXPECT_EQ(ownKeys, "1\n");
    }
  } else if (usersFile) {
    EXPECT_EQ(ownKeys, "2\n");  // the user's VRX key and DSA signing key
  }

  // Registry: locations, the uninstall entry, the group's shortcut.
  EXPECT_EQ(
      Reg(platform::RootKey::LocalMachine, "Software\\NimbraPost\\Current Version", "InstallDir"),
      program);
  EXPECT_NE(
      Reg(platform::RootKey::LocalMachine,
          "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\NimbraPost", "UninstallString"),
      "(absent)");
  const std::string group = platform::JoinWindowsPath(s.ProgramsFolder, Text("ProgGroupName"));
  EXPECT_TRUE(machine->FileExists(group + "\\NimbraPost Manager.lnk")) << group;
  const bool product = c.type != 6 && c.type != 7;
  EXPECT_EQ(Reg(platform::RootKey::LocalMachine,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "NimbraPost 3") != "(absent)",
            product);

  // The e-mail program: with a search, its servers go through the proxy
  // (Quickroute: the hosts file routes the server's name).
  if (Has(r.pages, "TabSheet8")) {
    const std::string hosts =
        machine->ReadFile(machine->SystemDirectory() + "\\drivers\\etc\\hosts");
    EXPECT_NE(hosts.find("\tpop.example.net  #added by NimbraPost"), std::string::npos) << hosts;
    EXPECT_EQ(Ini(program + "WS.INI", "UNINSTALL1", "Active"), "1");
  }

  // The update request is queued for the editions that send one.
  EXPECT_EQ(machine->FileExists(program + "Messages\\000000000000.msg"), c.type < 5);

  // Programs started: the product at Finish (not for the enrolment server).
  bool started = false;
  for (const auto& entry : platform::ProcessJournal(machine.Root()).Entries())
    started = started || EndsText(entry.program, "\\Nimbra.exe");
  EXPECT_EQ(started, product);

  // The journal: every operation begun was marked done.
  const std::string journal = machine->ReadFile(program + "Install.jnl");
  std::size_t begun = 0, done = 0;
  for (const auto& line : ScriptLines(journal)) {
    begun += line.rfind("B\t", 0) == 0;
    done += line.rfind("D\t", 0) == 0;
  }
  EXPECT_GT(begun, 10u);
  EXPECT_EQ(begun, done);
}

INSTANTIATE_TEST_SUITE_P(Types, EveryTypeTest, ::testing::ValuesIn(kTypes),
                         [](const auto& info) { return "Type" + std::to_string(info.param.type); });

TEST_F(InstallationRunTest, EmptyPasswordProtectsWithTheFixedPassPhrase) {
  Installer(1);
  Result r = Run("[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("NewPass"), "NILPAS9062");
  EXPECT_TRUE(wizard->RenewKeyManager().CheckPassword(Text("UserName"), "NILPAS9062"));
}

TEST_F(InstallationRunTest, AProductThatWillNotStopIsReportedAndItsFileMovedAside) {
  Installer(1);
  const std::string queue = std::string(kProgram) + "NimbraQue.exe";
  machine.PutFile(queue, "older queue");
  platform::Windows windows(machine.Root());
  windows.Open("TNimbraProxy", "nimbra.exe");  // quits when asked
  const auto window = windows.Open("TNimbraQue", "NimbraQue.exe", true);
  platform::RunningPrograms(machine.Root(), platform::ResolverFor(*machine))
      .Start(queue, {}, window);
  prepare = [](TSetupForm& wizard) { wizard.stopLimits.desktopQuitInterval = 5ms; };
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Has(r.messages,
                  "A Version of NimbraPost is currently running and can not be stopped.\r\n"
                  "WARNING: Some NimbraPost Program Files might not be updated during the "
                  "install!"));
  EXPECT_EQ(windows.FindWindow(std::nullopt, "nimbra.exe"), 0u);
  EXPECT_EQ(machine.ReadFile(queue), "stand-in NimbraQue.exe");
  EXPECT_EQ(machine.ReadFile(queue + ".REMOVE"), "older queue");
}

TEST_F(InstallationRunTest, NothingRunningPassesTheStopWithoutWaiting) {
  Installer(1);
  prepare = [](TSetupForm& wizard) { wizard.stopLimits.desktopQuitInterval = 10s; };
  const auto start = std::chrono::steady_clock::now();
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  for (const auto& m : r.messages) EXPECT_EQ(m.find("can not be stopped"), std::string::npos);
}

TEST_F(InstallationRunTest, ServiceFlavourStopsRegistersAndStartsTheService) {
  Installer(4);
  platform::ServiceManager services(*machine);
  services.Put({"Nimbra", "NimbraPost Root Service", platform::ServiceState::Running,
                "\"" + std::string(kProgram) + "NimbraSrv.exe\"", false});
  prepare = [](TSetupForm& wizard) {
    wizard.stopLimits.service = 50ms;
    wizard.stopLimits.serviceStartDelay = 5ms;
  };
  wizard.reset();
  log = std::make_unique<ui::EventLog>();
  ui = std::make_unique<AnswerFileUi>(std::string(kDesktopAnswers) +
                                      "[TabSheet31]\r\nPress=InternetServer\r\n" +
                                      "[TabSheet27]\r\nRegName=Example Ltd\r\nServerName=MAIL1\r\n"
                                      "RegAddress=admin@example.com\r\n");
  ui->SetLog(log.get());
  wizard = std::make_unique<TSetupForm>(*ui, *machine, "D:\\", "SVCINST.EXE");
  prepare(*wizard);
  std::string reason;
  ASSERT_EQ(RunUnattended(*wizard, *ui, &reason), 0) << reason;
  // The old service was stopped, deleted by nobody, and the new program's
  // registration replaced nothing: the service runs again after NET START.
  const auto service = services.Find("Nimbra");
  ASSERT_TRUE(service);
  EXPECT_EQ(service->state, platform::ServiceState::Running);
  bool installed = false, netStart = false;
  for (const auto& entry : platform::ProcessJournal(machine.Root()).Entries()) {
    installed =
        installed || (EndsText(entry.program, "NimbraSrv.exe") && entry.arguments == "-INSTALL");
    netStart = netStart || entry.arguments == "START \"NimbraPost Root Service\"";
  }
  EXPECT_TRUE(installed);
  EXPECT_TRUE(netStart);
  // No start-up entry for the service flavour.
  EXPECT_EQ(Reg(platform::RootKey::LocalMachine,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "NimbraPost 3"),
            "(absent)");
}

TEST_F(InstallationRunTest, FinishRunsThePostInstallProgramsInOrder) {
  Installer(1);
  std::string script = machine.ReadFile("D:\\Script.txt");
  script.replace(script.find("[Defaults]"), 0,
                 "[DBINSTALLER]\r\nRUNANDWAITAFTER=Missing.exe\r\nRUNAFTER=NimbraQue.exe\r\n"
                 "RUNANDWAITAFTERQUIT=NimbraSrv.exe -X\r\nRUNAFTERQUIT=NimbraMGR.exe\r\n");
  Script(script);
  Result r = Run(kDesktopAnswers);
  ASSERT_EQ(r.code, 0) << r.reason;
  std::vector<std::string> order;
  for (const auto& entry : platform::ProcessJournal(machine.Root()).Entries()) {
    order.push_back((entry.Started() ? platform::ExtractFileName(entry.program) : "(none)") +
                    (entry.wait ? " wait" : ""));
  }
  // A program to wait for that cannot be started is tried once more without
  // waiting.
  EXPECT_EQ(order, (std::vector<std::string>{"(none) wait", "(none)", "NimbraQue.exe", "Nimbra.exe",
                                             "NimbraSrv.exe wait", "NimbraMGR.exe"}));
}

// An installation killed at random moments and started again: each time it
// completes with the end state of an installation never interrupted, and
// makes or imports no key twice. Half the kills fall at random in the whole
// run, the others just after the log shows a chosen step beginning: the
// protection of the e-mail program, the certification keys' import, the
// correspondent's key. The resumed run is asked nothing about the data the
// interrupted one left (the answer file has no answer for it).
TEST_F(InstallationRunTest, AKilledInstallationStartedAgainCompletes) {
  Installer(1);
  const keys::DsaKeyTexts ca = keys::GenerateDsaKey(std::vector<std::uint8_t>(50, 9));
  const std::string signature =
      keys::SignDsa(ca.privateText, UpperCase("CA" + ca.publicText + "CA01" + "ca@x"));
  machine.PutFile("D:\\NBKeys.NBK",
                  "DSA-PUBLIC-KEY\r\nCA\r\nCA01\r\n01/01/2030\r\nDSA -3\r\nca@x\r\n" +
                      ca.publicText + "\r\n" + signature + "\r\nCA\r\nCA01\r\n\r\nKEY-END\r\n");
  machine.PutFile("C:\\windows\\Distrib.ini",
                  "[Distrib]\r\nName=Bob\r\nEmail=bob@x.example\r\nExpire=01/01/2099\r\n"
                  "KeyRef=0badf00d\r\nPky1=" +
                      ca.publicText + "\r\nPKy2=NIL\r\n");
  const std::string answers = std::string(kUser) +
                              "[TabSheet10]\r\nSamples=7C1A2B3C4D5E6F708192A3B4C5D6E7F8\r\n"
                              "[TabSheet16]\r\nPress=NoSTF\r\n";
  testsupport::TempFolder saved("nimbra-resume");
  machine.SaveState(saved / "clean");
  // The installation in a child process, as the program runs it.
  const auto start = [&]() {
    const pid_t child = ::fork();
    if (child == 0) {
      int code = 1;
      try {
        platform::Machine m = platform::Machine::Open(machine.Root());
        AnswerFileUi answerUi(answers);
        ui::EventLog events((saved / "setup.log").string());
        answerUi.SetLog(&events);
        TSetupForm form(answerUi, m, "D:\\");
        code = RunUnattended(form, answerUi, nullptr);
      } catch (...) {
      }
      ::_exit(code);
    }
    return child;
  };
  const auto wait = [](pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
  };
  const auto finished = [&] {
    return platform::Machine::Open(machine.Root())
        .Reg()
        .OpenKey(platform::RootKey::LocalMachine, "Software\\NimbraPost\\Current Version", false)
        .has_value();
  };

  const auto began = std::chrono::steady_clock::now();
  ASSERT_EQ(wait(start()), 0);
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - began)
                        .count();
  const std::string reference = testsupport::EndState(machine.Root());
  ASSERT_NE(reference.find("admin|VRX"), std::string::npos) << reference;
  ASSERT_NE(reference.find("\nCA|DSA"), std::string::npos) << reference;
  ASSERT_NE(reference.find("\nBob|DSA"), std::string::npos) << reference;
  ASSERT_NE(reference.find("NetworkTimeout=7200"), std::string::npos) << reference;
  ASSERT_NE(reference.find("127.0.3.1\tpop.example.net"), std::string::npos) << reference;
  const std::filesystem::path log = saved / "setup.log";
  const auto logText = [&] {
    std::ifstream in(log, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const char* const kTargets[] = {" CLIENT UNINSTALL", " KEYS auths ", " KEYS friend "};

  std::mt19937 random(20261209);
  int resumed = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    machine.RestoreState(saved / "clean");
    const std::size_t logged = logText().size();
    const pid_t child = start();
    if (round % 2 == 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(random() % (span + 1)));
    } else {
      // Waits for the step to begin (or the run to end), then a little more.
      const std::string target = kTargets[(round / 2) % 3];
      for (int tries = 0; tries < 200000; ++tries) {
        if (logText().find(target, logged) != std::string::npos) break;
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid != 0)
          break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
    }
    ::kill(child, SIGKILL);
    if (wait(child) == -SIGKILL && !finished()) {
      ++resumed;
      ASSERT_EQ(wait(start()), 0);
    }
    const std::string now = testsupport::EndState(machine.Root());
    if (now != reference) {
      // The lines that differ, as diff shows them.
      std::ofstream(saved / "reference.txt", std::ios::binary) << reference;
      std::ofstream(saved / "now.txt", std::ios::binary) << now;
      ADD_FAILURE() << testsupport::RunCommand("diff -a '" + (saved / "reference.txt").string() +
                                               "' '" + (saved / "now.txt").string() +
                                               "' | head -40")
                           .out
                    << "\nLOG\n"
                    << logText().substr(logged);
      break;
    }
  }
  EXPECT_GT(resumed, 10);
}

}  // namespace
}  // namespace nimbra::setup::testing
