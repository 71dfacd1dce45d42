#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbra::platform {

// Drive types with the numbers GetDriveType returns.
enum class DriveType : std::uint32_t {
  Unknown = 0,
  NoRootDir = 1,  // no such drive
  Removable = 2,  // floppy
  Fixed = 3,      // hard disk
  Remote = 4,     // network drive
  CdRom = 5,
  RamDisk = 6,
};

// What GetVolumeInformation reports for a drive root.
struct VolumeInfo {
  std::string label;         // ".windows-label" at the drive root, trailing blanks cut
  std::uint32_t serial = 0;  // ".windows-serial" (hex text), else 'A'+index in the top byte
  std::string file_system;   // "NTFS", "FAT", "CDFS" by drive type
  std::uint32_t max_component_length = 255;
};

struct DiskSpace {
  std::uint64_t free_bytes = 0;  // available to the user
  std::uint64_t total_bytes = 0;
};

// The text the machine's registry stores for a type under
// HKLM\Software\Wine\Drives ("hd", "network", "cdrom", "floppy", "ramdisk");
// empty for Unknown and NoRootDir.
std::string_view DriveTypeRegistryName(DriveType type);

// Reads a registry text back (case-insensitive); nullopt for an unknown text.
std::optional<DriveType> DriveTypeFromRegistryName(std::string_view name);

// The type a drive has when the registry records nothing for it: A: and B:
// are floppies, every other letter a hard disk.
DriveType DefaultDriveType(char letter);

// Drive letter of "C:", "c:\", "C:\dir" (upper case), or nullopt when the
// text does not start with a letter and a colon.
std::optional<char> DriveLetterOf(std::string_view path);

// Trims what a ".windows-label" file holds to the label: trailing blanks,
// CR and LF removed, at most 255 characters.
std::string LabelFromFileText(std::string_view text);

// Parses ".windows-serial" text: leading blanks, then hex digits up to the
// first other character; nullopt when no digit or the value is 0.
std::optional<std::uint32_t> SerialFromFileText(std::string_view text);

}  // namespace nimbra::platform
