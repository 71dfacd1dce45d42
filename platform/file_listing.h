#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace nimbra::platform {

// Names in a host folder ("." and ".." left out), sorted the way the machine
// lists a folder: by Windows name without regard to case, ties by bytes.
// Empty when the folder cannot be read.
std::vector<std::string> SortedHostNames(const std::filesystem::path& dir);

}  // namespace nimbra::platform
