// Prints what a machine holds: facts, drives, a registry summary and the
// installer folder.

#include <cstdio>
#include <string>
#include <vector>

#include "app/nimbra-machine/commands.h"
#include "platform/machine.h"
#include "platform/registry/registry.h"

namespace nimbra::machine_tool {

using platform::DriveType;
using platform::Machine;
using platform::RegKey;
using platform::RootKey;

namespace {

const char* TypeName(DriveType type) {
  switch (type) {
    case DriveType::Fixed:
      return "fixed";
    case DriveType::Remote:
      return "remote";
    case DriveType::CdRom:
      return "cdrom";
    case DriveType::Removable:
      return "removable";
    case DriveType::RamDisk:
      return "ramdisk";
    case DriveType::NoRootDir:
    case DriveType::Unknown:
      break;
  }
  return "unknown";
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

struct Count {
  long keys = 0;
  long values = 0;
};

void CountKeys(const RegKey& key, Count& count) {
  ++count.keys;
  count.values += static_cast<long>(key.ValueNames().size());
  for (const std::string& name : key.SubkeyNames()) {
    if (const auto sub = key.OpenSubkey(name, false)) CountKeys(*sub, count);
  }
}

void ShowFacts(const Machine& machine) {
  std::printf("Machine %s\n", machine.Root().string().c_str());
  std::printf("  Kind:              %s\n", machine.IsNT() ? "Windows NT" : "Windows 95/98");
  std::printf("  Windows directory: %s\n", machine.WindowsDirectory().c_str());
  std::printf("  System directory:  %s\n", machine.SystemDirectory().c_str());
  std::printf("  Hosts file:        %s\n", machine.HostsFilePath().c_str());
  std::printf("  User:              %s\n", machine.UserName().c_str());
  std::printf("  Computer:          %s\n", machine.ComputerName().c_str());
  std::printf("  Date separator:    %s\n", machine.DateSeparator().c_str());
  std::printf("  IP addresses:      %s\n", Join(machine.IpAddresses()).c_str());
}

void ShowDrives(const Machine& machine) {
  std::printf("Drives\n");
  for (const std::string& root : machine.DriveRoots()) {
    const DriveType type = machine.GetDriveType(root);
    std::printf("  %s %-9s", root.c_str(), TypeName(type));
    if (const auto volume = machine.GetVolumeInformation(root)) {
      std::printf(" [%s] %s %08X", volume->label.c_str(), volume->file_system.c_str(),
                  volume->serial);
    } else {
      std::printf(" (not ready)");
    }
    if (const auto remote = machine.GetNetworkConnection(root.substr(0, 2))) {
      std::printf(" ~ %s", remote->c_str());
    }
    std::printf(" -> %s\n", machine.DriveHostRoot(root[0])->string().c_str());
  }
}

void ShowRegistry(Machine& machine) {
  platform::Registry& reg = machine.Reg();
  std::printf("Registry\n");
  for (const RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser}) {
    Count count;
    if (const auto key = reg.OpenKey(root, "", false)) CountKeys(*key, count);
    std::printf("  %-18s %ld keys, %ld values\n", platform::RootKeyName(root).c_str(), count.keys,
                count.values);
  }
  const auto folders =
      reg.OpenKey(RootKey::CurrentUser,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false);
  if (folders && folders->ValueExists("Programs")) {
    std::printf("  Programs folder:   %s\n", folders->ReadString("Programs").c_str());
  }
  std::vector<std::string> mail;
  if (const auto accounts = reg.OpenKey(
          RootKey::CurrentUser, "Software\\Microsoft\\Internet Account Manager\\Accounts", false)) {
    for (const std::string& name : accounts->SubkeyNames()) {
      mail.push_back("Outlook Express account " + name);
    }
  }
  if (reg.KeyExists(RootKey::CurrentUser, "Software\\Netscape\\Netscape Navigator\\Services")) {
    mail.push_back("Netscape Navigator");
  }
  if (reg.KeyExists(RootKey::CurrentUser, "Software\\Microsoft\\Internet Mail and News\\Mail")) {
    mail.push_back("Internet Mail");
  }
  std::printf("  E-mail settings:   %s\n", mail.empty() ? "none" : Join(mail).c_str());
}

// The first folder (a drive root or a folder just below one) holding an
// installer script.
std::optional<std::string> FindInstallerFolder(const Machine& machine) {
  for (const std::string& root : machine.DriveRoots()) {
    std::vector<std::string> candidates = {root};
    for (const auto& entry : machine.ListDirectory(root)) {
      if (entry.is_directory) candidates.push_back(root + entry.name + "\\");
    }
    for (const std::string& folder : candidates) {
      if (machine.FileExists(folder + "Script.txt") ||
          machine.FileExists(folder + "WsScript.txt")) {
        return folder;
      }
    }
  }
  return std::nullopt;
}

void ShowInstaller(const Machine& machine) {
  const std::optional<std::string> folder = FindInstallerFolder(machine);
  if (!folder) {
    std::printf("Installer folder: none\n");
    return;
  }
  std::printf("Installer folder %s\n", folder->c_str());
  for (const auto& entry : machine.ListDirectory(*folder)) {
    if (entry.is_directory) {
      std::printf("  %-24s %-12s <DIR>\n", entry.name.c_str(), entry.short_name.c_str());
    } else {
      std::printf("  %-24s %-12s %8llu\n", entry.name.c_str(), entry.short_name.c_str(),
                  static_cast<unsigned long long>(entry.size));
    }
  }
}

}  // namespace

void RunShow(const Args& args) {
  if (args.size() != 1) throw UsageError("usage: nimbra-machine show DIR");
  Machine machine = Machine::Open(args[0]);
  ShowFacts(machine);
  ShowDrives(machine);
  ShowRegistry(machine);
  ShowInstaller(machine);
}

}  // namespace nimbra::machine_tool
