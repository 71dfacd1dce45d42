// The gateway steps: the own addresses (TabSheet32), the internal mail server
// (TabSheet33), the sending hosts (TabSheet34), the sending method
// (TabSheet35) and the report (TabSheet36).

#include "netconfig/gateway_report.h"
#include "netconfig/server_pages.h"
#include "platform/ipc/socket.h"

namespace nimbra::netconfig {

namespace {

void RemoveSelected(ui::Control& list) {
  const int at = list.itemIndex;
  if (at < 0 || at >= static_cast<int>(list.items.size())) return;
  list.items.erase(list.items.begin() + at);
  list.itemIndex = -1;
}

}  // namespace

void ServerPages::TabSheet32Enter() {
  ui::Control& list = wizard_.form.At("NBR_IPList");
  if (!list.items.empty()) return;
  for (std::string& address : wizard_.machine.IpAddresses()) list.AddLine(std::move(address));
}

void ServerPages::TabSheet32Exit() {
  if (wizard_.form.At("NBR_IPList").items.empty()) {
    Stay("NBR_IPList", "You must enter at least one NimbraPost Server IP Address");
  }
}

void ServerPages::RemoveNbrIPClick() {
  RemoveSelected(wizard_.form.At("NBR_IPList"));
}

void ServerPages::TabSheet33Exit() {
  if (wizard_.Text("InternalIP").empty()) {
    Stay("InternalIP", "You must enter an Internal Email Server IP Address.");
  }
}

void ServerPages::RemoveInternalClick() {
  wizard_.Message(
      "The NimbraPost Gateway Wizard does not enable automatic configuration of multiple "
      "servers\r\nYou can use the NimbraPost Manager program to install additional Email Servers "
      "after installation.\r\nTo continue installation enter the address of the MAIN email server "
      "below.");
}

void ServerPages::TabSheet34Enter() {
  ui::Control& list = wizard_.form.At("SendIP");
  const std::string& internal = wizard_.Text("InternalIP");
  if (list.items.empty() && !internal.empty()) list.AddLine(internal);
}

void ServerPages::TabSheet34Exit() {
  if (wizard_.form.At("SendIP").items.empty()) {
    wizard_.Message(
        "WARNING: There are no addresses enabled to send email.\r\nNimbraPost will not encrypt "
        "any message in this configuration");
  }
}

void ServerPages::SendiPAddClick() {
  const std::string text = wizard_.Text("AddSendIP");
  std::string dotted;
  try {
    dotted = platform::TcpSocket::Resolve(text);
  } catch (const platform::SocketError&) {
    wizard_.Message("Can not resolve the address " + text);
    return;
  }
  wizard_.form.At("SendIP").AddLine(dotted);
}

void ServerPages::SendIPRemoveClick() {
  RemoveSelected(wizard_.form.At("SendIP"));
}

void ServerPages::TabSheet35Exit() {
  const bool relay = !wizard_.Text("RelayIP").empty() && !wizard_.Text("RelayPort").empty();
  const bool dns = !wizard_.Text("DNS1").empty();
  switch (ChosenRelay(wizard_.form)) {
    case RelayChoice::RelayOnly:
      if (!relay) {
        Stay("RelayIP",
             "You have selected to use a relay server but have not enter a valid relay server "
             "address");
      }
      break;
    case RelayChoice::RelayAndDns:
      if (!relay || !dns) {
        Stay(relay ? "DNS1" : "RelayIP",
             "You have selected to use a relay server and DNS but have not enter a valid relay "
             "server address or DNS Primary Server IP");
      }
      break;
    case RelayChoice::DnsOnly:
      if (!dns) {
        Stay("DNS1",
             "You have selected to use DNS but have not enter a valid DNS Primary Server IP");
      }
      break;
  }
}

void ServerPages::TabSheet36Enter() {
  wizard_.form.At("GateConfig").SetLines(GatewayReport(ReadGatewayPlan(wizard_.form)));
}

}  // namespace nimbra::netconfig
