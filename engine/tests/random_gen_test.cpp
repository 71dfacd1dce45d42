// The seeded pseudo-random byte generator and the cursor entropy pool.

#include "engine/entropy/random_gen.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/sha1.h"
#include "engine/entropy/entropy.h"
#include "engine/errors.h"

namespace nimbra::engine {
namespace {

std::vector<std::uint8_t> Draw(TRandomGen& gen, int count) {
  std::vector<std::uint8_t> out;
  for (int i = 0; i < count; ++i) out.push_back(gen.RandomByte());
  return out;
}

TEST(RandomGen, MustBeSeededFirst) {
  TRandomGen gen;
  try {
    gen.RandomByte();
    FAIL() << "no exception";
  } catch (const ERGNotSeeded& e) {
    EXPECT_STREQ(e.what(), "Must seed random generator before use.");
  }
  gen.SetSeedLength(4);  // length without data
  EXPECT_THROW(gen.Seed(), ERGIllegalSeedBufferAccess);
}

TEST(RandomGen, SameSeedSameBytesAndOnlyTheFirst150SeedBytesCount) {
  std::vector<std::uint8_t> seed(200);
  for (int i = 0; i < 200; ++i) seed[i] = static_cast<std::uint8_t>(i * 7);
  TRandomGen a, b, c;
  a.SetSeedData(seed.data());
  a.SetSeedLength(200);
  EXPECT_EQ(a.SeedLength(), 150);
  a.Seed();
  b.SetSeedData(seed.data());
  b.SetSeedLength(150);
  b.Seed();
  seed[10] ^= 1;
  c.SetSeedData(seed.data());
  c.SetSeedLength(150);
  c.Seed();
  const auto bytes = Draw(a, 64);
  EXPECT_EQ(bytes, Draw(b, 64));
  EXPECT_NE(bytes, Draw(c, 64));
  // Reseeding starts the same sequence again.
  seed[10] ^= 1;
  a.Seed();
  EXPECT_EQ(Draw(a, 64), bytes);
}

TEST(RandomGen, OutputRequestMayReplaceEachByte) {
  TRandomGen gen;
  gen.Seed();  // the empty seed is allowed
  int calls = 0;
  gen.OnOutputRequest = [&](TRandomGen&, std::uint8_t& out) {
    out = static_cast<std::uint8_t>(++calls);
  };
  EXPECT_EQ(Draw(gen, 3), (std::vector<std::uint8_t>{1, 2, 3}));
}

struct FakePlatform : TEntropyPlatform {
  std::function<void()> tick;
  int x = 0, y = 0;
  bool running = false;
  void StartTimer(int interval_ms, std::function<void()> t) override {
    EXPECT_EQ(interval_ms, 100);
    tick = std::move(t);
    running = true;
  }
  void StopTimer() override { running = false; }
  bool GetCursorPos(int& cx, int& cy) override {
    cx = x;
    cy = y;
    return true;
  }
  void MoveAndTick(int nx, int ny) {
    x = nx;
    y = ny;
    tick();
  }
};

TEST(GatherEntropy, TicksStoreMovedCursorSamples) {
  FakePlatform platform;
  TGatherEntropy gather(platform);
  ASSERT_TRUE(platform.running);
  int pulses = 0;
  gather.OnPulse = [&](TGatherEntropy&) { ++pulses; };
  platform.MoveAndTick(0x12, 0x34);
  platform.MoveAndTick(0x12, 0x34);  // no move: no sample
  EXPECT_EQ(gather.WritePosition(), 101);
  EXPECT_EQ(gather.Pool()[100], 0x24);  // (X shl 4) or (Y and 15), low byte
  EXPECT_EQ(pulses, 2);
  EXPECT_TRUE(platform.running);
  // An error inside the pulse is swallowed and the timer restarts.
  gather.OnPulse = [](TGatherEntropy&) { throw std::runtime_error("x"); };
  platform.MoveAndTick(1, 1);
  EXPECT_TRUE(platform.running);
}

TEST(GatherEntropy, TakeOutputHandsOutAtMost100BytesAndMixesThem) {
  FakePlatform platform;
  TGatherEntropy gather(platform);
  // Writer at 100, reader at 0: 100 bytes from the start.
  std::vector<std::uint8_t> before(gather.Pool(), gather.Pool() + 100);
  const std::uint8_t* out = gather.TakeOutput();
  EXPECT_EQ(gather.Outputsize(), 100);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 100), before);
  const Sha1Digest first = Sha1(std::span<const std::uint8_t>(before.data(), 20));
  EXPECT_TRUE(std::equal(first.begin(), first.end(), gather.Pool()));
  EXPECT_EQ(gather.ReadPosition(), 0);

  // 150 new samples: the reader takes 100 and moves on.
  for (int i = 0; i < 150; ++i) platform.MoveAndTick(i + 1, i);
  gather.TakeOutput();
  EXPECT_EQ(gather.Outputsize(), 100);
  EXPECT_EQ(gather.ReadPosition(), 100);
}

TEST(GatherEntropy, WrappedWriterRestartsTheReader) {
  FakePlatform platform;
  TGatherEntropy gather(platform);
  for (int i = 0; i < 1900; ++i) platform.MoveAndTick(i + 1, i);  // writer reaches 2000
  for (int i = 0; i < 17; ++i) gather.TakeOutput();               // reader at 1700
  EXPECT_EQ(gather.ReadPosition(), 1700);
  platform.MoveAndTick(5000, 1);  // the writer wraps to 0
  platform.MoveAndTick(5001, 1);
  EXPECT_EQ(gather.WritePosition(), 1);
  gather.TakeOutput();  // 300 left: 100 taken
  EXPECT_EQ(gather.ReadPosition(), 1800);
  gather.TakeOutput();
  EXPECT_EQ(gather.ReadPosition(), 1900);
  gather.TakeOutput();  // the last 100 bytes: back to the start
  EXPECT_EQ(gather.Outputsize(), 100);
  EXPECT_EQ(gather.ReadPosition(), 0);
}

}  // namespace
}  // namespace nimbra::engine
