#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

// Names in a host folder ("." and ".." left out), sorted the way the machine
// lists a folder: by Windows name without regard to case, ties by bytes.
// Empty when the folder cannot be read.
std::vector<std::string> SortedHostNames(const std::filesystem::path& dir);

// The stored name in a host folder that a Windows name (one component)
// stands for, as the machine resolves paths: the exact name, else the first
// name equal without regard to case (in name order), else the entry whose
// 8.3 alias it is; nullopt when none.
std::optional<std::string> MatchHostEntry(const std::filesystem::path& dir,
                                          std::string_view component);

}  // namespace nimbra::platform
