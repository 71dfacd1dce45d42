#pragma once

#include <string>
#include <vector>

#include "ui/form.h"

namespace nimbra::netconfig {

// The relay choice of the sending-method page (`RelayType`), in the order of
// its entries.
enum class RelayChoice { RelayOnly, RelayAndDns, DnsOnly };
RelayChoice ChosenRelay(const ui::Form& form);

// What the gateway pages hold, as the report and the routing entries use it.
struct GatewayPlan {
  std::vector<std::string> ownAddresses;  // `NBR_IPList`
  std::string internalAddress;            // `InternalIP`
  std::string internalPort;               // `InternalPort`
  std::vector<std::string> senders;       // `SendIP`
  RelayChoice relay = RelayChoice::RelayOnly;
  std::string relayAddress;  // `RelayIP`
  std::string relayPort;     // `RelayPort`
  std::string dns1;
  std::string dns2;
  bool firewall = false;  // `gwFirewall`
};
GatewayPlan ReadGatewayPlan(const ui::Form& form);

// The sender route of a sending host to one of the gateway's own addresses:
// "192.0.2.9to192.0.2.1:25".
std::string SenderRoute(const std::string& sender, const std::string& ownAddress);

// The lines of the report of the network changes the gateway needs, shown on
// the last gateway page and saved as "Gateway-Config.txt".
std::vector<std::string> GatewayReport(const GatewayPlan& plan);

}  // namespace nimbra::netconfig
