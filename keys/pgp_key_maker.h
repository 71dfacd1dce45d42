#pragma once

#include <optional>
#include <string>

namespace nimbra::keys {

// What key creation needs of a PGP toolkit: a key pair for a user id
// ("Name <address>") under a pass phrase, valid for some days, stored in the
// toolkit's own key rings. The wizard gives the key component its toolkit
// binding; without one PGP keys are not made.
class PgpKeyMaker {
 public:
  virtual ~PgpKeyMaker() = default;
  // True once the toolkit library is loaded.
  virtual bool Available() const = 0;
  // The new key's identifier as the toolkit reports it; nullopt on failure.
  virtual std::optional<std::string> MakeKeyPair(const std::string& userId,
                                                 const std::string& passPhrase,
                                                 int validityDays) = 0;
};

}  // namespace nimbra::keys
