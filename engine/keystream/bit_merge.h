#pragma once

// Bit interleaving for the mixture generator: output bits taken in turn from
// two sources as a selection word directs, by table rather than bit by bit.

#include <array>
#include <cstddef>
#include <cstdint>

namespace nimbra::engine::bit_merge {

// kDeposit[h][m][x]: the 4 bits of x placed, in order, at the set bits
// 4h + 1 .. 4h + 4 (counted from bit 0) of the 8-bit mask m.
using DepositTable = std::array<std::array<std::array<std::uint8_t, 16>, 256>, 2>;
constexpr DepositTable MakeDepositTable() {
  DepositTable t{};
  for (int h = 0; h < 2; ++h)
    for (int m = 0; m < 256; ++m)
      for (int x = 0; x < 16; ++x) {
        int r = 0, seen = 0;
        for (int j = 0; j < 8; ++j) {
          if (((m >> j) & 1) == 0) continue;
          const int from = seen++ - 4 * h;
          if (from >= 0 && from < 4) r |= ((x >> from) & 1) << j;
        }
        t[h][m][x] = static_cast<std::uint8_t>(r);
      }
  return t;
}
inline constexpr DepositTable kDeposit = MakeDepositTable();

constexpr std::array<std::uint8_t, 256> MakePopCountTable() {
  std::array<std::uint8_t, 256> t{};
  for (int x = 0; x < 256; ++x) t[x] = static_cast<std::uint8_t>((x & 1) + t[x >> 1]);
  return t;
}
inline constexpr std::array<std::uint8_t, 256> kPopCount8 = MakePopCountTable();

// Without a population-count instruction in the target, std::popcount is a
// library call; this is a few inline operations.
inline int PopCount(std::uint32_t x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0Fu;
  return static_cast<int>((x * 0x01010101u) >> 24);
}

// Bits p .. p+31 of a bit array of 32-bit words, bit 0 first; the word
// after the one holding bit p must be readable.
inline std::uint32_t Bits32(const std::uint32_t* words, std::size_t p) {
  const std::uint64_t x = (std::uint64_t{words[(p >> 5) + 1]} << 32) | words[p >> 5];
  return static_cast<std::uint32_t>(x >> (p & 31));
}

// The low bits of x placed, in order, at the set bits of the 8-bit mask m.
inline std::uint32_t Deposit8(std::uint32_t m, std::uint32_t x) {
  return kDeposit[0][m][x & 15] | kDeposit[1][m][(x >> 4) & 15];
}

// Interleaves the bits of a and b: output bit j (j < k <= 32) comes from b
// where sel has a 1, from a where it has a 0, each source read from its
// bit 0 upward.
inline std::uint32_t Merge(std::uint32_t sel, std::uint32_t a, std::uint32_t b, int k) {
  std::uint32_t result = 0;
  for (int j = 0; j < k; j += 8) {
    const std::uint32_t valid = k - j >= 8 ? 0xFFu : (1u << (k - j)) - 1;
    const std::uint32_t ones = (sel >> j) & valid;
    const std::uint32_t zeros = ~(sel >> j) & valid;
    result |= (Deposit8(zeros, a) | Deposit8(ones, b)) << j;
    a >>= kPopCount8[zeros];
    b >>= kPopCount8[ones];
  }
  return result;
}

// count bytes of merged bits: bit i of the output comes from b where bit i
// of sel is 1, from a where it is 0, each source bit array read from its
// bit 0 upward (all bit arrays 32 bits a word, bit 0 first). sel holds
// 8 * count bits; a and b are readable one word past the bits taken. By a
// bit deposit instruction where the processor has a fast one
// (Routine::kBitMerge of engine/cpu_features.h).
void MergeBytes(std::uint8_t* out, const std::uint32_t* sel, const std::uint32_t* a,
                const std::uint32_t* b, std::size_t count);

}  // namespace nimbra::engine::bit_merge
