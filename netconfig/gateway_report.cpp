#include "netconfig/gateway_report.h"

#include <algorithm>

namespace nimbra::netconfig {

namespace {

constexpr const char* kIndent = "      ";
constexpr const char* kIncoming =
    "--------------------------INCOMING MESSAGE HANDLING----------------";
constexpr const char* kOutgoing =
    "--------------------------OUTGOING MESSAGE HANDLING----------------";
constexpr const char* kChanges =
    "--------------------------REQUIRED NETWORK CHANGES-----------------";
constexpr const char* kManagerSection = "(found in the NimbraPost Manager Communication Section)";

std::vector<std::string> ItemTexts(const ui::Control& list) {
  std::vector<std::string> texts;
  for (const ui::ListItem& item : list.items) texts.push_back(item.text);
  return texts;
}

}  // namespace

RelayChoice ChosenRelay(const ui::Form& form) {
  switch (form.At("RelayType").itemIndex) {
    case 1:
      return RelayChoice::RelayAndDns;
    case 2:
      return RelayChoice::DnsOnly;
    default:
      return RelayChoice::RelayOnly;
  }
}

GatewayPlan ReadGatewayPlan(const ui::Form& form) {
  GatewayPlan plan;
  plan.ownAddresses = ItemTexts(form.At("NBR_IPList"));
  plan.internalAddress = form.At("InternalIP").text;
  plan.internalPort = form.At("InternalPort").text;
  plan.senders = ItemTexts(form.At("SendIP"));
  plan.relay = ChosenRelay(form);
  plan.relayAddress = form.At("RelayIP").text;
  plan.relayPort = form.At("RelayPort").text;
  plan.dns1 = form.At("DNS1").text;
  plan.dns2 = form.At("DNS2").text;
  plan.firewall = form.At("gwFirewall").checked;
  return plan;
}

std::string SenderRoute(const std::string& sender, const std::string& ownAddress) {
  return sender + "to" + ownAddress + ":25";
}

std::vector<std::string> GatewayReport(const GatewayPlan& plan) {
  std::vector<std::string> r;
  auto add = [&r](std::string line) { r.push_back(std::move(line)); };
  auto indented = [&](const std::vector<std::string>& items, const char* suffix = "") {
    for (const std::string& item : items) add(kIndent + item + suffix);
  };
  // The pages refuse an empty list of own addresses; a plan without one
  // still gives a whole report.
  const std::string first = plan.ownAddresses.empty() ? std::string() : plan.ownAddresses.front();
  const std::string relay = plan.relayAddress + " on port " + plan.relayPort;
  const std::string dns =
      "      the DNS Primary server " + plan.dns1 + " and secondary server " + plan.dns2;

  add("Gateway Configuration");
  add(std::string(81, '_'));
  add("");
  add(kIncoming);
  add("");
  add("Incoming Internet Mail Message will be accepted ON the following address:");
  indented(plan.ownAddresses);
  add("");
  add("connections to these address will be forwarded to");
  add(kIndent + plan.internalAddress + " on port " + plan.internalPort);
  add("");
  add("using the following NimbraPost IP routings");
  add(kManagerSection);
  add("");
  indented(plan.ownAddresses, ":25");
  add("");
  add("Note: connections on these routes will be able to learn new keys,");
  add("      decrypt messages and perform content and policy scanning.");
  add("      Messages on these connections WILL NOT be able to encrypt.");
  add("");
  add(kIncoming);
  add(" ");
  add("");

  add(kOutgoing);
  add("Outgoing Internet Mail Messages will be accepted FROM the following address:");
  indented(plan.senders);
  add("connections from these address to any NimbraPost server address will be forwarded using");
  switch (plan.relay) {
    case RelayChoice::RelayOnly:
      add("      The Relay Server " + relay + " ONLY");
      break;
    case RelayChoice::RelayAndDns:
      add(dns);
      add("      the Relay Server " + relay + " will provide backup.");
      break;
    case RelayChoice::DnsOnly:
      add(dns + " ONLY");
      break;
  }
  add("");
  add("The NimbraPost IP routings will be used");
  add(kManagerSection);
  add("");
  for (const std::string& own : plan.ownAddresses) {
    for (const std::string& sender : plan.senders) add(kIndent + SenderRoute(sender, own));
  }
  add("");
  add("Note: connections on these route will be able to encrypt messages,");
  add("      distribute public keys and perform content and policy scanning.");
  add("      Messages on these connections WILL NOT be able to decrypt.");
  add("");
  add(kOutgoing);
  add("");

  add(kChanges);
  add("Changes for Incoming Messages");
  const auto& own = plan.ownAddresses;
  if (std::find(own.begin(), own.end(), plan.internalAddress) == own.end()) {
    add("      Message delivered to your network from the internet are currently");
    add("      delivered to server " + plan.internalAddress + " this must be changed to ");
    add(kIndent + first + (plan.firewall ? " on your Firewall." : " on your DNS or router."));
    add("      Refer to your Firewall, router or DNS documentation for notes on making these "
        "changes.");
  } else {
    add("      You have installed NimbraPost on the same server as your internal email server,");
    add("      you will therefore need to change the ports on which email software receives");
    add("      messages. Please refer to the advanced notes in the NimbraPost install guide and");
    add("      and your email software documentation for notes on making these changes.");
  }
  add("");
  add("Changes for Outgoing Messages");
  add("      On each of you network machines (IP address listed below) that sends Internet "
      "Email,");
  indented(plan.senders);
  add("      the send configuration must be changed from");
  if (plan.relay == RelayChoice::RelayOnly) {
    add("      sending using the Relay Server " + relay);
    add("      to sending using the relay server " + first + " on port 25");
  } else {
    add("      sending using DNS to sending using the relay server " + first);
  }
  add("      Refer to your email software documentation for notes on making these changes.");
  add("");
  add(kChanges);
  return r;
}

}  // namespace nimbra::netconfig
