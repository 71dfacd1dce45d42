// Drives of the machine: "dosdevices/<letter>:" links, their types in
// HKLM\Software\Wine\Drives, labels and serial numbers at the drive root, and
// network connections under HKCU\Network.

#include <sys/statvfs.h>
#include <unistd.h>

#include <system_error>

#include "platform/files/atomic_file.h"
#include "platform/machine.h"
#include "platform/machine_values.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDrivesKey = "Software\\Wine\\Drives";

std::string LinkName(char letter) {
  return std::string(1, static_cast<char>(letter - 'A' + 'a')) + ":";
}

std::string NetworkKey(char letter) {
  return "Network\\" + std::string(1, letter);
}

// The file's text; nullopt when it is missing or cannot be read.
std::optional<std::string> ReadSmallFile(const fs::path& path) {
  try {
    return ReadFileIfExists(path);
  } catch (const AtomicFileError&) {
    return std::nullopt;
  }
}

bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

// "X:\" exactly, upper- or lower-case letter.
std::optional<char> RootLetter(std::string_view root) {
  if (root.size() != 3 || root[2] != '\\') return std::nullopt;
  return DriveLetterOf(root);
}

}  // namespace

std::optional<fs::path> Machine::DriveHostRoot(char letter) const {
  const std::optional<char> upper = DriveLetterOf(std::string(1, letter) + ":");
  if (!upper) return std::nullopt;
  const fs::path link = root_ / "dosdevices" / LinkName(*upper);
  std::error_code ec;
  if (!fs::is_symlink(link, ec)) return std::nullopt;
  const fs::path target = fs::read_symlink(link, ec);
  if (ec) return std::nullopt;
  return (target.is_absolute() ? target : root_ / "dosdevices" / target).lexically_normal();
}

std::vector<char> Machine::DriveLetters() const {
  std::vector<char> letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (DriveHostRoot(letter)) letters.push_back(letter);
  }
  return letters;
}

std::vector<std::string> Machine::DriveRoots() const {
  std::vector<std::string> roots;
  for (const char letter : DriveLetters()) roots.push_back(std::string(1, letter) + ":\\");
  return roots;
}

DriveType Machine::GetDriveType(std::string_view root) const {
  const std::optional<char> letter = DriveLetterOf(root);
  if (!letter || !DriveHostRoot(*letter)) return DriveType::NoRootDir;
  const std::optional<std::string> recorded =
      ReadRegString(*registry_, RootKey::LocalMachine, kDrivesKey, LinkName(*letter));
  if (recorded) {
    if (const std::optional<DriveType> type = DriveTypeFromRegistryName(*recorded)) return *type;
  }
  return DefaultDriveType(*letter);
}

std::optional<VolumeInfo> Machine::GetVolumeInformation(std::string_view root) const {
  const std::optional<char> letter = RootLetter(root);
  if (!letter) return std::nullopt;
  const std::optional<fs::path> host = DriveHostRoot(*letter);
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec)) return std::nullopt;
  VolumeInfo info;
  if (const auto label = ReadSmallFile(*host / ".windows-label")) {
    info.label = LabelFromFileText(*label);
  }
  std::optional<std::uint32_t> serial;
  if (const auto text = ReadSmallFile(*host / ".windows-serial")) {
    serial = SerialFromFileText(*text);
  }
  // Without a serial file a drive's serial is its letter in the top byte,
  // as Wine derives it for drives that are plain folders.
  info.serial = serial.value_or(static_cast<std::uint32_t>(*letter) << 24);
  switch (GetDriveType(root)) {
    case DriveType::CdRom:
      info.file_system = "CDFS";
      break;
    case DriveType::Removable:
      info.file_system = "FAT";
      break;
    default:
      info.file_system = IsNT() ? "NTFS" : "FAT32";
      break;
  }
  return info;
}

bool Machine::SetVolumeLabel(std::string_view root, std::string_view label) {
  const std::optional<char> letter = RootLetter(root);
  const std::optional<fs::path> host = letter ? DriveHostRoot(*letter) : std::nullopt;
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec)) return false;
  const fs::path file = *host / ".windows-label";
  if (label.empty()) {
    fs::remove(file, ec);
    return !ec;
  }
  try {
    ReplaceFile(file, std::string(label) + '\n');
    return true;
  } catch (const AtomicFileError&) {
    return false;
  }
}

std::optional<std::string> Machine::GetNetworkConnection(std::string_view drive) const {
  const std::optional<char> letter = DriveLetterOf(drive);
  if (!letter || GetDriveType(drive) != DriveType::Remote) return std::nullopt;
  std::optional<std::string> remote =
      ReadRegString(*registry_, RootKey::CurrentUser, NetworkKey(*letter), "RemotePath");
  if (remote && remote->empty()) return std::nullopt;
  return remote;
}

std::optional<DiskSpace> Machine::GetDiskFreeSpace(std::string_view root) const {
  const std::optional<char> letter = DriveLetterOf(root);
  const std::optional<fs::path> host = letter ? DriveHostRoot(*letter) : std::nullopt;
  struct statvfs st;
  if (!host || ::statvfs(host->c_str(), &st) != 0) return std::nullopt;
  return DiskSpace{static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize,
                   static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize};
}

void Machine::AddDrive(char letter, const fs::path& host_dir, DriveType type,
                       std::string_view label, std::string_view remote_name) {
  const std::optional<char> upper = DriveLetterOf(std::string(1, letter) + ":");
  if (!upper || !IsLetter(*upper)) {
    throw MachineError("Not a drive letter: " + std::string(1, letter));
  }
  const std::string_view type_name = DriveTypeRegistryName(type);
  if (type_name.empty()) throw MachineError("Not a drive type a drive can have");
  std::error_code ec;
  fs::create_directories(host_dir, ec);
  if (!fs::is_directory(host_dir, ec)) {
    throw MachineError("Cannot create drive folder " + host_dir.string());
  }
  const fs::path dosdevices = root_ / "dosdevices";
  const fs::path absolute = fs::absolute(host_dir, ec).lexically_normal();
  const fs::path inside = absolute.lexically_relative(root_);
  // Inside the machine the link is relative ("../drive_c") so the machine
  // folder can be moved as a whole.
  const fs::path target = !inside.empty() && *inside.begin() != ".."
                              ? absolute.lexically_relative(dosdevices)
                              : absolute;
  const fs::path link = dosdevices / LinkName(*upper);
  fs::remove(link, ec);
  fs::create_symlink(target, link, ec);
  if (ec) throw MachineError("Cannot link drive " + link.string() + ": " + ec.message());

  WriteRegString(*registry_, RootKey::LocalMachine, kDrivesKey, LinkName(*upper), type_name);
  if (!label.empty() && !SetVolumeLabel(std::string(1, *upper) + ":\\", label)) {
    throw MachineError("Cannot write the label of drive " + std::string(1, *upper));
  }
  registry_->DeleteKey(RootKey::CurrentUser, NetworkKey(*upper));
  if (type == DriveType::Remote && !remote_name.empty()) {
    const std::optional<RegKey> key =
        registry_->OpenKey(RootKey::CurrentUser, NetworkKey(*upper), true);
    key->WriteString("RemotePath", remote_name);
    key->WriteString("ProviderName", "Microsoft Windows Network");
    key->WriteInteger("ConnectionType", 1);
    key->WriteInteger("ProviderType", 0x20000);
    key->WriteString("UserName", "");
  }
}

bool Machine::RemoveDrive(char letter) {
  const std::optional<char> upper = DriveLetterOf(std::string(1, letter) + ":");
  if (!upper || !DriveHostRoot(*upper)) return false;
  std::error_code ec;
  fs::remove(root_ / "dosdevices" / LinkName(*upper), ec);
  if (ec) return false;
  if (std::optional<RegKey> drives = registry_->OpenKey(RootKey::LocalMachine, kDrivesKey, false)) {
    drives->DeleteValue(LinkName(*upper));
  }
  registry_->DeleteKey(RootKey::CurrentUser, NetworkKey(*upper));
  return true;
}

}  // namespace nimbra::platform
