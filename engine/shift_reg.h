#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "engine/bit_array.h"

namespace nimbra::engine {

static_assert(std::endian::native == std::endian::little,
              "the register buffer reads bit windows with little-endian loads");

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
// T - 1 - i, where T counts the bits clocked in so far. Clocking appends bits
// and moves T; nothing moves in memory until the buffer fills, when the live
// tail slides back to the start. Bits past T may already be computed
// (look-ahead); any change to the state drops them.
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

  int StateWordCount() const { return (length_ - 1) / 32 + 1; }
  // Writes the state as bit-array words (padding bits zero).
  void StoreStateBuffer(std::uint32_t* words) const;
  // The state as a bit array (a snapshot; padding bits zero).
  const TCustomBitArray& State() const;

 protected:
  // Bits s[p .. p+56] of the sequence buffer, s[p] as bit 0.
  std::uint64_t Window(std::int64_t p) const {
    std::uint64_t x;
    std::memcpy(&x, buf_.data() + (p >> 3), 8);
    return x >> (p & 7);
  }
  // Writes the low `count` (<= 56) bits of v at p; bits after them are lost.
  void Put(std::int64_t p, std::uint64_t v, int count);
  // Drops the look-ahead before the state is changed in place.
  void BeginEdit();
  // Makes room for 56 more bits after position `until` (sliding the live
  // bits back to the start moves t_ and generated_).
  void Reserve(std::int64_t until);

  std::vector<std::uint8_t> buf_;
  std::int64_t t_;          // bits clocked in: the state ends at t_ - 1
  std::int64_t generated_;  // bits computed so far (>= t_)

 private:
  void Slide();
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
  std::uint32_t OutputWindow() const { return static_cast<std::uint32_t>(Window(t_ - length_)); }
  // Tap window M: b_{m-32} .. b_{m-1}, b_{m-1} as bit 0.
  std::uint32_t TapWindow() const { return static_cast<std::uint32_t>(Window(t_ - m_)); }

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

 private:
  // Computes sequence bits until the state's newest bit is known.
  void Generate();

  int m_;
  int step_;
  int gen_step_;
};

// A register that, before some of its steps, takes one extra step when the
// state bits b_10 and b_17 are both zero (the stutter test).
class TStutterShiftReg final : public TShiftReg {
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

 private:
  // Word 0 of the state masked with kStutterMask is zero exactly when
  // b_10 = b_17 = 0, that is sequence bits T-11 and T-18 (a state shorter
  // than 18 bits reads its zero padding there).
  bool StutterHolds() const {
    if (length_ < 18) return ShortStutterHolds();
    return (Window(t_ - 18) & 0x81) == 0;
  }
  bool ShortStutterHolds() const;
  void StutterTest() {
    if (StutterHolds()) {
      Advance(stutter_step_);
      FireStutter();
    }
  }

  int stutter_step_;
};

}  // namespace nimbra::engine
