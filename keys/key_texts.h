#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/datetime.h"
#include "keys/key_record.h"

namespace nimbra::keys {

// SHA-1 of the upper-cased public key (PublicKey1 + PublicKey2 of a VRX
// key, the public-key text of other keys) as 40 upper-case hexadecimal
// digits in ten groups of four separated by blanks.
std::string Fingerprint(std::string_view publicKey);

// What an authority's DSA signature on a key covers: the upper-cased
// ENTITY_NAME + public key + KEY_ID + aliases.
std::string SignedText(const KeyRecord& key, std::string_view publicKey);

// " [ =M =D =S]" with "!" for each flag that is off.
std::string FlagsText(bool multiRecip, bool dsaSigning, bool showSubject);
inline std::string FlagsText(const KeyRecord& key) {
  return FlagsText(key.multiRecip, key.dsaSigning, key.showSubject);
}

// A VERSION text as keys carry it: "VRX Strong -1 [ !M =D =S]".
struct VersionParts {
  std::string version;  // without the class and the flags, trimmed
  std::uint8_t keyClass = 0;
  std::string flags;  // from "[" (up to 30 characters), or empty
};
VersionParts ParseVersionText(std::string_view text);

// An expiry date "dd/mm/yyyy". Texts written with another date separator
// (the machine's, given as `separator`) read too; nullopt when neither reads.
std::optional<DateTime> ParseExpiry(std::string_view text, char separator = '/');
// As ParseExpiry, 1 January 2099 when the text does not read.
DateTime ExpiryOrDefault(std::string_view text, char separator = '/');

// The lines of a text, without their CR LF or LF; a line end at the very
// end starts no further line.
std::vector<std::string> SplitTextLines(std::string_view text);

// The part of a label before "/", or the whole label.
std::string LabelOwner(std::string_view label);

}  // namespace nimbra::keys
