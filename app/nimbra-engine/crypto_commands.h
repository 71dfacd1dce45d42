#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nimbra::engine {
class TBitArray;
class TKey;
}  // namespace nimbra::engine

// The engine tool's public-key, cipher and random commands. Numbers are
// lowercase hex of a bit array's byte view (GetByte 0 .. ByteCount - 1).
namespace nimbra::engine_tool {

using Args = std::vector<std::string>;

// Each command gets the words after its own name, prints to stdout and
// raises std::invalid_argument for a wrong command line.
void RunField(const Args& args);
void RunKeypair(const Args& args);
void RunEncrypt(const Args& args);
void RunDecrypt(const Args& args);
void RunRandom(const Args& args);

// "--name value" options, "--flag" switches and the remaining words.
struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
  std::vector<std::string> positional;

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  bool Flag(const std::string& name) const;
  // The value of a required option.
  const std::string& Value(const std::string& name) const;
};

// Splits args; value_names take the following word as their value.
Options ParseOptions(const Args& args, const std::vector<std::string>& value_names,
                     const std::vector<std::string>& flag_names);

// A decimal integer within [low, high]; raises std::invalid_argument naming
// the option and the text given.
long ParseNumber(const std::string& name, const std::string& text, long low, long high);

// With "--crc C" given (the CRC-32 the encryption printed, 8 hex digits):
// raises std::runtime_error when the decryption's CRC-32 is another one
// (a wrong key or pass phrase, or damaged input).
void CheckCrc(const Options& options, std::uint32_t crc);

// Whether a key holds the private half of a key pair: the private key has
// bits in its subkeys after the first, the public key only in subkey 1.
bool IsPrivateHalf(const engine::TKey& key);

// Hex text into an array's byte view (at most ByteCount bytes; the rest
// stays zero) and back.
void HexToArray(const std::string& hex, engine::TBitArray& array);
std::string ArrayToHex(const engine::TBitArray& array);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace nimbra::engine_tool
