// Randomized equivalence of the word-level engine with the step-by-step
// implementations in literal_engine.h.

#include <gtest/gtest.h>

#include <random>

#include "engine/keys/key.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/mixture_generator.h"
#include "engine/keystream/shift_reg.h"
#include "literal_engine.h"

using namespace nimbra::engine;

namespace {

std::vector<std::uint8_t> RandomBits(std::mt19937& rng, int n) {
  std::vector<std::uint8_t> bits(n);
  for (auto& b : bits) b = rng() & 1;
  return bits;
}

TCustomBitArray ToArray(const std::vector<std::uint8_t>& bits) {
  TCustomBitArray a(static_cast<int>(bits.size()));
  for (std::size_t i = 0; i < bits.size(); ++i) a.SetBit(static_cast<int>(i), bits[i]);
  return a;
}

void ExpectSameState(const TCustomShiftReg& fast, const literal::ShiftReg& slow,
                     const char* where) {
  const TCustomBitArray& state = fast.State();
  for (int i = 0; i < slow.n(); ++i)
    ASSERT_EQ(state.GetBit(i), slow.bits()[i]) << where << " bit " << i;
  // Padding bits of a computed state are clear.
  const int used = slow.n() % 32;
  if (used) {
    EXPECT_EQ(state.Words()[state.WordCount() - 1] & (0xFFFFFFFFu >> used), 0u);
  }
}

TEST(RegisterEquivalence, RandomOperationsKeepTheSameState) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 36; ++round) {
    int n, m;
    if (round < 14) {
      n = kGeneratorSizeTable[round % 7].length;
      m = kGeneratorSizeTable[round % 7].mid_tap;
    } else {
      n = 32 + static_cast<int>(rng() % 700);
      m = 1 + static_cast<int>(rng() % (n - 1));
    }
    TShiftReg fast(n, m);
    literal::ShiftReg slow(n, m);
    slow.bits() = RandomBits(rng, n);
    fast.LoadState(ToArray(slow.bits()));
    ExpectSameState(fast, slow, "load");
    for (int op = 0; op < 80; ++op) {
      switch (rng() % 7) {
        case 0: {
          const int k = static_cast<int>(rng() % 700);
          fast.Clock(k);
          slow.Clock(k);
          break;
        }
        case 1: {
          const int k = 1 + static_cast<int>(rng() % 32);
          ASSERT_EQ(fast.Output(k), slow.Output(k)) << "n=" << n << " m=" << m;
          break;
        }
        case 2: {
          const int k = 1 + static_cast<int>(rng() % std::min(31, fast.Step()));
          fast.ClockFeedback(k);
          slow.ClockFeedback(k);
          break;
        }
        case 3: {
          const int i = static_cast<int>(rng() % n);
          const int v = rng() & 1;
          fast.SetBit(i + 1, v);
          slow.bits()[i] = v;
          ASSERT_EQ(fast.GetBit(i + 1), v);
          break;
        }
        case 4: {
          const int k = static_cast<int>(rng() % 3000);
          fast.Rotate(k);
          slow.Rotate(k);
          break;
        }
        case 5:
          fast.Clock(6000);
          slow.Clock(6000);
          break;
        default:
          ASSERT_EQ(fast.OutputByte(), slow.Output(8) & 0xFF);
      }
      ExpectSameState(fast, slow, "op");
    }
    TShiftReg copy(fast);
    EXPECT_EQ(copy.Output(32), slow.Output(32));
  }
}

TEST(RegisterEquivalence, StutterRegisterStepsAndOutputs) {
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    const auto& size = kGeneratorSizeTable[round % 7];
    TStutterShiftReg fast(size.length, size.mid_tap);
    int fired = 0;
    fast.OnStutter = [&fired](TStutterShiftReg&) { ++fired; };
    literal::StutterReg slow(size.length, size.mid_tap);
    // Sparse states make the stutter test hold often.
    slow.bits() = RandomBits(rng, size.length);
    for (auto& b : slow.bits()) b &= (rng() % 4 == 0);
    fast.LoadState(ToArray(slow.bits()));
    for (int op = 0; op < 200; ++op) {
      switch (rng() % 5) {
        case 0: {
          const int k = 1 + static_cast<int>(rng() % 100);
          ASSERT_EQ(fast.OutputStuttered(k), slow.OutputStuttered(k));
          break;
        }
        case 1: {
          const int k = static_cast<int>(rng() % 300);
          fast.ClockChecked(k);
          slow.ClockChecked(k);
          break;
        }
        case 2:
          fast.ClockWord();
          slow.ClockWord();
          break;
        case 3: {
          const int k = static_cast<int>(rng() % 300);
          fast.Clock(k);
          slow.Clock(k);
          break;
        }
        default: {
          const int k = 1 + static_cast<int>(rng() % 31);
          fast.ClockFeedback(k);
          slow.ClockFeedback(k);
        }
      }
      ExpectSameState(fast, slow, "stutter op");
    }
    EXPECT_EQ(fired, slow.stutters);
  }
}

// Keys both generators identically from random subkeys.
void KeyBoth(std::mt19937& rng, TGeneratorSizes sizes, TS3MixtureGenerator& fast,
             literal::Mixture& slow, bool expand) {
  TKey key(sizes);
  std::vector<std::vector<std::uint8_t>> subkeys;
  for (int i = 1; i <= 3; ++i) {
    subkeys.push_back(RandomBits(rng, key.Subkey(i)->BitCount()));
    const TCustomBitArray array = ToArray(subkeys.back());
    key.SetSubkey(i, &array);
  }
  fast.LoadKey(key);
  slow.LoadKey(subkeys);
  if (expand) {
    fast.ExpandFirst();
    slow.ExpandFirst();
  }
}

const TGeneratorSizes kSets[] = {28, 44, 22, 7, 112, 73};

TEST(MixtureEquivalence, OutputsMatchForEverySizeSet) {
  std::mt19937 rng(7);
  for (TGeneratorSizes sizes : kSets) {
    for (bool expand : {false, true}) {
      TS3MixtureGenerator fast(3, sizes);
      literal::Mixture slow(sizes);
      KeyBoth(rng, sizes, fast, slow, expand);
      for (int op = 0; op < 3000; ++op) {
        switch (rng() % 4) {
          case 0: {
            const int k = 1 + static_cast<int>(rng() % 32);
            ASSERT_EQ(fast.Output(k), slow.Output(k)) << int(sizes);
            break;
          }
          case 1:
            ASSERT_EQ(fast.OutputDWord(), slow.OutputDWord());
            break;
          default:
            ASSERT_EQ(fast.OutputByte(), slow.OutputByte());
        }
      }
      TKey saved(sizes);
      fast.SaveKey(saved);
      for (int i = 0; i < 3; ++i)
        for (int b = 0; b < slow.reg(i).n(); ++b)
          ASSERT_EQ(saved.Subkey(i + 1)->GetBit(b), slow.reg(i).bits()[b]);
    }
  }
}

TEST(CombinerEquivalence, CiphertextAndCrcMatchTheLiteralCombiner) {
  std::mt19937 rng(2024);
  const std::size_t lengths[] = {0, 1, 2, 3, 255, 256, 257, 300, 2048, 5000, 9000};
  int round = 0;
  for (TGeneratorSizes sizes : {TGeneratorSizes{28}, TGeneratorSizes{44}, TGeneratorSizes{22}}) {
    for (bool byte_mode : {true, false}) {
      for (std::size_t length : lengths) {
        const int block_size = 256 * (1 + static_cast<int>(rng() % 12));
        TS3MixtureGenerator fast(3, sizes);
        TCombiner combiner(fast);
        combiner.SetBlockSize(block_size);
        combiner.SetByteMode(byte_mode);
        literal::Mixture slow(sizes);
        literal::Combiner reference(slow, block_size, byte_mode);
        KeyBoth(rng, sizes, fast, slow, ++round % 2 == 0);

        std::vector<std::uint8_t> plain(length);
        for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
        auto fast_data = plain;
        auto slow_data = plain;
        const auto crc = combiner.EncryptBuffer(fast_data.size(), fast_data.data());
        ASSERT_EQ(crc, reference.Process(slow_data, true));
        ASSERT_EQ(fast_data, slow_data) << "length " << length << " mode " << byte_mode;
        // The keystream continues: a second buffer stays in step too.
        auto again = plain;
        auto again_slow = plain;
        ASSERT_EQ(combiner.EncryptBuffer(again.size(), again.data()),
                  reference.Process(again_slow, true));
        ASSERT_EQ(again, again_slow);
      }
    }
  }
}

}  // namespace
