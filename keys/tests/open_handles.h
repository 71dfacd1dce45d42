#pragma once

#include <filesystem>
#include <string>

namespace nimbra::keys::test {

// How many of this process's open descriptors refer to the file.
inline int OpenHandles(const std::string& file) {
  int count = 0;
  const auto target = std::filesystem::weakly_canonical(file);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const auto points = std::filesystem::read_symlink(fd.path(), ec);
    if (!ec && points == target) ++count;
  }
  return count;
}

}  // namespace nimbra::keys::test
