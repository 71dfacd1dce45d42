#include "netconfig/gateway_report.h"
#include "netconfig/tests/netconfig_fixture.h"

namespace nimbra::netconfig::testing {
namespace {

using Lines = std::vector<std::string>;

class WritersTest : public ServerPagesTest {
 public:
  WritersTest() {
    Text("PrimeEmail") = "admin@example.com";
    Text("GroupName") = "Example Ltd";
    Text("DNS1") = "192.0.2.53";
    Text("DNS2") = "";
    settings.TrayMenu = "7";
  }
  void Gateway(int relay) {
    SetList("NBR_IPList", {"192.0.2.1", "192.0.2.2"});
    SetList("SendIP", {"10.0.0.5", "10.0.0.6", "10.0.0.7"});
    Text("InternalIP") = "10.0.0.25";
    Text("InternalPort") = "25";
    Text("RelayIP") = "192.0.2.99";
    Text("RelayPort") = "2525";
    form->At("RelayType").itemIndex = relay;
    pages->TabSheet36Enter();
  }
  MachineSink sink{*machine};
};

TEST_F(WritersTest, NetworkServerRoutesEachEnabledProtocol) {
  settings.InstallType = 7;
  settings.ProductType = "NimbraPost Canopy";
  settings.KeyServer1 = "keys.example.com";
  Text("RegName") = "Example Ltd";
  Text("RegAddress") = "admin@example.com";
  Text("NetSMTP") = "mail.example.com";
  Text("NbrPOP3") = "192.0.2.7";
  Text("NetPOP3") = "pop.example.com";
  form->SetChecked("IMAP", false);
  EXPECT_TRUE(NetworkComms(context, sink));
  EXPECT_EQ(
      Section("UNINSTALL1"),
      (Lines{"Software=NetWork Server", "INIFile=N/A", "Name=Example Ltd",
             "Reply_Add=admin@example.com", "OrgPOP3=pop.example.com", "OrgPOP3Port=110",
             "OrgIMAP=localhost", "OrgIMAPPort=143", "OrgSMTP=mail.example.com", "OrgSMTPPort=25",
             "Persona=", "DetectType=99", "SubClient=0", "Active=1", "IsClient=0"}));
  EXPECT_EQ(Section("NMGR"), (Lines{"StandardView=0", "AdminView=1"}));
  EXPECT_EQ(Section("WORKSTATION"),
            (Lines{"INSTALLED=NimbraPost Canopy", "SMTP=25", "POP3=110", "IMAP=143", "EnableSMTP=1",
                   "EnablePOP3=1", "EnableIMAP=0", "SMTPGateway=0", "COMMTYPE=3", "SHARE=1",
                   "TRAYMENU=7", "ZQAUTHTEXT=0"}));
  EXPECT_EQ(Section("GOODROUTE"), (Lines{"AVAILABLE=1", "SERVER=relay.nimbrapost.example",
                                         "PORT=25", "SENDER=admin@example.com"}));
  EXPECT_EQ(Section("Defaults"), (Lines{"Organisation=Example Ltd"}));
  EXPECT_EQ(Section("DNS"), (Lines{"Server1=192.0.2.53", "Server2="}));
  EXPECT_EQ(Section("KeyServer"), (Lines{"Server1=keys.example.com"}));
  EXPECT_EQ(Section("OUTMAPSERVER"),
            (Lines{"0.0.0.0:25=mail.example.com:25", "192.0.2.7:110=pop.example.com:110"}));
  EXPECT_EQ(Section("INMAPSERVER"),
            (Lines{"mail.example.com:25=0.0.0.0:25", "pop.example.com:110=192.0.2.7:110"}));
  EXPECT_EQ(Section("ACCESS ALLOWED"),
            (Lines{"0.0.0.0:0.0.0.0=ALLOW", "192.0.2.7:255.255.255.255=ALLOW"}));
  EXPECT_TRUE(Section("SendType").empty());
}

TEST_F(WritersTest, GatewayGivesSixSenderRoutesForEachRelayChoice) {
  settings.AsService = true;
  struct Case {
    int relay;
    const char* forward;
    const char* sendType;
  };
  for (const Case& c :
       {Case{0, "192.0.2.99:2525", "2"}, Case{1, "192.0.2.99:2525", "8"}, Case{2, "", "8"}}) {
    machine->DeleteFile(std::string(kProgramFolder) + "WS.INI");
    Gateway(c.relay);
    EXPECT_TRUE(GatewayComms(context, sink));
    const std::string f = c.forward;
    Lines out, send;
    for (const char* own : {"192.0.2.1", "192.0.2.2"}) {
      for (const char* sender : {"10.0.0.5", "10.0.0.6", "10.0.0.7"}) {
        out.push_back(std::string(sender) + "to" + own + ":25=" + f);
        send.push_back(std::string(sender) + "to" + own + ":25=" + c.sendType);
      }
    }
    out.push_back("127.0.0.1:25=" + f);
    send.push_back(std::string("127.0.0.1:25=") + c.sendType);
    for (const char* own : {"192.0.2.1", "192.0.2.2"}) {
      out.push_back(std::string(own) + ":25=10.0.0.25:25");
      send.push_back(std::string(own) + ":25=3");
    }
    EXPECT_EQ(Section("OUTMAPSERVER"), out) << c.relay;
    EXPECT_EQ(Section("SendType"), send) << c.relay;
    // The forward endpoint's reverse entry holds the last route written.
    const Lines in = f.empty() ? Lines{"10.0.0.25:25=192.0.2.2:25"}
                               : Lines{f + "=127.0.0.1:25", "10.0.0.25:25=192.0.2.2:25"};
    EXPECT_EQ(Section("INMAPSERVER"), in) << c.relay;
  }
  EXPECT_EQ(Section("ACCESS ALLOWED"), (Lines{"0.0.0.0:0.0.0.0=ALLOW"}));
  EXPECT_EQ(Section("WORKSTATION"),
            (Lines{"SMTP=25", "POP3=", "IMAP=", "Halvern=0", "EnableSMTP=1", "SMTPGateway=1",
                   "EnablePOP3=0", "EnableIMAP=0", "COMMTYPE=3", "SHARE=1", "TRAYMENU=7",
                   "ZQAUTHTEXT=0", "SERVICE=NT"}));
  EXPECT_EQ(Section("NMGR"), (Lines{"StandardView=0"}));
  EXPECT_EQ(Section("Defaults"), (Lines{"Organisation=Example Ltd"}));
  std::string report;
  for (const std::string& line : GatewayReport(ReadGatewayPlan(*form))) report += line + "\r\n";
  EXPECT_EQ(machine.ReadFile(std::string(kProgramFolder) + "Gateway-Config.txt"), report);
}

TEST_F(WritersTest, GatewayReportIsSavedEvenWhenWsIniCannotBeWritten) {
  Gateway(0);
  machine.PutDirectory(std::string(kProgramFolder) + "WS.INI");  // a folder in its place
  EXPECT_FALSE(GatewayComms(context, sink));
  const std::string saved = machine.ReadFile(std::string(kProgramFolder) + "Gateway-Config.txt");
  EXPECT_EQ(saved.rfind("Gateway Configuration\r\n", 0), 0u);
}

TEST_F(WritersTest, KeyServerAndDatabaseWriteOnlyTheirKeys) {
  SetList("NBR_IPList", {"192.0.2.1", "192.0.2.2"});
  EXPECT_TRUE(KeyServerComms(context, sink));
  EXPECT_EQ(Section("OUTMAPSERVER"), (Lines{"192.0.2.1:25=", "192.0.2.2:25="}));
  EXPECT_EQ(Section("SendType"), (Lines{"192.0.2.1:25=32", "192.0.2.2:25=32"}));
  EXPECT_EQ(Section("ACCESS ALLOWED"), (Lines{"0.0.0.0:0.0.0.0=ALLOW"}));
  EXPECT_TRUE(Section("Defaults").empty());
  EXPECT_TRUE(Section("INMAPSERVER").empty());
  EXPECT_EQ(Section("GOODROUTE").size(), 4u);
  EXPECT_EQ(Section("WORKSTATION").back(), "ZQAUTHTEXT=0");  // no service
  setup::WizardContext service(*form, ui, *machine, settings, "D:\\", "SVCINST.EXE");
  EXPECT_TRUE(KeyServerComms(service, sink));
  EXPECT_EQ(Section("WORKSTATION").back(), "SERVICE=NT");

  machine->DeleteFile(std::string(kProgramFolder) + "WS.INI");
  settings.InstallType = 7;  // the manager's full view is not the database's
  EXPECT_TRUE(DatabaseComms(context, sink));
  platform::ProfileFile ini(*machine->HostPath(std::string(kProgramFolder) + "WS.INI"));
  EXPECT_EQ(ini.SectionNames(), (Lines{"NMGR", "WORKSTATION", "DNS"}));
  EXPECT_EQ(Section("NMGR"), (Lines{"StandardView=0"}));
  EXPECT_EQ(Section("WORKSTATION"), (Lines{"SMTP=25", "POP3=", "IMAP=", "Halvern=0", "EnableSMTP=0",
                                           "SMTPGateway=0", "EnablePOP3=0", "EnableIMAP=0",
                                           "COMMTYPE=3", "SHARE=1", "TRAYMENU=7", "ZQAUTHTEXT=0"}));
}

}  // namespace
}  // namespace nimbra::netconfig::testing
