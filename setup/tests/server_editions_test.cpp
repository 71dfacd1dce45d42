#include <atomic>
#include <thread>

#include "netconfig/comms_writers.h"
#include "netconfig/server_pages.h"
#include "platform/ipc/socket.h"
#include "platform/profile/profile_file.h"
#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr const char* kFolder = "C:\\Program Files\\NimbraPost\\";

// A mail server on a loopback port that greets the one connection it takes.
class GreetingServer {
 public:
  GreetingServer() {
    listener_.Listen("127.0.0.1", 0);
    thread_ = std::thread([this] {
      try {
        platform::TcpSocket peer = listener_.Accept(10s);
        peer.SendLine("220 internal.example.com ESMTP");
        while (!stop_) std::this_thread::sleep_for(5ms);
      } catch (const platform::SocketError&) {
      }
    });
  }
  ~GreetingServer() {
    stop_ = true;
    thread_.join();
  }
  std::string Port() const { return std::to_string(listener_.LocalPort()); }

 private:
  platform::TcpSocket listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class ServerEditionsTest : public WizardTest {
 public:
  ServerEditionsTest() {
    ScriptType(4);
    machine.PutFile("C:\\users.txt",
                    "Jo Example\tjo@example.com\r\nAl Example\tal@example.com\r\n");
    machine.SetString("HKLM\\Software\\Placeholder", "x", "");  // a registry to save
    prepare = [](TSetupForm& wizard) {
      auto& limits = wizard.ServerPages().limits;
      limits.bindPort = 0;  // any free port instead of 25
      limits.connectWait = 2s;
      limits.lineWait = 2s;
    };
  }

  static std::string Common(const char* type) {
    return std::string(
               "[TabSheet27]\r\nRegName=Example Ltd\r\nServerName=MAIL1\r\n"
               "RegAddress=admin@example.com\r\n[TabSheet31]\r\nPress=") +
           type + "\r\n[TabSheet12]\r\nUserName=admin\r\nNewPass=secret\r\nConfirmPass=secret\r\n";
  }

  // Runs the writer on the form the run left, into a WS.INI of its own.
  template <typename Writer>
  void Write(Writer writer) {
    machine->DeleteFile(std::string(kFolder) + "WS.INI");
    netconfig::MachineSink sink(*machine);
    EXPECT_TRUE(writer(wizard->Context(), sink));
  }
  Lines Section(const char* name) {
    platform::ProfileFile ini(*machine->HostPath(std::string(kFolder) + "WS.INI"));
    return ini.SectionValues(name);
  }
  static bool Reached(const Result& r, const char* page) {
    return std::find(r.pages.begin(), r.pages.end(), page) != r.pages.end();
  }
};

TEST_F(ServerEditionsTest, NetworkServerReachesItsInstallationPageAndRoutesItsProtocols) {
  Result r = Run(Common("InternetServer") +
                 "[TabSheet22]\r\nIMAP=0\r\nNetSMTP=mail.example.com\r\nNetPOP3=192.0.2.80\r\n"
                 "[TabSheet23]\r\nNbrPOP3=192.0.2.7\r\n"
                 "[TabSheet24]\r\nNimbraAccounts.1=Jo|jo@example.com|Person\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Reached(r, "TabSheet26"));
  EXPECT_EQ(Text("PrimeEmail"), "admin@example.com");
  EXPECT_EQ(wizard->Form().At("NimbraAccounts").Cell(1, 1), "jo@example.com");
  Write(netconfig::NetworkComms);
  EXPECT_EQ(Section("OUTMAPSERVER"),
            (Lines{"0.0.0.0:25=mail.example.com:25", "192.0.2.7:110=192.0.2.80:110"}));
  EXPECT_EQ(Section("INMAPSERVER"),
            (Lines{"mail.example.com:25=0.0.0.0:25", "192.0.2.80:110=192.0.2.7:110"}));
  EXPECT_EQ(Section("ACCESS ALLOWED"),
            (Lines{"0.0.0.0:0.0.0.0=ALLOW", "192.0.2.7:255.255.255.255=ALLOW"}));
  EXPECT_TRUE(Section("SendType").empty());
  EXPECT_EQ(Section("UNINSTALL1").at(0), "Software=NetWork Server");
}

TEST_F(ServerEditionsTest, NetworkServerPortConflictStopsTheRunOnThePortPage) {
  Result r = Run(Common("InternetServer") + "[TabSheet22]\r\nNetSMTP=127.0.0.1\r\n");
  EXPECT_EQ(r.code, ui::kExitStuck);
  EXPECT_EQ(r.pages.back(), "TabSheet23");
  EXPECT_NE(r.reason.find("NbrSMTPPort"), std::string::npos) << r.reason;
}

TEST_F(ServerEditionsTest, GatewayRunPressesEveryButtonAndGivesSixSenderRoutes) {
  GreetingServer internal;
  Result r = Run(
      Common("InternetGateway") +
      "[TabSheet24]\r\nPress=BitBtn1,Next\r\n"
      "[TabSheet32]\r\nNBR_IPList=192.0.2.1\r\nTestIP=no-such-host.invalid\r\nPress=ADDNbrIP,"
      "Next\r\n"
      "[TabSheet33]\r\nInternalIP=localhost\r\nInternalPort=" +
      internal.Port() +
      "\r\ngwFirewall=1\r\nPress=TestInternal,Next\r\n"
      "[TabSheet34]\r\nSendIP=10.0.0.5,10.0.0.6\r\nAddSendIP=localhost\r\nPress=SendiPAdd,Next\r\n"
      "[TabSheet35]\r\nRelayType=DNS Only\r\nDNS1=192.0.2.53\r\n"
      "[Answers]\r\nAccountsFileDialog=C:\\users.txt\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Reached(r, "TabSheet36"));
  EXPECT_TRUE(Reached(r, "TabSheet26"));
  const ui::Control& grid = wizard->Form().At("NimbraAccounts");
  EXPECT_EQ(grid.Cell(0, 1), "Jo Example");
  EXPECT_EQ(grid.Cell(2, 1), "Person");
  // A name that resolves to nothing failed its bind test and left the list.
  EXPECT_NE(std::find(r.messages.begin(), r.messages.end(),
                      "The server localhost was successfully tested\r\nThe Server responded "
                      "with the identification\r\n220 internal.example.com ESMTP"),
            r.messages.end());
  EXPECT_EQ(Text("InternalIP"), "127.0.0.1");
  // Two own addresses are needed for six routes: add the loopback one.
  ui::Control& own = wizard->Form().At("NBR_IPList");
  ASSERT_EQ(own.items.size(), 1u);
  own.AddLine("192.0.2.2");
  wizard->ServerPages().TabSheet36Enter();
  Write(netconfig::GatewayComms);
  Lines out, send;
  for (const char* a : {"192.0.2.1", "192.0.2.2"}) {
    for (const char* s : {"10.0.0.5", "10.0.0.6", "127.0.0.1"}) {
      out.push_back(std::string(s) + "to" + a + ":25=");
      send.push_back(std::string(s) + "to" + a + ":25=8");
    }
  }
  out.push_back("127.0.0.1:25=");
  send.push_back("127.0.0.1:25=8");
  const std::string internalRoute = "127.0.0.1:" + internal.Port();
  for (const char* a : {"192.0.2.1", "192.0.2.2"}) {
    out.push_back(std::string(a) + ":25=" + internalRoute);
    send.push_back(std::string(a) + ":25=3");
  }
  EXPECT_EQ(Section("OUTMAPSERVER"), out);
  EXPECT_EQ(Section("SendType"), send);
  EXPECT_EQ(Section("INMAPSERVER"), (Lines{internalRoute + "=192.0.2.2:25"}));
  EXPECT_EQ(Section("ACCESS ALLOWED"), (Lines{"0.0.0.0:0.0.0.0=ALLOW"}));
  const std::string report = machine.ReadFile(std::string(kFolder) + "Gateway-Config.txt");
  EXPECT_NE(report.find("\r\n      192.0.2.1 on your Firewall.\r\n"), std::string::npos);
  EXPECT_NE(report.find("\r\n      127.0.0.1to192.0.2.2:25\r\n"), std::string::npos);
}

TEST_F(ServerEditionsTest, KeyServerAndClientDatabaseReachTheirInstallationPages) {
  Result r = Run(Common("KeyServer") + "[TabSheet32]\r\nNBR_IPList=192.0.2.1,192.0.2.2\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Reached(r, "TabSheet26"));
  Write(netconfig::KeyServerComms);
  EXPECT_EQ(Section("OUTMAPSERVER"), (Lines{"192.0.2.1:25=", "192.0.2.2:25="}));
  EXPECT_EQ(Section("SendType"), (Lines{"192.0.2.1:25=32", "192.0.2.2:25=32"}));
  EXPECT_EQ(Section("ACCESS ALLOWED"), (Lines{"0.0.0.0:0.0.0.0=ALLOW"}));
  EXPECT_TRUE(Section("INMAPSERVER").empty());

  UndoRun();
  r = Run(Common("ClientDatabase") + "[TabSheet21]\r\nWSFilesLocation=C:\\WS\\\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Reached(r, "TabSheet15"));
  Write(netconfig::DatabaseComms);
  EXPECT_TRUE(Section("OUTMAPSERVER").empty());
  EXPECT_TRUE(Section("ACCESS ALLOWED").empty());
  EXPECT_EQ(Section("WORKSTATION").at(0), "SMTP=25");
}

}  // namespace
}  // namespace nimbra::setup::testing
