#include "platform/files/find.h"

#include "core/strings.h"

namespace nimbra::platform {

namespace {

// Plain "*"/"?" matching without regard to case, iterative with one
// backtrack point (the last "*"), linear in practice.
bool MatchPlain(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AnsiUpperChar(pattern[p]) == AnsiUpperChar(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (MatchPlain(pattern, name)) return true;
  // A final ".*" also matches a name without any extension ("*.*" matches
  // "README", "setup.*" matches "setup").
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return MatchPlain(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

}  // namespace nimbra::platform
