#pragma once

// The in-memory tree of one registry hive. Subkeys and values are kept
// sorted by their folded names, the order Wine keeps and writes them in.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::platform {

struct RegNodeValue {
  std::u16string name;
  std::u16string folded;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct RegNode {
  std::u16string name;
  std::u16string folded;
  RegNode* parent = nullptr;
  std::vector<std::unique_ptr<RegNode>> subkeys;
  std::vector<RegNodeValue> values;
  std::uint64_t modified = 0;  // FILETIME: 100 ns units since 1601-01-01
  std::optional<std::u16string> key_class;
  bool link = false;  // a symbolic link key ("#link")

  RegNode* FindSubkey(std::u16string_view folded_name) const;
  // Creates the subkey when missing; `created` tells which happened.
  RegNode* AddSubkey(std::u16string_view name, std::uint64_t time, bool* created = nullptr);
  // Unlinks and returns the subkey (with its subtree), or nullptr.
  std::unique_ptr<RegNode> TakeSubkey(std::u16string_view folded_name);
  void InsertSubkey(std::unique_ptr<RegNode> node);

  const RegNodeValue* FindValue(std::u16string_view folded_name) const;
  RegNodeValue& SetValue(std::u16string_view name, std::uint32_t type,
                         std::vector<std::uint8_t> data);
  bool RemoveValue(std::u16string_view folded_name);

  // The link target path from "SymbolicLinkValue" (REG_LINK, UTF-16), or nullopt.
  std::optional<std::u16string> LinkTarget() const;

  // A copy of the node with its whole subtree (the copy has no parent).
  std::unique_ptr<RegNode> Clone() const;
};

// FILETIME of now.
std::uint64_t CurrentFileTime();

}  // namespace nimbra::platform
