#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace nimbra::platform {

// DOS file attribute bits, with the values Windows uses.
//
// How the machine keeps them on the host:
//  - ReadOnly: the file has no write permission bit at all (mode & 0222 == 0);
//  - Hidden, System, Archive: the extended attribute "user.DOSATTRIB" holding
//    the bits as hex text ("0x6"), the form Samba and Wine read and write;
//  - a name starting with "." is hidden as well, as Wine shows such files;
//  - Directory follows the host file type.
namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;  // reported when no other bit is set
}  // namespace attr

using FileTime = std::chrono::system_clock::time_point;

// One entry of a directory listing.
struct DirEntry {
  std::string name;        // long name as stored
  std::string short_name;  // 8.3 alias within its folder
  bool is_directory = false;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;
  FileTime last_write{};
};

}  // namespace nimbra::platform
