#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "engine/bit_array.h"

namespace nimbra::engine {

// Anything that produces a bit stream. Bit numbers are 1-based.
class TAbstractGenerator {
 public:
  explicit TAbstractGenerator(int length) : length_(length) {}
  virtual ~TAbstractGenerator() = default;

  int Length() const { return length_; }

  virtual int GetBit(int i) const = 0;
  virtual void SetBit(int i, int v) = 0;
  virtual void Clock(int k) = 0;
  // The low k bits of the result are the next k output bits, the first as bit 0.
  virtual std::uint32_t Output(int k) = 0;
  virtual std::uint32_t OutputByte() = 0;

 protected:
  int length_;
};

// A register state of n bits b_0 (newest) .. b_{n-1} (oldest), stored as the
// tail of the bit sequence the register has produced: b_i is sequence bit
// T - 1 - i, where T counts the bits clocked in so far. Sequence bit p is bit
// p % 32 of word p / 32. Clocking appends bits and moves T; nothing moves in
// memory until the buffer fills, when the live tail slides back to the
// start. Bits past T may already be computed (look-ahead); any change to the
// state drops them. All memory access is by aligned words, so reading what
// was just computed never waits on a partial store.
class TCustomShiftReg : public TAbstractGenerator {
 public:
  explicit TCustomShiftReg(int n);
  TCustomShiftReg(const TCustomShiftReg& other);
  TCustomShiftReg& operator=(const TCustomShiftReg&) = delete;

  int GetBit(int i) const override;  // state bit i - 1
  void SetBit(int i, int v) override;

  void LoadState(const TBitArray& state);            // TBitArray::Assign rules
  void LoadStateBuffer(const std::uint32_t* words);  // WordCount words
  void XorState(const TBitArray& other);             // TBitArray::XorWith rules
  void Clear();
  // Overwrites the state and every bit the register produced (key-derived
  // material) in a way the compiler may not leave out; the state is then zero.
  void Wipe();

  int StateWordCount() const { return (length_ - 1) / 32 + 1; }
  // Writes the state as bit-array words (padding bits zero).
  void StoreStateBuffer(std::uint32_t* words) const;
  // The state as a bit array (a snapshot; padding bits zero).
  const TCustomBitArray& State() const;

 protected:
  // Sequence bits p .. p+31, bit p as bit 0.
  std::uint32_t Window(std::int64_t p) const {
    const std::uint32_t* w = words_.data() + (p >> 5);
    const std::uint64_t x = (std::uint64_t{w[1]} << 32) | w[0];
    return static_cast<std::uint32_t>(x >> (p & 31));
  }
  // Sequence bits p .. p+56 at least, bit p as bit 0; the words through
  // (p + 64) / 32 must exist.
  std::uint64_t Bits57(std::int64_t p) const { return Bits57(words_.data(), p); }
  static std::uint64_t Bits57(const std::uint32_t* words, std::int64_t p) {
    if constexpr (std::endian::native == std::endian::little) {
      std::uint64_t x;
      std::memcpy(&x, reinterpret_cast<const unsigned char*>(words) + (p >> 3), 8);
      return x >> (p & 7);
    } else {
      const std::uint32_t* w = words + (p >> 5);
      const int s = static_cast<int>(p & 31);
      const std::uint64_t low = ((std::uint64_t{w[1]} << 32) | w[0]) >> s;
      return s == 0 ? low : low | std::uint64_t{w[2]} << (64 - s);
    }
  }
  // Writes the low `count` (1..32) bits of v at p; other bits are kept.
  void Put(std::int64_t p, std::uint32_t v, int count);
  // Drops the look-ahead before the state is changed in place.
  void BeginEdit();
  // Slides the live bits back to the start when fewer than two words are
  // free after generated_ (this moves t_ and generated_).
  void Reserve();
  // Moves the live bits back to the start of the buffer.
  void Slide();

  std::vector<std::uint32_t> words_;
  std::int64_t t_;          // bits clocked in: the state ends at t_ - 1
  std::int64_t generated_;  // bits computed so far (>= t_)

 private:
  mutable std::unique_ptr<TCustomBitArray> snapshot_;
};

// A trinomial LFSR x^n + x^m + 1: one step shifts every state bit toward the
// end and brings in b_{n-1} xor b_{m-1} as the new b_0.
class TShiftReg : public TCustomShiftReg {
 public:
  TShiftReg(int n, int m);
  TShiftReg(const TShiftReg& other);

  int MidTap() const { return m_; }
  int Step() const { return step_; }

  // Output window V: b_{n-32} .. b_{n-1}, b_{n-1} as bit 0.
  std::uint32_t OutputWindow() const { return Window(t_ - length_); }
  // Tap window M: b_{m-32} .. b_{m-1}, b_{m-1} as bit 0.
  std::uint32_t TapWindow() const { return Window(t_ - m_); }

  // Clocks k bits: a partial step of k mod Step, then whole steps, each
  // through the overridable ClockFeedback / ClockWord.
  void Clock(int k) override;
  // Returns V, then clocks k bits (k <= 32).
  std::uint32_t Output(int k) override;
  std::uint32_t OutputByte() override { return Output(8) & 0xFF; }

  // One step of 1..31 bits, and one step of exactly 32 bits.
  virtual void ClockFeedback(int k);
  virtual void ClockWord();

  void SetToOne();  // only state bit m set
  void SetToX();    // only state bit (m + 1) mod n set
  // Rotates the whole state k places toward the end, without feedback.
  void Rotate(int k);

 protected:
  // Clocks k bits of plain feedback in one go.
  void Advance(std::int64_t k) {
    t_ += k;
    if (generated_ < t_) Generate();
  }
  // Computes sequence bits a little past the state's newest bit.
  void Generate();
  // Computes sequence bits at least `ahead` bits past the state's newest
  // bit (ahead stays below 16384, well inside the buffer's slack).
  void GenerateAhead(std::int64_t ahead);

 private:
  void GenerateBitwise(std::int64_t ahead);

  int m_;
  int step_;
};

// A register that, before some of its steps, takes one extra step when the
// state bits b_10 and b_17 are both zero (the stutter test).
class TStutterShiftReg final : public TShiftReg {
  // The mixture generator's bulk keystream loops keep a register's position
  // in local variables.
  friend class TS3MixtureGenerator;

 public:
  static constexpr std::uint32_t kStutterMask = 0x00204000;

  TStutterShiftReg(int n, int m);

  std::function<void(TStutterShiftReg&)> OnStutter;
  int StutterStep() const { return stutter_step_; }

  // Plain clocking: no stutter test.
  void Clock(int k) override { Advance(k); }
  // Stutter-tested steps.
  void ClockFeedback(int k) override;
  void ClockWord() override;

  void FireStutter();
  // The step-wise clocking of TShiftReg, every step stutter-tested.
  void ClockChecked(int k);
  // One stutter test, then V and k bits of clocking (see ClockChecked).
  std::uint32_t OutputStuttered(int k) {
    StutterTest();
    const auto v = OutputWindow();
    if (k <= Step()) {
      Advance(k);
    } else {
      Advance(Step());
      ClockChecked(k - Step());
    }
    return v;
  }
  // The low bytes of count OutputStuttered(8) calls, in order. Without an
  // OnStutter handler the positions of the outputs are found several at a
  // time from the sequence bits instead of one test per byte.
  void OutputStutteredBytes(std::uint8_t* out, std::size_t count);
  // count OutputStuttered(32) calls, in order.
  void OutputStutteredWords(std::uint32_t* out, std::size_t count);
  // Both registers' OutputStutteredBytes, their work interleaved; by
  // bit-manipulation instructions where the processor has them
  // (Routine::kStutterPair of engine/cpu_features.h).
  static void OutputStutteredBytes(TStutterShiftReg& a, std::uint8_t* out_a, std::size_t count_a,
                                   TStutterShiftReg& b, std::uint8_t* out_b, std::size_t count_b);

 private:
  static void OutputStutteredBytesPortable(TStutterShiftReg& a, std::uint8_t* out_a,
                                           std::size_t count_a, TStutterShiftReg& b,
                                           std::uint8_t* out_b, std::size_t count_b);
  class ByteRun;
  // True when OutputStutteredBytes may skip the step-by-step calls.
  bool BytesInBulk() const { return !OnStutter && length_ >= 18 && Step() >= 8; }

  // Word 0 of the state masked with kStutterMask is zero exactly when
  // b_10 = b_17 = 0, that is sequence bits T-11 and T-18 (a state shorter
  // than 18 bits reads its zero padding there).
  bool StutterHolds() const {
    if (length_ < 18) return ShortStutterHolds();
    return (Window(t_ - 18) & 0x81) == 0;
  }
  bool ShortStutterHolds() const;
  // The test's outcome is data, not a pattern a branch predictor could
  // learn: without a handler to call, the extra step is added arithmetically.
  void StutterTest() {
    const bool holds = StutterHolds();
    if (OnStutter) {
      if (holds) {
        Advance(stutter_step_);
        FireStutter();
      }
      return;
    }
    Advance(stutter_step_ & -static_cast<std::int64_t>(holds));
  }

  int stutter_step_;
};

}  // namespace nimbra::engine
