#pragma once

// The combiner's transposition of a block: byte pairs (table[0], table[1]),
// (table[2], table[3]), ... exchanged.

#include <array>
#include <cstdint>

namespace nimbra::engine::transpose {

// Exchanges bytes[table[i]] and bytes[table[i + 1]] for i = 0, 2, .. while
// i < count - 1.
void SwapPairs(const std::uint8_t* table, int count, std::uint8_t* bytes);

// The transposition of a whole 256-byte block by a 256-entry permutation,
// prepared once as byte-shuffle controls and then applied with 32-byte
// vector shuffles: each output vector gathers its bytes from the sixteen
// 16-byte pieces of the block. Where the processor lacks those shuffles,
// SwapPairs is the faster choice.
class BlockShuffle {
 public:
  // True when the 32-byte byte shuffles are in use (Routine::kBlockShuffle
  // of engine/cpu_features.h).
  static bool Available();

  // table: a permutation of 0..255 (a full swap table). By vector
  // operations where Available(), else byte by byte.
  void Prepare(const std::uint8_t* table);
  // The prepared transposition of 256 bytes, in place: by vector shuffles
  // where Available(), else the same shuffles computed byte by byte.
  void Apply(std::uint8_t* bytes) const;
  // Overwrites the prepared transposition (it follows a keyed table).
  void Wipe();

 private:
  void PreparePortable(const std::uint8_t* table);
  void ApplyPortable(std::uint8_t* bytes) const;

  // control_[256 * s + q], as the shuffle reads it: where output byte q
  // takes its byte from source piece s, the index within the piece in the
  // low four bits; bit 7 set (nothing) for the other pieces.
  alignas(32) std::array<std::uint8_t, 16 * 256> control_;
};

}  // namespace nimbra::engine::transpose
