// Power tables, chunking and the exponentiation front.

#include "engine/field/expo.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/errors.h"
#include "engine/field/chunk_array.h"
#include "engine/field/gf_multiplier.h"
#include "engine/field/hyper_square.h"
#include "engine/field/power_table.h"
#include "engine/keys/vrx_header.h"
#include "engine/tests/gf_literal.h"

namespace nimbra::engine {
namespace {

using literal::Words;

Words Element(int n, int m, std::initializer_list<int> coefficients) {
  Words w(literal::WordCount(n), 0);
  for (int i : coefficients) {
    const int p = (i + m) % n;
    w[p >> 5] |= 0x80000000u >> (p & 31);
  }
  return w;
}

TEST(Expo, SmallExponentsOfX) {
  const int n = 607, m = 273;
  Words r(19);
  TExpo::PowerOfX(n, m, Element(n, m, {}).data(), r.data());
  EXPECT_EQ(r, Element(n, m, {0}));
  TExpo::PowerOfX(n, m, Element(n, m, {0}).data(), r.data());
  EXPECT_EQ(r, Element(n, m, {1}));
  // e = n = 607 = 2^9 + 2^6 + 2^4 + 2^3 + 2^2 + 2^1 + 2^0: x^n = x^(n-m) + 1.
  TExpo::PowerOfX(n, m, Element(n, m, {9, 6, 4, 3, 2, 1, 0}).data(), r.data());
  EXPECT_EQ(r, Element(n, m, {n - m, 0}));
}

TEST(Expo, PowerRejectsZeroExponentAndAgreesWithPowerOfXForBaseX) {
  const int n = 1279, m = 418;
  std::mt19937_64 rng(3);
  Words r(40), s(40);
  try {
    TExpo::Power(n, m, Element(n, m, {}).data(), Element(n, m, {1}).data(), r.data());
    FAIL() << "no exception";
  } catch (const EExponentiator& e) {
    EXPECT_STREQ(e.what(), "Zero Exponent");
  }
  const Words e = literal::Random(n, rng);
  TExpo::Power(n, m, e.data(), Element(n, m, {1}).data(), r.data());
  TExpo::PowerOfX(n, m, e.data(), s.data());
  EXPECT_EQ(r, s);
}

TEST(Expo, ChunksReadExponentBitsFromTheMidTap) {
  // Exponent bits 0, 6 and 12 (width 6 at n = 607): chunk 0 = 1, 1 = 1, 2 = 1.
  const Words e = Element(607, 273, {0, 6, 12, 13});
  const TChunkArray chunks(607, e.data(), TChunkKind::Power, 273);
  EXPECT_EQ(chunks.Width(), 6);
  EXPECT_EQ(chunks.Count(), 102);
  EXPECT_EQ(chunks.Chunk(0), 1);
  EXPECT_EQ(chunks.Chunk(1), 1);
  EXPECT_EQ(chunks.Chunk(2), 3);
  EXPECT_EQ(chunks.TopNonZero(), 2);
  const TChunkArray of_x(1279, Words(40, 0).data(), TChunkKind::PowerOfX, 418);
  EXPECT_EQ(of_x.Width(), 11);
  EXPECT_EQ(of_x.TopNonZero(), -1);
}

TEST(Multiplier, ProductMatchesRegisterClocking) {
  std::mt19937_64 rng(5);
  TGF2NMultiplier mul(521, 158);
  const Words a = literal::Random(521, rng), b = literal::Random(521, rng);
  Words r(17);
  mul.Multiply(r.data(), a.data(), b.data());
  EXPECT_EQ(r, literal::Multiply(521, 158, a, b));
}

TEST(HyperSquare, EntriesAndApplyMatchTheClockedTable) {
  const int n = 607, m = 273, w = 10;
  THyperSquareTable table(n, w, m);
  EXPECT_EQ(table.TableName(), "607H10");
  EXPECT_EQ(table.FileName(), "607H10");
  EXPECT_EQ(table.ByteSize(), 607u * 19 * 4);
  table.Build();
  const literal::ClockedHyperSquare literal_table(n, w, m);
  for (int i : {0, 1, 2, 300, 606}) {
    EXPECT_EQ(Words(table.Entry(i), table.Entry(i) + 19), literal_table.Copy(i)) << i;
  }
  std::mt19937_64 rng(11);
  const Words input = literal::Random(n, rng);
  Words r(19), expected(19);
  table.Apply(r.data(), input.data());
  literal_table.Apply(expected.data(), input.data());
  EXPECT_EQ(r, expected);
  EXPECT_EQ(THyperSquareTable(1279, 11, 418).TableName(), "1279H11");
}

TEST(HyperSquare, SavedTableLoadsWithTheSameResults) {
  THyperSquareTable table(127, 8, 97);
  table.Build();
  MemoryStream stream;
  table.SaveToStream(stream);
  ASSERT_EQ(stream.Size(), 28 + 127 * 4 * 4);
  THyperSquareTable loaded(127, 8, 97);
  stream.SetPosition(0);
  loaded.LoadFromStream(stream);
  EXPECT_TRUE(loaded.Loaded());
  std::mt19937_64 rng(13);
  const Words input = literal::Random(127, rng);
  Words a(4), b(4);
  table.Apply(a.data(), input.data());
  loaded.Apply(b.data(), input.data());
  EXPECT_EQ(a, b);
}

TEST(HyperSquare, LoadFailuresRaiseThePowerTableError) {
  THyperSquareTable small(127, 8, 97);
  small.Build();
  MemoryStream stream;
  small.SaveToStream(stream);
  auto expect_load_failure = [](THyperSquareTable& table, MemoryStream& s) {
    s.SetPosition(0);
    try {
      table.LoadFromStream(s);
      ADD_FAILURE() << "no exception";
    } catch (const EPowerTableStreamLoadFailure& e) {
      EXPECT_STREQ(e.what(), "Error loading power table from stream.");
    }
  };
  THyperSquareTable same_size(127, 8, 97);
  THyperSquareTable bigger(521, 8, 158);
  expect_load_failure(bigger, stream);
  // Short entries.
  MemoryStream truncated(std::vector<std::uint8_t>(stream.Data().begin(), stream.Data().end() - 4));
  expect_load_failure(same_size, truncated);
  // A key header instead of a power-table header.
  MemoryStream key_header;
  TKeyHeader().SaveToStream(key_header);
  expect_load_failure(same_size, key_header);
}

TEST(PowerTableAccQ, EntriesAreSuccessivePowersOfTheBase) {
  std::mt19937_64 rng(17);
  const Words base = literal::Random(89, rng);
  TPowerTableAccQ table(89, base.data(), 5, 51);
  EXPECT_EQ(table.EntryCount(), 32);
  Words expected = base;
  for (int j = 1; j < 32; ++j) {
    expected = literal::Multiply(89, 51, expected, base);
    EXPECT_EQ(Words(table.Entry(j), table.Entry(j) + 3), expected) << j;
  }
}

}  // namespace
}  // namespace nimbra::engine
