#pragma once

// A key found while walking the registry: which hive, the node, and the
// folded names leading to it from the hive root.

#include <string>
#include <vector>

#include "platform/registry/reg_tree.h"

namespace nimbra::platform::reg {

struct Location {
  int hive = 0;  // 0 = system.reg, 1 = user.reg
  RegNode* node = nullptr;
  std::vector<std::u16string> path;
};

}  // namespace nimbra::platform::reg
