#pragma once

// OpenPGP key pairs in the toolkit's key rings, made with RNP. A key pair is
// an EdDSA (Ed25519) primary key for certifying and signing with an ECDH
// (Curve25519) subkey for encryption: quick and steady to make (an RSA pair
// takes longer and varies with the search for its primes, bench/pgp_key_pair),
// and every current OpenPGP implementation reads them. Both secret keys are
// protected under the pass phrase.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "pgp/toolkit_api.h"
#include "platform/machine.h"

namespace nimbra::pgp {

// A key ring operation that failed, with the toolkit status it reports.
class KeyRingError : public std::runtime_error {
 public:
  KeyRingError(PgpStatus status, const std::string& what)
      : std::runtime_error(what), status_(status) {}
  PgpStatus Status() const { return status_; }

 private:
  PgpStatus status_;
};

// Windows paths of the two rings ("transferable keys": binary OpenPGP
// packets, one key after another).
struct KeyRingFiles {
  std::string publicRing;
  std::string privateRing;
};

// Adds a new key pair for user_id to the rings (either may be missing: it is
// created, with its folder) and returns the primary key's identifier as 16
// upper-case hexadecimal digits. Each ring file is replaced whole through the
// atomic writer, the private ring first. KeyRingError when a ring cannot be
// read as OpenPGP keys, the key cannot be made or a ring cannot be written.
std::string AddKeyPair(platform::Machine& machine, const KeyRingFiles& rings,
                       const std::string& userId, const std::string& passPhrase,
                       std::uint32_t validityDays);

}  // namespace nimbra::pgp
