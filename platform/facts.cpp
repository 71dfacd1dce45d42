// Facts about the machine: where Windows lives, its kind, the hosts file,
// the logon user, the computer's name and addresses, the date separator and
// the clock.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

#include "core/strings.h"
#include "platform/machine.h"
#include "platform/machine_values.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {

namespace {

constexpr std::string_view kWindowsKey = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kWindowsNtKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kTcpipParameters =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::vector<std::string> HostIpv4Addresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
    const auto* address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
    char text[INET_ADDRSTRLEN];
    if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
      addresses.emplace_back(text);
    }
  }
  ::freeifaddrs(list);
  return addresses;
}

}  // namespace

WindowsKind Machine::Kind() const {
  // A real Wine prefix always has the NT key; a Windows 9x machine has only
  // the version number of the shared key.
  const bool nt =
      ReadRegString(*registry_, RootKey::LocalMachine, kWindowsNtKey, "CurrentVersion").has_value();
  const bool win9x =
      ReadRegString(*registry_, RootKey::LocalMachine, kWindowsKey, "VersionNumber").has_value();
  return win9x && !nt ? WindowsKind::Win9x : WindowsKind::NT;
}

std::string Machine::WindowsDirectory() const {
  const std::string_view key = Kind() == WindowsKind::NT ? kWindowsNtKey : kWindowsKey;
  const std::optional<std::string> root =
      ReadRegString(*registry_, RootKey::LocalMachine, key, "SystemRoot");
  if (!root || root->size() < 3) return IsNT() ? "C:\\windows" : "C:\\WINDOWS";
  return WithoutTrailingBackslash(*root);
}

std::string Machine::SystemDirectory() const {
  return WindowsDirectory() + (IsNT() ? "\\system32" : "\\SYSTEM");
}

std::string Machine::HostsFilePath() const {
  std::optional<std::string> folder =
      ReadRegString(*registry_, RootKey::LocalMachine, kTcpipParameters, "Databasepath");
  if (!folder || folder->empty()) return WindowsDirectory() + "\\hosts";
  // The value names its folder through %SystemRoot%; that part becomes the
  // Windows directory wherever it stands.
  const std::size_t at = FindText(*folder, "%SystemRoot%");
  if (at != std::string::npos) folder->replace(at, 12, WindowsDirectory());
  return WithoutTrailingBackslash(*folder) + "\\hosts";
}

std::string Machine::UserName() const {
  const bool nt = IsNT();
  const auto logon = ReadRegString(
      *registry_, RootKey::LocalMachine,
      nt ? "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon" : "Network\\Logon",
      nt ? "DefaultUserName" : "username");
  if (logon && !logon->empty()) return *logon;
  // A Wine prefix records its user in the volatile environment.
  if (const auto value =
          ReadRegString(*registry_, RootKey::CurrentUser, "Volatile Environment", "USERNAME");
      value && !value->empty()) {
    return *value;
  }
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) return entry->pw_name;
  return "User";
}

std::string Machine::ComputerName() const {
  const auto value = ReadRegString(*registry_, RootKey::LocalMachine,
                                   "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                                   "ComputerName");
  if (value && !value->empty()) return *value;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') return AnsiUpperCase(host);
  return "NIMBRA-PC";
}

std::string Machine::DateSeparator() const {
  const auto value =
      ReadRegString(*registry_, RootKey::CurrentUser, "Control Panel\\International", "sDate");
  return value && !value->empty() ? *value : "/";
}

std::vector<std::string> Machine::IpAddresses() const {
  std::vector<std::string> addresses;
  try {
    const std::optional<RegKey> key =
        registry_->OpenKey(RootKey::LocalMachine, kTcpipParameters, false);
    if (key && key->ValueExists("IPAddress")) {
      std::vector<std::string> items;
      if (key->GetValueType("IPAddress") == RegType::MultiString) {
        items = key->ReadMultiString("IPAddress");
      } else {
        for (const std::string& item : SplitCommaList(key->ReadString("IPAddress"))) {
          items.push_back(item);
        }
      }
      for (const std::string& item : items) {
        if (!item.empty() && item != "0.0.0.0") addresses.push_back(item);
      }
    }
  } catch (const ERegistryException&) {
    addresses.clear();  // a value of an unusable type counts as none
  }
  if (!addresses.empty()) return addresses;
  addresses.push_back("127.0.0.1");
  for (const std::string& address : HostIpv4Addresses()) {
    if (address != "127.0.0.1") addresses.push_back(address);
  }
  return addresses;
}

FileTime Machine::Now() const {
  return fixed_now_.value_or(std::chrono::system_clock::now());
}

}  // namespace nimbra::platform
