#pragma once

#include <string>
#include <vector>

#include "keys/key_record.h"

namespace nimbra::keys {

// VERSION with "-" and the class digit appended when it holds no "-".
std::string VersionWithClass(const KeyRecord& key);

// A VRX public-key block (marker, tagged lines, "KEY-END") that the import
// reads back as the same key.
std::vector<std::string> VrxKeyBlock(const KeyRecord& key, const std::string& publicKey1,
                                     const std::string& publicKey2);

// A DSA public-key block: marker, the eleven positional lines, "KEY-END".
// `signature`, `signerName`, `signerId` as the key's signing fields hold them.
std::vector<std::string> DsaKeyBlock(const KeyRecord& key, const std::string& publicText,
                                     const std::string& signature, const std::string& signerName,
                                     const std::string& signerId);

}  // namespace nimbra::keys
