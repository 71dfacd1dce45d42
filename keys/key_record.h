#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/datetime.h"

namespace nimbra::keys {

// Widths of the record's texts; reading cuts stored texts to these.
inline constexpr std::size_t kEntityNameWidth = 64;
inline constexpr std::size_t kGroupNameWidth = 20;
inline constexpr std::size_t kContainerTypeWidth = 10;
inline constexpr std::size_t kDisplayLabelWidth = 80;
inline constexpr std::size_t kRequestUrlWidth = 100;
inline constexpr std::size_t kKeyIdWidth = 20;
inline constexpr std::size_t kVersionWidth = 40;
inline constexpr std::size_t kAliasesWidth = 8192;
inline constexpr std::size_t kPolicyWidth = 40;
inline constexpr std::size_t kSignatureIdWidth = 40;
inline constexpr std::size_t kSigningUrlWidth = 100;
inline constexpr std::size_t kSignatureTypeWidth = 40;
inline constexpr std::size_t kSigningNameWidth = 100;
inline constexpr std::size_t kSigningKeyWidth = 200;

// Key class names by class byte.
inline constexpr std::array<std::string_view, 5> kKeyClassNames = {
    "UNKNOWN", "Personal", "Group", "Organisation", "Secure Channel"};
std::string_view KeyClassName(std::uint8_t keyClass);

// The four numbers kept in "KEY_REFERENCE": a (compliance level, 0..15),
// b (trust level, 0..15), c (0..255), d (0..65535).
struct KeyReference {
  std::uint8_t a = 0;
  std::uint8_t b = 0;
  std::uint8_t c = 0;
  std::uint16_t d = 0;

  // Eight upper-case hexadecimal digits: a*16+b, c, d.
  std::string Format() const;
  // Digit 1 is a, digit 2 b, digits 3-4 c, digits 5-8 d; an empty text reads
  // as all zero. Digits that are not hexadecimal, or missing, count as 0.
  static KeyReference Parse(std::string_view text);
  bool operator==(const KeyReference&) const = default;
};

// One key block held by a record. The buffer holds exactly the block's bytes,
// so copies of records (and the records kept in the caches) carry no slack.
class KeyBlock {
 public:
  std::int32_t Length() const { return static_cast<std::int32_t>(bytes_.size()); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  void Assign(std::span<const std::uint8_t> bytes) { bytes_.assign(bytes.begin(), bytes.end()); }
  void Empty() { std::vector<std::uint8_t>().swap(bytes_); }
  bool operator==(const KeyBlock&) const = default;

 private:
  std::vector<std::uint8_t> bytes_;
};

// The in-memory form of one key.
struct KeyRecord {
  KeyRecord();

  std::string entityName;
  std::uint8_t keyClass = 0;
  std::string entityGroupName;
  std::string containerType;
  std::string displayLabel;
  std::string requestUrl;
  KeyBlock block1;  // protected public block
  KeyBlock block2;  // protected private block (own keys only)
  std::string keyId;
  DateTime expires;
  std::string version;
  std::string aliases;  // the key's addresses separated by commas
  std::string policy;
  bool encrypt = false;
  bool showSubject = false;
  bool multiRecip = false;
  bool deliver = false;
  bool dsaSigning = false;
  bool verified = false;
  std::string signatureId;
  std::string signingUrl;
  std::string signatureType;
  std::string signingName;
  std::string signingKey;
  std::uint8_t source = 0;  // 0: first database of the pair, 1: second
  DateTime updateStamp;
  KeyReference reference;

  // Frees the buffers and resets every field as for a fresh record.
  void Clear();
  // ENTITY_NAME + "/" + KEY_ID + ":" + ENTITY_GROUP_NAME, cut to its width.
  std::string ReadLabel() const;
};

// Cuts a text to at most width bytes.
std::string Cut(std::string_view text, std::size_t width);

}  // namespace nimbra::keys
