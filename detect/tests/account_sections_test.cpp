// The account record and its sections of WS.INI.

#include "detect/account_sections.h"

#include "detect/address_mappings.h"
#include "detect/tests/detect_fixture.h"

namespace nimbra::detect::testing {
namespace {

DetectedAccount Account(const std::string& label, std::uint8_t type, const std::string& location) {
  DetectedAccount account;
  account.software = label;
  account.clientType = type;
  account.location = location;
  account.name = "Jo";
  account.address = "jo@example.net";
  account.pop3Server = "pop.example.net";
  account.pop3Port = "110";
  return account;
}

TEST(DetectedAccount, EveryTextFieldIsCutToItsCapacity) {
  const std::string longText(500, 'x');
  DetectedAccount a;
  EXPECT_TRUE(a.isClient);
  EXPECT_EQ(a.clientType, 0);
  a.location = longText;
  a.software = longText;
  a.name = longText;
  a.address = longText;
  a.pop3Server = longText;
  a.pop3Port = longText;
  a.persona = longText;
  a.smtpMapping = longText;
  EXPECT_EQ(a.location.size(), 254u);
  EXPECT_EQ(a.software.size(), 80u);
  EXPECT_EQ(a.name.size(), 60u);
  EXPECT_EQ(a.address.size(), 120u);
  EXPECT_EQ(a.pop3Server.size(), 80u);
  EXPECT_EQ(a.pop3Port.size(), 10u);
  EXPECT_EQ(a.persona.size(), 90u);
  EXPECT_EQ(a.smtpMapping.size(), 80u);
  // A value taken from a wider field is cut too.
  a.name = a.address;
  EXPECT_EQ(a.name.size(), 60u);
}

TEST(DetectedAccount, HostAndPortSplitAtTheFirstColon) {
  DetectedAccount a;
  a.smtpServer = "smtp.example:2525";
  SplitHostPort(a.smtpServer, a.smtpPort);
  EXPECT_EQ(a.smtpServer.str(), "smtp.example");
  EXPECT_EQ(a.smtpPort.str(), "2525");
  a.pop3Server = "pop.example";
  a.pop3Port = "995";
  SplitHostPort(a.pop3Server, a.pop3Port);
  EXPECT_EQ(a.pop3Server.str(), "pop.example");
  EXPECT_EQ(a.pop3Port.str(), "");
}

TEST(DetectedAddresses, SortedWithoutRegardToCaseEachOnce) {
  std::vector<std::string> list;
  for (const char* address :
       {"jo@b.example", "Al@a.example", "JO@B.EXAMPLE", "", "zed@c.example", "al@a.example"}) {
    AddDetectedAddress(list, address);
  }
  EXPECT_EQ(list, (std::vector<std::string>{"", "Al@a.example", "jo@b.example", "zed@c.example"}));
}

TEST_F(DetectTest, SectionKeysAreWrittenInOrderAndReadBack) {
  machine->ForceDirectories(kFolder);
  DetectedAccount a = Account("Eudora", client::kEudoraPersonality, "C:\\Eudora\\Eudora.ini");
  a.persona = "Persona-Work";
  a.imapServer = "imap.example.net";
  a.imapPort = "143";
  a.subClient = 3;
  ASSERT_TRUE(WriteAccountSection(*machine, kFolder, a, 1));
  // No SMTP server: the POP3 server takes its place, in the file and the record.
  EXPECT_EQ(a.smtpServer.str(), "pop.example.net");
  EXPECT_EQ(Section(1),
            "Software=Eudora|INIFile=C:\\Eudora\\Eudora.ini|Name=Jo|Reply_Add=jo@example.net|"
            "OrgPOP3=pop.example.net|OrgPOP3Port=110|OrgIMAP=imap.example.net|OrgIMAPPort=143|"
            "OrgSMTP=pop.example.net|OrgSMTPPort=|Persona=Persona-Work|DetectType=7|SubClient=3|"
            "Active=0");

  DetectedAccount server = Account("NetWork Server", client::kNetworkServer, "N/A");
  server.isClient = false;
  server.active = true;
  ASSERT_TRUE(WriteAccountSection(*machine, kFolder, server, 2));
  EXPECT_NE(Section(2).find("Active=1|IsClient=0"), std::string::npos) << Section(2);

  // Read back as stored; the Eudora file is gone, so the refresh keeps it.
  DetectedAccount read;
  ASSERT_TRUE(ReadAccountSection(context, kFolder, read, 1));
  EXPECT_EQ(read.clientType, client::kEudoraPersonality);
  EXPECT_EQ(read.persona.str(), "Persona-Work");
  EXPECT_EQ(read.subClient, 3);
  EXPECT_TRUE(read.isClient);
  EXPECT_EQ(read.smtpServer.str(), "pop.example.net");
  EXPECT_EQ(read.pop3Mapping.str(), "Not Mapped");
  EXPECT_EQ(read.imapMapping.str(), "Not Mapped");
  ASSERT_TRUE(ReadAccountSection(context, kFolder, read, 2));
  EXPECT_FALSE(read.isClient);
  EXPECT_FALSE(ReadAccountSection(context, kFolder, read, 3));
}

TEST_F(DetectTest, AnEmptySoftwareEndsTheSections) {
  machine.PutFile(std::string(kFolder) + "WS.INI",
                  "[UNINSTALL1]\r\nSoftware=Eudora\r\nName=Jo\r\n"
                  "[UNINSTALL2]\r\nSoftware=\r\nName=Gap\r\n"
                  "[UNINSTALL3]\r\nSoftware=Netscape Navigator\r\n");
  EXPECT_EQ(AccountSectionLabels(*machine, kFolder), std::vector<std::string>{"Eudora (Jo)"});
  DetectedAccount read;
  EXPECT_FALSE(ReadAccountSection(context, kFolder, read, 2));
}

TEST_F(DetectTest, AnAccountThatAlreadyUsesTheProxyIsNotWrittenAgain) {
  machine.PutFile(std::string(kFolder) + "WS.INI",
                  "[OUTMAPSERVER]\r\n127.0.2.1=pop.example.net\r\n127.0.1.1:110=smtp.x:2525\r\n"
                  "[INMAPSERVER]\r\npop.example.net=127.0.2.1\r\n");
  DetectedAccount a = Account("MS Internet Mail", client::kInternetMail, "k");
  a.pop3Server = "127.0.2.1";
  a.pop3Port.clear();
  EXPECT_FALSE(WriteAccountSection(*machine, kFolder, a, 1));
  a.pop3Server = "pop.example.net";
  a.smtpServer = "127.0.1.1";
  a.smtpPort = "110";
  EXPECT_FALSE(WriteAccountSection(*machine, kFolder, a, 1));
  EXPECT_EQ(Section(1), "");
  a.smtpPort = "25";  // 127.0.1.1:25 is no entry, nor 127.0.1.1 alone
  EXPECT_TRUE(WriteAccountSection(*machine, kFolder, a, 1));

  EXPECT_TRUE(IsProxyAddress(*machine, kFolder, "127.0.2.1", "110"));  // the server alone
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "INMAPSERVER", "POP.example.net", "110"), "127.0.2.1");
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "OUTMAPSERVER", "127.0.1.1", "110"), "smtp.x:2525");
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "INMAPSERVER", "other", ""), "Not Mapped");
}

TEST_F(DetectTest, MappingFieldsAndActiveFlagFollowTheMappings) {
  machine.PutFile(std::string(kFolder) + "WS.INI",
                  "[OUTMAPSERVER]\r\n127.0.2.1=pop.example.net\r\n"
                  "[INMAPSERVER]\r\nsmtp.example.net=127.0.2.2\r\n");
  machine.PutFile(machine->HostsFilePath(),
                  "127.0.0.1\tlocalhost\r\n127.0.3.1\tIMAP.example.net  #added by NimbraPost\r\n"
                  "# 127.0.3.2 other.example.net\r\n");
  DetectedAccount a;
  a.pop3Server = "127.0.2.1";
  a.smtpServer = "smtp.example.net";
  RefreshMappings(*machine, kFolder, a);
  EXPECT_EQ(a.pop3Mapping.str(), "pop.example.net");
  EXPECT_EQ(a.smtpMapping.str(), "127.0.2.2");
  EXPECT_EQ(a.imapMapping.str(), "");
  EXPECT_FALSE(a.active);  // SMTP, the last with a server, is not in the hosts file
  a.imapServer = "imap.example.net";
  RefreshMappings(*machine, kFolder, a);
  EXPECT_EQ(a.imapMapping.str(), "Not Mapped");
  EXPECT_TRUE(a.active);
  EXPECT_TRUE(IsNameInHosts(*machine, "localhost"));
  EXPECT_FALSE(IsNameInHosts(*machine, "other.example.net"));  // only in a comment
}

TEST(DuplicateAccounts, SameLocationExactlyAndSameType) {
  std::vector<DetectedAccount> saved = {Account("Eudora", 3, "C:\\Eudora\\Eudora.ini")};
  EXPECT_TRUE(IsDuplicateAccount(saved, Account("x", 3, "C:\\Eudora\\Eudora.ini")));
  EXPECT_FALSE(IsDuplicateAccount(saved, Account("x", 7, "C:\\Eudora\\Eudora.ini")));
  EXPECT_FALSE(IsDuplicateAccount(saved, Account("x", 3, "C:\\EUDORA\\Eudora.ini")));
}

}  // namespace
}  // namespace nimbra::detect::testing
