#include "platform/registry/reg_tree.h"

#include <algorithm>
#include <chrono>

#include "platform/registry/reg_text.h"

namespace nimbra::platform {
namespace {

template <typename Item, typename Folded>
auto LowerBound(Item& items, std::u16string_view folded, Folded folded_of) {
  return std::lower_bound(items.begin(), items.end(), folded, [&](const auto& item, auto key) {
    return std::u16string_view(folded_of(item)) < key;
  });
}

const std::u16string& NodeFolded(const std::unique_ptr<RegNode>& node) {
  return node->folded;
}
const std::u16string& ValueFolded(const RegNodeValue& value) {
  return value.folded;
}

}  // namespace

RegNode* RegNode::FindSubkey(std::u16string_view folded_name) const {
  auto it = LowerBound(subkeys, folded_name, NodeFolded);
  return it != subkeys.end() && (*it)->folded == folded_name ? it->get() : nullptr;
}

RegNode* RegNode::AddSubkey(std::u16string_view key_name, std::uint64_t time, bool* created) {
  std::u16string folded_name = reg::Fold(key_name);
  auto it = LowerBound(subkeys, folded_name, NodeFolded);
  if (it != subkeys.end() && (*it)->folded == folded_name) {
    if (created) *created = false;
    return it->get();
  }
  auto node = std::make_unique<RegNode>();
  node->name = std::u16string(key_name);
  node->folded = std::move(folded_name);
  node->parent = this;
  node->modified = time;
  if (created) *created = true;
  return subkeys.insert(it, std::move(node))->get();
}

std::unique_ptr<RegNode> RegNode::TakeSubkey(std::u16string_view folded_name) {
  auto it = LowerBound(subkeys, folded_name, NodeFolded);
  if (it == subkeys.end() || (*it)->folded != folded_name) return nullptr;
  std::unique_ptr<RegNode> node = std::move(*it);
  subkeys.erase(it);
  node->parent = nullptr;
  return node;
}

void RegNode::InsertSubkey(std::unique_ptr<RegNode> node) {
  auto it = LowerBound(subkeys, node->folded, NodeFolded);
  node->parent = this;
  subkeys.insert(it, std::move(node));
}

const RegNodeValue* RegNode::FindValue(std::u16string_view folded_name) const {
  auto it = LowerBound(values, folded_name, ValueFolded);
  return it != values.end() && it->folded == folded_name ? &*it : nullptr;
}

RegNodeValue& RegNode::SetValue(std::u16string_view value_name, std::uint32_t type,
                                std::vector<std::uint8_t> data) {
  std::u16string folded_name = reg::Fold(value_name);
  auto it = LowerBound(values, folded_name, ValueFolded);
  if (it == values.end() || it->folded != folded_name) {
    // A value keeps the name it was created with, as on Windows.
    it = values.insert(it, RegNodeValue{std::u16string(value_name), std::move(folded_name), 0, {}});
  }
  it->type = type;
  it->data = std::move(data);
  return *it;
}

bool RegNode::RemoveValue(std::u16string_view folded_name) {
  auto it = LowerBound(values, folded_name, ValueFolded);
  if (it == values.end() || it->folded != folded_name) return false;
  values.erase(it);
  return true;
}

std::optional<std::u16string> RegNode::LinkTarget() const {
  const RegNodeValue* value = FindValue(u"symboliclinkvalue");
  if (!value || value->type != 6) return std::nullopt;
  std::u16string target;
  for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
    target.push_back(static_cast<char16_t>(value->data[i] | (value->data[i + 1] << 8)));
  }
  while (!target.empty() && target.back() == 0) target.pop_back();
  return target;
}

std::unique_ptr<RegNode> RegNode::Clone() const {
  auto copy = std::make_unique<RegNode>();
  copy->name = name;
  copy->folded = folded;
  copy->values = values;
  copy->modified = modified;
  copy->key_class = key_class;
  copy->link = link;
  copy->subkeys.reserve(subkeys.size());
  for (const auto& child : subkeys) {
    copy->subkeys.push_back(child->Clone());
    copy->subkeys.back()->parent = copy.get();
  }
  return copy;
}

std::uint64_t CurrentFileTime() {
  using namespace std::chrono;
  constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
  const auto since_epoch = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
  return kTicks1601To1970 + static_cast<std::uint64_t>(since_epoch.count() / 100);
}

}  // namespace nimbra::platform
