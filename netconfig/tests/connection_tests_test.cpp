#include <atomic>
#include <chrono>
#include <thread>

#include "netconfig/tests/netconfig_fixture.h"
#include "platform/ipc/socket.h"

namespace nimbra::netconfig::testing {
namespace {

using namespace std::chrono_literals;

// A mail server on a loopback port of its own: it takes one connection,
// sends `greeting` (nothing when empty) and holds the connection open until
// it goes away.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string greeting) : greeting_(std::move(greeting)) {
    listener_.Listen("127.0.0.1", 0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
  }
  std::string Port() const { return std::to_string(listener_.LocalPort()); }

 private:
  void Serve() {
    try {
      platform::TcpSocket peer = listener_.Accept(5s);
      if (!greeting_.empty()) peer.SendLine(greeting_);
      while (!stop_) std::this_thread::sleep_for(5ms);
    } catch (const platform::SocketError&) {
      // No one came: nothing to serve.
    }
  }

  std::string greeting_;
  platform::TcpSocket listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A port nothing listens on: one that was free a moment ago.
std::string ClosedPort() {
  platform::TcpSocket probe;
  probe.Listen("127.0.0.1", 0);
  return std::to_string(probe.LocalPort());
}

using ConnectionTest = ServerPagesTest;

TEST_F(ConnectionTest, GreetingWith220PassesAndTheInternalBoxTakesTheDottedAddress) {
  LoopbackServer server("220 mail.example.com ESMTP ready");
  Text("InternalIP") = "localhost";
  Text("InternalPort") = server.Port();
  form->Click("TestInternal");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "The server localhost was successfully tested\r\nThe Server responded with the "
            "identification\r\n220 mail.example.com ESMTP ready");
  EXPECT_EQ(Text("InternalIP"), "127.0.0.1");
}

TEST_F(ConnectionTest, RelayThatRefusesOrSaysNothingIsContactedWithAnError) {
  {
    LoopbackServer server("554 no service here");
    Text("RelayIP") = "localhost";
    Text("RelayPort") = server.Port();
    form->Click("Button7");
  }
  {
    // Accepts and never answers: the greeting wait ends with the time-out
    // line, while the window kept processing its messages.
    LoopbackServer server("");
    Text("RelayPort") = server.Port();
    pages->limits.lineWait = 200ms;
    const auto start = std::chrono::steady_clock::now();
    form->Click("Button7");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_GT(ui.pumps, 3);
  }
  const std::string contacted =
      "The server was successfully contacted but responded\r\nwith an error:\r\n";
  EXPECT_EQ(ui.messages, (std::vector<std::string>{contacted + "554 no service here",
                                                   contacted + "554 Server Timeout"}));
  EXPECT_EQ(Text("RelayIP"), "localhost");  // only the internal box takes the address
}

TEST_F(ConnectionTest, SocketErrorsAndEmptyBoxesAreReported) {
  form->Click("TestInternal");
  form->Click("Button7");
  Text("InternalIP") = "127.0.0.1";
  Text("InternalPort") = ClosedPort();
  form->Click("TestInternal");
  Text("InternalPort") = "port";
  form->Click("TestInternal");
  Text("RelayIP") = "no-such-host.invalid";
  form->Click("Button7");
  ASSERT_EQ(ui.messages.size(), 5u);
  EXPECT_EQ(ui.messages[0],
            "Please enter then IP address of your Internal Email Server before pressing the test "
            "button");
  EXPECT_EQ(ui.messages[1],
            "Please enter then IP address of your Relay Server before pressing the test button");
  const std::string tail = "\"\r\nprevents this address from being used";
  for (std::size_t i : {2u, 3u, 4u}) {
    EXPECT_EQ(ui.messages[i].rfind("An error \"Socket error ", 0), 0u) << ui.messages[i];
    EXPECT_EQ(ui.messages[i].substr(ui.messages[i].size() - tail.size()), tail);
  }
  EXPECT_NE(ui.messages[2].find("10061"), std::string::npos);  // refused
  EXPECT_NE(ui.messages[3].find("10022"), std::string::npos);  // no port number
  EXPECT_NE(ui.messages[4].find("11001"), std::string::npos);  // unknown name
}

TEST_F(ConnectionTest, AnAddressThatNeverConnectsGivesUpInTimeAndKeepsPumping) {
  // A listener whose queue is full drops new connection requests, so a
  // connection to it stays pending as one to a dead address does.
  platform::TcpSocket full;
  full.Listen("127.0.0.1", 0, 0);
  const std::string port = std::to_string(full.LocalPort());
  std::vector<platform::TcpSocket> queued(3);
  for (auto& socket : queued) socket.StartConnect("127.0.0.1", full.LocalPort());
  Text("InternalIP") = "127.0.0.1";
  Text("InternalPort") = port;
  pages->limits.connectWait = 200ms;
  const auto start = std::chrono::steady_clock::now();
  form->Click("TestInternal");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  // The window was let process its messages between looks, but the wait
  // paused between them rather than spinning.
  EXPECT_GT(ui.pumps, 3);
  EXPECT_LT(ui.pumps, 100);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("An error \"Socket error 10060 ", 0), 0u) << ui.messages[0];
}

TEST_F(ConnectionTest, BindTestKeepsUsableAddressesDottedAndDropsOthers) {
  form->Click("TestNimbraIP");
  EXPECT_EQ(ui.messages.back(),
            "Please select an address from the list on the left before pressing the test button");

  // A free port: the address listens, and the entry becomes dotted.
  pages->limits.bindPort = 0;
  Text("TestIP") = "localhost";
  form->Click("ADDNbrIP");
  EXPECT_EQ(ui.messages.back(), "The Address localhost was successfully tested");
  EXPECT_EQ(List("NBR_IPList"), (std::vector<std::string>{"127.0.0.1"}));

  // Another program listens there already: normal beside a mail server.
  platform::TcpSocket taken;
  taken.Listen("127.0.0.1", 0);
  pages->limits.bindPort = taken.LocalPort();
  Text("TestIP") = "localhost";
  form->Click("ADDNbrIP");
  EXPECT_EQ(ui.messages.back(),
            "The address is already in use for SMTP email connections.\r\nIf you are installing "
            "NimbraPost on the same computer as an\r\nemail server then this is normal, however, "
            "you will have to \r\nadjust the port settings on your email server.");
  EXPECT_EQ(List("NBR_IPList"), (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));

  // Not an address of this computer, and a name that resolves to nothing.
  for (const char* entry : {"198.51.100.123", "no-such-host.invalid"}) {
    Text("TestIP") = entry;
    form->Click("ADDNbrIP");
    EXPECT_EQ(ui.messages.back().rfind("An error \"Socket error ", 0), 0u) << entry;
    EXPECT_EQ(List("NBR_IPList"), (std::vector<std::string>{"127.0.0.1", "127.0.0.1"})) << entry;
  }
  EXPECT_NE(ui.messages.back().find("11001"), std::string::npos);
}

}  // namespace
}  // namespace nimbra::netconfig::testing
