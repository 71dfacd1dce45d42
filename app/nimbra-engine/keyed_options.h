#pragma once

#include <cstdint>
#include <vector>

#include "app/nimbra-engine/crypto_commands.h"
#include "engine/keystream/generator_sizes.h"

namespace nimbra::engine {
class TKey;
}

namespace nimbra::engine_tool {

// The options shared by the commands that make a key from bytes:
// --sizes S, --key-hex H, --spread, and where allowed --expand,
// --block-size B, --granularity byte|bit and --bits N.
struct KeyOptions {
  engine::TGeneratorSizes sizes = 0;
  std::vector<std::uint8_t> key_bytes;
  bool spread = false;
  bool expand = false;
  bool has_block_size = false;
  int block_size = 0;
  bool has_granularity = false;
  engine::TGranularity granularity = engine::gByte;
  int bits = 0;  // 0: all bits of key_bytes
};

KeyOptions ReadKeyOptions(const Options& options);
// Makes key from the key bytes (MakeFromBytes or MakeFromBytesSpread).
void MakeKey(const KeyOptions& k, engine::TKey& key);

}  // namespace nimbra::engine_tool
