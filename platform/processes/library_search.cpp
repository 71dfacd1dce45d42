#include "platform/processes/library_search.h"

#include <system_error>

#include "core/strings.h"
#include "platform/files/path.h"

namespace nimbra::platform {

std::vector<std::string> SearchPath::Directories() const {
  std::vector<std::string> dirs;
  for (const std::string* dir : {&program_dir, &current_dir, &system_dir, &windows_dir}) {
    if (!dir->empty()) dirs.push_back(*dir);
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) dirs.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return dirs;
}

std::optional<std::string> FindOnSearchPath(const std::string& name, const SearchPath& search,
                                            const PathResolver& resolve) {
  auto isFile = [&](const std::string& windows_path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(resolve(windows_path), ec);
  };
  if (name.empty()) return std::nullopt;
  if (HasDirectoryPart(name)) {
    if (isFile(name)) return name;
    return std::nullopt;
  }
  for (const std::string& dir : search.Directories()) {
    std::string candidate = JoinWindowsPath(dir, name);
    if (isFile(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace nimbra::platform
