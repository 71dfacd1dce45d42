// Bulk OutputStuttered(8) and OutputStuttered(32) of a stutter register.
//
// Each call tests the sequence at its position t (the stutter: bits t - 11
// and t - 18 both zero), outputs the 8 bits at t + stutter - n and moves to
// t + stutter + 8. Call i is row i; v is the position of its output plus n.
// While no row stutters, the tests of the next rows lie 8 bits apart, so one
// 57-bit read answers up to seven of them: the first row that stutters ends
// a run, and the output bytes of a run are one unaligned read of the
// sequence. A run averages about 3.5 bytes, so the serial chain from one
// test to the next is taken once per run instead of once per byte.

#include <algorithm>

#include "engine/cpu_features.h"
#include "engine/keystream/shift_reg.h"

namespace nimbra::engine {

namespace {

// Writes the low min(8, room) bytes of x, lowest first.
void StoreLow(std::uint8_t* out, std::uint64_t x, std::size_t room) {
  if constexpr (std::endian::native == std::endian::little) {
    if (room >= 8) {
      std::memcpy(out, &x, 8);
      return;
    }
  }
  for (std::size_t i = 0; i < 8 && i < room; ++i) out[i] = static_cast<std::uint8_t>(x >> (8 * i));
}

void Store8(std::uint8_t* out, std::uint64_t x) {
  if constexpr (std::endian::native == std::endian::little)
    std::memcpy(out, &x, 8);
  else
    StoreLow(out, x, 8);
}

// Bits 0, 8, .., 48: rows 1..7 ahead.
constexpr std::uint64_t kRowBits = 0x0001010101010101;
// Calls per pass, so that the sequence they read fits the register's slack.
constexpr std::size_t kChunk = 1024;

}  // namespace

#define NIMBRA_ALWAYS_INLINE inline __attribute__((always_inline))

// One register's rows 0 .. count - 1 of a pass, with the position in locals.
// The position kept is u = v - 10, the first sequence bit the stutter tests
// of the next rows read, so that the step from one test to the next is as
// short a chain of operations as can be: a load, a shift, the test, a
// trailing-zero count and an addition.
class TStutterShiftReg::ByteRun {
 public:
  // The register's sequence must reach 9 * count + 128 bits past its state.
  ByteRun(TStutterShiftReg& reg, std::uint8_t* out, std::size_t count)
      : reg_(reg),
        words_(reg.words_.data()),
        to_out_(10 - static_cast<std::int64_t>(reg.length_)),
        out_(out),
        last_(out + count - 1),
        u_(reg.t_ + (reg.StutterHolds() ? 1 : 0) - 10) {}

  NIMBRA_ALWAYS_INLINE bool Done() const { return out_ == last_; }
  // True while a step may look a full seven rows ahead.
  NIMBRA_ALWAYS_INLINE bool Roomy() const { return last_ - out_ >= 7; }

  // Step when Roomy: fewer operations, the same result. With kZeroCount64
  // the trailing-zero count of 0 is 64 (the processor's instruction where
  // it has one), which saves marking the seventh row's end first.
  template <bool kZeroCount64>
  NIMBRA_ALWAYS_INLINE void FullStep() {
    Store8(out_, TCustomShiftReg::Bits57(words_, u_ + to_out_));
    const std::uint64_t x = TCustomShiftReg::Bits57(words_, u_);
    const std::uint64_t holds = ~(x | x >> 7) & kRowBits;
    const std::int64_t stutter = holds != 0;
    // A stutter on row j + 1 ahead moves 8j + 9 bits, none seven rows.
    std::int64_t delta;
    if constexpr (kZeroCount64)
      delta = std::countr_zero(holds) + (17 * stutter - 8);
    else
      delta = __builtin_ctzll(holds | 1ull << 56) + 9 * stutter;
    u_ += delta;
    out_ += delta >> 3;
  }

  // Writes the current row's byte (and the plain rows after it), then moves
  // to the next row that stutters or 7 rows on, never past the last row.
  NIMBRA_ALWAYS_INLINE void Step() {
    StoreLow(out_, TCustomShiftReg::Bits57(words_, u_ + to_out_),
             static_cast<std::size_t>(last_ + 1 - out_));
    const auto rows = static_cast<unsigned>(std::min<std::ptrdiff_t>(last_ - out_, 7));
    // Bit 8j: the test of row 1 + j ahead, were the rows before it plain.
    const std::uint64_t x = TCustomShiftReg::Bits57(words_, u_);
    const std::uint64_t holds = ~(x | x >> 7) & (kRowBits >> (56 - 8 * rows));
    const auto j = static_cast<unsigned>(__builtin_ctzll(holds | 1ull << (8 * rows)) >> 3);
    const unsigned stutter = holds != 0;
    out_ += j + stutter;
    u_ += 8 * (j + stutter) + stutter;
  }

  // Writes the last row's byte and leaves the register after it.
  NIMBRA_ALWAYS_INLINE void Finish() {
    StoreLow(out_, TCustomShiftReg::Bits57(words_, u_ + to_out_), 1);
    reg_.t_ = u_ + 18;
  }

  // Both registers' runs, count_a and count_b rows, in one loop: each one's
  // test waits on a load, and the other's work fills that wait.
  template <bool kZeroCount64>
  static NIMBRA_ALWAYS_INLINE void Paired(TStutterShiftReg& a, std::uint8_t* out_a,
                                          std::size_t count_a, TStutterShiftReg& b,
                                          std::uint8_t* out_b, std::size_t count_b) {
    while (count_a > 0 && count_b > 0) {
      const std::size_t chunk_a = std::min(count_a, kChunk);
      const std::size_t chunk_b = std::min(count_b, kChunk);
      a.GenerateAhead(9 * static_cast<std::int64_t>(chunk_a) + 128);
      b.GenerateAhead(9 * static_cast<std::int64_t>(chunk_b) + 128);
      ByteRun run_a(a, out_a, chunk_a);
      ByteRun run_b(b, out_b, chunk_b);
      while (run_a.Roomy() && run_b.Roomy()) {
        run_a.FullStep<kZeroCount64>();
        run_b.FullStep<kZeroCount64>();
      }
      while (run_a.Roomy()) run_a.FullStep<kZeroCount64>();
      while (run_b.Roomy()) run_b.FullStep<kZeroCount64>();
      while (!run_a.Done()) run_a.Step();
      while (!run_b.Done()) run_b.Step();
      run_a.Finish();
      run_b.Finish();
      out_a += chunk_a;
      count_a -= chunk_a;
      out_b += chunk_b;
      count_b -= chunk_b;
    }
    a.OutputStutteredBytes(out_a, count_a);
    b.OutputStutteredBytes(out_b, count_b);
  }

#if defined(__x86_64__) || defined(__i386__)
  __attribute__((target("bmi,bmi2"))) static void PairedBmi(
      TStutterShiftReg& a, std::uint8_t* out_a, std::size_t count_a, TStutterShiftReg& b,
      std::uint8_t* out_b, std::size_t count_b) {
    Paired<true>(a, out_a, count_a, b, out_b, count_b);
  }
#endif

 private:
  TStutterShiftReg& reg_;
  const std::uint32_t* words_;
  std::int64_t to_out_;  // output position minus u
  std::uint8_t* out_;    // the current row's byte
  std::uint8_t* last_;   // the last row's byte
  std::int64_t u_;
};

void TStutterShiftReg::OutputStutteredBytes(std::uint8_t* out, std::size_t count) {
  if (!BytesInBulk()) {
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(OutputStuttered(8));
    return;
  }
  while (count > 0) {
    const std::size_t chunk = std::min(count, kChunk);
    GenerateAhead(9 * static_cast<std::int64_t>(chunk) + 128);
    ByteRun run(*this, out, chunk);
    while (run.Roomy()) run.FullStep<false>();
    while (!run.Done()) run.Step();
    run.Finish();
    out += chunk;
    count -= chunk;
  }
}

void TStutterShiftReg::OutputStutteredWords(std::uint32_t* out, std::size_t count) {
  if (!BytesInBulk() || Step() < 32) {
    for (std::size_t i = 0; i < count; ++i) out[i] = OutputStuttered(32);
    return;
  }
  constexpr std::size_t kWordChunk = 256;
  while (count > 0) {
    const std::size_t chunk = std::min(count, kWordChunk);
    GenerateAhead(33 * static_cast<std::int64_t>(chunk) + 64);
    std::int64_t t = t_;
    std::size_t i = 0;
    // The next call's test lies 32 or 33 bits on, so one 57-bit read
    // answers two calls, and a second read 64 bits on, made at the same
    // time, the two after them: the chain from one step to the next then
    // waits on one load per four calls.
    for (; i + 4 <= chunk; i += 4) {
      const std::uint64_t x1 = Bits57(t - 18), x2 = Bits57(t + 46);
      const std::uint64_t h1 = ~(x1 | x1 >> 7), h2 = ~(x2 | x2 >> 7);
      const std::int64_t s1 = static_cast<std::int64_t>(h1 & 1);
      const std::int64_t s2 = static_cast<std::int64_t>((h1 >> (32 + s1)) & 1);
      // Bit k of h2: the test at t + 64 + k.
      const std::int64_t o = s1 + s2;
      const std::int64_t s3 = static_cast<std::int64_t>((h2 >> o) & 1);
      const std::int64_t s4 = static_cast<std::int64_t>((h2 >> (32 + o + s3)) & 1);
      out[i] = Window(t + s1 - length_);
      out[i + 1] = Window(t + 32 + o - length_);
      out[i + 2] = Window(t + 64 + o + s3 - length_);
      out[i + 3] = Window(t + 96 + o + s3 + s4 - length_);
      t += 128 + o + s3 + s4;
    }
    for (; i + 2 <= chunk; i += 2) {
      const std::uint64_t x = Bits57(t - 18);
      const std::uint64_t holds = ~(x | x >> 7);
      const std::int64_t first = static_cast<std::int64_t>(holds & 1);
      const std::int64_t second = static_cast<std::int64_t>((holds >> (32 + first)) & 1);
      const std::int64_t v = t + first;
      out[i] = Window(v - length_);
      out[i + 1] = Window(v + 32 + second - length_);
      t = v + 64 + second;
    }
    if (i < chunk) {
      const std::int64_t v = t + ((Window(t - 18) & 0x81) == 0 ? 1 : 0);
      out[i] = Window(v - length_);
      t = v + 32;
    }
    t_ = t;
    out += chunk;
    count -= chunk;
  }
}

void TStutterShiftReg::OutputStutteredBytes(TStutterShiftReg& a, std::uint8_t* out_a,
                                            std::size_t count_a, TStutterShiftReg& b,
                                            std::uint8_t* out_b, std::size_t count_b) {
#if defined(__x86_64__) || defined(__i386__)
  if (cpu::Accelerated(cpu::Routine::kStutterPair) && a.BytesInBulk() && b.BytesInBulk() &&
      &a != &b) {
    ByteRun::PairedBmi(a, out_a, count_a, b, out_b, count_b);
    return;
  }
#endif
  OutputStutteredBytesPortable(a, out_a, count_a, b, out_b, count_b);
}

void TStutterShiftReg::OutputStutteredBytesPortable(TStutterShiftReg& a, std::uint8_t* out_a,
                                                    std::size_t count_a, TStutterShiftReg& b,
                                                    std::uint8_t* out_b, std::size_t count_b) {
  if (!a.BytesInBulk() || !b.BytesInBulk() || &a == &b) {
    a.OutputStutteredBytes(out_a, count_a);
    b.OutputStutteredBytes(out_b, count_b);
    return;
  }
  ByteRun::Paired<false>(a, out_a, count_a, b, out_b, count_b);
}

}  // namespace nimbra::engine
