#include "platform/library_search.h"

#include <system_error>

#include "core/strings.h"

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

bool HasDirectoryPart(std::string_view name) {
  return name.find_first_of("\\/:") != std::string_view::npos;
}

std::string JoinWindowsPath(std::string_view dir, std::string_view name) {
  std::string joined(dir);
  while (!joined.empty() && (joined.back() == '\\' || joined.back() == '/')) joined.pop_back();
  std::size_t skip = 0;
  while (skip < name.size() && (name[skip] == '\\' || name[skip] == '/')) ++skip;
  joined += '\\';
  joined += name.substr(skip);
  return joined;
}

std::string WindowsFileName(std::string_view path) {
  std::size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string WithDefaultExtension(std::string_view name, std::string_view extension) {
  // A trailing dot means "no extension, do not add one"; the dot itself is
  // not part of the file name.
  if (!name.empty() && name.back() == '.') return std::string(name.substr(0, name.size() - 1));
  if (WindowsFileName(name).find('.') != std::string::npos) return std::string(name);
  return std::string(name) + std::string(extension);
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
