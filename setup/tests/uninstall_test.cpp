// An installation taken back: install on a fresh machine with e-mail
// programs of the client types a search finds, uninstall, and compare the
// machine with its state before the installation.

#include "setup/uninstall.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <span>
#include <sstream>
#include <thread>

#include "core/hex.h"
#include "core/sha1.h"
#include "core/strings.h"
#include "detect/account_sections.h"
#include "detect/client_search.h"
#include "detect/mailbox_install.h"
#include "detect/mailbox_library.h"
#include "detect/mailbox_reader.h"
#include "detect/search_drives.h"
#include "platform/processes/library.h"
#include "platform/processes/running_programs.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"
#include "setup/tests/wizard_fixture.h"
#include "setup/uninstall_command.h"
#include "testsupport/client_settings.h"
#include "testsupport/end_state.h"
#include "testsupport/run_program.h"
#include "testsupport/temp_folder.h"

namespace nimbra::setup::testing {
namespace {

constexpr const char* kScript =
    "[PRODUCT]\r\nInstaller=NimbraPost Test\r\nRelease=4.1\r\nRunType=1\r\n"
    "[Defaults]\r\nKEYSERVER1=keys.example.com\r\n"
    "[STARTMENU]\r\nNimbraPost Manager=NimbraMGR.exe\r\n"
    "START COPY\r\nNimbra.exe\r\nNimbraMGR.exe\r\nSTOP COPY\r\n"
    "WIN START COPY\r\nNimbraPost.ini\r\nWIN STOP COPY\r\n"
    "SYS START COPY\r\nNimbraMenu.dll\r\nSYS STOP COPY\r\n"
    "PROFILE START COPY\r\nlocal.dns\r\nPROFILE STOP COPY\r\n";

constexpr const char* kEudoraIni = "C:\\Program Files\\Eudora\\Eudora.ini";
constexpr const char* kPMailIni = "C:\\PMAIL\\PMail.ini";
constexpr const char* kConnectIni = "C:\\Turnpike\\Connect.ini";
constexpr const char* kPrefsJs = "C:\\Netscape\\Users\\jo\\prefs.js";
constexpr const char* kOutlookKey =
    "HKCU\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001";
constexpr const char* kExchangeKey =
    "HKCU\\Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\Settings\\0a1b";
constexpr const char* kInternetMailKey = "HKCU\\Software\\Microsoft\\Internet Mail and News\\Mail";
constexpr const char* kNavigatorKey = "HKCU\\Software\\Netscape\\Netscape Navigator";
constexpr const char* kProgram = "C:\\Program Files\\NimbraPost\\";

class UninstallTest : public WizardTest {
 public:
  UninstallTest() {
    Script(kScript);
    for (const char* name : {"Nimbra.exe", "NimbraMGR.exe", "NimbraPost.ini", "NimbraMenu.dll"})
      machine.PutFile(std::string("D:\\") + name, std::string("stand-in ") + name);
    machine.PutFile("D:\\local.dns", "127.0.0.1\tlocalhost\r\n");
    machine.PutFile(machine->HostsFilePath(), "# hosts\r\n127.0.0.1\tlocalhost\r\n");
    machine.PutFile(kEudoraIni, testsupport::kEudoraSettings);
    machine.PutFile(kPMailIni, testsupport::kPegasusSettings);
    machine.PutFile(kConnectIni,
                    "[MAIL WINSOCK]\r\nIncoming=POP3\r\nServer=pop.tp.example\r\n"
                    "Gateway=smtp.tp.example\r\n");
    machine.PutFile("C:\\Turnpike\\User001\\Turnpike.ini",
                    "[DESKMAIL Mailbox]\r\nUserName=Tp\r\nReplyTo=Tp <tp@example.net>\r\n");
    machine.PutFile(kPrefsJs,
                    "// Mozilla User Preferences\r\n"
                    "user_pref(\"mail.identity.useremail\", \"nc@example.net\");\r\n"
                    "user_pref(\"network.hosts.pop_server\", \"pop.nc.example\");\r\n"
                    "user_pref(\"network.hosts.smtp_server\", \"smtp.nc.example\");\r\n");
    machine.SetString(kOutlookKey, "Account Name", "Home");
    machine.SetString(kOutlookKey, "SMTP Email Address", "oe@example.net");
    machine.SetString(kOutlookKey, "SMTP Server", "smtp.oe.example");
    machine.SetString(kOutlookKey, "POP3 Server", "pop.oe.example");
    machine.SetString(kExchangeKey, "001e6605", "ex@example.net");
    machine.SetString(kExchangeKey, "001e6600", "pop.ex.example");
    machine.SetString(kExchangeKey, "001e6611", "smtp.ex.example");
    machine.SetString(kInternetMailKey, "Reply To", "im@example.net");
    machine.SetString(kInternetMailKey, "Default POP3 Server", "pop.im.example");
    machine.SetString(kInternetMailKey, "Default SMTP Server", "smtp.im.example");
    machine.SetString(std::string(kInternetMailKey) + "\\POP3\\pop.im.example", "Name", "pop");
    machine.SetString(std::string(kInternetMailKey) + "\\SMTP\\smtp.im.example", "Name", "smtp");
    machine.SetString(std::string(kNavigatorKey) + "\\User", "User_Addr", "nav@example.net");
    machine.SetString(std::string(kNavigatorKey) + "\\Services", "SMTP_Server", "smtp.nav.example");
    machine.SetString(std::string(kNavigatorKey) + "\\Services", "POP_Server", "pop.nav.example");
    machine.SetString("HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters", "NameServer",
                      "192.0.2.53");
    // Every Windows machine has file classes.
    machine.SetString("HKCR\\.txt", "", "txtfile");
    machine->Save();
  }

  // Installs to Finish; the machine before it is kept in `before`.
  void Install(const std::string& extra = "") {
    before = testsupport::EndState(machine.Root());
    const Result r = Run(std::string(kDesktopAnswers) + extra);
    ASSERT_EQ(r.code, 0) << r.reason;
    wizard.reset();
    ui.reset();
  }

  struct Outcome {
    int code;
    std::string out;
  };
  Outcome Uninstall(DataChoice data = DataChoice::Ask, const std::string& answers = "") {
    AnswerFileUi answerUi(answers.empty() ? "[Answers]\r\nRemoveDataFiles=Yes\r\n" : answers);
    std::ostringstream out;
    const int code = RunUninstallCommand(*machine, answerUi, data, out);
    return {code, out.str()};
  }

  // The lines of `now` that differ from the state before the installation,
  // leaving out what is no state of the machine (the emulation's record of
  // the programs started, the search's dump on the installation medium)
  // and the time-outs the protection sets, which stay.
  std::string Differences(const std::string& now) {
    testsupport::TempFolder temp("nimbra-uninstall-diff");
    std::ofstream(temp / "before.txt", std::ios::binary) << Comparable(before);
    std::ofstream(temp / "now.txt", std::ios::binary) << Comparable(now);
    return testsupport::RunCommand("diff -a '" + (temp / "before.txt").string() + "' '" +
                                   (temp / "now.txt").string() + "'")
        .out;
  }
  static std::string Comparable(const std::string& state) {
    std::istringstream lines(state);
    std::string out;
    bool skip = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("== ")) {
        skip =
            line.find("process-journal") != std::string::npos || line.ends_with("drive_d/Dump.txt");
      }
      const bool timeout =
          (line.find("imeout") != std::string::npos || line.find("imeOut") != std::string::npos) &&
          (line.find("=7200") != std::string::npos ||
           line.find("dword:00001c20") != std::string::npos);
      if (!skip && !timeout) out += line + "\n";
    }
    return out;
  }

  std::set<std::string> Detected();

  std::string before;
};

// A search in a folder of its own: every account found, by its program and
// servers.
std::set<std::string> UninstallTest::Detected() {
  const std::string folder = "C:\\Detect\\";
  machine->ForceDirectories(folder);
  AnswerFileUi quiet("");
  detect::DetectContext context(*machine, quiet, "D:\\");
  detect::SetSearchDrives(context, {"C:\\"});
  ui::Control panel("Detect", ui::ControlKind::Panel, "TabSheet8");
  std::vector<std::string> addresses;
  detect::SearchForClients(context, panel, addresses, folder);
  auto ws = detect::WsIniFile(*machine, folder);
  std::set<std::string> found;
  detect::DetectedAccount account;
  for (int n = 1; detect::LoadAccountSection(ws, n, account); ++n) {
    found.insert(account.software.str() + " " + account.pop3Server.str() + ":" +
                 account.pop3Port.str() + " " + account.smtpServer.str() + ":" +
                 account.smtpPort.str() + " " + account.imapServer.str());
    account = {};
  }
  std::filesystem::remove_all(*machine->HostPath(folder));
  machine->DeleteFile("D:\\Dump.txt");
  return found;
}

class EveryRouteTest : public UninstallTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EveryRouteTest, InstallThenUninstallLeavesTheMachineAsItWasAndTheAccountsTheirServers) {
  const std::set<std::string> accounts = Detected();
  ASSERT_EQ(accounts.size(), 9u);
  Install(GetParam() ? "" : "[TabSheet18]\r\nQuickroute=0\r\n");
  const std::string hosts = machine.ReadFile(machine->HostsFilePath());
  EXPECT_EQ(hosts.find("#added by NimbraPost") != std::string::npos, GetParam()) << hosts;
  const Outcome o = Uninstall();
  EXPECT_EQ(o.code, 0) << o.out;
  EXPECT_EQ(Differences(testsupport::EndState(machine.Root())), "") << o.out;
  EXPECT_EQ(Detected(), accounts);
  EXPECT_NE(o.out.find("removed C:\\Program Files\\NimbraPost\\Nimbra.exe"), std::string::npos);
  EXPECT_NE(o.out.find("Eudora (Eu): its real servers given back"), std::string::npos) << o.out;

  // A second run finds nothing to remove and changes nothing.
  const std::string after = testsupport::EndState(machine.Root());
  const Outcome again = Uninstall();
  EXPECT_EQ(again.code, 0);
  EXPECT_NE(again.out.find("Nothing to remove"), std::string::npos) << again.out;
  EXPECT_EQ(testsupport::EndState(machine.Root()), after);
}

INSTANTIATE_TEST_SUITE_P(Routes, EveryRouteTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Quickroute" : "Ports"; });

TEST_F(UninstallTest, WhatTheUserChangedAndTheKeptDataStayAndAreReported) {
  Install("[TabSheet18]\r\nQuickroute=0\r\n");
  machine.PutFile("C:\\windows\\NimbraPost.ini", "[Mine]\r\nEdited=1\r\n");
  machine->Reg()
      .OpenKey(platform::RootKey::ClassesRoot, ".VRX", false)
      ->WriteString("", "MyViewer");
  const std::string data = std::string(kProgram) + "Data\\";
  const Outcome o = Uninstall(DataChoice::Keep);
  EXPECT_EQ(o.code, 0) << o.out;
  EXPECT_NE(o.out.find("kept C:\\windows\\NimbraPost.ini: changed since the installation"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("kept HKEY_CLASSES_ROOT\\.VRX (Default): changed since the installation"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(machine.ReadFile("C:\\windows\\NimbraPost.ini"), "[Mine]\r\nEdited=1\r\n");
  EXPECT_EQ(machine->Reg().OpenKey(platform::RootKey::ClassesRoot, ".VRX", false)->ReadString(""),
            "MyViewer");
  // The data stays, and WS.INI with its accounts, none of them active.
  EXPECT_TRUE(machine->FileExists(data + "Users.ini"));
  EXPECT_TRUE(machine->FileExists(data + "MYKEYS.DAT"));
  auto ws = detect::WsIniFile(*machine, kProgram);
  detect::DetectedAccount account;
  int sections = 0;
  for (; detect::LoadAccountSection(ws, sections + 1, account); ++sections) {
    EXPECT_FALSE(account.active) << sections + 1;
  }
  EXPECT_EQ(sections, 9);
  // Everything else is as it was.
  std::string diff = Differences(testsupport::EndState(machine.Root()));
  for (const char* own :
       {"NimbraPost/Data/", "NimbraPost/WS.INI", "NimbraPost/Install.jnl", "NimbraPost.ini"})
    EXPECT_NE(diff.find(own), std::string::npos) << own;
  EXPECT_EQ(diff.find("NimbraPost/Nimbra.exe"), std::string::npos) << diff;
  EXPECT_EQ(diff.find("== drive_c/Program Files/Eudora"), std::string::npos) << diff;
}

TEST_F(UninstallTest, SilentWithoutAnswersKeepsTheDataAndSaysSo) {
  Install("[TabSheet18]\r\nQuickroute=0\r\n");
  const Outcome o = Uninstall(DataChoice::KeepUnasked);
  EXPECT_NE(o.out.find("The data files are kept"), std::string::npos) << o.out;
  EXPECT_TRUE(machine->FileExists(std::string(kProgram) + "Data\\Users.ini"));
  EXPECT_FALSE(machine->FileExists(std::string(kProgram) + "Nimbra.exe"));
}

TEST_F(UninstallTest, AFileInUseIsLeftForRemovalAtTheNextStart) {
  Install("[TabSheet18]\r\nQuickroute=0\r\n");
  const std::string program = std::string(kProgram) + "Nimbra.exe";
  // The product runs with its program file mapped.
  platform::RunningPrograms(machine.Root(), platform::ResolverFor(*machine)).Start(program, {});
  const Outcome o = Uninstall();
  EXPECT_NE(o.out.find("removed at the next start " + program + ": it is in use"),
            std::string::npos)
      << o.out;
  EXPECT_TRUE(machine->FileExists(program));
  const auto key =
      machine->Reg().OpenKey(platform::RootKey::LocalMachine,
                             "SYSTEM\\CurrentControlSet\\Control\\Session Manager", false);
  ASSERT_TRUE(key.has_value());
  const platform::RegValue value = key->ReadRaw("PendingFileRenameOperations");
  EXPECT_EQ(value.type, platform::RegType::MultiString);
  // "\??\<path>", an empty name, and the list's end.
  const auto bytes = platform::reg::Utf16Bytes(
      platform::reg::AnsiToUtf16("\\??\\" + program + std::string(1, '\0') + std::string(1, '\0')),
      true);
  EXPECT_EQ(value.data, bytes);
  // Saved with the registry: a machine opened afresh has it.
  EXPECT_TRUE(platform::Machine::Open(machine.Root())
                  .Reg()
                  .OpenKey(platform::RootKey::LocalMachine,
                           "SYSTEM\\CurrentControlSet\\Control\\Session Manager", false)
                  ->ValueExists("PendingFileRenameOperations"));
}

// Files the installation replaced come back byte for byte, and their copies
// go with the folder that held them.
TEST_F(UninstallTest, ReplacedFilesComeBackAsTheyWere) {
  const std::string own("MZ\0\x90 the user's own\r\n\xff", 23);
  machine.PutFile("C:\\windows\\system32\\NimbraMenu.dll", own);
  machine.PutFile("C:\\windows\\NimbraPost.ini", "[Old]\r\nKept=1\r\n");
  // A program location that was there before keeps its own files, and the
  // journal goes from it.
  machine.PutFile(std::string(kProgram) + "NimbraQue.exe", "the running product");
  Install("[TabSheet18]\r\nQuickroute=0\r\n");
  EXPECT_EQ(machine.ReadFile("C:\\windows\\system32\\NimbraMenu.dll"), "stand-in NimbraMenu.dll");
  const Outcome o = Uninstall();
  EXPECT_EQ(o.code, 0) << o.out;
  EXPECT_EQ(machine.ReadFile("C:\\windows\\system32\\NimbraMenu.dll"), own);
  EXPECT_NE(
      o.out.find(
          "restored C:\\windows\\system32\\NimbraMenu.dll: what it held before the installation"),
      std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find("kept no copy"), std::string::npos) << o.out;
  EXPECT_EQ(Differences(testsupport::EndState(machine.Root())), "") << o.out;
}

// A copy that is missing or damaged puts nothing back, and a file the user
// changed since stays with the copy of what it held; each is reported.
TEST_F(UninstallTest, ACopyMissingOrDamagedOrAFileChangedSinceLeavesTheFileAsItIs) {
  for (const char* name : {"Nimbra.exe", "NimbraMGR.exe"})
    machine.PutFile(std::string(kProgram) + name, std::string("old ") + name);
  machine.PutFile("C:\\windows\\NimbraPost.ini", "[Old]\r\n");
  Install("[TabSheet18]\r\nQuickroute=0\r\n");
  const std::string replaced = std::string(kProgram) + "Replaced\\";
  const auto copyOf = [&](const std::string& content) {
    const auto bytes =
        std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    return replaced + HexLower(Sha1(bytes));
  };
  machine.PutFile(copyOf("old Nimbra.exe"), "garbled");
  machine->DeleteFile(copyOf("[Old]\r\n"));
  machine.PutFile(std::string(kProgram) + "NimbraMGR.exe", "the user's newer one");
  const Outcome o = Uninstall();
  EXPECT_EQ(o.code, 0) << o.out;
  for (const std::string& line :
       {"kept C:\\Program Files\\NimbraPost\\Nimbra.exe: the copy of what it held, " +
            copyOf("old Nimbra.exe") + ", is damaged",
        "kept C:\\windows\\NimbraPost.ini: the copy of what it held, " + copyOf("[Old]\r\n") +
            ", is missing",
        std::string(
            "kept C:\\Program Files\\NimbraPost\\NimbraMGR.exe: changed since the installation"),
        "kept " + copyOf("old NimbraMGR.exe") +
            ": what C:\\Program Files\\NimbraPost\\NimbraMGR.exe held before the installation",
        "kept " + replaced + ": it holds what files the installation replaced held before"})
    EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
  EXPECT_EQ(machine.ReadFile(std::string(kProgram) + "Nimbra.exe"), "stand-in Nimbra.exe");
  EXPECT_EQ(machine.ReadFile(std::string(kProgram) + "NimbraMGR.exe"), "the user's newer one");
  EXPECT_EQ(machine.ReadFile("C:\\windows\\NimbraPost.ini"), "stand-in NimbraPost.ini");
  EXPECT_EQ(machine.ReadFile(copyOf("old NimbraMGR.exe")), "old NimbraMGR.exe");
  EXPECT_EQ(machine.ReadFile(copyOf("old Nimbra.exe")), "garbled");
}

// The accounts of a mailbox as the search reads them, through its
// program's library: servers and ports.
std::string MailboxServers(platform::Machine& machine, const std::string& path) {
  AnswerFileUi answers("[Answers]\r\nMailboxPassword=box-pw\r\n");
  detect::DetectContext context(machine, answers, "D:\\");
  platform::LibraryLoader loader(machine, "D:\\");
  detect::RegisterMailboxLibrary(loader, machine);
  detect::LibraryMailboxReader reader(context, loader);
  std::vector<detect::DetectedAccount> found;
  reader.ReadMailbox(path, found);
  std::string out;
  for (const auto& a : found) {
    out += a.pop3Server.str() + ":" + a.pop3Port.str() + " " + a.smtpServer.str() + ":" +
           a.smtpPort.str() + "\n";
  }
  return out;
}

TEST_F(UninstallTest, AMailboxGetsItsServersBackThroughItsProgramsLibraryOrKeepsThemNamed) {
  constexpr const char* kBox = "C:\\Users\\jo\\Mail\\Inbox.box";
  detect::CreateMailbox(
      *machine, kBox, "box-pw",
      {{"Jo Box", "jo@box.example", "", "pop.box.example", 995, "smtp.box.example", 587}});
  const std::string library =
      detect::InstallMailboxLibrary(*machine, kBox, "C:\\Program Files\\Calypso");
  machine->Save();
  const std::string servers = MailboxServers(*machine, kBox);
  ASSERT_EQ(servers, "pop.box.example:995 smtp.box.example:587\n");
  Install("[Answers]\r\nMailboxPassword=box-pw\r\n[TabSheet18]\r\nQuickroute=0\r\n");
  ASSERT_NE(MailboxServers(*machine, kBox), servers);  // pointed at the proxy
  testsupport::TempFolder saved("nimbra-uninstall-mailbox");
  machine.SaveState(saved / "installed");

  // Without the library the mailbox stays as the protection left it, and
  // the report names the servers it had.
  const std::string protectedBox = machine.ReadFile(kBox);
  const std::string libraryBytes = machine.ReadFile(library);
  machine->DeleteFile(library);
  const Outcome without = Uninstall();
  EXPECT_EQ(without.code, 0) << without.out;
  EXPECT_NE(without.out.find("kept MCS Dallas Calypso (Jo Box): its mailbox could not be written "
                             "through its program's library, so its servers cannot be given back "
                             "(they were POP3 pop.box.example:995, SMTP smtp.box.example:587)"),
            std::string::npos)
      << without.out;
  EXPECT_EQ(without.out.find("restored MCS Dallas Calypso"), std::string::npos) << without.out;
  EXPECT_EQ(machine.ReadFile(kBox), protectedBox);

  machine.RestoreState(saved / "installed");
  const Outcome with = Uninstall();
  EXPECT_NE(with.out.find("restored MCS Dallas Calypso (Jo Box): its real servers given back"),
            std::string::npos)
      << with.out;
  EXPECT_EQ(MailboxServers(*machine, kBox), servers);
  EXPECT_EQ(machine.ReadFile(library), libraryBytes);
}

// Runs `work` in a child process and kills it after `delay`; true when it
// was killed before it ended.
bool KilledAfter(std::chrono::microseconds delay, const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 1;
    try {
      code = work();
    } catch (...) {
    }
    ::_exit(code);
  }
  const auto end = std::chrono::steady_clock::now() + delay;
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (::waitpid(child, &status, WNOHANG) == child) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status);
}

TEST_F(UninstallTest, AKilledInstallationOrUninstallIsTakenBackWhole) {
  // A file the installation replaces, so that kills fall into keeping it too.
  machine.PutFile("C:\\windows\\system32\\NimbraMenu.dll", "the user's own");
  before = testsupport::EndState(machine.Root());
  testsupport::TempFolder saved("nimbra-uninstall-kill");
  machine.SaveState(saved / "clean");
  const std::string answers = std::string(kDesktopAnswers) + "[TabSheet18]\r\nQuickroute=0\r\n" +
                              "[TabSheet16]\r\nPress=NoSTF\r\n";
  const auto install = [&] {
    platform::Machine m = platform::Machine::Open(machine.Root());
    AnswerFileUi answerUi(answers);
    TSetupForm form(answerUi, m, "D:\\");
    const int code = RunUnattended(form, answerUi, nullptr);
    if (code == 0) m.Save();
    return code;
  };
  const auto uninstall = [&] {
    platform::Machine m = platform::Machine::Open(machine.Root());
    AnswerFileUi answerUi("[Answers]\r\nRemoveDataFiles=Yes\r\n");
    std::ostringstream out;
    return RunUninstallCommand(m, answerUi, DataChoice::Ask, out);
  };
  const auto timed = [](const std::function<int()>& work) {
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(KilledAfter(std::chrono::seconds(120), work));
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 began);
  };
  const auto installSpan = timed(install);
  const auto uninstallSpan = timed(uninstall);
  std::mt19937 random(20261209);
  int killed = 0;
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    machine.RestoreState(saved / "clean");
    const bool killUninstall = round % 2 == 1;
    if (killUninstall) {
      ASSERT_EQ(install(), 0);
      killed +=
          KilledAfter(std::chrono::microseconds(random() % (uninstallSpan.count() + 1)), uninstall);
    } else {
      killed +=
          KilledAfter(std::chrono::microseconds(random() % (installSpan.count() + 1)), install);
    }
    ASSERT_EQ(uninstall(), 0);
    const std::string diff = Differences(testsupport::EndState(machine.Root()));
    ASSERT_EQ(diff, "");
  }
  EXPECT_GT(killed, 3);
}

}  // namespace
}  // namespace nimbra::setup::testing
