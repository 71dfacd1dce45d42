#pragma once

#include <array>
#include <cstdint>

namespace nimbra::engine {

// The register lengths of the engine: primitive trinomials x^n + x^m + 1.
enum TGeneratorSize : std::uint8_t {
  gs87_74 = 0,
  gs89_51 = 1,
  gs127_97 = 2,
  gs521_158 = 3,
  gs607_273 = 4,
  gs1279_418 = 5,
  gs2281_915 = 6,
};

// A set of sizes, member i being bit i of the byte.
using TGeneratorSizes = std::uint8_t;

// The granularity a key asks its combiner for.
enum TGranularity : std::uint8_t { gBit = 0, gByte = 1 };

struct GeneratorSizeInfo {
  int length;
  int mid_tap;
};

inline constexpr int kGeneratorSizeCount = 7;
inline constexpr std::array<GeneratorSizeInfo, kGeneratorSizeCount> kGeneratorSizeTable = {{
    {87, 74},
    {89, 51},
    {127, 97},
    {521, 158},
    {607, 273},
    {1279, 418},
    {2281, 915},
}};

constexpr TGeneratorSizes SizeBit(TGeneratorSize s) {
  return TGeneratorSizes(1u << s);
}

// Number of members of the table in the set (bit 7 is no member).
constexpr int SizeMemberCount(TGeneratorSizes set) {
  int count = 0;
  for (int i = 0; i < kGeneratorSizeCount; ++i) count += (set >> i) & 1;
  return count;
}

// True when the byte names only members of the table.
constexpr bool SizeSetIsValid(TGeneratorSizes set) {
  return (set & 0x80) == 0;
}

// The members from the highest down; returns how many were written.
inline int SizeMembersDescending(TGeneratorSizes set, std::array<GeneratorSizeInfo, 7>& out) {
  int count = 0;
  for (int i = kGeneratorSizeCount - 1; i >= 0; --i)
    if ((set >> i) & 1) out[count++] = kGeneratorSizeTable[i];
  return count;
}

}  // namespace nimbra::engine
