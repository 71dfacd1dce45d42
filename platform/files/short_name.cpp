#include "platform/files/short_name.h"

#include <algorithm>
#include <set>

#include "core/strings.h"

namespace nimbra::platform {

namespace {

// Characters a short name may hold besides letters and digits (bytes from
// 0x80 up are allowed as well).
bool IsShortNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x80) return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// The characters of one name part as they go into an alias: upper case,
// blanks and dots left out, characters short names forbid turned into "_".
std::string AliasChars(std::string_view part) {
  std::string out;
  for (const char c : part) {
    if (c == ' ' || c == '.') continue;
    out += IsShortNameChar(c) ? AnsiUpperChar(c) : '_';
  }
  return out;
}

std::string MakeAlias(const std::string& base, const std::string& ext, int n) {
  const std::string digits = std::to_string(n);
  // The base gives way to longer numbers so "base~n" stays 8 characters.
  const std::size_t keep = digits.size() < 7 ? std::min<std::size_t>(6, 7 - digits.size()) : 0;
  std::string alias = base.substr(0, keep);
  alias += '~';
  alias += digits;
  if (!ext.empty()) {
    alias += '.';
    alias += ext;
  }
  return alias;
}

}  // namespace

bool FitsEightDotThree(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  const std::size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view ext =
      dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string_view::npos && ext.empty()) return false;
  return std::all_of(base.begin(), base.end(), IsShortNameChar) &&
         std::all_of(ext.begin(), ext.end(), IsShortNameChar);
}

std::vector<std::string> ShortNamesForFolder(const std::vector<std::string>& names) {
  std::vector<std::string> result(names.size());
  std::set<std::string> taken;
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (FitsEightDotThree(names[i])) {
      result[i] = AnsiUpperCase(names[i]);
      taken.insert(result[i]);
    } else {
      pending.push_back(i);
    }
  }
  std::stable_sort(pending.begin(), pending.end(), [&](std::size_t a, std::size_t b) {
    return AnsiCompareText(names[a], names[b]) < 0;
  });
  for (const std::size_t i : pending) {
    const std::string& name = names[i];
    // A leading dot does not start an extension (".profile" has none).
    const std::size_t dot = name.find_last_of('.');
    const bool has_ext = dot != std::string::npos && dot > name.find_first_not_of('.');
    std::string base = AliasChars(has_ext ? std::string_view(name).substr(0, dot) : name);
    const std::string ext =
        has_ext ? AliasChars(std::string_view(name).substr(dot + 1)).substr(0, 3) : "";
    if (base.empty()) base.push_back('_');
    for (int n = 1;; ++n) {
      std::string alias = MakeAlias(base, ext, n);
      if (taken.insert(alias).second) {
        result[i] = std::move(alias);
        break;
      }
    }
  }
  return result;
}

}  // namespace nimbra::platform
