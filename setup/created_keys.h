#pragma once

#include <string>

namespace nimbra::setup {

// What the distribution mail needs of the keys the installation made:
// addresses, KEY_IDs and public keys. Process-wide, empty until set.
struct CreatedKeys {
  std::string ownAddresses;
  std::string ownKeyId;
  std::string ownPublicKey1;
  std::string ownPublicKey2;
  std::string signingAddresses;
  std::string signingKeyId;
  std::string signingPublicText;
  std::string signingSecond;  // "NIL": a signing key has no second letter text
};

CreatedKeys& KeptKeyValues();

}  // namespace nimbra::setup
