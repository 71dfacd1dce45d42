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
// the hosts file routes the server name (Quickroute). The last protocol
// with a server (POP3, SMTP, IMAP in that order) decides the flag; a
// protocol without a server has an empty mapping.
void RefreshMappings(platform::Machine& machine, const std::string& folder,
                     DetectedAccount& account);

}  // namespace nimbra::detect
