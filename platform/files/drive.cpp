#include "platform/files/drive.h"

#include "core/strings.h"

namespace nimbra::platform {

std::string_view DriveTypeRegistryName(DriveType type) {
  switch (type) {
    case DriveType::Fixed:
      return "hd";
    case DriveType::Remote:
      return "network";
    case DriveType::CdRom:
      return "cdrom";
    case DriveType::Removable:
      return "floppy";
    case DriveType::RamDisk:
      return "ramdisk";
    case DriveType::Unknown:
    case DriveType::NoRootDir:
      break;
  }
  return {};
}

std::optional<DriveType> DriveTypeFromRegistryName(std::string_view name) {
  for (const DriveType type : {DriveType::Fixed, DriveType::Remote, DriveType::CdRom,
                               DriveType::Removable, DriveType::RamDisk}) {
    if (SameText(name, DriveTypeRegistryName(type))) return type;
  }
  return std::nullopt;
}

DriveType DefaultDriveType(char letter) {
  const char upper = AnsiUpperChar(letter);
  return upper == 'A' || upper == 'B' ? DriveType::Removable : DriveType::Fixed;
}

std::optional<char> DriveLetterOf(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  const char c = path[0];
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return c;
  return std::nullopt;
}

std::string LabelFromFileText(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n')) {
    --end;
  }
  return std::string(text.substr(0, std::min<std::size_t>(end, 255)));
}

std::optional<std::uint32_t> SerialFromFileText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::uint32_t value = 0;
  bool any = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
    any = true;
  }
  if (!any || value == 0) return std::nullopt;
  return value;
}

}  // namespace nimbra::platform
