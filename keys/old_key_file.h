#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "keys/keys_error.h"

namespace nimbra::keys {

// The older key file (".db") that a new database file takes its keys from.
// A keyed file of fixed-size entries, all integers little-endian:
//
//   header (16 bytes)
//     0   8  magic "NPKEYDB1"
//     8   4  entry size, 11872
//    12   4  number of entries
//   entries, one after the other, in the order of the file's key list;
//   texts are zero-terminated and zero-padded in their field:
//     0     65  owner name (64 characters)
//    65      1  key class byte
//    66     81  display label (80)
//   147     21  KEY_ID (20)
//   168     41  VERSION (40)
//   209      1  encrypt flag (0 or 1)
//   210      1  deliver flag
//   211      1  verified flag
//   212     41  SIGNATURE_ID (40)
//   253     41  SIGNATURE_TYPE (40)
//   294    101  SIGNING_NAME (100)
//   395    201  SIGNING_KEY (200)
//   596      1  source flag
//   597   8193  aliases (8192)
//  8790      4  public block length (signed)
//  8794    512  public block, protected as the databases protect blocks
//  9306      4  private block length (signed)
//  9310    512  private block
//  9822   2050  DSA public-key text (2049 characters)
//
// Total 11872 bytes per entry.
struct OldKeyEntry {
  std::string name;
  std::uint8_t keyClass = 0;
  std::string label;
  std::string keyId;
  std::string version;
  bool encrypt = false;
  bool deliver = false;
  bool verified = false;
  std::string signatureId;
  std::string signatureType;
  std::string signingName;
  std::string signingKey;
  std::uint8_t source = 0;
  std::string aliases;
  std::int32_t block1Length = 0;
  std::vector<std::uint8_t> block1;  // 512 bytes as stored
  std::int32_t block2Length = 0;
  std::vector<std::uint8_t> block2;
  std::string dsaText;
};

inline constexpr char kOldKeyFileMagic[8] = {'N', 'P', 'K', 'E', 'Y', 'D', 'B', '1'};
inline constexpr std::uint32_t kOldKeyEntrySize = 11872;
inline constexpr std::size_t kOldBlockSize = 512;

// Raised for a file that is not an older key file or is cut short.
class EOldKeyFile : public EKeysError {
 public:
  using EKeysError::EKeysError;
};

// Reads every entry of the file; EOldKeyFile for a malformed file, and
// StreamError when it cannot be read.
std::vector<OldKeyEntry> ReadOldKeyFile(const std::string& path);
// The same over the file's bytes.
std::vector<OldKeyEntry> ParseOldKeyFile(const std::vector<std::uint8_t>& bytes);

}  // namespace nimbra::keys
