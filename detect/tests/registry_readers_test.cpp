// The readers of the e-mail programs that keep their accounts in the registry.

#include "detect/registry_readers.h"

#include "detect/registry_values.h"
#include "detect/tests/detect_fixture.h"
#include "testsupport/temp_folder.h"

namespace nimbra::detect::testing {
namespace {

const std::string kNavigator = "Software\\Netscape\\Netscape Navigator\\";
const std::string kAccounts = "Software\\Microsoft\\Internet Account Manager\\Accounts\\";

class RegistryReaderTest : public DetectTest {
 public:
  std::vector<DetectedAccount> found;
};

TEST_F(RegistryReaderTest, NavigatorFallsBackToTheUserAddressAndSplitsServers) {
  auto user = UserKey(kNavigator + "User");
  user.WriteString("Reply_To", "");
  user.WriteString("User_Addr", "jo@example.net");
  user.WriteString("User_Name", "Jo");
  auto services = UserKey(kNavigator + "Services");
  services.WriteString("SMTP_Server", "smtp.example:2525");
  services.WriteString("POP_Server", "pop.example");
  SearchNavigator(context, found);
  ASSERT_EQ(found.size(), 1u);
  const DetectedAccount& a = found[0];
  EXPECT_EQ(a.clientType, client::kNavigator);
  EXPECT_EQ(a.software.str(), "Netscape Navigator");
  EXPECT_EQ(a.location.str(), "");
  EXPECT_EQ(a.address.str(), "jo@example.net");
  EXPECT_EQ(a.name.str(), "Jo");
  EXPECT_EQ(a.smtpServer.str(), "smtp.example");
  EXPECT_EQ(a.smtpPort.str(), "2525");
  EXPECT_EQ(a.pop3Server.str(), "pop.example");
  EXPECT_EQ(a.pop3Port.str(), "");

  // Refresh splits the same way, and keeps type and label.
  DetectedAccount saved;
  saved.clientType = client::kNavigator;
  saved.software = "Netscape Navigator";
  saved.smtpServer = "old";
  RefreshNavigator(context, saved);
  EXPECT_EQ(saved.smtpServer.str(), "smtp.example");
  EXPECT_EQ(saved.smtpPort.str(), "2525");
  EXPECT_EQ(saved.software.str(), "Netscape Navigator");

  // Without a POP3 server nothing is kept.
  services.WriteString("POP_Server", "");
  found.clear();
  SearchNavigator(context, found);
  EXPECT_TRUE(found.empty());
  // A value of another kind ends the reader with an error.
  services.WriteInteger("POP_Server", 5);
  EXPECT_THROW(SearchNavigator(context, found), platform::ERegistryException);
}

TEST_F(RegistryReaderTest, InternetMailNeedsOneServer) {
  const std::string key = "Software\\Microsoft\\Internet Mail and News\\Mail";
  SearchInternetMail(context, found);
  EXPECT_TRUE(found.empty());  // no key
  auto mail = UserKey(key);
  mail.WriteString("Sender EMail", "jo@example.net");
  mail.WriteString("Sender Name", "Jo");
  SearchInternetMail(context, found);
  EXPECT_TRUE(found.empty());  // no server
  mail.WriteString("Default SMTP Server", "smtp.example.net");
  SearchInternetMail(context, found);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].clientType, client::kInternetMail);
  EXPECT_EQ(found[0].software.str(), "MS Internet Mail");
  EXPECT_EQ(found[0].location.str(), key + "\\");
  EXPECT_EQ(found[0].address.str(), "jo@example.net");
  EXPECT_EQ(found[0].pop3Server.str(), "");
}

TEST_F(RegistryReaderTest, ExchangeProfilesWithoutSmtpServerUseTheirPop3Server) {
  const std::string profiles =
      "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\MS Exchange Settings\\";
  auto first = UserKey(profiles + "a1");
  first.WriteString("001e6605", "jo@example.net");
  first.WriteString("001e6607", "Jo");
  first.WriteString("001e6600", "pop.example.net");
  auto second = UserKey(profiles + "B2");
  second.WriteString("001e6605", "al@example.org");
  second.WriteString("001e6600", "pop.example.org");
  second.WriteString("001e6611", "smtp.example.org");
  UserKey(profiles + "c3").WriteString("001e6605", "no@server.example");  // no POP3: dropped
  auto broken = UserKey(profiles + "d4");
  broken.WriteString("001e6605", "x@example.com");
  broken.WriteInteger("001e6600", 1);  // another kind: this candidate only is dropped
  SearchExchange(context, found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].location.str(), profiles + "a1\\");
  EXPECT_EQ(found[0].smtpServer.str(), "pop.example.net");
  EXPECT_EQ(found[0].software.str(), "Microsoft Exchange Client");
  EXPECT_EQ(found[0].clientType, client::kExchange);
  EXPECT_EQ(found[1].location.str(), profiles + "B2\\");
  EXPECT_EQ(found[1].smtpServer.str(), "smtp.example.org");
  EXPECT_GE(ui.pumps, 4);  // before each candidate
}

TEST_F(RegistryReaderTest, OutlookLabelsAndKeepRule) {
  auto named = UserKey(kAccounts + "00000002");
  named.WriteString("Account Name", "Work");
  named.WriteString("SMTP Email Address", "jo@work.example");
  named.WriteString("SMTP Server", "smtp.work.example");
  named.WriteInteger("SMTP Port", 587);
  named.WriteString("IMAP Server", "imap.work.example");
  named.WriteString("POP3 Port", "110");  // a string where an integer belongs: empty
  auto unnamed = UserKey(kAccounts + "00000001");
  unnamed.WriteString("SMTP Reply To Email Address", "jo@example.net");
  unnamed.WriteString("SMTP Email Address", "ignored@example.net");
  unnamed.WriteString("SMTP Display Name", "Jo");
  unnamed.WriteString("SMTP Server", "smtp.example.net");
  unnamed.WriteString("POP3 Server", "pop.example.net");
  unnamed.WriteInteger("POP3 Port", 110);
  auto msn = UserKey(kAccounts + "00000003");
  msn.WriteString("Account Name", "MSN Mail");
  msn.WriteString("SMTP Email Address", "jo@msn.com");
  msn.WriteString("SMTP Server", "mail.msn.com");
  msn.WriteString("POP3 Server", "pop3.email.msn.com");
  auto smtpOnly = UserKey(kAccounts + "00000004");
  smtpOnly.WriteString("SMTP Email Address", "only@example.net");
  smtpOnly.WriteString("SMTP Server", "smtp.example.net");
  SearchOutlook(context, found);
  ASSERT_EQ(found.size(), 3u);
  const DetectedAccount& first = found[0];
  EXPECT_EQ(first.location.str(), "\\" + kAccounts + "00000001\\");
  EXPECT_EQ(first.software.str(), "Microsoft Outlook Client (00000001)");
  EXPECT_EQ(first.address.str(), "jo@example.net");
  EXPECT_EQ(first.name.str(), "Jo");
  EXPECT_EQ(first.pop3Port.str(), "110");
  EXPECT_EQ(first.clientType, client::kOutlook);
  const DetectedAccount& work = found[1];
  EXPECT_EQ(work.software.str(), "MS Outlook Express/Outlook 98 Client (Work)");
  EXPECT_EQ(work.name.str(), "Work");
  EXPECT_EQ(work.smtpPort.str(), "587");
  EXPECT_EQ(work.pop3Port.str(), "");
  EXPECT_EQ(work.imapServer.str(), "imap.work.example");
  EXPECT_EQ(found[2].software.str(), "MSN POP3 Outlook Client (MSN Mail)");

  // The candidates are kept beside the setup program, one a line.
  EXPECT_EQ(machine.ReadFile("D:\\SETUP\\Dump.txt"),
            "\\" + kAccounts + "00000001\\\r\n\\" + kAccounts + "00000002\\\r\n\\" + kAccounts +
                "00000003\\\r\n\\" + kAccounts + "00000004\\\r\n");

  // Refresh re-reads the saved key.
  DetectedAccount saved;
  saved.clientType = client::kOutlook;
  saved.location = work.location;
  saved.persona = "kept";
  named.WriteString("SMTP Server", "smtp2.work.example");
  RefreshOutlook(context, saved);
  EXPECT_EQ(saved.smtpServer.str(), "smtp2.work.example");
  EXPECT_EQ(saved.persona.str(), "kept");
}

TEST_F(RegistryReaderTest, OutlookGoesOnWithoutADumpWhereTheSetupFolderCannotBeWritten) {
  context.setupDir = "Q:\\NOWHERE\\";
  auto account = UserKey(kAccounts + "00000001");
  account.WriteString("SMTP Email Address", "jo@example.net");
  account.WriteString("SMTP Server", "smtp.example.net");
  account.WriteString("POP3 Server", "pop.example.net");
  SearchOutlook(context, found);
  EXPECT_EQ(found.size(), 1u);
}

TEST_F(RegistryReaderTest, ValueSearchListsKeysWithAStringHoldingTheMarker) {
  UserKey("Software\\b\\Inner").WriteString("Mail", "a@b");
  UserKey("Software\\A").WriteString("x", "c@d");
  UserKey("Software\\A").WriteString("y", "e@f");  // one key is listed once
  UserKey("Software\\bin").WriteBinary("Mail", {'a', '@', 'b', 0});
  UserKey("Software\\plain").WriteString("Mail", "no marker");
  // Links back up the tree are not walked again (two of them would make the
  // walk grow without end).
  for (const char* name : {"Loop1", "Loop2"}) {
    std::vector<std::uint8_t> target;
    for (char c : std::string_view("\\Registry\\User\\S-1-5-21-0-0-0-1000\\Software\\b")) {
      target.insert(target.end(), {static_cast<std::uint8_t>(c), 0});
    }
    UserKey(std::string("Software\\b\\") + name)
        .WriteRaw("SymbolicLinkValue", {platform::RegType::Link, target});
  }
  machine->Save();
  const auto hive = machine.Root() / "user.reg";
  std::string text = testsupport::ReadText(hive);
  for (const char* name : {"Loop1", "Loop2"}) {
    const auto at =
        text.find("\n", text.find("#time=", text.find(std::string("[Software\\\\b\\\\") + name)));
    text.insert(at + 1, "#link\n");
  }
  testsupport::WriteText(hive, text);
  ASSERT_TRUE(
      machine->Reg().KeyExists(platform::RootKey::CurrentUser, "Software\\b\\Loop1\\Inner"));
  std::vector<std::string> keys;
  FindKeysWithValue(*machine, "Software\\", keys, "@");
  EXPECT_EQ(keys, (std::vector<std::string>{"Software\\A\\", "Software\\b\\Inner\\"}));
  EXPECT_EQ(NormalizeKeyPath("\\Software\\X\\"), "Software\\X");
  EXPECT_EQ(NormalizeKeyPath("\\"), "");
  EXPECT_EQ(NormalizeKeyPath("\\\\"), "\\");  // a single "\" is left as it is
}

}  // namespace
}  // namespace nimbra::detect::testing
