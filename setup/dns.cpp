#include "setup/dns.h"

namespace nimbra::setup {

std::string DiscoverNameServers(platform::Registry& registry) {
  struct Source {
    const char* key;
    const char* value;
  };
  static constexpr Source kSources[] = {
      {"\\System\\CurrentControlSet\\Services\\VxD\\MSTCP", "NameServer"},
      {"\\System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DhcpNameServer"},
      {"\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "DhcpNameServer"},
      {"\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "NameServer"},
  };
  for (const Source& source : kSources) {
    try {
      auto key = registry.OpenKey(platform::RootKey::LocalMachine, source.key, false);
      if (!key || !key->ValueExists(source.value)) continue;
      std::string value = key->ReadString(source.value);
      if (!value.empty()) return value;
    } catch (const platform::ERegistryException&) {
      // An unreadable value counts as not set.
    }
  }
  return {};
}

void SplitNameServers(std::string& dns1, std::string& dns2) {
  for (char separator : {' ', ','}) {
    const auto at = dns1.find(separator);
    if (at == std::string::npos) continue;
    dns2 = dns1.substr(at + 1, 100);
    dns1.erase(at);
    const auto cut = dns2.find(separator);
    if (cut != std::string::npos) dns2.erase(cut);
  }
}

}  // namespace nimbra::setup
