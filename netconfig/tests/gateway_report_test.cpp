#include "netconfig/gateway_report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nimbra::netconfig {
namespace {

using Lines = std::vector<std::string>;

GatewayPlan Plan() {
  GatewayPlan plan;
  plan.ownAddresses = {"192.0.2.1", "192.0.2.2"};
  plan.internalAddress = "10.0.0.25";
  plan.internalPort = "25";
  plan.senders = {"10.0.0.5", "10.0.0.6"};
  plan.relayAddress = "192.0.2.99";
  plan.relayPort = "2525";
  plan.dns1 = "192.0.2.53";
  plan.dns2 = "192.0.2.54";
  return plan;
}

Lines Between(const Lines& all, const std::string& from, const std::string& to) {
  auto begin = std::find(all.begin(), all.end(), from);
  auto end = std::find(begin, all.end(), to);
  return Lines(begin, end == all.end() ? end : end + 1);
}

TEST(GatewayReport, RelayOnlyReportLineForLine) {
  GatewayPlan plan = Plan();
  plan.firewall = true;
  const Lines expected = {
      "Gateway Configuration",
      std::string(81, '_'),
      "",
      "--------------------------INCOMING MESSAGE HANDLING----------------",
      "",
      "Incoming Internet Mail Message will be accepted ON the following address:",
      "      192.0.2.1",
      "      192.0.2.2",
      "",
      "connections to these address will be forwarded to",
      "      10.0.0.25 on port 25",
      "",
      "using the following NimbraPost IP routings",
      "(found in the NimbraPost Manager Communication Section)",
      "",
      "      192.0.2.1:25",
      "      192.0.2.2:25",
      "",
      "Note: connections on these routes will be able to learn new keys,",
      "      decrypt messages and perform content and policy scanning.",
      "      Messages on these connections WILL NOT be able to encrypt.",
      "",
      "--------------------------INCOMING MESSAGE HANDLING----------------",
      " ",
      "",
      "--------------------------OUTGOING MESSAGE HANDLING----------------",
      "Outgoing Internet Mail Messages will be accepted FROM the following address:",
      "      10.0.0.5",
      "      10.0.0.6",
      "connections from these address to any NimbraPost server address will be forwarded using",
      "      The Relay Server 192.0.2.99 on port 2525 ONLY",
      "",
      "The NimbraPost IP routings will be used",
      "(found in the NimbraPost Manager Communication Section)",
      "",
      "      10.0.0.5to192.0.2.1:25",
      "      10.0.0.6to192.0.2.1:25",
      "      10.0.0.5to192.0.2.2:25",
      "      10.0.0.6to192.0.2.2:25",
      "",
      "Note: connections on these route will be able to encrypt messages,",
      "      distribute public keys and perform content and policy scanning.",
      "      Messages on these connections WILL NOT be able to decrypt.",
      "",
      "--------------------------OUTGOING MESSAGE HANDLING----------------",
      "",
      "--------------------------REQUIRED NETWORK CHANGES-----------------",
      "Changes for Incoming Messages",
      "      Message delivered to your network from the internet are currently",
      "      delivered to server 10.0.0.25 this must be changed to ",
      "      192.0.2.1 on your Firewall.",
      "      Refer to your Firewall, router or DNS documentation for notes on making these "
      "changes.",
      "",
      "Changes for Outgoing Messages",
      "      On each of you network machines (IP address listed below) that sends Internet Email,",
      "      10.0.0.5",
      "      10.0.0.6",
      "      the send configuration must be changed from",
      "      sending using the Relay Server 192.0.2.99 on port 2525",
      "      to sending using the relay server 192.0.2.1 on port 25",
      "      Refer to your email software documentation for notes on making these changes.",
      "",
      "--------------------------REQUIRED NETWORK CHANGES-----------------",
  };
  EXPECT_EQ(GatewayReport(plan), expected);
}

TEST(GatewayReport, DnsChoicesAndTheAdviceForTheInternalServer) {
  GatewayPlan plan = Plan();
  plan.relay = RelayChoice::RelayAndDns;
  Lines r = GatewayReport(plan);
  const std::string using_ =
      "connections from these address to any NimbraPost server address will be forwarded using";
  EXPECT_EQ(
      Between(r, using_, "The NimbraPost IP routings will be used"),
      (Lines{using_, "      the DNS Primary server 192.0.2.53 and secondary server 192.0.2.54",
             "      the Relay Server 192.0.2.99 on port 2525 will provide backup.", "",
             "The NimbraPost IP routings will be used"}));
  EXPECT_NE(std::find(r.begin(), r.end(),
                      "      sending using DNS to sending using the relay server 192.0.2.1"),
            r.end());
  EXPECT_NE(std::find(r.begin(), r.end(), "      192.0.2.1 on your DNS or router."), r.end());

  plan.relay = RelayChoice::DnsOnly;
  r = GatewayReport(plan);
  EXPECT_EQ(
      Between(r, using_, ""),
      (Lines{using_, "      the DNS Primary server 192.0.2.53 and secondary server 192.0.2.54 ONLY",
             ""}));

  // The internal server is one of the gateway's own addresses: port advice.
  plan.internalAddress = "192.0.2.2";
  r = GatewayReport(plan);
  EXPECT_EQ(Between(r, "Changes for Incoming Messages", ""),
            (Lines{"Changes for Incoming Messages",
                   "      You have installed NimbraPost on the same server as your internal email "
                   "server,",
                   "      you will therefore need to change the ports on which email software "
                   "receives",
                   "      messages. Please refer to the advanced notes in the NimbraPost install "
                   "guide and",
                   "      and your email software documentation for notes on making these "
                   "changes.",
                   ""}));
  // No own address at all still gives a whole report.
  plan.ownAddresses.clear();
  EXPECT_EQ(GatewayReport(plan).back(),
            "--------------------------REQUIRED NETWORK CHANGES-----------------");
}

}  // namespace
}  // namespace nimbra::netconfig
