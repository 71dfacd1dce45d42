#include <gtest/gtest.h>

#include "keys/text_seal.h"
#include "platform/profile/profile_file.h"
#include "setup/answer_ui.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "testsupport/test_machine.h"
#include "ui/event_log.h"

namespace nimbra::setup {
namespace {

class ConfigFilesTest : public ::testing::Test {
 public:
  ConfigFilesTest() {
    m.AddDrive('D', platform::DriveType::CdRom, "NIMBRA40");
    m.PutFile("D:\\Script.txt",
              "[PRODUCT]\r\nRunType=1\r\n[Static-MX]\r\nexample.com=mx.example.com\r\n"
              "noequals\r\n[Static-A]\r\nmx.example.com=192.0.2.7\r\n");
  }

  void NewWizard(int type, const std::string& answers = "") {
    wizard.reset();
    ui = std::make_unique<AnswerFileUi>(answers);
    ui->SetLog(&log);
    wizard = std::make_unique<TSetupForm>(*ui, *m, "D:\\");
    wizard->Settings().InstallType = type;
    ui::Form& f = wizard->Form();
    f.At("SoftwareLocation").text = "C:\\Prog\\";
    f.At("DataLocation").text = "C:\\Data\\";
    f.At("SharedDataLocation").text = "C:\\Shared\\";
    f.At("UserName").text = "jane";
    f.At("NewPass").text = "secret";
    f.At("PrimeEmail").text = "jane@example.com";
    f.At("GroupName").text = "Example Ltd";
    f.At("DNS1").text = "192.0.2.53";
    wizard->MakeLocations();
  }

  platform::ProfileFile Ini(const char* path) { return platform::ProfileFile(*m->HostPath(path)); }

  testsupport::TestMachine m;
  ui::EventLog log;
  std::unique_ptr<AnswerFileUi> ui;
  std::unique_ptr<TSetupForm> wizard;
};

TEST_F(ConfigFilesTest, TypeOneWritesTheBaseFileAndAUsersFileWithSealedEntries) {
  NewWizard(1);
  wizard->CreateBaseFile();
  auto ws = Ini("C:\\Prog\\WS.INI");
  EXPECT_EQ(ws.KeyNames("WORKSTATION"),
            (std::vector<std::string>{"INSTALLED", "NoofClients", "DefaultUser", "SMTP", "POP3",
                                      "IMAP", "EnableSMTP", "SMTPGateway", "EnablePOP3",
                                      "EnableIMAP", "MSGFOLDER", "COMMTYPE", "SHARE", "TRAYMENU",
                                      "HELP", "UsersFile", "SecondUsers"}));
  EXPECT_EQ(ws.ReadString("WORKSTATION", "UsersFile", ""), "C:\\Data\\Users.ini");
  EXPECT_EQ(ws.ReadString("WORKSTATION", "MSGFOLDER", ""), "C:\\Prog\\Messages\\");
  EXPECT_EQ(ws.ReadString("WORKSTATION", "HELP", ""), "Help.hlp");
  EXPECT_EQ(ws.ReadString("WORKSTATION", "SMTP", ""), "25");
  EXPECT_EQ(ws.ReadString("GOODROUTE", "SENDER", ""), "jane@example.com");
  EXPECT_EQ(ws.ReadString("Defaults", "Organisation", ""), "Example Ltd");
  EXPECT_EQ(ws.ReadString("ACCESS ALLOWED", "127.0.1.0:255.255.255.0", ""), "ALLOW");
  EXPECT_FALSE(ws.SectionExists("NMGR"));
  EXPECT_FALSE(ws.SectionExists("KeyServer"));
  EXPECT_EQ(wizard->Settings().UserNameSaved, "jane");

  auto users = Ini("C:\\Data\\Users.ini");
  EXPECT_EQ(users.KeyNames("Users"), (std::vector<std::string>{"Administrator", "jane"}));
  EXPECT_FALSE(users.SectionExists("NBService"));
  const std::string entry = users.ReadString("Users", "jane", "");
  EXPECT_EQ(users.ReadString("Users", "Administrator", ""), entry);
  const auto open = keys::UnsealText(entry, keys::Sha1Hex("secret"));
  ASSERT_TRUE(open);
  const std::string text(open->Text());
  EXPECT_EQ(text.substr(0, 40), keys::Sha1Hex("secret"));
  EXPECT_EQ(text.size(), 80u);  // and the 40-digit database password
  EXPECT_EQ(keys::UnsealSettingText(users.ReadString("jane", "USERLEVEL", "")), "65535jane");
  EXPECT_EQ(users.ReadString("Default", "DefaultEmail", ""), "jane@example.com");
  EXPECT_EQ(users.KeyNames("GROUPFILES").size(), 3u);
}

TEST_F(ConfigFilesTest, ServiceTypesAddTheServiceUserAndServerTypesHaveNoUsersFile) {
  NewWizard(4);
  wizard->Settings().HelpFile = "help.hlp";
  wizard->Settings().KeyServer1 = "keys.example.com";
  wizard->CreateBaseFile();
  auto ws = Ini("C:\\Prog\\WS.INI");
  EXPECT_FALSE(ws.ValueExists("WORKSTATION", "HELP"));
  EXPECT_FALSE(ws.SectionExists("ACCESS ALLOWED"));
  EXPECT_EQ(ws.KeyNames("KeyServer"), std::vector<std::string>{"Server1"});
  auto users = Ini("C:\\Data\\Users.ini");
  const auto service = keys::UnsealText(users.ReadString("Users", "NBService", ""),
                                        keys::Sha1Hex(keys::kNilPassphrase));
  EXPECT_TRUE(service);
  EXPECT_EQ(users.ReadString("NBService", "HIDEPROG", ""), "1");
  EXPECT_EQ(keys::UnsealSettingText(users.ReadString("NBService", "USERLEVEL", "")),
            "000NBService");

  for (int type : {5, 8}) {
    m->DeleteFile("C:\\Data\\Users.ini");
    NewWizard(type);
    wizard->CreateBaseFile();
    EXPECT_FALSE(m->FileExists("C:\\Data\\Users.ini")) << type;
    EXPECT_EQ(Ini("C:\\Prog\\WS.INI").ReadString("NMGR", "AdminView", ""), type == 8 ? "1" : "")
        << type;
  }
}

TEST_F(ConfigFilesTest, NoToTheOverwriteQuestionKeepsEveryDataFileYesErasesThem) {
  m.PutFile("C:\\Data\\Users.ini", "[Users]\r\nold=entry\r\n");
  m.PutFile("C:\\Data\\MYKEYS.DAT", "keys");
  m.PutFile("C:\\Data\\Sub\\kept.txt", "sub");
  NewWizard(1, "[Answers]\r\nOverwriteDataFiles=No\r\n");
  wizard->CreateBaseFile();
  EXPECT_EQ(m.ReadFile("C:\\Data\\Users.ini"), "[Users]\r\nold=entry\r\n");
  EXPECT_EQ(m.ReadFile("C:\\Data\\MYKEYS.DAT"), "keys");

  NewWizard(1, "[Answers]\r\nOverwriteDataFiles=Yes\r\n");
  wizard->CreateBaseFile();
  EXPECT_FALSE(m->FileExists("C:\\Data\\MYKEYS.DAT"));
  EXPECT_TRUE(m->FileExists("C:\\Data\\Sub\\kept.txt"));
  EXPECT_FALSE(Ini("C:\\Data\\Users.ini").ValueExists("Users", "old"));
  EXPECT_TRUE(Ini("C:\\Data\\Users.ini").ValueExists("Users", "jane"));
}

TEST_F(ConfigFilesTest, SaveDefaultsAddsThePolicyTheRuleAndTheStaticDnsEntries) {
  NewWizard(1);
  wizard->CreateBaseFile();
  wizard->saveinstalldir();
  wizard->RenewKeyManager().LoadGeneralSettings();
  ASSERT_EQ(wizard->KeyManager().UsersFile(), "C:\\Data\\Users.ini");
  wizard->SaveDefaults();
  auto users = Ini("C:\\Data\\Users.ini");
  EXPECT_EQ(users.ReadString("POLICY:Default", "KeyHeaders", ""), "1");
  EXPECT_EQ(users.ReadString("MAILRULE:*@*", "RuleName", ""), "CTL Content");
  EXPECT_EQ(users.ReadString("MAILRULE:*@*", "TimeStamp", "").size(), 8u);
  // The store's writes are journaled like every other.
  bool journaled = false;
  for (const auto& line : wizard->Install().Journal().Lines()) {
    journaled |=
        line.find("\tMAILRULE:*@*\tOutPolicy\tDefaultOUT.csp\tabsent") != std::string::npos;
  }
  EXPECT_TRUE(journaled);

  // An upgrade from sequence 04.00.00 on adds no rule.
  m->DeleteFile("C:\\Data\\Users.ini");
  NewWizard(1);
  wizard->Settings().PreviousSequence = "04.00.00";
  wizard->CreateBaseFile();
  wizard->RenewKeyManager().LoadGeneralSettings();
  wizard->SaveDefaults();
  EXPECT_FALSE(Ini("C:\\Data\\Users.ini").SectionExists("MAILRULE:*@*"));
  EXPECT_TRUE(Ini("C:\\Data\\Users.ini").SectionExists("POLICY:Default"));

  auto dns = Ini("C:\\Prog\\local.dns");
  EXPECT_EQ(dns.SectionValues("STATIC-MX"), std::vector<std::string>{"example.com=mx.example.com"});
  EXPECT_EQ(dns.SectionValues("STATIC-A"), std::vector<std::string>{"mx.example.com=192.0.2.7"});
}

TEST_F(ConfigFilesTest, AnOlderUsersFileIsConvertedToFormatFour) {
  m.PutFile("C:\\Data\\Users.ini",
            "[FileVersion]\r\nFormat=3\r\n[Users]\r\nbob=entry\r\n"
            "[bob]\r\nMYKEYS=a\r\nPEOPLE=b\r\nPOLICY=Default\r\n");
  NewWizard(5);  // no users file of its own
  wizard->CreateBaseFile();
  m.PutFile("C:\\Prog\\WS.INI", "[WORKSTATION]\r\nUsersFile=C:\\Data\\Users.ini\r\n");
  wizard->saveinstalldir();
  wizard->RenewKeyManager().LoadGeneralSettings();
  ASSERT_EQ(wizard->KeyManager().UsersFile(), "C:\\Data\\Users.ini");
  wizard->FormatUsersFile();
  auto users = Ini("C:\\Data\\Users.ini");
  EXPECT_EQ(users.ReadString("FileVersion", "Format", ""), "4");
  EXPECT_EQ(users.ReadString("FileVersion", "Name", ""), "Personal");
  EXPECT_EQ(users.KeyNames("bob"), (std::vector<std::string>{"POLICY", "USERLEVEL"}));
  EXPECT_EQ(keys::UnsealSettingText(users.ReadString("bob", "USERLEVEL", "")), "65535bob");
  // A second conversion finds format 4 and changes nothing.
  const std::string once = m.ReadFile("C:\\Data\\Users.ini");
  wizard->FormatUsersFile();
  EXPECT_EQ(m.ReadFile("C:\\Data\\Users.ini"), once);
}

}  // namespace
}  // namespace nimbra::setup
