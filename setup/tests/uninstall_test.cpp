// An installation taken back: install on a fresh machine with e-mail
// programs of the client types a search finds, uninstall, and compare the
// machine with its state before the installation.

#include "setup/uninstall.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "core/strings.h"
#include "platform/processes/running_programs.h"
#include "platform/profile/profile_file.h"
#include "setup/tests/wizard_fixture.h"
#include "setup/uninstall_command.h"
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
    machine.PutFile(kEudoraIni,
                    "; Eudora settings\r\n[Settings]\r\nRealName=Eu\r\n"
                    "ReturnAddress=eu@example.net\r\nPOPAccount=eu@pop.eu.example\r\n"
                    "POPServer=pop.eu.example\r\nSMTPServer=smtp.eu.example\r\n"
                    "[Personalities]\r\nPersona0=Work\r\n"
                    "[Work]\r\nReturnAddress=work@example.com\r\nPOPAccount=w@pop.work.example\r\n"
                    "SMTPServer=smtp.work.example\r\n");
    machine.PutFile(kPMailIni,
                    "[General]\r\nPersonal name=Peg\r\n"
                    "[pegasus Mail for Windows - built-in TCP/IP Mail]\r\n"
                    "Alternative From: field for message=peg@example.net\r\n"
                    "Host where POP3 mail account is located=pop.peg.example\r\n"
                    "TCP/IP server port=995\r\n"
                    "SMTP relay host for outgoing mail=smtp.peg.example\r\n");
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

  std::string before;
};

TEST_F(UninstallTest, InstallThenUninstallLeavesTheMachineAsItWas) {
  Install("[TabSheet9]\r\nQuickroute=0\r\n");
  if (getenv("UNINSTALL_DEBUG"))
    std::ofstream("/tmp/u/journal.txt", std::ios::binary)
        << machine.ReadFile(std::string(kProgram) + "Install.jnl");
  const Outcome o = Uninstall();
  if (getenv("UNINSTALL_DEBUG")) std::ofstream("/tmp/u/out.txt", std::ios::binary) << o.out;
  EXPECT_EQ(o.code, 0) << o.out;
  EXPECT_EQ(Differences(testsupport::EndState(machine.Root())), "") << o.out;
}

}  // namespace
}  // namespace nimbra::setup::testing
