#include <algorithm>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "core/hex.h"
#include "core/stream.h"
#include "engine/bit_array.h"

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
  FileStream file(path, FileMode::Create);
  if (!bytes.empty()) file.WriteBuffer(bytes.data(), bytes.size());
}

}  // namespace nimbra::engine_tool
