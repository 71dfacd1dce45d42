#include "detect/address_mappings.h"

#include <optional>

#include "core/strings.h"
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

template <std::size_t S, std::size_t P, std::size_t M>
void RefreshOne(platform::Machine& machine, const platform::ProfileText& ini,
                const FixedText<S>& server, const FixedText<P>& port, FixedText<M>& mapping,
                bool& active) {
  if (server.empty()) {
    mapping.clear();
    return;
  }
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
  RefreshOne(machine, ini, account.pop3Server, account.pop3Port, account.pop3Mapping,
             account.active);
  RefreshOne(machine, ini, account.smtpServer, account.smtpPort, account.smtpMapping,
             account.active);
  RefreshOne(machine, ini, account.imapServer, account.imapPort, account.imapMapping,
             account.active);
}

}  // namespace nimbra::detect
