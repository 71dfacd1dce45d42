#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "detect/fixed_text.h"

namespace nimbra::detect {

// Client types, as stored in an account section's "DetectType".
namespace client {
inline constexpr std::uint8_t kNone = 0;  // a fresh record
inline constexpr std::uint8_t kNavigator = 1;
inline constexpr std::uint8_t kExchange = 2;
inline constexpr std::uint8_t kEudora = 3;
inline constexpr std::uint8_t kPegasus = 4;
inline constexpr std::uint8_t kCommunicator = 5;
inline constexpr std::uint8_t kInternetMail = 6;
inline constexpr std::uint8_t kEudoraPersonality = 7;
inline constexpr std::uint8_t kOutlook = 8;  // Outlook Express, Outlook 98, MSN
inline constexpr std::uint8_t kMailbox = 9;  // Calypso, Email 2000
inline constexpr std::uint8_t kTurnpike = 10;
inline constexpr std::uint8_t kNetworkServer = 99;  // a server's own entry, never detected
}  // namespace client

// One e-mail account of one e-mail program, as the search finds it and as
// its "UNINSTALL" + n section of WS.INI keeps it. Every text field holds at
// most its capacity; a longer value is cut.
struct DetectedAccount {
  std::uint8_t clientType = client::kNone;
  bool isClient = true;
  FixedText<254> location;  // where the account's settings live
  FixedText<80> software;   // the label of the check list
  FixedText<60> name;       // the user's display name
  FixedText<120> address;   // reply address, else the account address
  FixedText<80> pop3Server;
  FixedText<10> pop3Port;  // empty: the client's default
  FixedText<80> smtpServer;
  FixedText<10> smtpPort;
  FixedText<80> imapServer;
  FixedText<10> imapPort;
  // What the client is to use instead of each server: empty without a
  // server, "Not Mapped" while no mapping exists, else a local address (or,
  // under Quickroute, the server name itself).
  FixedText<80> pop3Mapping;
  FixedText<80> smtpMapping;
  FixedText<80> imapMapping;
  // Eudora personality section, Turnpike user file or mailbox password.
  FixedText<90> persona;
  // An account's position within a mailbox; for Internet Mail its section
  // number once protected.
  std::int32_t subClient = 0;
  bool active = false;  // the account's mail goes through the proxy now
};

// A server field holding "host:port": the text before the first ":" stays
// the server and the text after it becomes the port. A server without ":"
// leaves the port empty.
template <std::size_t S, std::size_t P>
void SplitHostPort(FixedText<S>& server, FixedText<P>& port) {
  const std::string text = server.str();
  const auto colon = text.find(':');
  if (colon == std::string::npos) {
    port.clear();
    return;
  }
  port = std::string_view(text).substr(colon + 1);
  server = std::string_view(text).substr(0, colon);
}

// Adds an address to the detected addresses, a list kept sorted without
// regard to case that holds each address once (compared without regard to
// case).
void AddDetectedAddress(std::vector<std::string>& addresses, std::string_view address);

}  // namespace nimbra::detect
