#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "app/nimbra-engine/output_file.h"
#include "core/hex.h"
#include "core/stream.h"
#include "engine/bit_array.h"
#include "engine/keys/key.h"

namespace nimbra::engine_tool {

bool Options::Flag(const std::string& name) const {
  return std::find(flags.begin(), flags.end(), name) != flags.end();
}

const std::string& Options::Value(const std::string& name) const {
  const auto it = values.find(name);
  if (it == values.end()) throw std::invalid_argument("missing option " + name);
  return it->second;
}

Options ParseOptions(const Args& args, const std::vector<std::string>& value_names,
                     const std::vector<std::string>& flag_names) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (std::find(value_names.begin(), value_names.end(), word) != value_names.end()) {
      if (i + 1 >= args.size()) throw std::invalid_argument("option " + word + " needs a value");
      options.values[word] = args[++i];
    } else if (std::find(flag_names.begin(), flag_names.end(), word) != flag_names.end()) {
      options.flags.push_back(word);
    } else if (word.rfind("--", 0) == 0) {
      throw std::invalid_argument("unknown option " + word);
    } else {
      options.positional.push_back(word);
    }
  }
  return options;
}

long ParseNumber(const std::string& name, const std::string& text, long low, long high) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high)
    throw std::invalid_argument(name + " needs a number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", not '" + text + "'");
  return value;
}

void CheckCrc(const Options& options, std::uint32_t crc) {
  if (!options.Has("--crc")) return;
  const std::string& text = options.Value("--crc");
  if (text.size() != 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw std::invalid_argument("--crc needs 8 hex digits, not '" + text + "'");
  if (crc == static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16))) return;
  char got[9];
  std::snprintf(got, sizeof got, "%08x", crc);
  throw std::runtime_error("the decrypted data's CRC-32 is " + std::string(got) + ", not " + text +
                           ": a wrong key or pass phrase, or damaged input; OUT is left as it was");
}

bool IsPrivateHalf(const engine::TKey& key) {
  for (int i = 2; i <= key.SubkeyCount(); ++i) {
    const engine::TSubKey* subkey = key.Subkey(i);
    if (!subkey) continue;
    const std::uint32_t* words = subkey->Words();
    if (std::any_of(words, words + subkey->WordCount(), [](std::uint32_t w) { return w != 0; }))
      return true;
  }
  return false;
}

void HexToArray(const std::string& hex, engine::TBitArray& array) {
  const std::vector<std::uint8_t> bytes = HexToBytes(hex);
  if (bytes.size() > static_cast<std::size_t>(array.ByteCount())) {
    throw std::invalid_argument("hex value longer than " + std::to_string(array.ByteCount()) +
                                " bytes");
  }
  for (std::size_t k = 0; k < bytes.size(); ++k) array.SetByte(static_cast<int>(k), bytes[k]);
}

std::string ArrayToHex(const engine::TBitArray& array) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(array.ByteCount()));
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = array.GetByte(static_cast<int>(k));
  return HexLower(bytes);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  FileStream file(path, FileMode::OpenRead);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  if (!bytes.empty()) file.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  WriteOutputFile(path, [&](Stream& out) {
    if (!bytes.empty()) out.WriteBuffer(bytes.data(), bytes.size());
  });
}

}  // namespace nimbra::engine_tool
