#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/registry/registry.h"

namespace nimbra::detect {

// A key path as the readers open it: one trailing "\" removed, and one
// leading "\" when the path is longer than one character.
std::string NormalizeKeyPath(std::string_view path);

// Opens a key below HKEY_CURRENT_USER for reading; nullopt when it does not
// open.
std::optional<platform::RegKey> OpenUserKey(platform::Machine& machine, std::string_view path);

// A string value; empty when the value is missing. A value of another kind
// raises ERegistryException.
std::string ReadStringValue(const platform::RegKey& key, std::string_view name);
// A string value; empty when it is missing or of another kind.
std::string ReadStringOrEmpty(const platform::RegKey& key, std::string_view name);
// An integer value as decimal text; empty when it is missing or of another
// kind.
std::string ReadIntegerOrEmpty(const platform::RegKey& key, std::string_view name);

// The registry value search: every key of the subtree below HKEY_CURRENT_USER
// at `start` (start itself included) that holds a string value containing
// `marker`, named as start + the subkey names each followed by "\". Added to
// `result`, which is kept sorted without regard to case and holds each path
// once. Depth first; a key reached again through a link is not walked again.
void FindKeysWithValue(platform::Machine& machine, std::string_view start,
                       std::vector<std::string>& result, std::string_view marker);

}  // namespace nimbra::detect
