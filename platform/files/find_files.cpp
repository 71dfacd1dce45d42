// Searching a folder tree of the machine for files by wildcard.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/strings.h"
#include "platform/files/file_attributes_host.h"
#include "platform/files/find.h"
#include "platform/files/path.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

namespace {

struct FoundEntry {
  std::string host_name;
  std::string name;  // Windows name
  bool is_directory;
};

// Hidden and system entries are left out of a search, files and folders
// alike; names starting with "." are hidden without asking the host.
bool IsOrdinary(const fs::path& path, std::string_view name) {
  if (!name.empty() && name[0] == '.') return false;
  const std::optional<std::uint32_t> bits = HostStoredDosBits(path);
  return !bits || (*bits & (attr::Hidden | attr::System)) == 0;
}

// The files and folders of one host folder in name order; nullopt when the
// folder cannot be read or was met before (a link back up the tree).
std::optional<std::vector<FoundEntry>> ReadFolder(const fs::path& dir,
                                                  std::set<std::pair<dev_t, ino_t>>& visited) {
  const std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), ::closedir);
  struct stat st;
  if (!handle || ::fstat(::dirfd(handle.get()), &st) != 0 ||
      !visited.insert({st.st_dev, st.st_ino}).second) {
    return std::nullopt;
  }
  std::vector<FoundEntry> entries;
  while (const dirent* entry = ::readdir(handle.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool is_directory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      if (::fstatat(::dirfd(handle.get()), entry->d_name, &st, 0) != 0) continue;
      is_directory = S_ISDIR(st.st_mode);
      if (!is_directory && !S_ISREG(st.st_mode)) continue;
    } else if (!is_directory && entry->d_type != DT_REG) {
      continue;
    }
    entries.push_back({std::string(name), HostNameToAnsi(name), is_directory});
  }
  std::sort(entries.begin(), entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
    const int order = AnsiCompareText(a.name, b.name);
    return order != 0 ? order < 0 : a.host_name < b.host_name;
  });
  return entries;
}

void Walk(const fs::path& dir, const std::string& windows_dir, std::string_view pattern,
          std::set<std::pair<dev_t, ino_t>>& visited, std::vector<std::string>& out) {
  const std::optional<std::vector<FoundEntry>> entries = ReadFolder(dir, visited);
  if (!entries) return;
  for (const FoundEntry& entry : *entries) {
    if (!entry.is_directory && WildcardMatch(pattern, entry.name) &&
        IsOrdinary(dir / entry.host_name, entry.host_name)) {
      out.push_back(windows_dir + entry.name);
    }
  }
  for (const FoundEntry& entry : *entries) {
    if (entry.is_directory && IsOrdinary(dir / entry.host_name, entry.host_name)) {
      Walk(dir / entry.host_name, windows_dir + entry.name + "\\", pattern, visited, out);
    }
  }
}

}  // namespace

std::vector<std::string> Machine::FindFiles(std::string_view folder,
                                            std::string_view pattern) const {
  std::vector<std::string> found;
  const std::optional<Resolved> resolved = Resolve(folder);
  if (!resolved || !resolved->exists) return found;
  std::set<std::pair<dev_t, ino_t>> visited;
  Walk(resolved->host, WithTrailingBackslash(FullPath(folder)), pattern, visited, found);
  return found;
}

}  // namespace nimbra::platform
