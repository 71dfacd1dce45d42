#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "engine/errors.h"
#include "engine/keys/key.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/mixture_generator.h"
#include "engine/keystream/shift_reg.h"
#include "engine/keystream/swap_table.h"
#include "engine/tests/message_of.h"

using namespace nimbra::engine;
using nimbra::MemoryStream;

namespace {

TEST(ShiftReg, ConstructionChecksLengthThenMidTap) {
  EXPECT_EQ(MessageOf<EShiftRegNoCreate>([] { TShiftReg r(1, 1); }),
            "Shift register length invalid: 1");
  EXPECT_EQ(MessageOf<EShiftRegNoCreate>([] { TShiftReg r(127, 127); }),
            "Shift register mid-tap invalid: 127");
  EXPECT_EQ(MessageOf<EShiftRegNoCreate>([] { TShiftReg r(127, 0); }),
            "Shift register mid-tap invalid: 0");
  EXPECT_EQ(TShiftReg(127, 126).Step(), 32);
  EXPECT_EQ(TShiftReg(89, 20).Step(), 20);
  // A new register is all zero.
  TShiftReg zero(607, 273);
  for (int i = 1; i <= 607; ++i) ASSERT_EQ(zero.GetBit(i), 0);
}

TEST(ShiftReg, OneStepFeedsBackTheOldestBit) {
  TShiftReg r(127, 97);
  r.SetBit(127, 1);  // b_126
  EXPECT_EQ(r.Output(1), 1u);
  EXPECT_EQ(r.GetBit(1), 1);    // b_0 = b_126 xor b_96
  EXPECT_EQ(r.GetBit(127), 0);  // b_126 now holds the old b_125
}

class CountingReg : public TShiftReg {
 public:
  using TShiftReg::TShiftReg;
  std::vector<int> steps;
  void ClockFeedback(int k) override {
    steps.push_back(k);
    TShiftReg::ClockFeedback(k);
  }
  void ClockWord() override {
    steps.push_back(32);
    TShiftReg::ClockWord();
  }
};

TEST(ShiftReg, ClockSplitsIntoAPartialStepThenWholeSteps) {
  CountingReg r(127, 97);
  r.Clock(70);
  EXPECT_EQ(r.steps, (std::vector<int>{6, 32, 32}));
  CountingReg s(89, 51);
  s.Clock(64);
  EXPECT_EQ(s.steps, (std::vector<int>{32, 32}));
}

TEST(ShiftReg, FieldElementsAndRotation) {
  TShiftReg r(87, 74);
  r.SetToOne();
  EXPECT_EQ(r.GetBit(75), 1);  // state bit m
  r.SetToX();
  EXPECT_EQ(r.GetBit(76), 1);  // state bit m + 1
  // x^87 = x^13 + 1: clocking 1 (state bit 74) 87 times sets the bits of
  // the coefficients 0 and 13, state bits 74 and (13 + 74) mod 87 = 0.
  r.SetToOne();
  r.Clock(87);
  for (int i = 0; i < 87; ++i) EXPECT_EQ(r.GetBit(i + 1), i == 74 || i == 0) << i;

  std::mt19937 rng(5);
  TCustomBitArray state(607);
  for (int i = 0; i < 607; ++i) state.SetBit(i, rng() & 1);
  TShiftReg q(607, 273);
  q.LoadState(state);
  q.Rotate(100);
  EXPECT_EQ(q.GetBit(101), state.GetBit(0));
  EXPECT_EQ(q.GetBit(1), state.GetBit(507));
  q.Rotate(507);
  for (int i = 0; i < 607; ++i) ASSERT_EQ(q.GetBit(i + 1), state.GetBit(i));
}

TEST(ShiftReg, StateCopiesClearPaddingAndLoadsIgnoreIt) {
  TCustomBitArray state(89);
  state.Words()[2] = 0xFFFFFFFF;  // bits 64..88 plus 7 padding bits
  TShiftReg r(89, 51);
  r.LoadState(state);
  EXPECT_EQ(r.State().Words()[2], 0xFFFFFF80u);
  r.Clock(1000);
  EXPECT_EQ(r.State().Words()[2] & 0x7Fu, 0u);
  std::uint32_t words[3];
  r.StoreStateBuffer(words);
  EXPECT_EQ(words[2] & 0x7Fu, 0u);
  TCustomBitArray wrong(88);
  EXPECT_THROW(r.LoadState(wrong), EBitArrayInvalidOperation);
  EXPECT_THROW(r.XorState(wrong), EBitArrayInvalidOperation);
}

TEST(StutterShiftReg, ExtraStepWhenBits10And17AreZero) {
  TCustomBitArray state(127);
  for (int i = 0; i < 127; ++i) state.SetBit(i, i % 3 == 0);
  state.SetBit(10, 0);
  state.SetBit(17, 0);
  TStutterShiftReg stutter(127, 97);
  int fired = 0;
  stutter.OnStutter = [&](TStutterShiftReg&) { ++fired; };
  TShiftReg plain(127, 97);
  stutter.LoadState(state);
  plain.LoadState(state);
  stutter.OutputStuttered(8);
  plain.Clock(9);
  EXPECT_EQ(fired, 1);
  for (int i = 1; i <= 127; ++i) ASSERT_EQ(stutter.GetBit(i), plain.GetBit(i));

  state.SetBit(10, 1);
  stutter.LoadState(state);
  plain.LoadState(state);
  stutter.OutputStuttered(8);
  plain.Clock(8);
  EXPECT_EQ(fired, 1);
  for (int i = 1; i <= 127; ++i) ASSERT_EQ(stutter.GetBit(i), plain.GetBit(i));
  // Plain clocking of a stutter register never tests.
  state.SetBit(10, 0);
  stutter.LoadState(state);
  stutter.Clock(1);
  EXPECT_EQ(fired, 1);
}

TEST(MixtureGenerator, SizeSetsAndCounts) {
  TS3MixtureGenerator gen(3, 28);
  EXPECT_EQ(gen.Register(1).Length(), 607);
  EXPECT_EQ(gen.Register(2).Length(), 521);
  EXPECT_EQ(gen.Register(3).Length(), 127);
  EXPECT_EQ(gen.Length(), 1255);
  EXPECT_EQ(MessageOf<ES3MixGenCreateBadCount>([] { TS3MixtureGenerator g(3, 30); }),
            "Exactly 3 subgenerators required.");
  EXPECT_THROW(TS3MixtureGenerator(2, 28), ES3MixGenCreateBadCount);
  EXPECT_THROW(TS3MixtureGenerator(3, 0x80 | 7), ES3MixGenCreateBadCount);
}

TEST(MixtureGenerator, KeyRoundTripAndExpandFirst) {
  TKey key(28);
  std::vector<std::uint8_t> seed(60);
  for (std::size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<std::uint8_t>(i * 29 + 3);
  key.MakeFromBytesSpread(seed.data(), 480);
  TS3MixtureGenerator gen(3, 28);
  gen.LoadKey(key);
  TKey saved(28);
  gen.SaveKey(saved);
  EXPECT_TRUE(saved.Equals(key));

  TKey first_only(28);
  first_only.MakeFromBytes(seed.data(), 480);
  gen.LoadKey(first_only);
  gen.ExpandFirst();
  gen.SaveKey(saved);
  // Register 1 is restored; registers 2 and 3 were filled and start with 1.
  for (int i = 0; i < 607; ++i)
    ASSERT_EQ(saved.Subkey(1)->GetBit(i), first_only.Subkey(1)->GetBit(i));
  EXPECT_EQ(saved.Subkey(2)->GetBit(0), 1);
  EXPECT_EQ(saved.Subkey(3)->GetBit(0), 1);
  EXPECT_NO_THROW(saved.Validate());
}

TEST(MixtureGenerator, WipeLeavesNothingOfTheKey) {
  TKey key(28);
  std::vector<std::uint8_t> seed(60, 0xA5);
  key.MakeFromBytesSpread(seed.data(), 480);
  TS3MixtureGenerator gen(3, 28);
  gen.LoadKey(key);
  TCombiner combiner(gen);
  std::vector<std::uint8_t> data(300, 1);
  combiner.EncryptBuffer(data.size(), data.data());  // keyed table, buffered bits
  gen.Wipe();
  combiner.Wipe();
  TKey after(28);
  gen.SaveKey(after);
  for (int r = 1; r <= 3; ++r)
    for (int i = 0; i < after.Subkey(r)->BitCount(); ++i) ASSERT_EQ(after.Subkey(r)->GetBit(i), 0);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(combiner.SharedTable()[i], i);
  key.Subkey(1)->Wipe();
  for (int i = 0; i < key.Subkey(1)->BitCount(); ++i) ASSERT_EQ(key.Subkey(1)->GetBit(i), 0);
}

TEST(SwapTable, SizesAndPermutation) {
  TS3MixtureGenerator gen(3, 28), twin(3, 28);
  for (int size : {1, 2}) {
    TSwapTable t(size, gen);
    for (int i = 0; i < size; ++i) EXPECT_EQ(t[i], i);
    EXPECT_EQ(gen.Output(32), twin.Output(32));  // nothing was drawn
  }
  EXPECT_EQ(TSwapTable(0, gen).Size(), 256);
  EXPECT_EQ(TSwapTable(300, gen).Size(), 256);
  TKey key(28);
  const std::uint8_t seed[] = {1, 2, 3, 4, 5, 6, 7, 8};
  key.MakeFromBytes(seed, 64);
  gen.LoadKey(key);
  TSwapTable t(44, gen);
  std::vector<int> seen(t.Table().begin(), t.Table().begin() + 44);
  std::sort(seen.begin(), seen.end());
  for (int i = 0; i < 44; ++i) EXPECT_EQ(seen[i], i);
  // Even positions are never swap sources: position 0 keeps 0.
  EXPECT_EQ(t[0], 0);
}

TEST(Combiner, BlockSizeAndSkipMaskSettings) {
  TS3MixtureGenerator gen(3, 28);
  TCombiner c(gen);
  EXPECT_EQ(c.BlockSize(), 4096);
  EXPECT_TRUE(c.ByteMode());
  EXPECT_EQ(c.SkipMask(), 15);
  c.SetBlockSize(2048);
  EXPECT_EQ(c.BlockSize(), 2048);
  c.SetBlockSize(1000);
  EXPECT_EQ(c.BlockSize(), 1024);
  c.SetBlockSize(0);
  EXPECT_EQ(c.BlockSize(), 256);
  c.SetBlockSize(-5000);  // would round to a non-positive size
  EXPECT_EQ(c.BlockSize(), 256);
  c.SetSkipMask(0);
  EXPECT_EQ(c.SkipMask(), 15);
}

struct Keyed {
  explicit Keyed(TGeneratorSizes sizes, bool byte_mode, int block_size = 4096)
      : gen(3, sizes), combiner(gen) {
    combiner.SetByteMode(byte_mode);
    combiner.SetBlockSize(block_size);
    TKey key(sizes);
    std::vector<std::uint8_t> seed(40);
    for (std::size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    key.MakeFromBytes(seed.data(), 320);
    gen.LoadKey(key);
    gen.ExpandFirst();
  }
  TS3MixtureGenerator gen;
  TCombiner combiner;
};

TEST(Combiner, DecryptRestoresEveryByteForEverySizeSetAndMode) {
  std::mt19937 rng(11);
  for (TGeneratorSizes sizes : {TGeneratorSizes{28}, TGeneratorSizes{44}, TGeneratorSizes{22},
                                TGeneratorSizes{7}, TGeneratorSizes{112}}) {
    for (bool byte_mode : {true, false}) {
      std::vector<std::uint8_t> plain(5000 + rng() % 700);
      for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
      Keyed enc(sizes, byte_mode), dec(sizes, byte_mode);
      auto data = plain;
      const auto crc = enc.combiner.EncryptBuffer(data.size(), data.data());
      EXPECT_NE(data, plain);
      EXPECT_EQ(crc, TCRC32::Of(plain.size(), plain.data()));
      EXPECT_EQ(dec.combiner.DecryptBuffer(data.size(), data.data()), crc);
      EXPECT_EQ(data, plain) << int(sizes) << " " << byte_mode;
    }
  }
}

TEST(Combiner, EmptyInputDrawsNothing) {
  Keyed a(28, true), b(28, true);
  EXPECT_EQ(a.combiner.EncryptBuffer(0, nullptr), 0u);
  MemoryStream in, out;
  EXPECT_EQ(a.combiner.EncryptStream(out, in), 0u);
  EXPECT_EQ(out.Size(), 0);
  EXPECT_EQ(a.gen.Output(32), b.gen.Output(32));
}

TEST(Combiner, StreamsStringsAndBuffersAgree) {
  std::string text(3000, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
  Keyed buffer(44, false, 1024), stream(44, false, 1024), string(44, false, 1024);
  std::vector<std::uint8_t> data(text.begin(), text.end());
  const auto crc = buffer.combiner.EncryptBuffer(data.size(), data.data());

  MemoryStream in(text.data(), text.size()), out;
  int progress = 0;
  stream.combiner.OnProgress = [&](TCombiner&) { ++progress; };
  EXPECT_EQ(stream.combiner.EncryptStream(out, in), crc);
  EXPECT_EQ(out.Data(), data);
  EXPECT_EQ(progress, 3);  // buffers of 1024, 1024 and 952 bytes

  std::string cipher;
  EXPECT_EQ(string.combiner.EncryptString(cipher, text), crc);
  EXPECT_EQ(std::vector<std::uint8_t>(cipher.begin(), cipher.end()), data);
}

class FailingStream : public MemoryStream {
 public:
  std::size_t Write(const void*, std::size_t) override { return 0; }
};

TEST(Combiner, StreamErrorsBecomeStreamFaults) {
  Keyed k(28, true);
  std::vector<std::uint8_t> bytes(100, 1);
  MemoryStream in(bytes.data(), bytes.size());
  FailingStream out;
  EXPECT_EQ(MessageOf<ECombinerStreamFault>([&] { k.combiner.EncryptStream(out, in); }),
            "Stream/file processing fault");
}

}  // namespace
