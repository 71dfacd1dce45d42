#pragma once

#include <string>

#include "core/datetime.h"
#include "keys/key_record.h"

namespace nimbra::keys::test {

// A recipient key record with the fields the database tests look at.
inline KeyRecord MakeKey(const std::string& keyId, const std::string& aliases,
                         const std::string& type = "VRX") {
  KeyRecord record;
  record.keyId = keyId;
  record.entityName = "Owner " + keyId;
  record.entityGroupName = "Personal";
  record.containerType = type;
  record.version = "VRX Strong -1";
  record.aliases = aliases;
  record.policy = "Default";
  record.encrypt = true;
  record.expires = DateTime::Date(2099, 1, 1);
  return record;
}

}  // namespace nimbra::keys::test
