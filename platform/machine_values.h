#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace nimbra::platform {

// Registry reads that treat a missing key, a missing value and a value of
// another type alike: nullopt. A registry file that cannot be read raises
// ERegistryException.
std::optional<std::string> ReadRegString(Registry& registry, RootKey root, std::string_view key,
                                         std::string_view name);

// Creates the key when missing and writes a REG_SZ / REG_EXPAND_SZ value.
void WriteRegString(Registry& registry, RootKey root, std::string_view key, std::string_view name,
                    std::string_view value);
void WriteRegExpandString(Registry& registry, RootKey root, std::string_view key,
                          std::string_view name, std::string_view value);

}  // namespace nimbra::platform
