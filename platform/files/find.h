#pragma once

#include <string_view>

namespace nimbra::platform {

// Windows wildcard match of one file name: "*" any run of characters, "?"
// any one character, without regard to case; "*.*" also matches names
// without a dot, as on Windows.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace nimbra::platform
