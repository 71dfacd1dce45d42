#include "app/nimbra-engine/keyed_options.h"

#include <stdexcept>

#include "core/hex.h"
#include "engine/keys/key.h"

namespace nimbra::engine_tool {

KeyOptions ReadKeyOptions(const Options& options) {
  KeyOptions k;
  k.sizes = static_cast<engine::TGeneratorSizes>(
      ParseNumber("--sizes", options.Value("--sizes"), 1, 127));
  k.key_bytes = HexToBytes(options.Value("--key-hex"));
  if (k.key_bytes.empty()) throw std::invalid_argument("--key-hex needs at least one byte");
  k.spread = options.Flag("--spread");
  k.expand = options.Flag("--expand");
  if (options.Has("--block-size")) {
    k.has_block_size = true;
    k.block_size =
        static_cast<int>(ParseNumber("--block-size", options.Value("--block-size"), 0, 1 << 30));
  }
  if (options.Has("--granularity")) {
    const std::string& g = options.Value("--granularity");
    if (g != "byte" && g != "bit") throw std::invalid_argument("--granularity is byte or bit");
    k.has_granularity = true;
    k.granularity = g == "byte" ? engine::gByte : engine::gBit;
  }
  if (options.Has("--bits"))
    k.bits = static_cast<int>(ParseNumber("--bits", options.Value("--bits"), 1, 8192));
  return k;
}

void MakeKey(const KeyOptions& k, engine::TKey& key) {
  const long available = static_cast<long>(k.key_bytes.size()) * 8;
  const int count = k.bits > 0 ? k.bits : static_cast<int>(available);
  if (count > available) throw std::invalid_argument("--bits exceeds the bits of --key-hex");
  if (k.spread)
    key.MakeFromBytesSpread(k.key_bytes.data(), count);
  else
    key.MakeFromBytes(k.key_bytes.data(), count);
}

}  // namespace nimbra::engine_tool
