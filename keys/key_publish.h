#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "keys/key_record.h"

namespace nimbra::keys {

// How long the key-server submission waits: for the connection, for each
// greeting line and for the answer. Tests shorten them.
struct KeyServerWaits {
  std::chrono::milliseconds connect{30000};
  std::chrono::milliseconds greetingLine{15000};
  std::chrono::milliseconds answer{10000};
  std::uint16_t port = 25;
};

// The public-key lines of a key: "PKY1"/"PKY2", or, when PublicKey1 is
// longer than 232 characters, its first 200 characters in "PKY1"/"PKY2" and
// the next (at most 200) in "PKY3"/"PKY4". `separator` follows the colon.
std::vector<std::string> PublicKeyLines(const std::string& publicKey1,
                                        const std::string& publicKey2,
                                        const std::string& separator);

// The submission a key server receives, line by line (without line ends).
std::vector<std::string> SubmissionForm(const KeyRecord& key, const std::string& publicKey1,
                                        const std::string& publicKey2);

}  // namespace nimbra::keys
