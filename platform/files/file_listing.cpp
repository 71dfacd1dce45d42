#include "platform/files/file_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "core/strings.h"
#include "platform/files/file_attributes_host.h"
#include "platform/files/path.h"
#include "platform/files/short_name.h"
#include "platform/machine.h"

namespace nimbra::platform {

std::vector<std::string> SortedHostNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), ::closedir);
  if (!handle) return names;
  while (const dirent* entry = ::readdir(handle.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) {
    std::string ansi = HostNameToAnsi(name);
    keyed.emplace_back(std::move(ansi), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    const int order = AnsiCompareText(a.first, b.first);
    return order != 0 ? order < 0 : a.second < b.second;
  });
  names.clear();
  for (auto& pair : keyed) names.push_back(std::move(pair.second));
  return names;
}

namespace fs = std::filesystem;

std::optional<std::string> MatchHostEntry(const fs::path& dir, std::string_view component) {
  const std::string host_name = AnsiToHostName(component);
  struct stat st;
  if (::lstat((dir / host_name).c_str(), &st) == 0) return host_name;
  const std::vector<std::string> names = SortedHostNames(dir);
  std::vector<std::string> ansi;
  ansi.reserve(names.size());
  for (const std::string& name : names) ansi.push_back(HostNameToAnsi(name));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (AnsiSameText(ansi[i], component)) return names[i];
  }
  if (component.find('~') == std::string_view::npos || !FitsEightDotThree(component)) {
    return std::nullopt;
  }
  const std::vector<std::string> aliases = ShortNamesForFolder(ansi);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (AnsiSameText(aliases[i], component)) return names[i];
  }
  return std::nullopt;
}

std::vector<DirEntry> Machine::ListDirectory(std::string_view path) const {
  std::vector<DirEntry> entries;
  const std::optional<Resolved> resolved = Resolve(path);
  if (!resolved || !resolved->exists) return entries;
  const std::vector<std::string> host_names = SortedHostNames(resolved->host);
  std::vector<std::string> names;
  names.reserve(host_names.size());
  for (const std::string& name : host_names) names.push_back(HostNameToAnsi(name));
  const std::vector<std::string> aliases = ShortNamesForFolder(names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const fs::path host = resolved->host / host_names[i];
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 && ::lstat(host.c_str(), &st) != 0) continue;
    DirEntry entry;
    entry.name = names[i];
    entry.short_name = aliases[i];
    entry.is_directory = S_ISDIR(st.st_mode);
    entry.size = entry.is_directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    entry.attributes = HostFileAttributes(host).value_or(attr::Normal);
    entry.last_write = FileTime(std::chrono::duration_cast<FileTime::duration>(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace nimbra::platform
