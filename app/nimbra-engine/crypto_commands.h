#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nimbra::engine {
class TBitArray;
}

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

// Hex text into an array's byte view (at most ByteCount bytes; the rest
// stays zero) and back.
void HexToArray(const std::string& hex, engine::TBitArray& array);
std::string ArrayToHex(const engine::TBitArray& array);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace nimbra::engine_tool
