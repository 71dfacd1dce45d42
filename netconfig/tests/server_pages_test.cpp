#include "netconfig/tests/netconfig_fixture.h"

namespace nimbra::netconfig::testing {
namespace {

TEST_F(ServerPagesTest, DetailsAreRequiredInOrderAndFillAddressAndGroup) {
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet27Exit));
  Text("RegName") = "Example Ltd";
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet27Exit));
  Text("ServerName") = "MAIL1";
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet27Exit));
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"Please enter a Company Name", "Please enter a Server Name",
                                      "Please enter an Administration Email Address"}));
  ASSERT_TRUE(context.lastRefusal);
  EXPECT_EQ(context.lastRefusal->control, "RegAddress");
  Text("RegAddress") = "admin@example.com";
  EXPECT_TRUE(Leaves(&ServerPages::TabSheet27Exit));
  EXPECT_EQ(Text("PrimeEmail"), "admin@example.com");
  EXPECT_EQ(Text("GroupName"), "Example Ltd");
}

TEST_F(ServerPagesTest, PortConflictsWithTheMailServerOnThisComputer) {
  machine.SetMultiString("HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                         "IPAddress", {"192.0.2.7"});
  struct Case {
    const char* listen;
    const char* server;
    const char* serverPort;
    bool passes;
  };
  const Case cases[] = {
      {"0.0.0.0", "localhost", "25", true},     // a name is neither 127. nor an address
      {"0.0.0.0", "127.0.0.1", "25", false},    // loopback, same port
      {"0.0.0.0", "127.0.0.1", "2525", true},   // other port
      {"0.0.0.0", "192.0.2.7", "25", false},    // one of the own addresses
      {"0.0.0.0", "192.0.2.8", "25", true},     // another computer
      {"192.0.2.7", "192.0.2.7", "25", false},  // the same endpoint
      {"192.0.2.7", "127.0.0.1", "25", true},   // a set address only clashes with itself
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    Text("NbrSMTP") = c.listen;
    Text("NetSMTP") = c.server;
    Text("NetSMTPPort") = c.serverPort;
    EXPECT_EQ(Leaves(&ServerPages::TabSheet23Exit), c.passes) << c.listen << " " << c.server;
    if (!c.passes) {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0].rfind("The SMTP configuration entered contains a conflict between "
                                     "the Listening NimbraPost service and the Email Server.\r\n",
                                     0),
                0u);
    }
  }
  // A disabled protocol is not checked; the message names the protocol.
  form->SetChecked("SMTP", false);
  EXPECT_TRUE(Leaves(&ServerPages::TabSheet23Exit));
  Text("NetIMAP") = "127.0.0.1";
  ui.messages.clear();
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet23Exit));
  EXPECT_NE(ui.messages.at(0).find("The IMAP configuration"), std::string::npos);
}

TEST_F(ServerPagesTest, AccountsGridLoadsNameTabAddressLines) {
  settings.RunQuantity = 3;
  pages->TabSheet24Enter();
  ui::Control& grid = form->At("NimbraAccounts");
  ASSERT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.cells[0], (std::vector<std::string>{"Name", "Email Addresses", "Key Type"}));
  machine.PutFile("C:\\users.txt",
                  "Jo Example\tjo@example.com,jo@example.org\r\nno-tab@example.com\nAl\tal@x\r\n"
                  "Extra\textra@x\r\n");
  ui.openFile = "C:\\users.txt";
  form->Click("BitBtn1");
  EXPECT_EQ(grid.cells[1],
            (std::vector<std::string>{"Jo Example", "jo@example.com,jo@example.org", "Person"}));
  EXPECT_EQ(grid.cells[2], (std::vector<std::string>{"", "no-tab@example.com", "Person"}));
  EXPECT_EQ(grid.cells[3], (std::vector<std::string>{"Al", "al@x", "Person"}));
  EXPECT_EQ(grid.RowCount(), 4);  // one row per licensed user
  // A file that cannot be read is reported, the grid stays.
  ui.openFile = "C:\\missing.txt";
  form->Click("BitBtn1");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("The file C:\\missing.txt could not be read", 0), 0u);
  EXPECT_EQ(grid.Cell(0, 1), "Jo Example");
}

TEST_F(ServerPagesTest, GatewayStepsFillTheirListsAndRefuseEmptyOnes) {
  machine.SetMultiString("HKLM\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                         "IPAddress", {"192.0.2.7", "192.0.2.8"});
  pages->TabSheet32Enter();
  EXPECT_EQ(List("NBR_IPList"), (std::vector<std::string>{"192.0.2.7", "192.0.2.8"}));
  form->At("NBR_IPList").itemIndex = 0;
  form->Click("RemoveNbrIP");
  form->At("NBR_IPList").itemIndex = 0;
  form->Click("RemoveNbrIP");
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet32Exit));
  EXPECT_EQ(ui.messages.back(), "You must enter at least one NimbraPost Server IP Address");

  EXPECT_FALSE(Leaves(&ServerPages::TabSheet33Exit));
  EXPECT_EQ(ui.messages.back(), "You must enter an Internal Email Server IP Address.");
  form->Click("RemoveInternal");
  EXPECT_EQ(ui.messages.back().rfind("The NimbraPost Gateway Wizard does not enable", 0), 0u);
  Text("InternalIP") = "10.0.0.25";
  EXPECT_TRUE(Leaves(&ServerPages::TabSheet33Exit));

  pages->TabSheet34Enter();
  EXPECT_EQ(List("SendIP"), (std::vector<std::string>{"10.0.0.25"}));
  Text("AddSendIP") = "localhost";
  form->Click("SendiPAdd");
  Text("AddSendIP") = "no-such-host.invalid";
  form->Click("SendiPAdd");
  EXPECT_EQ(ui.messages.back(), "Can not resolve the address no-such-host.invalid");
  EXPECT_EQ(List("SendIP"), (std::vector<std::string>{"10.0.0.25", "127.0.0.1"}));
  SetList("SendIP", {});
  ui.messages.clear();
  EXPECT_TRUE(Leaves(&ServerPages::TabSheet34Exit));  // a warning only
  EXPECT_EQ(ui.messages.at(0).rfind("WARNING: There are no addresses enabled to send email.", 0),
            0u);
}

TEST_F(ServerPagesTest, SendingMethodNeedsWhatTheChoiceUses) {
  ui::Control& relay = form->At("RelayType");
  Text("RelayIP") = "";
  relay.itemIndex = 0;
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet35Exit));
  relay.itemIndex = 1;
  Text("RelayIP") = "relay.example.net";
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet35Exit));  // no DNS server
  relay.itemIndex = 2;
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet35Exit));
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "You have selected to use a relay server but have not enter a valid relay server "
                "address",
                "You have selected to use a relay server and DNS but have not enter a valid relay "
                "server address or DNS Primary Server IP",
                "You have selected to use DNS but have not enter a valid DNS Primary Server IP"}));
  Text("DNS1") = "192.0.2.53";
  for (int choice : {0, 1, 2}) {
    relay.itemIndex = choice;
    EXPECT_TRUE(Leaves(&ServerPages::TabSheet35Exit)) << choice;
  }
  Text("RelayPort") = "";
  relay.itemIndex = 0;
  EXPECT_FALSE(Leaves(&ServerPages::TabSheet35Exit));
}

}  // namespace
}  // namespace nimbra::netconfig::testing
