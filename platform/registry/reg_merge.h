#pragma once

// Merging the changes of one registry writer into a hive another writer
// saved meanwhile.

#include "platform/registry/reg_tree.h"

namespace nimbra::platform::reg {

// Applies to `theirs` what turned `base` (the hive as this writer read it;
// null: the key did not exist then) into `mine` (the hive as this writer
// changed it): values set or deleted, keys created or deleted, class and
// link changes. What this writer did not change stays as `theirs` has it. A
// key `theirs` deleted stays deleted unless this writer changed something
// in it; then it comes back with those changes.
void MergeChanges(const RegNode* base, const RegNode& mine, RegNode& theirs);

}  // namespace nimbra::platform::reg
