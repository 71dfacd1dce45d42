// The search over a machine with every kind of client, and the search drives.

#include "detect/account_sections.h"
#include "detect/client_files.h"
#include "detect/search_drives.h"
#include "detect/tests/detect_fixture.h"

namespace nimbra::detect::testing {
namespace {

class SearchTest : public DetectTest {
 public:
  // One account of each client the readers know, registry and file based.
  void InstallClients() {
    const std::string navigator = "Software\\Netscape\\Netscape Navigator\\";
    UserKey(navigator + "User").WriteString("User_Addr", "nav@example.net");
    UserKey(navigator + "Services").WriteString("SMTP_Server", "smtp.nav.example:2525");
    UserKey(navigator + "Services").WriteString("POP_Server", "pop.nav.example");

    auto exchange =
        UserKey("Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\Settings\\0a1b");
    exchange.WriteString("001e6605", "ex@example.net");
    exchange.WriteString("001e6607", "Ex User");
    exchange.WriteString("001e6600", "pop.ex.example");

    machine.PutFile("C:\\Program Files\\Eudora\\Eudora.ini",
                    "[Settings]\r\nRealName=Eu\r\nReturnAddress=eu@example.net\r\n"
                    "POPServer=pop.eu.example\r\nSMTPServer=smtp.eu.example\r\n"
                    "[Personalities]\r\nPersona0=Work\r\n"
                    "[Work]\r\nReturnAddress=work@example.com\r\nPOPServer=pop.work.example\r\n");

    machine.PutFile("C:\\PMAIL\\PMail.ini",
                    "[General]\r\nPersonal name=Peg\r\n"
                    "[pegasus Mail for Windows - built-in TCP/IP Mail]\r\n"
                    "Alternative From: field for message=peg@example.net\r\n"
                    "Host where POP3 mail account is located=pop.peg.example\r\n"
                    "SMTP relay host for outgoing mail=smtp.peg.example\r\n");
    UserKey("Software\\Pegasus Mail\\BaseDir").WriteString("", "C:\\PMAIL");

    auto mail = UserKey("Software\\Microsoft\\Internet Mail and News\\Mail");
    mail.WriteString("Reply To", "im@example.net");
    mail.WriteString("Default POP3 Server", "pop.im.example");

    machine.PutFile("C:\\Turnpike\\Connect.ini",
                    "[MAIL WINSOCK]\r\nIncoming=POP3\r\nServer=pop.tp.example\r\n"
                    "Gateway=smtp.tp.example\r\n");
    machine.PutFile("C:\\Turnpike\\User001\\Turnpike.ini",
                    "[DESKMAIL Mailbox]\r\nUserName=Tp\r\nReplyTo=Tp <tp@example.net>\r\n");

    machine.PutFile("C:\\Netscape\\Users\\jo\\prefs.js",
                    "user_pref(\"mail.identity.useremail\", \"nc@example.net\");\n"
                    "user_pref(\"network.hosts.pop_server\", \"pop.nc.example\");\n");

    auto outlook = UserKey("Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001");
    outlook.WriteString("Account Name", "Home");
    outlook.WriteString("SMTP Email Address", "oe@example.net");
    outlook.WriteString("SMTP Server", "smtp.oe.example");
    outlook.WriteString("POP3 Server", "pop.oe.example");
    outlook.WriteInteger("POP3 Port", 110);

    machine.PutFile("C:\\Calypso\\Inbox.box", "not read without the mailbox library");
  }
};

TEST_F(SearchTest, EveryClientInReaderOrderThenNothingNewTheSecondTime) {
  InstallClients();
  const std::vector<DetectedAccount> saved = Search();
  struct Expected {
    std::uint8_t type;
    const char* software;
    const char* location;
    const char* address;
  };
  const Expected expected[] = {
      {1, "Netscape Navigator", "", "nav@example.net"},
      {2, "Microsoft Exchange Client",
       "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\Settings\\0a1b\\",
       "ex@example.net"},
      {3, "Eudora", "C:\\Program Files\\Eudora\\Eudora.ini", "eu@example.net"},
      {7, "Eudora", "C:\\Program Files\\Eudora\\Eudora.ini", "work@example.com"},
      {4, "Pegasus Mail Client (Peg)", "C:\\PMAIL\\PMail.ini", "peg@example.net"},
      {4, "Pegasus Mail Client + (Peg)", "C:\\PMAIL\\PMAIL.INI", "peg@example.net"},
      {6, "MS Internet Mail", "Software\\Microsoft\\Internet Mail and News\\Mail\\",
       "im@example.net"},
      {10, "TurnPike Mail Client", "C:\\Turnpike\\Connect.ini", "tp@example.net"},
      {5, "Netscape Communicator", "C:\\Netscape\\Users\\jo\\prefs.js", "nc@example.net"},
      {8, "MS Outlook Express/Outlook 98 Client (Home)",
       "\\Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001\\", "oe@example.net"},
  };
  ASSERT_EQ(saved.size(), std::size(expected));
  for (std::size_t i = 0; i < saved.size(); ++i) {
    EXPECT_EQ(saved[i].clientType, expected[i].type) << i;
    EXPECT_EQ(saved[i].software.str(), expected[i].software) << i;
    EXPECT_EQ(saved[i].location.str(), expected[i].location) << i;
    EXPECT_EQ(saved[i].address.str(), expected[i].address) << i;
  }
  EXPECT_EQ(Section(1),
            "Software=Netscape Navigator|INIFile=|Name=|Reply_Add=nav@example.net|"
            "OrgPOP3=pop.nav.example|OrgPOP3Port=|OrgIMAP=|OrgIMAPPort=|"
            "OrgSMTP=smtp.nav.example|OrgSMTPPort=2525|Persona=|DetectType=1|SubClient=0|Active=0");
  EXPECT_EQ(saved[3].persona.str(), "Work");
  EXPECT_EQ(saved[3].smtpServer.str(), "pop.work.example");  // no SMTP server: the incoming one
  EXPECT_EQ(saved[6].smtpServer.str(), "pop.im.example");    // stored in place of an empty one
  EXPECT_EQ(saved[7].persona.str(), "C:\\Turnpike\\User001\\Turnpike.ini");
  EXPECT_EQ(saved[9].pop3Port.str(), "110");

  EXPECT_EQ(ui.panelTexts, (std::vector<std::string>{
                               "Netscape Navigator", "MS Exchange", "Eudora Pro and Light",
                               "Pegasus Mail", "MS Internet Mail", "TurnPike",
                               "Netscape Communicator", "MS Outlook", "Calypso and Email 2000"}));
  EXPECT_EQ(finished, "Finished");
  EXPECT_EQ(addresses,
            (std::vector<std::string>{"eu@example.net", "ex@example.net", "im@example.net",
                                      "nav@example.net", "nc@example.net", "oe@example.net",
                                      "peg@example.net", "tp@example.net", "work@example.com"}));

  // The second search finds the same accounts again: nothing is appended,
  // and the addresses stay as they were.
  const std::string before = machine.ReadFile(std::string(kFolder) + "WS.INI");
  EXPECT_EQ(Search().size(), std::size(expected));
  EXPECT_EQ(machine.ReadFile(std::string(kFolder) + "WS.INI"), before);
  EXPECT_EQ(addresses.size(), 9u);

  // A personality added later to a file whose personalities are saved is a
  // duplicate (same file, type 7); a new client gets the next number.
  machine.PutFile("C:\\Program Files\\Eudora\\Eudora.ini",
                  "[Settings]\r\nRealName=Eu\r\nReturnAddress=eu@example.net\r\n"
                  "POPServer=pop.eu.example\r\nSMTPServer=smtp.eu.example\r\n"
                  "[Personalities]\r\nPersona0=Work\r\nPersona1=Home\r\n"
                  "[Work]\r\nReturnAddress=work@example.com\r\nPOPServer=pop.work.example\r\n"
                  "[Home]\r\nReturnAddress=home@example.com\r\n");
  machine.PutFile("D:\\prefs.js", "");  // not a search drive
  machine.PutFile("C:\\Other\\prefs.js", "user_pref(\"mail.identity.username\", \"Two\");\n");
  const auto third = Search();
  ASSERT_EQ(third.size(), std::size(expected) + 1);
  EXPECT_EQ(third.back().location.str(), "C:\\Other\\prefs.js");
  EXPECT_EQ(AccountSectionLabels(*machine, kFolder).back(), "Netscape Communicator (Two)");
}

TEST_F(SearchTest, WithoutSearchDrivesOnlyTheRegistryIsRead) {
  InstallClients();
  context.searchDrives.clear();
  const auto saved = Search();
  std::vector<int> types;
  for (const auto& account : saved) types.push_back(account.clientType);
  // The Pegasus base folder comes from the registry.
  EXPECT_EQ(types, (std::vector<int>{1, 2, 4, 6, 8}));
}

TEST_F(SearchTest, AnAccountNotWrittenLeavesNoGap) {
  InstallClients();
  // The Navigator's POP3 server already is a proxy address.
  machine.PutFile(std::string(kFolder) + "WS.INI", "[OUTMAPSERVER]\r\npop.nav.example=x\r\n");
  const auto saved = Search();
  ASSERT_EQ(saved.size(), 9u);
  EXPECT_EQ(saved[0].clientType, client::kExchange);
  // Its address is still a detected address.
  EXPECT_NE(std::find(addresses.begin(), addresses.end(), "nav@example.net"), addresses.end());
}

TEST_F(SearchTest, SavedAccountsAreRefreshedFromTheirClients) {
  InstallClients();
  Search();
  UserKey("Software\\Netscape\\Netscape Navigator\\Services")
      .WriteString("SMTP_Server", "smtp.example:2525");
  DetectedAccount refreshed;
  ASSERT_TRUE(ReadAccountSection(context, kFolder, refreshed, 1));
  EXPECT_EQ(refreshed.smtpServer.str(), "smtp.example");
  EXPECT_EQ(refreshed.smtpPort.str(), "2525");
  EXPECT_EQ(refreshed.smtpMapping.str(), "Not Mapped");
  EXPECT_EQ(refreshed.imapMapping.str(), "");
  EXPECT_FALSE(refreshed.active);
}

TEST_F(SearchTest, OneWalkPerDriveGivesEveryReaderItsFiles) {
  InstallClients();
  machine.PutFile("C:\\Mail\\Old.E2K", "");
  machine.PutFile("C:\\A\\prefs.js", "");
  int folders = 0;
  const ClientFiles files = FindClientFiles(*machine, "C:\\", [&] { ++folders; });
  EXPECT_EQ(files[ClientFile::Eudora],
            std::vector<std::string>{"C:\\Program Files\\Eudora\\Eudora.ini"});
  EXPECT_EQ(files[ClientFile::Communicator],
            (std::vector<std::string>{"C:\\A\\prefs.js", "C:\\Netscape\\Users\\jo\\prefs.js"}));
  EXPECT_EQ(files[ClientFile::Calypso], std::vector<std::string>{"C:\\Calypso\\Inbox.box"});
  EXPECT_EQ(files[ClientFile::Email2000], std::vector<std::string>{"C:\\Mail\\Old.E2K"});
  for (std::size_t kind = 0; kind < kClientFileKinds; ++kind) {
    const auto pattern = ClientFilePattern(static_cast<ClientFile>(kind));
    EXPECT_EQ(files.byKind[kind], machine->FindFiles("C:\\", pattern)) << pattern;
  }
  EXPECT_GT(folders, 8);

  // The search lets the window process its messages in every folder it
  // walks, and leaves the process's current directory alone.
  const auto cwd = std::filesystem::current_path();
  ui.pumps = 0;
  Search();
  EXPECT_GT(ui.pumps, folders);
  EXPECT_EQ(std::filesystem::current_path(), cwd);
}

TEST_F(DetectTest, DriveListKeepsFixedAndRemoteDrivesWithTheirTexts) {
  machine.AddDrive('F', platform::DriveType::Fixed, "Data Disk");
  machine.AddDrive('N', platform::DriveType::Remote, "share", "\\\\Server\\Mail");
  machine.AddDrive('R', platform::DriveType::Remote, "NoLink");
  machine.AddDrive('A', platform::DriveType::Removable, "FLOPPY");
  machine->SetVolumeLabel("C:\\", "System");
  std::vector<std::string> roots;
  BuildDriveList(context, roots);
  EXPECT_EQ(roots, (std::vector<std::string>{"C:\\", "F:\\", "N:\\", "R:\\"}));
  EXPECT_EQ(context.searchDrives, roots);
  EXPECT_EQ(DriveDisplayText(*machine, "C:\\"), "C:\\ - [SYSTEM]");
  EXPECT_EQ(DriveDisplayText(*machine, "f:\\"), "f:\\ - [data disk]");
  EXPECT_EQ(DriveDisplayText(*machine, "N:\\"), "N:\\ ~ \\\\SERVER\\MAIL");
  EXPECT_EQ(DriveDisplayText(*machine, "R:\\"), "R:\\ ~ [NOLINK]");
  EXPECT_EQ(DriveDisplayText(*machine, "D:\\"), "D:\\ Type UnKnown");
  SetSearchDrives(context, {"F:\\"});
  EXPECT_EQ(context.searchDrives, std::vector<std::string>{"F:\\"});
}

}  // namespace
}  // namespace nimbra::detect::testing
