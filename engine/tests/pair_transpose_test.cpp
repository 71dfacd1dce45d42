// The block transposition by byte shuffles against the pair-by-pair swaps,
// through both the vector and the byte-by-byte paths.

#include "engine/keystream/pair_transpose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>

#include "engine/tests/every_path.h"

using namespace nimbra::engine;
using namespace nimbra::engine::transpose;

namespace {

using Table = std::array<std::uint8_t, 256>;

// Tables that stress where a byte's partner lies: random, each pair inside
// one 16-byte piece, each pair across the block, and pairs of neighbours.
std::vector<Table> Tables() {
  std::mt19937 rng(41);
  std::vector<Table> tables;
  Table t;
  for (int round = 0; round < 20; ++round) {
    std::iota(t.begin(), t.end(), 0);
    std::shuffle(t.begin(), t.end(), rng);
    tables.push_back(t);
  }
  std::iota(t.begin(), t.end(), 0);
  tables.push_back(t);
  for (int i = 0; i < 128; ++i) {
    t[2 * i] = static_cast<std::uint8_t>(i);
    t[2 * i + 1] = static_cast<std::uint8_t>(255 - i);
  }
  tables.push_back(t);
  for (int i = 0; i < 256; i += 2) {
    t[i] = static_cast<std::uint8_t>(i / 16 * 16 + (i % 16) / 2);
    t[i + 1] = static_cast<std::uint8_t>(i / 16 * 16 + 15 - (i % 16) / 2);
  }
  tables.push_back(t);
  return tables;
}

TEST(BlockShuffle, EveryPathMatchesThePairSwaps) {
  std::mt19937 rng(42);
  for (const Table& table : Tables()) {
    std::array<std::uint8_t, 256> data;
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    auto want = data;
    SwapPairs(table.data(), 256, want.data());
    // Prepared on either path and applied on either path.
    for (bool portable_prepare : {false, true}) {
      BlockShuffle shuffle;
      cpu::ForcePortable(portable_prepare);
      shuffle.Prepare(table.data());
      test::OnEveryPath([&] {
        auto shuffled = data;
        shuffle.Apply(shuffled.data());
        ASSERT_EQ(shuffled, want) << "portable prepare " << portable_prepare;
        // A prepared shuffle serves any number of blocks; the pairs are
        // disjoint, so a second pass restores the data.
        shuffle.Apply(shuffled.data());
        ASSERT_EQ(shuffled, data);
      });
    }
  }
}

TEST(BlockShuffle, PairSwapsOfPartialTablesLeaveTheOddByte) {
  // Size 5: the pairs (4, 0) and (1, 3); position 2, the last entry, stays.
  const std::uint8_t table[] = {4, 0, 1, 3, 2};
  std::uint8_t bytes[] = {10, 11, 12, 13, 14};
  SwapPairs(table, 5, bytes);
  const std::uint8_t want[] = {14, 13, 12, 11, 10};
  EXPECT_TRUE(std::equal(bytes, bytes + 5, want));
  SwapPairs(table, 1, bytes);
  EXPECT_TRUE(std::equal(bytes, bytes + 5, want));
}

}  // namespace
