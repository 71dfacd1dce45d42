#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/machine_error.h"

namespace nimbra::platform {

// A .lnk file that cannot be read: wrong header or class id, structures that
// run past the end of the file, sizes and offsets that do not add up.
class ShellLinkError : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

// ShowCommand values of a link.
inline constexpr std::uint32_t kShowNormal = 1;
inline constexpr std::uint32_t kShowMaximized = 3;
inline constexpr std::uint32_t kShowMinNoActive = 7;

// Every field of a shell link file (MS-SHLLINK) the system writes or reads.
// Texts are Windows-1252; an empty text means the structure is absent.
struct ShellLinkFile {
  std::uint32_t file_attributes = 0x20;
  std::uint64_t creation_time = 0;  // FILETIME: 100 ns since 1601-01-01 UTC, 0 = not set
  std::uint64_t access_time = 0;
  std::uint64_t write_time = 0;
  std::uint32_t file_size = 0;
  std::int32_t icon_index = 0;
  std::uint32_t show_command = kShowNormal;
  std::uint16_t hot_key = 0;

  // LinkInfo: present when local_base_path is not empty.
  std::string local_base_path;   // the target, e.g. "C:\Program Files\NimbraPost\NimbraMGR.exe"
  std::uint32_t drive_type = 3;  // as GetDriveType numbers them
  std::uint32_t drive_serial = 0;
  std::string volume_label;

  std::string description;
  std::string relative_path;
  std::string working_dir;
  std::string arguments;
  std::string icon_location;

  // StringData as UTF-16 (as NT writes it); false writes ANSI bytes (as the
  // Windows 95/98 shell did). Reading sets it from the file.
  bool unicode = true;
  // Read only: the file had a LinkTargetIDList (kept out of writes; a link
  // with LinkInfo alone resolves the same way).
  bool had_id_list = false;

  bool operator==(const ShellLinkFile&) const = default;
};

// Writes the bytes of a link: header, LinkInfo (local path and volume),
// StringData in the fixed order, terminal block.
std::vector<std::uint8_t> EncodeShellLink(const ShellLinkFile& link);

// Reads a link written by anyone: skips a LinkTargetIDList and ExtraData
// blocks, accepts ANSI and Unicode strings and LinkInfo with Unicode paths;
// a network target gives the share name + suffix as local_base_path.
// ShellLinkError for malformed input.
ShellLinkFile DecodeShellLink(std::span<const std::uint8_t> bytes);

// Conversion between Windows-1252 and UTF-16LE code units; a unit outside
// the code page becomes '?'.
std::u16string Cp1252ToUtf16(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text);

}  // namespace nimbra::platform
