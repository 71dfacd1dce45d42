#pragma once

// Whole-file reads and crash-safe replacement of registry files.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace nimbra::platform::reg {

// The file's bytes, or nullopt when it does not exist. Raises
// ERegistryException when it exists but cannot be read.
std::optional<std::string> ReadFileIfExists(const std::filesystem::path& path);

// Replaces the file with `data` so that a crash at any moment leaves either
// the old or the new content: a temporary file in the same folder, written
// and fsync'ed, renamed over the target, then the folder fsync'ed. A symbolic
// link is followed (the file it points to is replaced, the link stays); the
// old file's permission bits are kept. Raises ERegistryException on failure.
void ReplaceFile(const std::filesystem::path& path, std::string_view data);

}  // namespace nimbra::platform::reg
