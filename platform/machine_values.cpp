#include "platform/machine_values.h"

namespace nimbra::platform {

std::optional<std::string> ReadRegString(Registry& registry, RootKey root, std::string_view key,
                                         std::string_view name) {
  const std::optional<RegKey> handle = registry.OpenKey(root, key, false);
  if (!handle || !handle->ValueExists(name)) return std::nullopt;
  const RegType type = handle->GetValueType(name);
  if (type != RegType::String && type != RegType::ExpandString) return std::nullopt;
  return handle->ReadString(name);
}

void WriteRegString(Registry& registry, RootKey root, std::string_view key, std::string_view name,
                    std::string_view value) {
  registry.OpenKey(root, key, true)->WriteString(name, value);
}

void WriteRegExpandString(Registry& registry, RootKey root, std::string_view key,
                          std::string_view name, std::string_view value) {
  registry.OpenKey(root, key, true)->WriteExpandString(name, value);
}

}  // namespace nimbra::platform
