#pragma once

// Reading and writing one hive in Wine's registry text format
// ("WINE REGISTRY Version 2").

#include <memory>
#include <string>
#include <string_view>

#include "platform/reg_tree.h"

namespace nimbra::platform::reg {

// Deepest key path accepted (the limit Windows documents for a registry tree).
inline constexpr std::size_t kMaxDepth = 512;

struct HiveContent {
  std::unique_ptr<RegNode> root;
  std::string comment;  // the ";;" line before the first key, as read ("" = none)
  std::string arch;     // "win32", "win64" or "" when the file names none
};

// Raises ERegistryFormatError naming file_name and the line for malformed text.
HiveContent ParseHive(std::string_view text, const std::string& file_name);

// The file text exactly as Wine's server would save the tree.
std::string WriteHive(const RegNode& root, std::string_view comment, std::string_view arch);

}  // namespace nimbra::platform::reg
