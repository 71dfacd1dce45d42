// The bundled demo machine: a Windows NT computer with the installer on a
// CD-ROM in drive D and e-mail programs of three kinds set up for one user:
// in the registry (Outlook Express, Netscape Navigator), in settings files
// (Eudora with a second personality, Netscape Communicator, Turnpike) and in
// a mailbox (Calypso). The installer's script uses every kind of copy block;
// its files are small stand-ins, with a licence text and the wizard's
// artwork. An older copy of the product is running, so that the
// installation stops it first.

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/nimbra-machine/commands.h"
#include "detect/mailbox_install.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/library_search.h"
#include "platform/processes/running_programs.h"
#include "platform/processes/window.h"
#include "platform/registry/registry.h"

namespace nimbra::machine_tool {

using platform::Machine;
using platform::RootKey;

namespace {

// The installer's settings and copy blocks.
constexpr const char* kScript =
    "[PRODUCT]\r\n"
    "Installer=NimbraPost 4\r\n"
    "Release=4.0.1\r\n"
    "Source=Demo CD\r\n"
    "RunType=1\r\n"
    "RunQty=1\r\n"
    "NT=0\r\n"
    "SEQ=04.00.01\r\n"
    "TRAYMENU=255\r\n"
    "\r\n"
    "[DBINSTALLER]\r\n"
    "RUNAFTER=\r\n"
    "\r\n"
    "[STARTMENU]\r\n"
    "NimbraPost Manager=NimbraMGR.exe\r\n"
    "Message Viewer=Peruse.exe\r\n"
    "NimbraPost Help=Help.hlp\r\n"
    "\r\n"
    "[Defaults]\r\n"
    "KeysExpires=365\r\n"
    "\r\n"
    "[ThirdParty]\r\n"
    "Help=Help.hlp\r\n"
    "\r\n"
    "START COPY\r\n"
    "NimbraMGR.exe\r\n"
    "Peruse.exe\r\n"
    "Nimbra.exe\r\n"
    "NimbraQue.exe\r\n"
    "NimbraDesktop.exe\r\n"
    "Help.hlp\r\n"
    "STOP COPY\r\n"
    "NET START COPY\r\n"
    "WsSetup.exe\r\n"
    "NET STOP COPY\r\n"
    "WIN START COPY\r\n"
    "NimbraPost.ini\r\n"
    "WIN STOP COPY\r\n"
    "SYS START COPY\r\n"
    "NimbraContextMenu.dll\r\n"
    "SYS STOP COPY\r\n"
    "PROFILE START COPY\r\n"
    "local.dns\r\n"
    "PROFILE STOP COPY\r\n"
    "[DATABASE ONLY SCRIPT]\r\n"
    "START COPY\r\n"
    "NimbraMGR.exe\r\n"
    "STOP COPY\r\n";

constexpr const char* kLicence =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 "
    "NimbraPost licence agreement (demo).\\par "
    "This demo installer may be used for evaluation only.\\par }\r\n";

constexpr const char* kEudoraIni =
    "[Settings]\r\n"
    "RealName=Jo Example\r\n"
    "ReturnAddress=jo@example.net\r\n"
    "POPAccount=jo@pop.example.net\r\n"
    "SMTPServer=smtp.example.net\r\n"
    "POPServer=pop.example.net\r\n"
    "UsesIMAP=0\r\n"
    "\r\n"
    "[Personalities]\r\n"
    "Persona0=Persona-Work\r\n"
    "\r\n"
    "[Persona-Work]\r\n"
    "RealName=Jo Example\r\n"
    "ReturnAddress=jo@work.example.com\r\n"
    "POPAccount=jo@mail.example.com\r\n"
    "SMTPServer=mail.example.com\r\n"
    "POPServer=mail.example.com\r\n";

constexpr const char* kPrefsJs =
    "// Netscape User Preferences\r\n"
    "// This is a generated file!  Do not edit.\r\n"
    "\r\n"
    "user_pref(\"mail.identity.useremail\", \"jo@example.net\");\r\n"
    "user_pref(\"mail.identity.username\", \"Jo Example\");\r\n"
    "user_pref(\"network.hosts.pop_server\", \"pop.example.net\");\r\n"
    "user_pref(\"network.hosts.smtp_server\", \"smtp.example.net\");\r\n";

constexpr const char* kTurnpikeConnect =
    "[MAIL WINSOCK]\r\n"
    "Incoming=POP3\r\n"
    "Server=pop.example.org\r\n"
    "Gateway=smtp.example.org\r\n";

constexpr const char* kTurnpikeUser =
    "[DESKMAIL Mailbox]\r\n"
    "UserName=Jo Example\r\n"
    "ReplyTo=Jo Example <jo@example.org>\r\n";

// A tiny 24-bit Windows bitmap of one colour, as the wizard's artwork.
std::string Bitmap(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixels = static_cast<std::uint32_t>(rowBytes * height);
  std::string out;
  auto u16 = [&](std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  out += "BM";
  u32(54 + pixels);
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<std::uint32_t>(width));
  u32(static_cast<std::uint32_t>(height));
  u16(1);
  u16(24);
  u32(0);
  u32(pixels);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out += static_cast<char>(b);
      out += static_cast<char>(g);
      out += static_cast<char>(r);
    }
    out.append(static_cast<std::size_t>(rowBytes - width * 3), '\0');
  }
  return out;
}

// Stand-in content of the product's program files: the installer only
// copies and starts them.
std::string StandIn(const std::string& name) {
  return "NimbraPost demo stand-in for " + name + "\r\n";
}

void PutFile(Machine& machine, const std::string& path, const std::string& content) {
  machine.ForceDirectories(platform::ExtractFileDir(path));
  machine.WriteFile(path, content);
}

void WriteMailSettings(platform::Registry& reg) {
  // Outlook Express: one POP3 account.
  const std::string accounts = "Software\\Microsoft\\Internet Account Manager";
  reg.OpenKey(RootKey::CurrentUser, accounts, true)
      ->WriteString("Default Mail Account", "00000001");
  auto account = reg.OpenKey(RootKey::CurrentUser, accounts + "\\Accounts\\00000001", true);
  account->WriteString("Account Name", "pop.example.net");
  account->WriteInteger("Connection Type", 3);
  account->WriteString("POP3 Server", "pop.example.net");
  account->WriteInteger("POP3 Port", 110);
  account->WriteString("POP3 User Name", "jo");
  account->WriteString("SMTP Display Name", "Jo Example");
  account->WriteString("SMTP Email Address", "jo@example.net");
  account->WriteString("SMTP Server", "smtp.example.net");
  account->WriteInteger("SMTP Port", 25);

  // Netscape Navigator 3.
  const std::string navigator = "Software\\Netscape\\Netscape Navigator";
  auto user = reg.OpenKey(RootKey::CurrentUser, navigator + "\\User", true);
  user->WriteString("User_Name", "Jo Example");
  user->WriteString("User_Addr", "jo@example.net");
  user->WriteString("Reply_To", "");
  auto services = reg.OpenKey(RootKey::CurrentUser, navigator + "\\Services", true);
  services->WriteString("SMTP_Server", "smtp.example.net");
  services->WriteString("POP_Server", "pop.example.net:110");
  reg.OpenKey(RootKey::CurrentUser, navigator + "\\Viewers", true);

  // Name servers, as the network settings of a dial-up connection leave them.
  reg.OpenKey(RootKey::LocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters", true)
      ->WriteString("NameServer", "192.0.2.53 192.0.2.54");
}

}  // namespace

void RunDemo(const Args& args) {
  if (args.size() != 1) throw UsageError("usage: nimbra-machine demo DIR");
  platform::MachineOptions options;
  options.user_name = "jo";
  options.computer_name = "DEMO-PC";
  options.organization = "Example Ltd";
  Machine machine = Machine::Create(args[0], options);
  machine.AddDrive('D', machine.Root() / "drive_d", platform::DriveType::CdRom, "NIMBRAPOST4");

  const std::string setup = "D:\\SETUP\\";
  PutFile(machine, setup + "Script.txt", kScript);
  PutFile(machine, setup + "License.rtf", kLicence);
  PutFile(machine, setup + "FreeLic.rtf", kLicence);
  for (const char* name :
       {"Setup.exe", "NimbraMGR.exe", "Peruse.exe", "Nimbra.exe", "NimbraQue.exe",
        "NimbraDesktop.exe", "NimbraContextMenu.dll", "Help.hlp", "WsSetup.exe"}) {
    PutFile(machine, setup + name, StandIn(name));
  }
  PutFile(machine, setup + "NimbraPost.ini", "[NimbraPost]\r\nInstalled=1\r\n");
  PutFile(machine, setup + "headlogo.bmp", Bitmap(32, 8, 0x20, 0x40, 0x80));
  PutFile(machine, setup + "splash.bmp", Bitmap(16, 16, 0x20, 0x40, 0x80));
  PutFile(machine, setup + "backlogo.bmp", Bitmap(8, 8, 0x80, 0x80, 0x80));

  // An earlier copy of the product runs, its proxy and its mail queue, which
  // holds its program file: both quit when the installation asks them to.
  const std::string oldQueue = "C:\\Program Files\\NimbraPost\\NimbraQue.exe";
  PutFile(machine, oldQueue, StandIn("NimbraQue.exe (older)"));
  platform::Windows windows(machine.Root());
  windows.Open("TNimbraProxy", "nimbra.exe");
  const auto queueWindow = windows.Open("TNimbraQue", "NimbraQue.exe");
  platform::RunningPrograms(machine.Root(), platform::ResolverFor(machine))
      .Start(oldQueue, {}, queueWindow);

  PutFile(machine, "C:\\Program Files\\Eudora\\Eudora.ini", kEudoraIni);
  PutFile(machine, "C:\\Program Files\\Netscape\\Users\\jo\\prefs.js", kPrefsJs);
  PutFile(machine, "C:\\Program Files\\Turnpike\\Connect.ini", kTurnpikeConnect);
  PutFile(machine, "C:\\Program Files\\Turnpike\\User001\\Turnpike.ini", kTurnpikeUser);
  // Calypso: one mailbox of one account, opened with the demo answer
  // file's MailboxPassword.
  const std::string mailbox = "C:\\Program Files\\Calypso\\Mail\\Jo.box";
  detect::CreateMailbox(machine, mailbox, "calypso-demo",
                        {{"Jo Example", "jo@calypso.example.org", "", "pop.calypso.example.org",
                          110, "smtp.calypso.example.org", 25}});
  detect::InstallMailboxLibrary(machine, mailbox, "C:\\Program Files\\Calypso");
  WriteMailSettings(machine.Reg());
  machine.Save();
  std::printf("Created the demo machine in %s (installer in %s)\n", machine.Root().string().c_str(),
              setup.c_str());
}

}  // namespace nimbra::machine_tool
