#pragma once

// Reading and writing one hive in Wine's registry text format
// ("WINE REGISTRY Version 2").

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_tree.h"

namespace nimbra::platform::reg {

// Deepest key path accepted (the limit Windows documents for a registry tree).
inline constexpr std::size_t kMaxDepth = 512;

struct HiveContent {
  std::unique_ptr<RegNode> root;
  std::string comment;  // the ";;" line before the first key, as read ("" = none)
  std::string arch;     // "win32", "win64" or "" when the file names none
};

// A line of a hive file that could not be read.
struct HiveProblem {
  int line = 0;
  std::string what;
};

// Raises ERegistryFormatError naming file_name and the line for malformed
// text, unless `problems` is given: then each malformed line is reported
// there and skipped (a malformed key line together with the values below
// it), and the rest of the file is read. A file without the header line is
// read as empty.
HiveContent ParseHive(std::string_view text, const std::string& file_name,
                      std::vector<HiveProblem>* problems = nullptr);

// The file text exactly as Wine's server would save the tree.
std::string WriteHive(const RegNode& root, std::string_view comment, std::string_view arch);

}  // namespace nimbra::platform::reg
