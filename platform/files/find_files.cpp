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
};

bool NameOrder(const FoundEntry& a, const FoundEntry& b) {
  const int order = AnsiCompareText(a.name, b.name);
  return order != 0 ? order < 0 : a.host_name < b.host_name;
}

// Hidden and system entries are left out of a search, files and folders
// alike; names starting with "." are hidden without asking the host.
bool IsOrdinary(const fs::path& path, std::string_view name) {
  if (!name.empty() && name[0] == '.') return false;
  const std::optional<std::uint32_t> bits = HostStoredDosBits(path);
  return !bits || (*bits & (attr::Hidden | attr::System)) == 0;
}

// One pattern, with the common case of a plain name compared without the
// general matcher.
struct Pattern {
  std::string text;
  bool plain;

  explicit Pattern(std::string_view p)
      : text(p), plain(p.find_first_of("*?") == std::string_view::npos) {}
  bool Matches(std::string_view name) const {
    if (plain) return name.size() == text.size() && AnsiSameText(name, text);
    return WildcardMatch(text, name);
  }
};

// One host folder: its subfolders and, per pattern, its matching files,
// each in name order.
struct FolderContent {
  std::vector<FoundEntry> folders;
  std::vector<std::vector<FoundEntry>> matches;
};

bool IsAscii(std::string_view name) {
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Reads one folder; false when it cannot be read or was met before (a link
// back up the tree). Entries that are neither folders nor regular files
// (devices, sockets, dangling links) are left out.
bool ReadFolder(const fs::path& dir, const std::vector<Pattern>& patterns,
                std::set<std::pair<dev_t, ino_t>>& visited, FolderContent& out) {
  const std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), ::closedir);
  struct stat st;
  if (!handle || ::fstat(::dirfd(handle.get()), &st) != 0 ||
      !visited.insert({st.st_dev, st.st_ino}).second) {
    return false;
  }
  out.folders.clear();
  out.matches.assign(patterns.size(), {});
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
    std::string windows = IsAscii(name) ? std::string(name) : HostNameToAnsi(name);
    if (is_directory) {
      out.folders.push_back({std::string(name), std::move(windows)});
      continue;
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (patterns[i].Matches(windows)) out.matches[i].push_back({std::string(name), windows});
    }
  }
  std::sort(out.folders.begin(), out.folders.end(), NameOrder);
  for (auto& list : out.matches) std::sort(list.begin(), list.end(), NameOrder);
  return true;
}

}  // namespace

std::vector<std::vector<std::string>> Machine::FindFiles(
    std::string_view folder, const std::vector<std::string>& patterns,
    const std::function<void()>& on_folder) const {
  std::vector<std::vector<std::string>> found(patterns.size());
  const std::optional<Resolved> resolved = Resolve(folder);
  if (!resolved || !resolved->exists) return found;
  std::vector<Pattern> compiled;
  compiled.reserve(patterns.size());
  for (const std::string& pattern : patterns) compiled.emplace_back(pattern);

  // Depth first, each folder's own matches before its subfolders, the
  // subfolders in name order: pending folders are kept on a stack, the
  // subfolders of one folder pushed in reverse.
  struct Pending {
    fs::path host;
    std::string windows;  // ending in "\"
  };
  std::vector<Pending> stack{{resolved->host, WithTrailingBackslash(FullPath(folder))}};
  std::set<std::pair<dev_t, ino_t>> visited;
  FolderContent content;
  while (!stack.empty()) {
    const Pending dir = std::move(stack.back());
    stack.pop_back();
    if (on_folder) on_folder();
    if (!ReadFolder(dir.host, compiled, visited, content)) continue;
    for (std::size_t i = 0; i < compiled.size(); ++i) {
      for (const FoundEntry& entry : content.matches[i]) {
        if (IsOrdinary(dir.host / entry.host_name, entry.host_name)) {
          found[i].push_back(dir.windows + entry.name);
        }
      }
    }
    for (auto it = content.folders.rbegin(); it != content.folders.rend(); ++it) {
      if (IsOrdinary(dir.host / it->host_name, it->host_name)) {
        stack.push_back({dir.host / it->host_name, dir.windows + it->name + "\\"});
      }
    }
  }
  return found;
}

std::vector<std::string> Machine::FindFiles(std::string_view folder,
                                            std::string_view pattern) const {
  return std::move(FindFiles(folder, std::vector<std::string>{std::string(pattern)}).front());
}

}  // namespace nimbra::platform
