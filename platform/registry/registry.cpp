#include "platform/registry/registry.h"

#include "platform/registry/reg_location.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/reg_tree.h"
#include "platform/registry/registry_hive.h"

namespace nimbra::platform {
namespace {

constexpr int kMaxLinkDepth = 16;

std::string JoinDisplay(std::string base, const std::vector<std::u16string>& elements) {
  for (const auto& element : elements) {
    base.push_back('\\');
    base += reg::Utf16ToAnsi(element);
  }
  return base;
}

}  // namespace

std::optional<RootKey> ParseRootKey(std::string_view text) {
  struct Name {
    const char* long_name;
    const char* short_name;
    RootKey root;
  };
  static constexpr Name kNames[] = {{"HKEY_CLASSES_ROOT", "HKCR", RootKey::ClassesRoot},
                                    {"HKEY_CURRENT_USER", "HKCU", RootKey::CurrentUser},
                                    {"HKEY_LOCAL_MACHINE", "HKLM", RootKey::LocalMachine},
                                    {"HKEY_USERS", "HKU", RootKey::Users},
                                    {"HKEY_CURRENT_CONFIG", "HKCC", RootKey::CurrentConfig}};
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  for (const Name& name : kNames) {
    if (upper == name.long_name || upper == name.short_name) return name.root;
  }
  return std::nullopt;
}

std::string RootKeyName(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RootKey::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RootKey::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RootKey::Users:
      return "HKEY_USERS";
    case RootKey::CurrentConfig:
      return "HKEY_CURRENT_CONFIG";
  }
  return "";
}

std::string RegTypeName(RegType type) {
  static constexpr const char* kNames[] = {"REG_NONE",
                                           "REG_SZ",
                                           "REG_EXPAND_SZ",
                                           "REG_BINARY",
                                           "REG_DWORD",
                                           "REG_DWORD_BIG_ENDIAN",
                                           "REG_LINK",
                                           "REG_MULTI_SZ",
                                           "REG_RESOURCE_LIST",
                                           "REG_FULL_RESOURCE_DESCRIPTOR",
                                           "REG_RESOURCE_REQUIREMENTS_LIST",
                                           "REG_QWORD"};
  const auto number = static_cast<std::uint32_t>(type);
  if (number < std::size(kNames)) return kNames[number];
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "REG_0x%x", number);
  return buffer;
}

bool Registry::Walk(reg::Location& at, const std::vector<std::u16string>& elements, bool create,
                    bool follow_last, int link_depth) {
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const std::u16string& element = elements[i];
    std::u16string folded = reg::Fold(element);
    RegNode* child = at.node->FindSubkey(folded);
    if (!child) {
      if (!create) return false;
      if (element.size() > 255) {
        throw ERegistryException("registry key name longer than 255 characters: " +
                                 reg::Utf16ToAnsi(element));
      }
      if (at.path.size() >= reg::kMaxDepth) {
        throw ERegistryException("registry key path deeper than 512 levels");
      }
      const std::uint64_t now = CurrentFileTime();
      child = at.node->AddSubkey(element, now);
      at.node->modified = now;
      Touched(at.hive);
    }
    at.node = child;
    at.path.push_back(std::move(folded));
    if (!child->link || (i + 1 == elements.size() && !follow_last)) continue;

    // Follow the link: "\Registry\Machine\..." or "\Registry\User\<sid>\...".
    std::optional<std::u16string> target = child->LinkTarget();
    if (!target || link_depth >= kMaxLinkDepth) return false;
    std::vector<std::u16string> parts;
    for (std::size_t start = 0; start <= target->size();) {
      std::size_t end = target->find(u'\\', start);
      if (end == std::u16string::npos) end = target->size();
      if (end > start) parts.push_back(target->substr(start, end - start));
      start = end + 1;
    }
    reg::Location next;
    std::size_t skip;
    if (parts.size() >= 2 && reg::Fold(parts[0]) == u"registry" &&
        reg::Fold(parts[1]) == u"machine") {
      next.hive = kMachineHive;
      skip = 2;
    } else if (parts.size() >= 3 && reg::Fold(parts[0]) == u"registry" &&
               reg::Fold(parts[1]) == u"user" &&
               reg::Fold(parts[2]) == reg::Fold(reg::AnsiToUtf16(kUserSid))) {
      next.hive = kUserHive;
      skip = 3;
    } else {
      return false;
    }
    next.node = LoadedHive(next.hive).content.root.get();
    parts.erase(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(skip));
    if (!Walk(next, parts, create, true, link_depth + 1)) return false;
    at = std::move(next);
  }
  return true;
}

bool Registry::Start(RootKey root, std::string_view path, bool create, reg::Location& at,
                     std::vector<std::u16string>& elements) {
  std::vector<std::u16string> given = reg::SplitKeyPath(path);
  switch (root) {
    case RootKey::LocalMachine:
      at.hive = kMachineHive;
      break;
    case RootKey::ClassesRoot:
      at.hive = kMachineHive;
      elements = {u"Software", u"Classes"};
      break;
    case RootKey::CurrentConfig:
      at.hive = kMachineHive;
      elements = {u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"};
      break;
    case RootKey::CurrentUser:
      at.hive = kUserHive;
      break;
    case RootKey::Users:
      at.hive = kUserHive;
      if (given.empty() || reg::Fold(given[0]) != reg::Fold(reg::AnsiToUtf16(kUserSid))) {
        if (create) {
          throw ERegistryException("cannot create HKEY_USERS\\" + std::string(path) +
                                   ": only HKEY_USERS\\" + std::string(kUserSid) + " is kept");
        }
        return false;
      }
      given.erase(given.begin());
      break;
  }
  at.node = LoadedHive(at.hive).content.root.get();
  elements.insert(elements.end(), given.begin(), given.end());
  return true;
}

std::optional<RegKey> Registry::Open(reg::Location at, const std::vector<std::u16string>& elements,
                                     bool create, std::string display) {
  if (!Walk(at, elements, create, true, 0)) {
    if (create) throw ERegistryException("cannot create registry key " + display);
    return std::nullopt;
  }
  RegKey key(this, at.hive, std::move(at.path), std::move(display));
  key.cached_ = at.node;
  key.generation_ = generation_;
  return key;
}

std::optional<RegKey> Registry::OpenKey(RootKey root, std::string_view path, bool create) {
  Refresh();
  reg::Location at;
  std::vector<std::u16string> elements;
  if (!Start(root, path, create, at, elements)) return std::nullopt;
  return Open(std::move(at), elements, create,
              JoinDisplay(RootKeyName(root), reg::SplitKeyPath(path)));
}

bool Registry::KeyExists(RootKey root, std::string_view path) {
  return OpenKey(root, path, false).has_value();
}

bool Registry::Remove(reg::Location at, const std::vector<std::u16string>& elements) {
  if (elements.empty()) throw ERegistryException("a root key cannot be deleted");
  std::vector<std::u16string> parent(elements.begin(), elements.end() - 1);
  if (!Walk(at, parent, false, true, 0)) return false;
  std::unique_ptr<RegNode> gone = at.node->TakeSubkey(reg::Fold(elements.back()));
  if (!gone) return false;
  at.node->modified = CurrentFileTime();
  Touched(at.hive);
  ++generation_;
  return true;
}

bool Registry::DeleteKey(RootKey root, std::string_view path) {
  Refresh();
  if (reg::SplitKeyPath(path).empty()) throw ERegistryException("a root key cannot be deleted");
  reg::Location at;
  std::vector<std::u16string> elements;
  if (!Start(root, path, false, at, elements)) return false;
  return Remove(std::move(at), elements);
}

bool Registry::Move(const reg::Location& at, const std::vector<std::u16string>& from,
                    const std::vector<std::u16string>& to) {
  if (from.empty() || to.empty()) throw ERegistryException("a root key cannot be moved");
  reg::Location source = at;
  if (!Walk(source, from, false, false, 0)) return false;
  reg::Location dest = at;
  std::vector<std::u16string> dest_parent(to.begin(), to.end() - 1);
  if (!Walk(dest, dest_parent, false, true, 0)) {
    dest = at;
    if (!Walk(dest, dest_parent, true, true, 0)) return false;
  }
  for (RegNode* n = dest.node; n; n = n->parent) {
    if (n == source.node) throw ERegistryException("a key cannot be moved below itself");
  }
  std::u16string folded = reg::Fold(to.back());
  RegNode* existing = dest.node->FindSubkey(folded);
  if (existing && existing != source.node) return false;
  RegNode* old_parent = source.node->parent;
  std::unique_ptr<RegNode> node = old_parent->TakeSubkey(source.node->folded);
  node->name = to.back();
  node->folded = std::move(folded);
  const std::uint64_t now = CurrentFileTime();
  old_parent->modified = now;
  dest.node->modified = now;
  dest.node->InsertSubkey(std::move(node));
  Touched(source.hive);
  Touched(dest.hive);
  ++generation_;
  return true;
}

RegNode* Registry::Resolve(int hive, const std::vector<std::u16string>& folded_path) {
  RegNode* node = LoadedHive(hive).content.root.get();
  for (const auto& folded : folded_path) {
    node = node->FindSubkey(folded);
    if (!node) return nullptr;
  }
  return node;
}

}  // namespace nimbra::platform
