// The content of a freshly installed Windows computer: folders on drive C and
// the registry values programs of the period expect to find.

#include <utility>
#include <vector>

#include "platform/machine.h"
#include "platform/machine_values.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {

namespace {

constexpr std::string_view kWindowsKey = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kWindowsNtKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kTcpipParameters =
    "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";

using Folders = std::vector<std::pair<std::string, std::string>>;

// Per-user shell folders (value name, Windows path) below a profile folder.
Folders UserShellFolders(const std::string& profile, const std::string& windir,
                         const std::string& personal) {
  return {
      {"AppData", profile + "\\Application Data"},
      {"Cookies", profile + "\\Cookies"},
      {"Desktop", profile + "\\Desktop"},
      {"Favorites", profile + "\\Favorites"},
      {"Fonts", windir + "\\Fonts"},
      {"NetHood", profile + "\\NetHood"},
      {"Personal", personal},
      {"Programs", profile + "\\Start Menu\\Programs"},
      {"Recent", profile + "\\Recent"},
      {"SendTo", profile + "\\SendTo"},
      {"Start Menu", profile + "\\Start Menu"},
      {"Startup", profile + "\\Start Menu\\Programs\\Startup"},
      {"Templates", profile + "\\ShellNew"},
  };
}

const std::vector<std::pair<std::string_view, std::string_view>>& InternationalDefaults() {
  static const std::vector<std::pair<std::string_view, std::string_view>> values = {
      {"iCountry", "1"},        {"iCurrDigits", "2"},
      {"iCurrency", "0"},       {"iDate", "0"},
      {"iDigits", "2"},         {"iLZero", "0"},
      {"iMeasure", "1"},        {"iNegCurr", "0"},
      {"iTime", "0"},           {"iTLZero", "0"},
      {"Locale", "00000409"},   {"s1159", "AM"},
      {"s2359", "PM"},          {"sCountry", "United States"},
      {"sCurrency", "$"},       {"sDate", "/"},
      {"sDecimal", "."},        {"sLanguage", "ENU"},
      {"sList", ","},           {"sLongDate", "dddd, MMMM dd, yyyy"},
      {"sShortDate", "M/d/yy"}, {"sThousand", ","},
      {"sTime", ":"},           {"sTimeFormat", "h:mm:ss tt"},
  };
  return values;
}

}  // namespace

void Machine::Populate(const MachineOptions& options) {
  const bool nt = options.kind == WindowsKind::NT;
  AddDrive('C', root_ / "drive_c", DriveType::Fixed);
  Registry& reg = *registry_;
  const auto hklm = [&](std::string_view key, std::string_view name, std::string_view value) {
    WriteRegString(reg, RootKey::LocalMachine, key, name, value);
  };
  const auto hkcu = [&](std::string_view key, std::string_view name, std::string_view value) {
    WriteRegString(reg, RootKey::CurrentUser, key, name, value);
  };

  const std::string windir = nt ? "C:\\windows" : "C:\\WINDOWS";
  const std::string sysdir = nt ? windir + "\\system32" : windir + "\\SYSTEM";
  const std::string profile = nt ? windir + "\\Profiles\\" + options.user_name : windir;
  const std::string personal = nt ? profile + "\\Personal" : "C:\\My Documents";

  // Version keys: the NT family keeps its own CurrentVersion key, Windows 9x
  // a "VersionNumber" in the shared one; both record where Windows lives.
  hklm(kWindowsKey, "ProgramFilesDir", "C:\\Program Files");
  hklm(kWindowsKey, "CommonFilesDir", "C:\\Program Files\\Common Files");
  if (nt) {
    hklm(kWindowsNtKey, "CurrentVersion", "4.0");
    hklm(kWindowsNtKey, "CurrentBuildNumber", "1381");
    hklm(kWindowsNtKey, "CurrentType", "Uniprocessor Free");
    hklm(kWindowsNtKey, "SystemRoot", windir);
    hklm(kWindowsNtKey, "RegisteredOwner", options.user_name);
    hklm(kWindowsNtKey, "RegisteredOrganization", options.organization);
    hklm(std::string(kWindowsNtKey) + "\\Winlogon", "DefaultUserName", options.user_name);
    hklm(std::string(kWindowsNtKey) + "\\Winlogon", "DefaultDomainName", options.computer_name);
  } else {
    hklm(kWindowsKey, "VersionNumber", "4.10.2222");
    hklm(kWindowsKey, "Version", "Windows 98");
    hklm(kWindowsKey, "SystemRoot", windir);
    hklm(kWindowsKey, "RegisteredOwner", options.user_name);
    hklm(kWindowsKey, "RegisteredOrganization", options.organization);
    hklm("Network\\Logon", "username", options.user_name);
    hklm("System\\CurrentControlSet\\Control", "Current User", options.user_name);
  }
  hklm("System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName",
       options.computer_name);

  // TCP/IP: on NT the hosts file's folder is a parameter; Windows 9x keeps
  // the hosts file in the Windows folder and its settings under VxD\MSTCP.
  if (nt) {
    WriteRegExpandString(reg, RootKey::LocalMachine, kTcpipParameters, "DataBasePath",
                         "%SystemRoot%\\System32\\drivers\\etc");
    hklm(kTcpipParameters, "Hostname", options.computer_name);
    hklm(kTcpipParameters, "Domain", "");
  } else {
    hklm("System\\CurrentControlSet\\Services\\VxD\\MSTCP", "HostName", options.computer_name);
  }

  for (const auto& [name, value] : InternationalDefaults()) {
    hkcu("Control Panel\\International", name, value);
  }

  Folders folders = UserShellFolders(profile, windir, personal);
  for (const auto& [name, path] : folders) hkcu(kShellFolders, name, path);
  if (nt) {
    const std::string all_users = windir + "\\Profiles\\All Users";
    const Folders common = {
        {"Common Desktop", all_users + "\\Desktop"},
        {"Common Programs", all_users + "\\Start Menu\\Programs"},
        {"Common Start Menu", all_users + "\\Start Menu"},
        {"Common Startup", all_users + "\\Start Menu\\Programs\\Startup"},
    };
    for (const auto& [name, path] : common) {
      hklm(kShellFolders, name, path);
      folders.emplace_back(name, path);
    }
  }

  // Folders on drive C.
  for (const std::string& dir : {sysdir, windir + "\\Temp", windir + "\\Fonts",
                                 std::string("C:\\Program Files\\Common Files")}) {
    ForceDirectories(dir);
  }
  for (const auto& [name, path] : folders) ForceDirectories(path);
  if (nt) {
    ForceDirectories(sysdir + "\\drivers\\etc");
    WriteFile(sysdir + "\\drivers\\etc\\hosts", "# 127.0.0.1 localhost\r\n");
  } else {
    WriteFile(windir + "\\HOSTS.SAM",
              "# Copy this file to HOSTS (without an extension) to use it.\r\n"
              "127.0.0.1       localhost\r\n");
  }
}

}  // namespace nimbra::platform
