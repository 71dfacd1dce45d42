// Windows paths of the machine: making them absolute, resolving them to host
// paths without regard to case (long or 8.3 names), and back.

#include <sys/stat.h>

#include <algorithm>

#include "core/strings.h"
#include "platform/files/file_listing.h"
#include "platform/files/path.h"
#include "platform/files/short_name.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace fs = std::filesystem;

namespace {

// Characters Windows refuses inside a path component.
bool IsValidComponent(std::string_view part) {
  return std::none_of(part.begin(), part.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 ||
           std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
  });
}

// Windows drops trailing dots and blanks of a component ("name." is "name").
std::string TrimComponent(std::string_view part) {
  if (part == "." || part == "..") return std::string(part);
  std::size_t end = part.size();
  while (end > 0 && (part[end - 1] == '.' || part[end - 1] == ' ')) --end;
  return std::string(part.substr(0, end));
}

}  // namespace

std::string Machine::FullPath(std::string_view path) const {
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.empty() || text.starts_with("\\\\")) return {};
  std::string base;
  std::string rest;
  if (text.size() >= 2 && text[1] == ':') {
    const std::optional<char> letter = DriveLetterOf(text);
    if (!letter) return {};
    rest = text.substr(2);
    const bool same_drive = DriveLetterOf(current_directory_) == letter;
    base =
        !rest.starts_with('\\') && same_drive ? current_directory_ : std::string(1, *letter) + ":";
  } else if (text.starts_with('\\')) {
    base = current_directory_.substr(0, 2);
    rest = text;
  } else {
    base = current_directory_;
    rest = text;
  }
  std::vector<std::string> parts;
  for (std::string_view source : {std::string_view(base).substr(2), std::string_view(rest)}) {
    for (const std::string& raw : SplitPathComponents(source)) {
      const std::string part = TrimComponent(raw);
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
        continue;
      }
      if (!IsValidComponent(part)) return {};
      parts.push_back(part);
    }
  }
  std::string result = base.substr(0, 2) + "\\";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

std::optional<Machine::Resolved> Machine::Resolve(std::string_view path) const {
  const std::string full = FullPath(path);
  if (full.empty()) return std::nullopt;
  std::optional<fs::path> current = DriveHostRoot(full[0]);
  if (!current) return std::nullopt;
  std::error_code ec;
  bool exists = fs::is_directory(*current, ec);
  for (const std::string& component : SplitPathComponents(std::string_view(full).substr(3))) {
    std::optional<std::string> match;
    if (exists && fs::is_directory(*current, ec)) match = MatchHostEntry(*current, component);
    exists = match.has_value();
    *current /= match ? *match : AnsiToHostName(component);
  }
  return Resolved{*current, exists && fs::exists(*current, ec)};
}

std::optional<std::vector<std::string>> Machine::ExistingNames(std::string_view path) const {
  const std::optional<Resolved> resolved = Resolve(path);
  if (!resolved || !resolved->exists) return std::nullopt;
  const std::string full = FullPath(path);
  std::vector<std::string> names = {full.substr(0, 2)};
  const std::size_t count = SplitPathComponents(std::string_view(full).substr(3)).size();
  // The resolved host path ends with exactly one stored name per component.
  std::vector<std::string> tail;
  fs::path host = resolved->host;
  for (std::size_t i = 0; i < count; ++i) {
    tail.push_back(host.filename().string());
    host = host.parent_path();
  }
  names.insert(names.end(), tail.rbegin(), tail.rend());
  return names;
}

std::optional<fs::path> Machine::HostPath(std::string_view windows_path) const {
  const std::optional<Resolved> resolved = Resolve(windows_path);
  if (!resolved) return std::nullopt;
  return resolved->host;
}

std::optional<std::string> Machine::WindowsPath(const fs::path& host_path) const {
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(fs::absolute(host_path), ec);
  if (ec) return std::nullopt;
  std::optional<char> best;
  fs::path best_rest;
  std::size_t best_depth = 0;
  for (const char letter : DriveLetters()) {
    const fs::path root = fs::weakly_canonical(*DriveHostRoot(letter), ec);
    if (ec) continue;
    const fs::path rest = target.lexically_relative(root);
    if (rest.empty() || *rest.begin() == "..") continue;
    const auto depth = static_cast<std::size_t>(std::distance(root.begin(), root.end()));
    if (!best || depth > best_depth) {
      best = letter;
      best_rest = rest;
      best_depth = depth;
    }
  }
  if (!best) return std::nullopt;
  std::string result = std::string(1, *best) + ":\\";
  bool first = true;
  for (const fs::path& part : best_rest) {
    if (part == ".") continue;
    if (!first) result += '\\';
    result += HostNameToAnsi(part.string());
    first = false;
  }
  return result;
}

std::optional<std::string> Machine::ShortPath(std::string_view path) const {
  const std::optional<std::vector<std::string>> names = ExistingNames(path);
  if (!names) return std::nullopt;
  fs::path dir = *DriveHostRoot((*names)[0][0]);
  std::string result = (*names)[0];
  for (std::size_t i = 1; i < names->size(); ++i) {
    const std::vector<std::string> entries = SortedHostNames(dir);
    std::vector<std::string> ansi;
    for (const std::string& entry : entries) ansi.push_back(HostNameToAnsi(entry));
    const std::vector<std::string> aliases = ShortNamesForFolder(ansi);
    const auto it = std::find(entries.begin(), entries.end(), (*names)[i]);
    if (it == entries.end()) return std::nullopt;
    result += '\\';
    result += aliases[static_cast<std::size_t>(it - entries.begin())];
    dir /= (*names)[i];
  }
  if (names->size() == 1) result += '\\';
  return result;
}

std::optional<std::string> Machine::LongPath(std::string_view path) const {
  const std::optional<std::vector<std::string>> names = ExistingNames(path);
  if (!names) return std::nullopt;
  std::string result = (*names)[0];
  for (std::size_t i = 1; i < names->size(); ++i) {
    result += '\\';
    result += HostNameToAnsi((*names)[i]);
  }
  if (names->size() == 1) result += '\\';
  return result;
}

}  // namespace nimbra::platform
