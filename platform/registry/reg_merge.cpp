#include "platform/registry/reg_merge.h"

#include <algorithm>

namespace nimbra::platform::reg {
namespace {

bool SameValue(const RegNodeValue& a, const RegNodeValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

// Whether two keys hold the same values, class, link and subkeys (the time
// stamps aside).
bool SameTree(const RegNode& a, const RegNode& b) {
  if (a.name != b.name || a.link != b.link || a.key_class != b.key_class ||
      a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.values.size(); ++i) {
    if (!SameValue(a.values[i], b.values[i])) return false;
  }
  for (std::size_t i = 0; i < a.subkeys.size(); ++i) {
    if (!SameTree(*a.subkeys[i], *b.subkeys[i])) return false;
  }
  return true;
}

}  // namespace

void MergeChanges(const RegNode* base, const RegNode& mine, RegNode& theirs) {
  bool changed = false;
  for (const RegNodeValue& value : mine.values) {
    const RegNodeValue* before = base ? base->FindValue(value.folded) : nullptr;
    if (before && SameValue(*before, value)) continue;
    theirs.SetValue(value.name, value.type, value.data);
    changed = true;
  }
  if (base) {
    for (const RegNodeValue& before : base->values) {
      if (!mine.FindValue(before.folded) && theirs.RemoveValue(before.folded)) changed = true;
    }
  }
  if (!base || mine.key_class != base->key_class) {
    changed = changed || theirs.key_class != mine.key_class;
    theirs.key_class = mine.key_class;
  }
  if (!base || mine.link != base->link) {
    changed = changed || theirs.link != mine.link;
    theirs.link = mine.link;
  }

  for (const auto& child : mine.subkeys) {
    const RegNode* before = base ? base->FindSubkey(child->folded) : nullptr;
    RegNode* target = theirs.FindSubkey(child->folded);
    if (!target) {
      // Deleted by the other writer and left alone by this one: it stays deleted.
      if (before && SameTree(*before, *child)) continue;
      target = theirs.AddSubkey(child->name, child->modified);
      changed = true;
    }
    MergeChanges(before, *child, *target);
  }
  if (base) {
    for (const auto& before : base->subkeys) {
      if (!mine.FindSubkey(before->folded) && theirs.TakeSubkey(before->folded)) changed = true;
    }
  }
  if (changed) theirs.modified = std::max(theirs.modified, mine.modified);
}

}  // namespace nimbra::platform::reg
