// Protection of the detected accounts: the round trip over every client
// type, the mappings of WS.INI and the hosts file, repeated protection.

#include <map>

#include "detect/address_mappings.h"
#include "detect/hosts_file.h"
#include "detect/tests/protection_fixture.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect::testing {
namespace {

// The real server key of a protocol: the server, with ":" + port when the
// port differs from the proxy's (the form's default).
std::string RealKey(const std::string& server, const std::string& port,
                    const std::string& proxyPort) {
  return port.empty() || port == proxyPort ? server : server + ":" + port;
}

// "INMAPSERVER" and "OUTMAPSERVER" as maps.
std::map<std::string, std::string> MapSection(const std::string& wsIni, const char* section) {
  const platform::ProfileText ini(wsIni);
  std::map<std::string, std::string> entries;
  for (const std::string& key : ini.KeyNames(section))
    entries[key] = ini.ReadString(section, key, "");
  return entries;
}

void ExpectMappingsAgree(const std::string& wsIni) {
  const auto in = MapSection(wsIni, "INMAPSERVER");
  const auto out = MapSection(wsIni, "OUTMAPSERVER");
  EXPECT_EQ(in.size(), out.size());
  for (const auto& [local, real] : out) {
    EXPECT_TRUE(in.contains(real) && in.at(real) == local) << local << " = " << real;
  }
}

class RoundTrip : public ProtectionTest, public ::testing::WithParamInterface<bool> {};

// Detect, protect, detect again: every account goes through the proxy, its
// mappings name its real servers, its section keeps them, and the programs
// name local addresses (or keep their names under Quickroute, with hosts
// lines).
TEST_P(RoundTrip, EveryClientTypeEndsProtectedWithItsRealServersKept) {
  const bool quickroute = GetParam();
  InstallClients();
  const std::vector<DetectedAccount> before = Search();
  ASSERT_EQ(before.size(), 11u);
  std::set<int> types;
  for (const DetectedAccount& a : before) types.insert(a.clientType);
  EXPECT_EQ(types.size(), 10u);

  Protect(quickroute);
  EXPECT_EQ(form->At("CurrentTask").text, "Email Clients Complete");
  const std::vector<DetectedAccount> stored = Saved();
  const std::vector<DetectedAccount> loaded = Loaded();
  ASSERT_EQ(loaded.size(), before.size());
  const std::string hosts = Hosts();
  for (std::size_t i = 0; i < before.size(); ++i) {
    const DetectedAccount &was = before[i], &now = loaded[i];
    SCOPED_TRACE(was.software.str() + " " + std::to_string(i + 1));
    EXPECT_TRUE(stored[i].active);
    EXPECT_TRUE(now.active);
    // The section keeps the servers found before protection.
    EXPECT_EQ(stored[i].pop3Server.str(), was.pop3Server.str());
    EXPECT_EQ(stored[i].pop3Port.str(), was.pop3Port.str());
    EXPECT_EQ(stored[i].smtpServer.str(), was.smtpServer.str());
    EXPECT_EQ(stored[i].smtpPort.str(), was.smtpPort.str());
    EXPECT_EQ(stored[i].imapServer.str(), was.imapServer.str());
    struct {
      std::string server, port, proxy, mapping, nowServer;
    } protocols[] = {
        {was.pop3Server, was.pop3Port, "110", now.pop3Mapping, now.pop3Server},
        {was.smtpServer, was.smtpPort, "25", now.smtpMapping, now.smtpServer},
        {was.imapServer, was.imapPort, "143", now.imapMapping, now.imapServer},
    };
    for (const auto& p : protocols) {
      if (p.server.empty()) {
        EXPECT_EQ(p.mapping, "");
        continue;
      }
      const std::string key = RealKey(p.server, p.port, p.proxy);
      if (quickroute && key == p.server) {
        // The program keeps the name; the hosts file routes it.
        EXPECT_EQ(p.nowServer, p.server);
        EXPECT_TRUE(p.mapping.starts_with("127.0.3.")) << p.mapping;
        EXPECT_NE(hosts.find(p.mapping + "\t" + p.server + "  #added by NimbraPost\r\n"),
                  std::string::npos)
            << p.server;
      } else {
        EXPECT_EQ(p.mapping, key);
        EXPECT_TRUE(p.nowServer.starts_with("127.0.")) << p.nowServer;
      }
    }
  }
  ExpectMappingsAgree(WsIni());
  // Accounts sharing servers share their local addresses.
  EXPECT_EQ(MapSection(WsIni(), "INMAPSERVER").count("pop.tp.example"), 1u);
}

INSTANTIATE_TEST_SUITE_P(PortMappingAndQuickroute, RoundTrip, ::testing::Bool());

TEST_F(ProtectionTest, TheProgramsGetTheTableValues) {
  InstallClients();
  Search();
  form->At("POP3Port").text = "";  // an empty proxy port counts as the default
  Protect(false);
  const std::string in = WsIni();
  const auto local = MapSection(in, "INMAPSERVER");

  auto services = UserKey(std::string(kNavigatorKey) + "Services");
  EXPECT_EQ(services.ReadString("POP_Server"), local.at("pop.nav.example"));
  EXPECT_EQ(services.ReadString("SMTP_Server"), "127.0.1.1:25");  // unsplit
  auto suffixes = UserKey(std::string(kNavigatorKey) + "Suffixes");
  EXPECT_EQ(suffixes.ReadString("Application/VRX"), "VRX");
  EXPECT_EQ(suffixes.ReadString("Application/VRXPayment"), "ZQP");

  auto exchange = UserKey(kExchangeKey);
  EXPECT_EQ(exchange.ReadString("001e6600"), local.at("pop.ex.example"));
  EXPECT_EQ(exchange.ReadString("001e6611"), local.at("smtp.ex.example"));

  // Outlook: IMAP only, no POP3 values written; the time-outs.
  auto outlook = UserKey(kOutlookKey);
  EXPECT_EQ(outlook.ReadString("IMAP Server"), local.at("imap.oe.example"));
  EXPECT_FALSE(outlook.ValueExists("POP3 Server"));
  EXPECT_FALSE(outlook.ValueExists("POP3 Port"));
  EXPECT_EQ(outlook.ReadInteger("SMTP Timeout"), 7200);
  EXPECT_EQ(outlook.ReadInteger("POP3 Timeout"), 7200);

  // Internet Mail: the server keys move, with the password, and get the
  // time-outs; the sub-client is the section number.
  const std::string pop3 = local.at("pop.im.example"), smtp = local.at("smtp.im.example");
  auto mail = UserKey(kInternetMailKey);
  EXPECT_EQ(mail.ReadString("Default POP3 Server"), pop3);
  EXPECT_EQ(mail.ReadString("Default SMTP Server"), smtp);
  EXPECT_FALSE(mail.SubkeyExists("POP3\\pop.im.example"));
  EXPECT_FALSE(mail.SubkeyExists("SMTP\\smtp.im.example"));
  auto pop3Key = UserKey(std::string(kInternetMailKey) + "POP3\\" + pop3);
  EXPECT_EQ(pop3Key.ReadBinary("Password"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(pop3Key.ReadInteger("RecvTimeOut"), 7200);
  EXPECT_EQ(pop3Key.ReadInteger("SendTimeOut"), 7200);
  auto smtpKey = UserKey(std::string(kInternetMailKey) + "SMTP\\" + smtp);
  EXPECT_EQ(smtpKey.ReadString("Name"), "smtp");
  EXPECT_EQ(smtpKey.ReadInteger("SendTimeOut"), 7200);
  EXPECT_NE(Section(6).find("SubClient=6"), std::string::npos) << Section(6);

  // Eudora: the comment and the other keys stay; the personality's own keys.
  const std::string eudora = machine.ReadFile(kEudoraIni);
  const std::string eu = local.at("pop.eu.example");
  EXPECT_EQ(eudora,
            "; Eudora settings\r\n[Settings]\r\nRealName=Eu\r\nReturnAddress=eu@example.net\r\n"
            "POPAccount=eu@" +
                eu + "\r\nPOPServer=" + eu + "\r\nSMTPServer=" + local.at("smtp.eu.example") +
                "\r\nIMAPServer=\r\nNetworkTimeout=7200\r\n"
                "[Personalities]\r\nPersona0=Work\r\n[Work]\r\nReturnAddress=work@example.com\r\n"
                "POPAccount=w@" +
                local.at("pop.work.example") + "\r\nSMTPServer=" + local.at("smtp.work.example") +
                "\r\nNetworkTimeout=7200\r\n");

  // Pegasus: POP3 on 995 with proxy port 110 is split into host and port
  // (127.0.1.1:25 of Navigator's SMTP is another address).
  const platform::ProfileText pmail(machine.ReadFile(kPMailIni));
  const char* tcp = "pegasus Mail for Windows - built-in TCP/IP Mail";
  EXPECT_EQ(local.at("pop.peg.example:995"), "127.0.1.1:110");
  EXPECT_EQ(pmail.ReadString(tcp, "Host where POP3 mail account is located", ""), "127.0.1.1");
  EXPECT_EQ(pmail.ReadString(tcp, "TCP/IP server port", ""), "110");
  EXPECT_EQ(pmail.ReadString(tcp, "TCP/IP timeout value (seconds)", ""), "7200");

  const platform::ProfileText connect(machine.ReadFile(kConnectIni));
  EXPECT_EQ(connect.ReadString("MAIL WINSOCK", "Server", ""), local.at("pop.tp.example"));
  EXPECT_EQ(connect.ReadString("MAIL WINSOCK", "Gateway", ""), local.at("smtp.tp.example"));

  EXPECT_EQ(machine.ReadFile(kPrefsJs),
            "// Mozilla User Preferences\r\n"
            "user_pref(\"mail.identity.useremail\", \"nc@example.net\");\r\n"
            "user_pref(\"network.hosts.pop_server\", \"" +
                local.at("pop.nc.example") + "\");\r\nuser_pref(\"network.hosts.smtp_server\", \"" +
                local.at("smtp.nc.example") + "\");\r\n");

  // The mailbox: POP3 on 995 becomes the local address on the proxy's port.
  const auto box = ParseMailboxFile(machine.ReadFile(kMailbox));
  EXPECT_EQ(local.at("pop.cal.example:995"), "127.0.1.2:110");
  EXPECT_EQ(box.accounts[0].pop3Server, "127.0.1.2");
  EXPECT_EQ(box.accounts[0].pop3Port, 110u);
  EXPECT_EQ(box.accounts[0].smtpServer, local.at("smtp.cal.example"));
  EXPECT_EQ(box.accounts[0].smtpPort, 25u);
}

// A second protection, and the second Turnpike user of the same
// Connect.ini: no real server goes back into a program.
TEST_F(ProtectionTest, ProtectingAgainKeepsEveryAccountProtected) {
  InstallClients();
  const auto before = Search();
  Protect(false);
  const std::string wsIni = WsIni(), connect = machine.ReadFile(kConnectIni),
                    prefs = machine.ReadFile(kPrefsJs);
  const std::string navigator =
      UserKey(std::string(kNavigatorKey) + "Services").ReadString("POP_Server");
  Protect(false);
  EXPECT_EQ(WsIni(), wsIni);
  EXPECT_EQ(machine.ReadFile(kConnectIni), connect);
  EXPECT_EQ(machine.ReadFile(kPrefsJs), prefs);
  EXPECT_EQ(UserKey(std::string(kNavigatorKey) + "Services").ReadString("POP_Server"), navigator);
  const auto stored = Saved();
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_TRUE(stored[i].active) << i;
    EXPECT_EQ(stored[i].pop3Server.str(), before[i].pop3Server.str()) << i;
    EXPECT_EQ(stored[i].smtpServer.str(), before[i].smtpServer.str()) << i;
  }
  // Both Turnpike users: sections 7 and 8.
  EXPECT_EQ(stored[6].persona.str(), "C:\\Turnpike\\User001\\Turnpike.ini");
  EXPECT_EQ(stored[7].persona.str(), "C:\\Turnpike\\User002\\Turnpike.ini");
  EXPECT_EQ(stored[7].pop3Server.str(), "pop.tp.example");

  // Under Quickroute the names stay and the hosts file is not changed again.
  Protect(true);
  const std::string hosts = Hosts();
  Protect(true);
  EXPECT_EQ(Hosts(), hosts);
  for (const DetectedAccount& a : Loaded()) EXPECT_TRUE(a.active) << a.software.str();
}

TEST_F(ProtectionTest, MapServerSharesReusesAndNumbersLocalAddresses) {
  machine->ForceDirectories(kFolder);
  // Two accounts with the same POP3 server and port share one address.
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.a", "110", "110", "110"), "127.0.2.1");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.a", "110", "110", ""), "127.0.2.1");
  // 995 against proxy port 110: keyed by server and port.
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.a", "110", "110", "995"), "127.0.1.1:110");
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "INMAPSERVER", "pop.a", "995"), "127.0.1.1:110");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "smtp.a", "25", "", "2525"), "127.0.1.1:25");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "smtp.b", "25", "", "2526"), "127.0.1.2:25");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.b", "110", "", ""), "127.0.2.2");
  // An entry with an empty value leaves its address free.
  machine.PutFile(std::string(kFolder) + "WS.INI", WsIni() + "[outmapserver]\r\n127.0.2.4=\r\n");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.c", "110", "110", "110"), "127.0.2.3");
  EXPECT_EQ(MapServer(*machine, kFolder, false, "pop.d", "110", "110", "110"), "127.0.2.4");
  ExpectMappingsAgree(WsIni());
}

TEST_F(ProtectionTest, QuickrouteForEqualPortsOnlyAndNeverForADottedAddress) {
  machine->ForceDirectories(kFolder);
  const std::string hostsBefore = Hosts();
  EXPECT_EQ(MapServer(*machine, kFolder, true, "pop.q", "110", "110", ""), "pop.q");
  EXPECT_EQ(Hosts(), hostsBefore + "127.0.3.1\tpop.q  #added by NimbraPost\r\n");
  EXPECT_TRUE(IsNameInHosts(*machine, "POP.Q"));
  const platform::ProfileText ini(WsIni());
  EXPECT_EQ(ini.ReadString("SendType", "127.0.3.1", "x"), "0");
  EXPECT_TRUE(ini.ValueExists("ETRNString", "127.0.3.1"));
  EXPECT_EQ(ini.ReadString("ACCESS ALLOWED", "127.0.3.0:255.255.255.0", ""), "ALLOW");
  // Differing ports: port mapping.
  EXPECT_EQ(MapServer(*machine, kFolder, true, "pop.q", "110", "110", "995"), "127.0.1.1:110");
  // A dotted address cannot be routed by name: the hosts file stays as it
  // is, and the program is pointed at the local address allocated for it.
  const std::string hosts = Hosts();
  EXPECT_EQ(MapServer(*machine, kFolder, true, "192.0.2.7", "25", "25", "25"), "127.0.3.2");
  EXPECT_EQ(Hosts(), hosts);
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "OUTMAPSERVER", "127.0.3.2", ""), "192.0.2.7");
  // The same name again: the same address, no second line.
  EXPECT_EQ(MapServer(*machine, kFolder, true, "pop.q", "110", "110", "110"), "pop.q");
  EXPECT_EQ(Hosts(), hosts);
  ExpectMappingsAgree(WsIni());
}

TEST_F(ProtectionTest, AnAbsentHostsFileIsCreatedAndAReadOnlyOneFallsBackToPortMapping) {
  machine->ForceDirectories(kFolder);
  const std::string path = machine->HostsFilePath();
  ASSERT_TRUE(machine->DeleteFile(path));
  EXPECT_EQ(MapServer(*machine, kFolder, true, "pop.q", "110", "110", ""), "pop.q");
  EXPECT_EQ(Hosts(), "127.0.3.1\tpop.q  #added by NimbraPost\r\n");
  ASSERT_TRUE(machine->SetAttributes(path, platform::attr::ReadOnly));
  EXPECT_EQ(MapServer(*machine, kFolder, true, "smtp.q", "25", "25", ""), "127.0.3.2");
  EXPECT_EQ(Hosts(), "127.0.3.1\tpop.q  #added by NimbraPost\r\n");
}

TEST_F(ProtectionTest, TheHostsFileKeepsEveryOtherLineByteForByte) {
  machine->ForceDirectories(kFolder);
  std::string hosts =
      "# Copyright (c) 1993-1999 Microsoft Corp.\r\n#\r\n# 10.0.0.9 pop.example.net\r\n"
      "127.0.0.1       localhost\r\n10.0.0.1\tmypop.example.net   # pop.example.net's twin\r\n"
      "10.0.0.2 pop.example.net.internal\r\n";
  for (int i = 0; i < 500; ++i) {
    hosts += "10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200) + "\thost" +
             std::to_string(i) + ".example.net\r\n";
  }
  const std::string middle = "10.0.0.3  old.example.net POP.Example.NET  # moved\r\n";
  const std::string tail = "\n192.0.2.1 lf-only.example\ttrailer";
  machine.PutFile(machine->HostsFilePath(), hosts + middle + tail);
  ASSERT_TRUE(QuickrouteMap(*machine, kFolder, "pop.example.net"));
  // The line whose name field is the server, case ignored, is replaced (its
  // other name stays at its address); comments, substrings and the other
  // 500 lines are not touched.
  const std::string replaced =
      "127.0.3.1\tpop.example.net  #added by NimbraPost\r\n10.0.0.3  old.example.net   # moved\r\n";
  EXPECT_EQ(Hosts(), hosts + replaced + tail);
  ASSERT_TRUE(QuickrouteMap(*machine, kFolder, "new.example.net"));
  EXPECT_EQ(Hosts(),
            hosts + replaced + tail + "\r\n127.0.3.2\tnew.example.net  #added by NimbraPost\r\n");
  EXPECT_FALSE(IsNameInHosts(*machine, "old.example.net"));  // not a 127.0 line
  EXPECT_TRUE(IsNameInHosts(*machine, "new.example.net"));
}

TEST(HostsFile, NameFieldsAreTheFieldsAfterTheAddressBeforeAComment) {
  EXPECT_TRUE(HostsLineNames("10.0.0.1 a.example b.example", "B.EXAMPLE"));
  EXPECT_TRUE(HostsLineNames("\t10.0.0.1\ta.example\r", "a.example"));
  EXPECT_FALSE(HostsLineNames("10.0.0.1 a.example.net", "a.example"));
  EXPECT_FALSE(HostsLineNames("10.0.0.1 other # a.example", "a.example"));
  EXPECT_FALSE(HostsLineNames("#10.0.0.1 a.example", "a.example"));
  EXPECT_FALSE(HostsLineNames("a.example", "a.example"));  // only an address
  EXPECT_FALSE(HostsLineNames("10.0.0.1 a.example", ""));
  // An LF-only text gets LF, a text without line end CR LF.
  EXPECT_EQ(SetQuickrouteLine("1.2.3.4 x\n", "127.0.3.1", "y"),
            "1.2.3.4 x\n127.0.3.1\ty  #added by NimbraPost\n");
  EXPECT_EQ(SetQuickrouteLine("", "127.0.3.1", "y"), "127.0.3.1\ty  #added by NimbraPost\r\n");
}

// A saved Navigator server given with its port names the same real server
// when it is loaded again: the mapping key is host and port once.
TEST_F(ProtectionTest, ANavigatorServerWithItsPortIsKeyedOnce) {
  InstallClients();
  Search();
  Protect(false);
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "OUTMAPSERVER", "127.0.1.1", "25"),
            "smtp.nav.example:2525");
  EXPECT_EQ(WsIni().find("2525:2525"), std::string::npos);
  EXPECT_NE(Section(1).find("OrgSMTP=smtp.nav.example|OrgSMTPPort=2525"), std::string::npos);
}

TEST_F(ProtectionTest, OutlookWithoutImapAndUncheckedEntries) {
  auto outlook = UserKey(kOutlookKey);
  outlook.WriteString("SMTP Email Address", "oe@example.net");
  outlook.WriteString("SMTP Server", "smtp.oe.example");
  outlook.WriteInteger("SMTP Port", 587);
  outlook.WriteString("POP3 Server", "pop.oe.example");
  machine.PutFile(kPrefsJs, "user_pref(\"network.hosts.pop_server\", \"pop.nc.example\");\n");
  Search();
  ui::Control& list = form->At("SoftwareList");
  for (std::string& label : AccountSectionLabels(*machine, kFolder)) {
    list.items.push_back({std::move(label), true});
  }
  ASSERT_EQ(list.items.size(), 2u);
  list.items[0].checked = false;  // the Communicator account
  form->At("Quickroute").checked = false;
  ProtectClients(context, *form, kFolder, kScript);
  EXPECT_EQ(machine.ReadFile(kPrefsJs),
            "user_pref(\"network.hosts.pop_server\", \"pop.nc.example\");\n");
  EXPECT_FALSE(Saved()[0].active);
  EXPECT_EQ(outlook.ReadString("POP3 Server"), "127.0.2.1");
  EXPECT_FALSE(outlook.ValueExists("POP3 Port"));
  EXPECT_EQ(outlook.ReadString("SMTP Server"), "127.0.1.1");
  EXPECT_EQ(outlook.ReadInteger("SMTP Port"), 25);
  EXPECT_FALSE(outlook.ValueExists("IMAP Server"));
  EXPECT_FALSE(outlook.ValueExists("IMAP Port"));
}

// Server names the installer script lists are given Quickroute addresses,
// without hosts lines; only when Quickroute is chosen.
TEST_F(ProtectionTest, TheInstallerScriptsQuickrouteNames) {
  machine.PutFile(kScript,
                  "[PRODUCT]\r\nRunType=1\r\n[Quickroute]\r\nmail.corp.example=\r\n"
                  "news.corp.example=1\r\n");
  const std::string hosts = Hosts();
  Protect(false);
  EXPECT_FALSE(machine->FileExists(std::string(kFolder) + "WS.INI"));
  Protect(true);
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "INMAPSERVER", "mail.corp.example", ""), "127.0.3.1");
  EXPECT_EQ(LookUpMapping(*machine, kFolder, "INMAPSERVER", "news.corp.example", ""), "127.0.3.2");
  EXPECT_EQ(Hosts(), hosts);
}

TEST_F(ProtectionTest, CommunicatorLinesOutsideTheTableAndCommentsStay) {
  const std::string prefs =
      "/* user_pref(\"network.hosts.pop_server\", \"old.example\");\n*/\n"
      "// user_pref(\"network.hosts.smtp_server\", \"old.example\");\n"
      "user_pref(\"network.hosts.smtp_server\", \"smtp.nc.example\");\r"
      "user_pref(\"network.hosts.imap_servers\", \"imap.nc.example\");\n"
      "user_pref(\"mail.imap_sentmail_path\", \"IMAP://imap.nc.example/Sent\");\n"
      "user_pref(\"mail.imap.server.imap.nc.example.userName\", \"jo\");\n"
      "user_pref(\"mail.imap.server.imap.nc.example2.userName\", \"al\");\n"
      "user_pref(\"mail.identity.useremail\", \"nc@example.net\");";
  machine.PutFile(kPrefsJs, prefs);
  Search();
  Protect(false);
  EXPECT_EQ(machine.ReadFile(kPrefsJs),
            "/* user_pref(\"network.hosts.pop_server\", \"old.example\");\n*/\n"
            "// user_pref(\"network.hosts.smtp_server\", \"old.example\");\n"
            "user_pref(\"network.hosts.smtp_server\", \"127.0.2.1\");\r"
            "user_pref(\"network.hosts.imap_servers\", \"127.0.2.2\")\n"
            "user_pref(\"mail.imap_sentmail_path\", \"IMAP://127.0.2.2\")\n"
            "user_pref(\"mail.imap.server.127.0.2.2.userName\", \"jo\");\n"
            "user_pref(\"mail.imap.server.imap.nc.example2.userName\", \"al\");\n"
            "user_pref(\"mail.identity.useremail\", \"nc@example.net\");");
  EXPECT_TRUE(Loaded()[0].active);
}

}  // namespace
}  // namespace nimbra::detect::testing
