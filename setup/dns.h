#pragma once

#include <string>

#include "platform/registry/registry.h"

namespace nimbra::setup {

// The computer's DNS servers as Windows 95 and NT record them: the first
// non-empty of MSTCP "NameServer", MSTCP "DhcpNameServer", Tcpip\Parameters
// "DhcpNameServer" and Tcpip\Parameters "NameServer" (HKEY_LOCAL_MACHINE).
// Empty when none is set or the registry cannot be read.
std::string DiscoverNameServers(platform::Registry& registry);

// Splits a name-server value into the two DNS fields: first at a space, then
// at a comma. When dns1 holds the separator, the text after its first
// occurrence (at most 100 characters) becomes dns2, cut before its own first
// occurrence of the separator, and dns1 keeps the text before it.
void SplitNameServers(std::string& dns1, std::string& dns2);

}  // namespace nimbra::setup
