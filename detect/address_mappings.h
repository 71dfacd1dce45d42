#pragma once

#include <string>
#include <string_view>

#include "detect/detected_account.h"
#include "platform/machine.h"

namespace nimbra::detect {

// The read side of the address mappings that protection keeps in WS.INI
// (sections "INMAPSERVER" and "OUTMAPSERVER") and in the hosts file. `folder`
// is the folder of WS.INI, ending in "\".

inline constexpr std::string_view kNotMapped = "Not Mapped";

// The ports a protocol's server or proxy has when none is given.
inline constexpr std::string_view kDefaultPop3Port = "110";
inline constexpr std::string_view kDefaultSmtpPort = "25";
inline constexpr std::string_view kDefaultImapPort = "143";

// True when "OUTMAPSERVER" has an entry for server + ":" + port or, failing
// that, for the server alone (only the server when the port is empty): the
// server already is one of the proxy's local addresses.
bool IsProxyAddress(platform::Machine& machine, const std::string& folder, std::string_view server,
                    std::string_view port);

// The value of `section` ("INMAPSERVER" or "OUTMAPSERVER") for server + ":" +
// port, else for the server alone (only the server when the port is empty),
// else "Not Mapped". An entry with an empty value counts as none.
std::string LookUpMapping(platform::Machine& machine, const std::string& folder,
                          std::string_view section, std::string_view server, std::string_view port);

// True when a line of the hosts file maps the name (without regard to case)
// to a 127.0 address: of each line holding "127.0", the comment after "#" is
// cut and the last name left is compared.
bool IsNameInHosts(platform::Machine& machine, std::string_view server);

// Fills the mapping fields and the active flag of an account from its
// servers: a server that is a local address maps back to the real server
// (and the account is active); otherwise the mapping is the local address
// kept for the real server, or "Not Mapped", and the account is active when
// the hosts file routes the server name (Quickroute). An empty port is
// looked up as the protocol's default port first. The last protocol
// with a server (POP3, SMTP, IMAP in that order) decides the flag; a
// protocol without a server has an empty mapping.
void RefreshMappings(platform::Machine& machine, const std::string& folder,
                     DetectedAccount& account);

// ---- Making mappings ----
// Mappings are only ever added: a real server mapped once keeps its local
// address for every later account and run.

// The text a client is to use instead of `server`. An empty proxy or
// account port counts as `defaultPort`. With Quickroute and equal ports the
// server keeps its name when QuickrouteMap routes it. Otherwise the
// real server's key (the server when the ports are equal, else server + ":"
// + account port) keeps the local address "INMAPSERVER" holds for it, or
// gets the first free one: "127.0.2." + n for equal ports, "127.0.1." + n +
// ":" + proxy port when they differ, recorded both ways.
std::string MapServer(platform::Machine& machine, const std::string& folder, bool quickroute,
                      std::string_view server, std::string_view defaultPort,
                      std::string_view proxyPort, std::string_view accountPort);

// Routes a server name to its Quickroute address through the hosts file
// (the address is allocated first in any case). False for a server that is
// a dotted IPv4 address, which no hosts line can route, and when the hosts
// file cannot be read or written: the caller then maps the port instead.
bool QuickrouteMap(platform::Machine& machine, const std::string& folder, std::string_view server);

// The Quickroute address of a server name: the one "INMAPSERVER" holds, or
// the first "127.0.3." + n free in "OUTMAPSERVER", recorded both ways with
// its "SendType" (0), "ETRNString" (empty) and the "ACCESS ALLOWED" entry of
// the Quickroute network.
std::string AllocateQuickrouteAddress(platform::Machine& machine, const std::string& folder,
                                      std::string_view server);

}  // namespace nimbra::detect
