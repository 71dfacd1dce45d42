#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <memory>

#include "detect/mailbox_install.h"
#include "detect/mailbox_library.h"
#include "detect/mailbox_reader.h"
#include "detect/tests/detect_fixture.h"
#include "platform/processes/library.h"

namespace nimbra::detect::testing {
namespace {

constexpr const char* kCalypso = "C:\\Users\\jo\\Mail\\Inbox.box";
constexpr const char* kEmail2000 = "C:\\Data\\Work.e2k";
constexpr const char* kCalypsoLabel = "MCS Dallas Calypso ";
constexpr const char* kEmail2000Label = "Halvern Technology EMail 2000";

class MailboxTest : public DetectTest {
 public:
  MailboxTest() : loader(*machine, "D:\\SETUP"), reader(context, loader) {
    RegisterMailboxLibrary(loader, *machine);
    context.mailboxes = &reader;
  }

  // A Calypso mailbox of two accounts and an Email 2000 one with the
  // default ports, each with its program's library.
  void PutFixture() {
    CreateMailbox(
        *machine, kCalypso, "calypso-pw",
        {{"Jo Example", "jo@a.example", "reply@a.example", "pop.a.example", 995, "smtp.a.example",
          587},
         {"Jo Second", "second@b.example", "", "pop.b.example", 110, "smtp.b.example", 25}});
    InstallMailboxLibrary(*machine, kCalypso, "C:\\Program Files\\Calypso");
    CreateMailbox(*machine, kEmail2000, "e2k-pw",
                  {{"Al Work", "al@c.example", "", "pop.c.example", 110, "smtp.c.example", 25}});
    InstallMailboxLibrary(*machine, kEmail2000, "C:\\Program Files\\Email 2000");
  }

  platform::LibraryLoader loader;
  LibraryMailboxReader reader;
};

TEST_F(MailboxTest, ReadsEveryAccountOfCalypsoAndEmail2000Mailboxes) {
  PutFixture();
  ui.inputs = {"calypso-pw", "e2k-pw", "calypso-pw"};
  const auto saved = Search();
  ASSERT_EQ(saved.size(), 3u);
  // WS.INI keeps the label without its final blank; the reader gives it.
  EXPECT_EQ(saved[0].software.str(), "MCS Dallas Calypso");
  std::vector<DetectedAccount> read;
  reader.ReadMailbox(kCalypso, read);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].software.str(), kCalypsoLabel);
  EXPECT_EQ(saved[0].clientType, client::kMailbox);
  EXPECT_EQ(saved[0].location.str(), kCalypso);
  EXPECT_EQ(saved[0].name.str(), "Jo Example");
  EXPECT_EQ(saved[0].address.str(), "reply@a.example");
  EXPECT_EQ(saved[0].pop3Server.str(), "pop.a.example");
  EXPECT_EQ(saved[0].pop3Port.str(), "995");
  EXPECT_EQ(saved[0].smtpServer.str(), "smtp.a.example");
  EXPECT_EQ(saved[0].smtpPort.str(), "587");
  EXPECT_EQ(saved[0].subClient, 0);
  EXPECT_EQ(saved[0].persona.str(), "calypso-pw");
  EXPECT_EQ(saved[1].name.str(), "Jo Second");
  EXPECT_EQ(saved[1].address.str(), "second@b.example");  // no reply address
  EXPECT_EQ(saved[1].pop3Port.str(), "");
  EXPECT_EQ(saved[1].smtpPort.str(), "");
  EXPECT_EQ(saved[1].subClient, 1);
  EXPECT_EQ(saved[2].software.str(), kEmail2000Label);
  EXPECT_EQ(saved[2].location.str(), kEmail2000);
  EXPECT_EQ(saved[2].pop3Server.str(), "pop.c.example");
  EXPECT_EQ(saved[2].pop3Port.str(), "");
  EXPECT_EQ(saved[2].smtpPort.str(), "");
  EXPECT_EQ(saved[2].subClient, 0);
  EXPECT_EQ(saved[2].persona.str(), "e2k-pw");

  ASSERT_EQ(ui.asked.size(), 3u);
  EXPECT_EQ(ui.asked[0].question.caption, "Enter Password for MCS Dallas Calypso  MailBox ");
  EXPECT_EQ(ui.asked[0].question.text, "MCS Dallas Calypso  MailBox : Inbox");
  EXPECT_EQ(ui.asked[0].initial, "");
  EXPECT_EQ(ui.asked[1].question.caption,
            "Enter Password for Halvern Technology EMail 2000 MailBox ");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MailboxTest, AWrongPasswordIsReportedOnceAndAskedAgainWithTheLastEntry) {
  PutFixture();
  ui.inputs = {"wrong", "calypso-pw", std::nullopt};
  const auto saved = Search();
  ASSERT_EQ(saved.size(), 2u);  // Email 2000 cancelled
  EXPECT_EQ(saved[0].persona.str(), "calypso-pw");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "The MCS Dallas Calypso  Password for Inbox was incorrect");
  ASSERT_EQ(ui.asked.size(), 3u);
  EXPECT_EQ(ui.asked[1].initial, "wrong");
}

TEST_F(MailboxTest, NothingIsAskedOrFoundWithoutALibraryOrWhenTheFirstOpenIsNot3) {
  // The fixed password opens this one (0), and the other is no mailbox (5).
  CreateMailbox(*machine, kCalypso, "NILPAS3wkqHZ", {{"A", "a@x", "", "p", 110, "s", 25}});
  InstallMailboxLibrary(*machine, kCalypso, "C:\\Program Files\\Calypso");
  machine->WriteFile("C:\\Users\\jo\\Mail\\Broken.box", "not a mailbox");
  // An Email 2000 mailbox whose program has no library.
  CreateMailbox(*machine, kEmail2000, "e2k-pw", {{"A", "a@x", "", "p", 110, "s", 25}});
  ui.inputs = {"anything", "anything"};
  EXPECT_TRUE(Search().empty());
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(loader.LoadCount(1), 0);
}

TEST_F(MailboxTest, ALibraryLackingAnExportIsSkippedSilently) {
  PutFixture();
  loader.RegisterStandIn("MailDB32.dll", [](const platform::LoadedFile&) {
    auto partial = std::make_unique<platform::LibraryStandIn>();
    partial->Export("CalyXXOpen",
                    [](const char*, const char*, std::uint32_t*) { return std::uint16_t{3}; });
    return partial;
  });
  ui.inputs = {"calypso-pw", "e2k-pw"};
  EXPECT_TRUE(Search().empty());
  EXPECT_TRUE(ui.asked.empty());
}

TEST_F(MailboxTest, CancelSkipsTheMailbox) {
  PutFixture();
  ui.inputs = {std::nullopt, "e2k-pw"};
  const auto saved = Search();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].software.str(), kEmail2000Label);
}

// Another process holds the Calypso mailbox open until the search is over.
TEST_F(MailboxTest, AMailboxHeldOpenByAnotherProcessIsReportedAsLocked) {
  PutFixture();
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(release[1]);
    MailboxLibrary library(*machine);
    std::uint32_t handle = 0;
    const auto* open = library.Find("CalyXXOpen")->As<CalyXXOpenFn>();
    const char status = (*open)(kCalypso, "calypso-pw", &handle) == kMailboxOk ? 'y' : 'n';
    (void)!write(ready[1], &status, 1);
    char byte;
    (void)!read(release[0], &byte, 1);
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char status = 0;
  ASSERT_EQ(read(ready[0], &status, 1), 1);
  ASSERT_EQ(status, 'y');
  ui.inputs = {"calypso-pw", std::nullopt, "e2k-pw"};
  const auto saved = Search();
  close(release[1]);
  int exit = 0;
  waitpid(child, &exit, 0);
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].software.str(), kEmail2000Label);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "The MCS Dallas Calypso  MailBox Inbox can not be openned. Make sure Calypso is not "
            "running");
}

TEST_F(MailboxTest, RefreshTakesTheAccountAtTheSavedPosition) {
  PutFixture();
  DetectedAccount account;
  account.clientType = client::kMailbox;
  account.location = kCalypso;
  account.subClient = 1;
  account.name = "old";
  account.pop3Mapping = "127.0.2.1";
  ui.inputs = {"calypso-pw"};
  reader.Refresh(account);
  EXPECT_EQ(account.name.str(), "Jo Second");
  EXPECT_EQ(account.smtpServer.str(), "smtp.b.example");
  EXPECT_EQ(account.persona.str(), "calypso-pw");
  EXPECT_EQ(account.pop3Mapping.str(), "127.0.2.1");
  account.subClient = 5;  // no longer in the mailbox: the saved values stay
  ui.inputs.push_back("calypso-pw");
  reader.Refresh(account);
  EXPECT_EQ(account.name.str(), "Jo Second");
}

// What a writer does: enumerate to the account, replace the text behind its
// POP3 address and its port, write it back; the file keeps the change.
TEST_F(MailboxTest, AnAccountWrittenBackThroughItsTextAddressesIsKept) {
  PutFixture();
  const auto module = loader.LoadLibrary("C:\\Program Files\\Calypso\\MailDB32.dll");
  ASSERT_NE(module, 0u);
  auto open = loader.GetProc<CalyXXOpenFn>(module, "CalyXXOpen");
  auto enumerate = loader.GetProc<CalyXXAcctEnumFn>(module, "CalyXXAcctEnum");
  auto write = loader.GetProc<CalyXXAcctWriteFn>(module, "CalyXXAcctWrite");
  auto closeMailbox = loader.GetProc<CalyXXCloseFn>(module, "CalyXXClose");
  MailboxLibrary* library = loader.StandInAs<MailboxLibrary>(module);
  ASSERT_TRUE(library);
  std::uint32_t handle = 0;
  ASSERT_EQ(open(kCalypso, "calypso-pw", &handle), kMailboxOk);
  std::uint32_t second = 0;
  EXPECT_EQ(open(kCalypso, "calypso-pw", &second), kMailboxLocked);
  std::array<std::uint8_t, kMailboxRecordSize> record{};
  std::uint32_t index = 0;
  ASSERT_EQ(enumerate(handle, &index, record.data()), kMailboxOk);
  ASSERT_EQ(enumerate(handle, &index, record.data()), kMailboxOk);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(enumerate(handle, &index, record.data()), kMailboxNoAccount);
  const std::uint32_t pop3 = RecordField(record.data(), record::kPop3Server);
  EXPECT_EQ(library->Text(handle, pop3), "pop.b.example");
  ASSERT_TRUE(library->SetText(handle, pop3, "127.0.2.1, a longer text than before"));
  SetRecordField(record.data(), record::kPop3Port, 2110);
  EXPECT_EQ(write(handle, index, record.data()), kMailboxOk);
  // A record naming no text of the handle is refused, and changes nothing.
  SetRecordField(record.data(), record::kSmtpServer, 0x1234);
  EXPECT_EQ(write(handle, index, record.data()), kMailboxBadRecord);
  EXPECT_EQ(closeMailbox(handle), kMailboxOk);
  EXPECT_FALSE(library->Text(handle, pop3));
  loader.FreeLibrary(module);

  ui.inputs = {"calypso-pw"};
  const auto saved = Search();
  ASSERT_GE(saved.size(), 2u);
  EXPECT_EQ(saved[0].pop3Server.str(), "pop.a.example");
  EXPECT_EQ(saved[1].pop3Server.str(), "127.0.2.1, a longer text than before");
  EXPECT_EQ(saved[1].pop3Port.str(), "2110");
  EXPECT_EQ(saved[1].smtpServer.str(), "smtp.b.example");
}

TEST(MailboxFileTest, RoundTripsTextsAndRefusesDamagedFiles) {
  MailboxContents contents = NewMailbox("pw", {{"a|b%c\r\n", "x@y", "", "pop", 1, "smtp", 65535}});
  const std::string bytes = FormatMailboxFile(contents);
  const MailboxContents read = ParseMailboxFile(bytes);
  ASSERT_EQ(read.accounts.size(), 1u);
  EXPECT_EQ(read.accounts[0].name, "a|b%c\r\n");
  EXPECT_EQ(read.accounts[0].smtpPort, 65535u);
  EXPECT_TRUE(PasswordMatches(read, "pw"));
  EXPECT_FALSE(PasswordMatches(read, "pW"));
  EXPECT_EQ(bytes.find("pw"), std::string::npos);

  const std::string head = bytes.substr(0, bytes.find("Account="));
  for (const std::string& bad :
       {std::string(), std::string("NimbraPost mailbox 2\r\n"), head.substr(0, 30),
        head + "Account=a|b|c|d|110|f\r\n", head + "Account=a|b|c|d|70000|f|25\r\n",
        head + "Account=a%0|b|c|d|110|f|25\r\n", head + "Account=a%00|b|c|d|110|f|25\r\n",
        head + "Other=1\r\n"}) {
    EXPECT_THROW(ParseMailboxFile(bad), EMailboxFile) << bad;
  }
  EXPECT_THROW(ParseAccountSpec("a|b|c|d|110|f"), EMailboxFile);
  EXPECT_EQ(ParseAccountSpec("a|b||d|110|f|25").reply, "");
}

}  // namespace
}  // namespace nimbra::detect::testing
