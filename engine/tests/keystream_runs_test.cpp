// The keystream's run paths (bytes and words of a stutter register drawn
// many at a time, the mixture's bit and byte runs, the swap-table batch)
// against the one-call-at-a-time operations and the literal engine.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/keys/key.h"
#include "engine/keystream/bit_merge.h"
#include "engine/keystream/byte_interleave.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/mixture_generator.h"
#include "engine/keystream/shift_reg.h"
#include "engine/keystream/swap_table.h"
#include "engine/tests/every_path.h"
#include "literal_engine.h"

using namespace nimbra::engine;

namespace {

// A random state; `sparse` clears most bits so that the stutter test holds
// on most rows instead of one in four.
TCustomBitArray RandomState(std::mt19937& rng, int n, bool sparse) {
  TCustomBitArray a(n);
  for (int i = 0; i < n; ++i) a.SetBit(i, (rng() & 1) && (!sparse || rng() % 4 == 0));
  return a;
}

void ExpectSameState(const TStutterShiftReg& a, const TStutterShiftReg& b) {
  for (int i = 1; i <= a.Length(); ++i) ASSERT_EQ(a.GetBit(i), b.GetBit(i)) << "bit " << i;
}

TEST(StutterRuns, BytesAndWordsMatchSingleCalls) {
  std::mt19937 rng(31);
  const std::size_t counts[] = {0, 1, 2, 6, 7, 8, 9, 15, 255, 1023, 1024, 1025, 3001};
  for (int round = 0; round < 28; ++round) {
    const auto& size = kGeneratorSizeTable[round % 7];
    TStutterShiftReg fast(size.length, size.mid_tap), slow(size.length, size.mid_tap);
    const TCustomBitArray state = RandomState(rng, size.length, round % 2 == 1);
    fast.LoadState(state);
    slow.LoadState(state);
    for (int op = 0; op < 12; ++op) {
      const std::size_t count = counts[rng() % std::size(counts)];
      switch (rng() % 3) {
        case 0: {
          std::vector<std::uint8_t> bytes(count);
          fast.OutputStutteredBytes(bytes.data(), count);
          for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(bytes[i], slow.OutputStuttered(8) & 0xFF) << "byte " << i << " of " << count;
          break;
        }
        case 1: {
          std::vector<std::uint32_t> words(count);
          fast.OutputStutteredWords(words.data(), count);
          for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(words[i], slow.OutputStuttered(32));
          break;
        }
        default: {
          // Single calls in between leave the position anywhere in a word.
          const int k = 1 + static_cast<int>(rng() % 40);
          ASSERT_EQ(fast.OutputStuttered(k), slow.OutputStuttered(k));
        }
      }
      ExpectSameState(fast, slow);
    }
  }
}

TEST(StutterRuns, PairedRunsMatchSeparateRunsAndHandlersSeeEveryStutter) {
  test::OnEveryPath([] {
    std::mt19937 rng(32);
    for (int round = 0; round < 40; ++round) {
      const auto& sa = kGeneratorSizeTable[rng() % 7];
      const auto& sb = kGeneratorSizeTable[rng() % 7];
      TStutterShiftReg a(sa.length, sa.mid_tap), b(sb.length, sb.mid_tap);
      literal::StutterReg la(sa.length, sa.mid_tap), lb(sb.length, sb.mid_tap);
      const TCustomBitArray state_a = RandomState(rng, sa.length, round % 3 == 0);
      const TCustomBitArray state_b = RandomState(rng, sb.length, round % 3 == 1);
      a.LoadState(state_a);
      b.LoadState(state_b);
      for (int i = 0; i < sa.length; ++i)
        la.bits()[i] = static_cast<std::uint8_t>(state_a.GetBit(i));
      for (int i = 0; i < sb.length; ++i)
        lb.bits()[i] = static_cast<std::uint8_t>(state_b.GetBit(i));
      // A handler makes the register take its step-by-step path.
      int fired = 0;
      if (round % 3 == 2) b.OnStutter = [&fired](TStutterShiftReg&) { ++fired; };
      const std::size_t na = rng() % 2100, nb = rng() % 2100;
      std::vector<std::uint8_t> out_a(na), out_b(nb);
      TStutterShiftReg::OutputStutteredBytes(a, out_a.data(), na, b, out_b.data(), nb);
      for (std::size_t i = 0; i < na; ++i) ASSERT_EQ(out_a[i], la.OutputStuttered(8) & 0xFF);
      for (std::size_t i = 0; i < nb; ++i) ASSERT_EQ(out_b[i], lb.OutputStuttered(8) & 0xFF);
      if (b.OnStutter) {
        EXPECT_EQ(fired, lb.stutters);
      }
      EXPECT_EQ(a.OutputStuttered(32), la.OutputStuttered(32));
      EXPECT_EQ(b.OutputStuttered(32), lb.OutputStuttered(32));
    }
  });
}

// Bit i of the result comes from b where bit i of sel is 1, else from a.
std::vector<std::uint8_t> MergeBitByBit(const std::vector<std::uint32_t>& sel,
                                        const std::vector<std::uint32_t>& a,
                                        const std::vector<std::uint32_t>& b, std::size_t count) {
  std::vector<std::uint8_t> out(count, 0);
  std::size_t pa = 0, pb = 0;
  auto bit = [](const std::vector<std::uint32_t>& w, std::size_t p) {
    return (w[p / 32] >> (p % 32)) & 1;
  };
  for (std::size_t i = 0; i < 8 * count; ++i) {
    const auto v = bit(sel, i) ? bit(b, pb++) : bit(a, pa++);
    out[i / 8] |= static_cast<std::uint8_t>(v << (i % 8));
  }
  return out;
}

TEST(KeystreamRuns, MergeAndInterleaveMatchTheirDefinitions) {
  test::OnEveryPath([] {
    std::mt19937 rng(33);
    for (std::size_t count : {1, 2, 3, 4, 5, 31, 64, 255, 256}) {
      for (int round = 0; round < 6; ++round) {
        std::vector<std::uint32_t> sel(count / 4 + 3), a(count / 4 + 3), b(count / 4 + 3);
        // Dense, sparse and random selections.
        for (auto& w : sel)
          w = round == 0 ? ~0u : round == 1 ? 0u : static_cast<std::uint32_t>(rng());
        for (auto& w : a) w = static_cast<std::uint32_t>(rng());
        for (auto& w : b) w = static_cast<std::uint32_t>(rng());
        const auto expected = MergeBitByBit(sel, a, b, count);
        std::vector<std::uint8_t> merged(count);
        bit_merge::MergeBytes(merged.data(), sel.data(), a.data(), b.data(), count);
        ASSERT_EQ(merged, expected) << count;

        std::vector<std::uint8_t> from2(count + 8), from3(count + 8), data(count);
        for (auto& x : from2) x = static_cast<std::uint8_t>(rng());
        for (auto& x : from3) x = static_cast<std::uint8_t>(rng());
        for (auto& x : data) x = static_cast<std::uint8_t>(rng());
        auto want = data;
        for (std::size_t i = 0, j2 = 0, j3 = 0; i < count; ++i)
          want[i] ^= ((sel[i / 32] >> (i % 32)) & 1) ? from3[j3++] : from2[j2++];
        auto got = data;
        interleave::XorInterleaved(got.data(), sel.data(), from2.data(), from3.data(), count);
        ASSERT_EQ(got, want) << count;
      }
    }
  });
}

TEST(KeystreamRuns, RemainderWithoutDivisionIsExact) {
  for (std::uint32_t r = 2; r < 256; ++r)
    for (std::uint32_t v = 0; v < 65536; ++v)
      ASSERT_EQ(TSwapTable::Mod16(v, r), v % r) << v << " " << r;
}

// Keys a generator and the literal mixture alike from random subkeys.
void KeyBoth(std::mt19937& rng, TGeneratorSizes sizes, TS3MixtureGenerator& fast,
             literal::Mixture& slow) {
  TKey key(sizes);
  std::vector<std::vector<std::uint8_t>> subkeys;
  for (int i = 1; i <= 3; ++i) {
    const int n = key.Subkey(i)->BitCount();
    TCustomBitArray array(n);
    subkeys.emplace_back(n);
    for (int b = 0; b < n; ++b) {
      subkeys.back()[b] = static_cast<std::uint8_t>(rng() & 1);
      array.SetBit(b, subkeys.back()[b]);
    }
    key.SetSubkey(i, &array);
  }
  fast.LoadKey(key);
  slow.LoadKey(subkeys);
}

TEST(KeystreamRuns, MixtureRunsMatchTheLiteralGeneratorAfterAnyPartialCall) {
  std::mt19937 rng(34);
  // Every set of three sizes.
  for (int set = 0; set < 128; ++set) {
    const auto sizes = static_cast<TGeneratorSizes>(set);
    if (SizeMemberCount(sizes) != 3) continue;
    TS3MixtureGenerator fast(3, sizes);
    literal::Mixture slow(sizes);
    KeyBoth(rng, sizes, fast, slow);
    for (int op = 0; op < 16; ++op) {
      const std::size_t count = rng() % 400;
      switch (rng() % 5) {
        case 0: {
          std::vector<std::uint8_t> bits(count);
          fast.OutputBits(bits.data(), count);
          for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(bits[i], slow.Output(8) & 0xFF);
          break;
        }
        case 1: {
          std::vector<std::uint8_t> data(count, 0x3C);
          fast.XorOutputBytes(data.data(), count);
          for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(data[i], 0x3C ^ slow.OutputByte());
          break;
        }
        case 2: {
          std::vector<std::uint8_t> data(count, 0xA5);
          fast.XorOutputBits8(data.data(), count);
          for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(data[i], (0xA5 ^ slow.Output(8)) & 0xFF);
          break;
        }
        case 3: {
          // Drops of one and of several runs, before any count.
          const std::size_t drop = rng() % 3 == 0 ? 0 : rng() % 1100;
          std::vector<std::uint8_t> data(count, 0x5A);
          fast.DropThenXorOutputBytes(drop, data.data(), count);
          for (std::size_t i = 0; i < drop; ++i) slow.OutputByte();
          for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(data[i], 0x5A ^ slow.OutputByte());
          break;
        }
        default: {
          // Leaves the bit buffers partly used.
          const int k = 1 + static_cast<int>(rng() % 32);
          ASSERT_EQ(fast.Output(k), slow.Output(k));
        }
      }
    }
  }
}

TEST(KeystreamRuns, CombinerMatchesTheLiteralCombinerBothWaysForOddSettings) {
  std::mt19937 rng(35);
  for (int set = 0; set < 128; ++set) {
    const auto sizes = static_cast<TGeneratorSizes>(set);
    if (SizeMemberCount(sizes) != 3) continue;
    for (bool byte_mode : {true, false}) {
      // Rounded up to 512 .. 1536: reshuffles in the middle of buffers.
      const int block_size =
          256 * (2 + static_cast<int>(rng() % 5)) - 1 - static_cast<int>(rng() % 200);
      TS3MixtureGenerator fast(3, sizes);
      TCombiner combiner(fast);
      combiner.SetBlockSize(block_size);
      combiner.SetByteMode(byte_mode);
      literal::Mixture slow(sizes);
      literal::Combiner reference(slow, combiner.BlockSize(), byte_mode);
      KeyBoth(rng, sizes, fast, slow);
      for (int buffer = 0; buffer < 3; ++buffer) {
        std::vector<std::uint8_t> plain(1 + rng() % 4000);
        for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
        auto fast_data = plain, slow_data = plain;
        // Decryption draws the keystream in its own order around the CRC.
        const bool encrypt = buffer != 1;
        const auto crc = encrypt ? combiner.EncryptBuffer(fast_data.size(), fast_data.data())
                                 : combiner.DecryptBuffer(fast_data.size(), fast_data.data());
        ASSERT_EQ(crc, reference.Process(slow_data, encrypt));
        ASSERT_EQ(fast_data, slow_data) << int(sizes) << " " << byte_mode << " " << plain.size();
      }
    }
  }
}

TEST(KeystreamRuns, CombinerLeavesNoSkipPendingBetweenCalls) {
  // The skip after a buffer's last block must be drawn before the buffer
  // call returns: blocks encrypted one by one and the generator drawn from
  // directly see the same keystream as the literal combiner.
  std::mt19937 rng(36);
  for (const TGeneratorSizes sizes :
       {TGeneratorSizes{28}, TGeneratorSizes{44}, TGeneratorSizes{7}}) {
    for (bool byte_mode : {true, false}) {
      TS3MixtureGenerator fast(3, sizes);
      TCombiner combiner(fast);
      combiner.SetBlockSize(512);
      combiner.SetByteMode(byte_mode);
      combiner.SetSkipMask(static_cast<std::uint8_t>(1 + rng() % 255));
      literal::Mixture slow(sizes);
      literal::Combiner reference(slow, combiner.BlockSize(), byte_mode, combiner.SkipMask());
      KeyBoth(rng, sizes, fast, slow);
      for (int op = 0; op < 40; ++op) {
        switch (rng() % 4) {
          case 0: {
            std::vector<std::uint8_t> data(rng() % 1500);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
            auto expected = data;
            const bool encrypt = rng() % 2 == 0;
            const auto crc = encrypt ? combiner.EncryptBuffer(data.size(), data.data())
                                     : combiner.DecryptBuffer(data.size(), data.data());
            ASSERT_EQ(crc, reference.Process(expected, encrypt));
            ASSERT_EQ(data, expected);
            break;
          }
          case 1: {
            // One block by the public block call, the shared table if whole.
            std::vector<std::uint8_t> data(rng() % 2 ? 256 : 1 + rng() % 256);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
            auto expected = data;
            std::uint32_t crc = static_cast<std::uint32_t>(rng()), want = crc;
            const bool encrypt = rng() % 2 == 0;
            const int n = static_cast<int>(data.size());
            if (encrypt)
              combiner.EncryptBlock(crc, n, data.data());
            else
              combiner.DecryptBlock(crc, n, data.data());
            reference.Block(want, n, expected.data(), encrypt);
            ASSERT_EQ(crc, want);
            ASSERT_EQ(data, expected);
            break;
          }
          case 2:
            ASSERT_EQ(fast.OutputByte(), slow.OutputByte());
            break;
          default:
            ASSERT_EQ(fast.Output(13), slow.Output(13));
        }
      }
    }
  }
}

}  // namespace
