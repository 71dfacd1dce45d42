#include "detect/address_mappings.h"

#include <arpa/inet.h>

#include <optional>

#include "core/strings.h"
#include "detect/account_sections.h"
#include "detect/hosts_file.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"

namespace nimbra::detect {

namespace {

// The text of WS.INI in `folder`; empty when the file or its drive is missing.
platform::ProfileText WsIni(platform::Machine& machine, const std::string& folder) {
  const auto host = machine.HostPath(folder + "WS.INI");
  if (!host) return {};
  return platform::ProfileFile(*host).Text();
}

std::optional<std::string> Entry(const platform::ProfileText& ini, std::string_view section,
                                 std::string_view server, std::string_view port) {
  std::string keys[2] = {std::string(server) + ":" + std::string(port), std::string(server)};
  for (std::size_t i = port.empty() ? 1 : 0; i < 2; ++i) {
    if (ini.ValueExists(section, keys[i])) return ini.ReadString(section, keys[i], "");
  }
  return std::nullopt;
}

// An empty port is the protocol's default port, as the mapping was made
// with it (a mailbox account keeps POP3 port 110 as no port).
template <std::size_t S, std::size_t P, std::size_t M>
void RefreshOne(platform::Machine& machine, const platform::ProfileText& ini,
                const FixedText<S>& server, const FixedText<P>& givenPort,
                std::string_view defaultPort, FixedText<M>& mapping, bool& active) {
  if (server.empty()) {
    mapping.clear();
    return;
  }
  const std::string_view port = givenPort.empty() ? defaultPort : std::string_view(givenPort);
  const auto real = Entry(ini, "OUTMAPSERVER", server, port);
  if (real && !real->empty()) {
    mapping = *real;
    active = true;
    return;
  }
  const auto local = Entry(ini, "INMAPSERVER", server, port);
  mapping = local && !local->empty() ? *local : std::string(kNotMapped);
  active = IsNameInHosts(machine, server);
}

// The local addresses of one family end at the last host number.
constexpr int kLastHost = 255;

// A server that is a dotted IPv4 address, as inet_addr accepts one (also
// the shortened and hexadecimal forms); 255.255.255.255 is inet_addr's
// failure value.
bool IsDottedAddress(std::string_view server) {
  in_addr address{};
  const std::string text(server);
  return inet_aton(text.c_str(), &address) != 0 && address.s_addr != INADDR_NONE;
}

// WS.INI of `folder` for writing, its folder created.
platform::ProfileFile WritableWsIni(platform::Machine& machine, const std::string& folder) {
  machine.ForceDirectories(folder);
  return WsIniFile(machine, folder);
}

bool HasValue(platform::ProfileFile& ini, std::string_view section, std::string_view key) {
  return !ini.ReadString(section, key, "").empty();
}

}  // namespace

bool IsProxyAddress(platform::Machine& machine, const std::string& folder, std::string_view server,
                    std::string_view port) {
  return Entry(WsIni(machine, folder), "OUTMAPSERVER", server, port).has_value();
}

std::string LookUpMapping(platform::Machine& machine, const std::string& folder,
                          std::string_view section, std::string_view server,
                          std::string_view port) {
  const auto value = Entry(WsIni(machine, folder), section, server, port);
  return value && !value->empty() ? *value : std::string(kNotMapped);
}

bool IsNameInHosts(platform::Machine& machine, std::string_view server) {
  const std::string path = machine.HostsFilePath();
  if (!machine.FileExists(path)) return false;
  const std::string text = machine.ReadFile(path);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line = std::string_view(text).substr(start, end - start);
    start = end + 1;
    if (line.find("127.0") == std::string_view::npos) continue;
    line = line.substr(0, line.find('#'));
    std::string_view name = Trim(line);
    for (auto gap = name.find_first_of(" \t"); gap != std::string_view::npos;
         gap = name.find_first_of(" \t")) {
      name = Trim(name.substr(gap));
    }
    if (!name.empty() && AnsiSameText(name, server)) return true;
  }
  return false;
}

void RefreshMappings(platform::Machine& machine, const std::string& folder,
                     DetectedAccount& account) {
  const platform::ProfileText ini = WsIni(machine, folder);
  account.active = false;
  RefreshOne(machine, ini, account.pop3Server, account.pop3Port, kDefaultPop3Port,
             account.pop3Mapping, account.active);
  RefreshOne(machine, ini, account.smtpServer, account.smtpPort, kDefaultSmtpPort,
             account.smtpMapping, account.active);
  RefreshOne(machine, ini, account.imapServer, account.imapPort, kDefaultImapPort,
             account.imapMapping, account.active);
}

std::string MapServer(platform::Machine& machine, const std::string& folder, bool quickroute,
                      std::string_view server, std::string_view defaultPort,
                      std::string_view proxyPort, std::string_view accountPort) {
  const std::string proxy(proxyPort.empty() ? defaultPort : proxyPort);
  const std::string account(accountPort.empty() ? defaultPort : accountPort);
  const bool equal = proxy == account;
  if (quickroute && equal && QuickrouteMap(machine, folder, server)) return std::string(server);
  const std::string key = equal ? std::string(server) : std::string(server) + ":" + account;
  platform::ProfileFile ini = WritableWsIni(machine, folder);
  platform::ProfileBatch batch(ini);
  if (std::string local = ini.ReadString("INMAPSERVER", key, ""); !local.empty()) return local;
  for (int n = 1; n <= kLastHost; ++n) {
    const std::string candidate =
        equal ? "127.0.2." + std::to_string(n) : "127.0.1." + std::to_string(n) + ":" + proxy;
    if (HasValue(ini, "OUTMAPSERVER", candidate)) continue;
    ini.WriteString("OUTMAPSERVER", candidate, key);
    ini.WriteString("INMAPSERVER", key, candidate);
    batch.Commit();
    return candidate;
  }
  throw platform::FileError("no free local address for " + key + " in " + folder + "WS.INI");
}

bool QuickrouteMap(platform::Machine& machine, const std::string& folder, std::string_view server) {
  const std::string hosts = machine.HostsFilePath();
  std::string address = AllocateQuickrouteAddress(machine, folder, server);
  address = address.substr(0, address.find(':'));
  if (IsDottedAddress(server)) return false;
  try {
    const std::string text = machine.FileExists(hosts) ? machine.ReadFile(hosts) : std::string();
    const std::string changed = SetQuickrouteLine(text, address, server);
    if (changed == text) return true;
    machine.ForceDirectories(platform::ExtractFileDir(hosts));
    machine.WriteFile(hosts, changed);
  } catch (const platform::FileError&) {
    return false;
  }
  return true;
}

std::string AllocateQuickrouteAddress(platform::Machine& machine, const std::string& folder,
                                      std::string_view server) {
  platform::ProfileFile ini = WritableWsIni(machine, folder);
  platform::ProfileBatch batch(ini);
  if (std::string local = ini.ReadString("INMAPSERVER", server, ""); !local.empty()) return local;
  for (int n = 1; n <= kLastHost; ++n) {
    const std::string address = "127.0.3." + std::to_string(n);
    if (HasValue(ini, "OUTMAPSERVER", address)) continue;
    ini.WriteString("OUTMAPSERVER", address, server);
    if (!server.empty()) ini.WriteString("INMAPSERVER", server, address);
    ini.WriteInteger("SendType", address, 0);
    ini.WriteString("ETRNString", address, "");
    ini.WriteString("ACCESS ALLOWED", "127.0.3.0:255.255.255.0", "ALLOW");
    batch.Commit();
    return address;
  }
  throw platform::FileError("no free Quickroute address for " + std::string(server) + " in " +
                            folder + "WS.INI");
}

}  // namespace nimbra::detect
