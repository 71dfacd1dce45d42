#include "keys/product_location.h"

#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry.h"

namespace nimbra::keys {

std::string ProductIniPath(platform::Machine& machine, std::string_view programDir) {
  std::string folder(programDir);
  if (auto key = machine.Reg().OpenKey(platform::RootKey::LocalMachine, kProductKey, false);
      key && key->ValueExists("exePath")) {
    std::string exePath = key->ReadString("exePath");
    if (!exePath.empty()) folder = std::move(exePath);
  }
  return platform::JoinWindowsPath(folder, "WS.INI");
}

std::string ProductCaption(platform::Machine& machine, const std::string& iniPath) {
  const std::string fallback = "MESSAGE:";
  try {
    const auto host = machine.HostPath(iniPath);
    if (!host) return fallback;
    return platform::ProfileFile(*host).ReadString("WorkStation", "INSTALLED", fallback);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace nimbra::keys
