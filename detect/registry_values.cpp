#include "detect/registry_values.h"

#include <set>

#include "core/strings.h"

namespace nimbra::detect {

using platform::RegKey;
using platform::RegType;

std::string NormalizeKeyPath(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.size() > 1 && path.front() == '\\') path.remove_prefix(1);
  return std::string(path);
}

std::optional<RegKey> OpenUserKey(platform::Machine& machine, std::string_view path) {
  return machine.Reg().OpenKey(platform::RootKey::CurrentUser, "\\" + NormalizeKeyPath(path),
                               false);
}

namespace {

bool IsString(RegType type) {
  return type == RegType::String || type == RegType::ExpandString;
}

void Search(platform::Machine& machine, const std::string& start, std::vector<std::string>& result,
            std::string_view marker, std::set<std::string>& visited) {
  std::vector<std::string> subkeys;
  {
    const std::optional<RegKey> key = OpenUserKey(machine, start);
    if (!key || !visited.insert(key->Identity()).second) return;
    for (const std::string& name : key->ValueNames()) {
      if (!IsString(key->GetValueType(name))) continue;
      if (key->ReadString(name).find(marker) != std::string::npos) {
        InsertSortedText(result, start);
        break;
      }
    }
    subkeys = key->SubkeyNames();
  }
  for (const std::string& name : subkeys)
    Search(machine, start + name + "\\", result, marker, visited);
}

}  // namespace

std::string ReadStringValue(const RegKey& key, std::string_view name) {
  if (!key.ValueExists(name)) return {};
  return key.ReadString(name);
}

std::string ReadStringOrEmpty(const RegKey& key, std::string_view name) {
  if (!key.ValueExists(name) || !IsString(key.GetValueType(name))) return {};
  return key.ReadString(name);
}

std::string ReadIntegerOrEmpty(const RegKey& key, std::string_view name) {
  if (!key.ValueExists(name) || key.GetValueType(name) != RegType::DWord) return {};
  try {
    return std::to_string(key.ReadInteger(name));
  } catch (const platform::ERegistryException&) {
    return {};  // a DWORD value of another length
  }
}

void FindKeysWithValue(platform::Machine& machine, std::string_view start,
                       std::vector<std::string>& result, std::string_view marker) {
  std::set<std::string> visited;
  Search(machine, std::string(start), result, marker, visited);
}

}  // namespace nimbra::detect
