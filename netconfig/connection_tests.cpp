// The connection tests of the gateway pages: the bind test of an own address
// on the SMTP port, and the banner tests of the internal and relay servers.
// They run on the window's thread; every wait lets the window's messages run
// and ends after a set time.

#include "core/strings.h"
#include "netconfig/server_pages.h"
#include "platform/ipc/socket.h"
#include "ui/pumped_wait.h"

namespace nimbra::netconfig {

namespace {

std::string ErrorMessage(const std::exception& error) {
  return "An error \"" + std::string(error.what()) + "\"\r\nprevents this address from being used";
}

std::uint16_t PortOf(const std::string& text) {
  const auto port = TryStrToInt(text);
  if (!port || *port < 1 || *port > 65535) {
    throw platform::SocketError(platform::kWsaEInvalid, "connect to port " + text);
  }
  return static_cast<std::uint16_t>(*port);
}

}  // namespace

void ServerPages::TestNimbraIPClick() {
  ui::Control& list = wizard_.form.At("NBR_IPList");
  const int at = list.itemIndex;
  if (list.items.empty() || at < 0 || at >= static_cast<int>(list.items.size())) {
    wizard_.Message(
        "Please select an address from the list on the left before pressing the test "
        "button");
    return;
  }
  const std::string entry = list.items[static_cast<std::size_t>(at)].text;
  std::string dotted;
  try {
    dotted = platform::TcpSocket::Resolve(entry);
    platform::TcpSocket socket;
    socket.Listen(dotted, limits.bindPort);
    wizard_.Message("The Address " + entry + " was successfully tested");
    list.items[static_cast<std::size_t>(at)].text = dotted;
  } catch (const platform::SocketError& error) {
    if (std::string(error.what()).find("10048") != std::string::npos) {
      wizard_.Message(
          "The address is already in use for SMTP email connections.\r\nIf you are installing "
          "NimbraPost on the same computer as an\r\nemail server then this is normal, however, "
          "you will have to \r\nadjust the port settings on your email server.");
      list.items[static_cast<std::size_t>(at)].text = dotted;
    } else {
      wizard_.Message(ErrorMessage(error));
      list.items.erase(list.items.begin() + at);
      list.itemIndex = -1;
    }
  }
}

void ServerPages::ADDNbrIPClick() {
  ui::Control& list = wizard_.form.At("NBR_IPList");
  const std::string& text = wizard_.Text("TestIP");
  if (!text.empty()) {
    list.AddLine(text);
    list.itemIndex = static_cast<int>(list.items.size()) - 1;
  }
  TestNimbraIPClick();
}

void ServerPages::TestInternalClick() {
  BannerTest("InternalIP", "InternalPort",
             "Please enter then IP address of your Internal Email Server before pressing the test "
             "button",
             true);
}

void ServerPages::Button7Click() {
  BannerTest("RelayIP", "RelayPort",
             "Please enter then IP address of your Relay Server before pressing the test button",
             false);
}

void ServerPages::BannerTest(const std::string& addressBox, const std::string& portBox,
                             const std::string& emptyMessage, bool keepDotted) {
  const std::string address = wizard_.Text(addressBox);
  if (address.empty()) {
    wizard_.Message(emptyMessage);
    return;
  }
  std::string line;
  std::string dotted;
  try {
    dotted = platform::TcpSocket::Resolve(address);
    const std::uint16_t port = PortOf(wizard_.Text(portBox));
    platform::TcpSocket socket;
    socket.StartConnect(dotted, port);
    bool connected = false;
    ui::WaitPumping(wizard_.ui, limits.connectWait, [&] {
      connected = socket.PollConnected();
      return !connected;
    });
    if (!connected) throw platform::SocketError(platform::kWsaETimedOut, "connect");
    ui::WaitPumping(wizard_.ui, limits.lineWait, [&] { return !socket.LineReady(); });
    line = socket.ReadLine(std::chrono::milliseconds(0));
  } catch (const platform::SocketError& error) {
    wizard_.Message(ErrorMessage(error));
    return;
  }
  if (line.empty()) line = "554 Server Timeout";
  if (line.find("220") != std::string::npos) {
    wizard_.Message("The server " + address +
                    " was successfully tested\r\nThe Server responded "
                    "with the identification\r\n" +
                    line);
    if (keepDotted) wizard_.Text(addressBox) = dotted;
  } else {
    wizard_.Message("The server was successfully contacted but responded\r\nwith an error:\r\n" +
                    line);
  }
}

}  // namespace nimbra::netconfig
