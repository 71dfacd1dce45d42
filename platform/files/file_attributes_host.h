#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace nimbra::platform {

// DOS attributes of a host file (see platform/files/file_attributes.h for how
// they are kept); nullopt when the file does not exist.
std::optional<std::uint32_t> HostFileAttributes(const std::filesystem::path& path);

// The Hidden, System and Archive bits recorded for a host file, without
// looking at its name or mode; nullopt when nothing is recorded.
std::optional<std::uint32_t> HostStoredDosBits(const std::filesystem::path& path);

// Sets ReadOnly, Hidden, System and Archive; false when the host refuses
// (for instance a file system without extended attributes).
bool SetHostFileAttributes(const std::filesystem::path& path, std::uint32_t attributes);

// Gives `to` the DOS attribute record of `from`, if it has one.
void CopyHostDosAttributes(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace nimbra::platform
