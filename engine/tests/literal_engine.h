#pragma once

// Step-by-step implementations of the register, the mixture generator and
// the combiner, written bit by bit straight from their definitions. They are
// slow on purpose: the tests hold the word-level engine to them.

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/keystream/generator_sizes.h"

namespace literal {

// State bits b_0 (newest) .. b_{n-1} (oldest).
class ShiftReg {
 public:
  ShiftReg(int n, int m) : n_(n), m_(m), step_(m < 32 ? m : 32), b_(n, 0) {}
  virtual ~ShiftReg() = default;

  int n() const { return n_; }
  int step() const { return step_; }
  std::vector<std::uint8_t>& bits() { return b_; }
  const std::vector<std::uint8_t>& bits() const { return b_; }

  // b_{n-32} .. b_{n-1} with b_{n-1} as bit 0 (n >= 32).
  std::uint32_t V() const { return Window(n_); }
  std::uint32_t M() const { return Window(m_); }

  void Feedback(int k) {  // k <= step
    const std::uint32_t f = V() ^ M();
    for (int i = n_ - 1; i >= k; --i) b_[i] = b_[i - k];
    for (int j = 0; j < k; ++j) b_[k - 1 - j] = (f >> j) & 1;
  }
  virtual void ClockFeedback(int k) { Feedback(k); }
  virtual void ClockWord() { Feedback(32); }
  void ClockSteps(int k) {
    const int r = k % step_;
    if (r > 0) ClockFeedback(r);
    for (int done = r; done + step_ <= k; done += step_) {
      if (step_ == 32)
        ClockWord();
      else
        ClockFeedback(step_);
    }
  }
  virtual void Clock(int k) { ClockSteps(k); }
  std::uint32_t Output(int k) {
    const std::uint32_t v = V();
    Clock(k);
    return v;
  }
  void Rotate(int k) {
    const int piece = n_ - 1 < 31 ? n_ - 1 : 31;
    auto rot = [this](int j) {
      std::vector<std::uint8_t> old = b_;
      for (int i = 0; i < n_; ++i) b_[i] = old[(i - j + n_) % n_];
    };
    if (k % piece) rot(k % piece);
    for (int i = 0; i < k / piece; ++i) rot(piece);
  }

 private:
  std::uint32_t Window(int top) const {
    std::uint32_t v = 0;
    // A tap below 32 leaves the upper bits 0; feedback never uses them.
    for (int j = 0; j < 32 && j < top; ++j) v |= std::uint32_t{b_[top - 1 - j]} << j;
    return v;
  }

  int n_, m_, step_;
  std::vector<std::uint8_t> b_;
};

class StutterReg : public ShiftReg {
 public:
  using ShiftReg::ShiftReg;
  int stutters = 0;

  bool TestHolds() const { return bits()[10] == 0 && bits()[17] == 0; }
  void Test() {
    if (TestHolds()) {
      Feedback(1);
      ++stutters;
    }
  }
  void Clock(int k) override {  // plain steps
    const int r = k % step();
    if (r > 0) Feedback(r);
    for (int done = r; done + step() <= k; done += step()) Feedback(step());
  }
  void ClockFeedback(int k) override {
    Test();
    Feedback(k);
  }
  void ClockWord() override {
    Test();
    Feedback(32);
  }
  void ClockChecked(int k) { ClockSteps(k); }
  std::uint32_t OutputStuttered(int k) {
    Test();
    const std::uint32_t v = V();
    if (k <= step()) {
      Clock(k);
    } else {
      Clock(step());
      ClockChecked(k - step());
    }
    return v;
  }
};

class Mixture {
 public:
  explicit Mixture(nimbra::engine::TGeneratorSizes sizes) {
    std::array<nimbra::engine::GeneratorSizeInfo, 7> members{};
    nimbra::engine::SizeMembersDescending(sizes, members);
    for (int i = 0; i < 3; ++i) regs_.emplace_back(members[i].length, members[i].mid_tap);
  }
  StutterReg& reg(int i) { return regs_[i]; }

  // subkeys[i] holds register i's bits b_0 .. b_{n-1}.
  void LoadKey(const std::vector<std::vector<std::uint8_t>>& subkeys) {
    for (int i = 0; i < 3; ++i) regs_[i].bits() = subkeys[i];
    buf_.fill(0);
    left_.fill(0);
  }
  int NextBit(int i) {
    if (left_[i] == 0) {
      buf_[i] = regs_[i].OutputStuttered(32);
      left_[i] = 32;
    }
    const int bit = buf_[i] & 1;
    buf_[i] >>= 1;
    --left_[i];
    return bit;
  }
  std::uint32_t Output(int k) {
    std::uint32_t r = 0;
    for (int j = 0; j < k; ++j) {
      const int sel = NextBit(0);
      r |= std::uint32_t(NextBit(sel ? 2 : 1)) << j;
    }
    return r;
  }
  std::uint32_t OutputByte() { return regs_[NextBit(0) ? 2 : 1].OutputStuttered(8) & 0xFF; }
  std::uint32_t OutputDWord() { return regs_[NextBit(0) ? 2 : 1].OutputStuttered(32); }
  void ExpandFirst() {
    const auto saved = regs_[0].bits();
    for (int t = 1; t <= 2; ++t)
      for (int j = 0; j < regs_[t].n(); ++j) regs_[t].bits()[j] = regs_[0].OutputStuttered(1) & 1;
    regs_[1].bits()[0] = 1;
    regs_[2].bits()[0] = 1;
    regs_[0].bits() = saved;
  }

 private:
  std::vector<StutterReg> regs_;
  std::array<std::uint32_t, 3> buf_{};
  std::array<int, 3> left_{};
};

inline std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0);
  }
  return crc;
}

inline std::vector<int> SwapTable(Mixture& gen, int size) {
  if (size < 1 || size > 256) size = 256;
  std::vector<int> t(size);
  for (int i = 0; i < size; ++i) t[i] = i;
  int i = 1;
  for (int r = size - 1; r > 1; r -= 2, i += 2) {
    const int j = i + int((gen.Output(16) & 0xFFFF) % unsigned(r));
    std::swap(t[i], t[j]);
  }
  return t;
}

class Combiner {
 public:
  Combiner(Mixture& gen, int block_size, bool byte_mode, std::uint8_t skip_mask = 15)
      : gen_(gen),
        shared_(SwapTable(gen, 256)),
        block_size_(block_size),
        byte_mode_(byte_mode),
        skip_mask_(skip_mask) {}

  std::uint32_t Process(std::vector<std::uint8_t>& data, bool encrypt) {
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t p = 0;
    for (; p + 256 <= data.size(); p += 256) {
      if (p % block_size_ == 0) shared_ = SwapTable(gen_, 256);
      Block(crc, 256, data.data() + p, encrypt);
    }
    if (p < data.size()) Block(crc, int(data.size() - p), data.data() + p, encrypt);
    return crc ^ 0xFFFFFFFFu;
  }

  void Block(std::uint32_t& crc, int count, std::uint8_t* b, bool encrypt) {
    if (encrypt) crc = CrcUpdate(crc, b, count);
    const std::vector<int> table = count > 255 ? shared_ : SwapTable(gen_, count);
    if (encrypt) {
      for (int i = 0; i < count; ++i) b[i] ^= KeyByte();
      for (int i = 0; i < count - 1; i += 2) std::swap(b[table[i]], b[table[i + 1]]);
    } else {
      for (int i = 0; i < count - 1; i += 2) std::swap(b[table[i]], b[table[i + 1]]);
      for (int i = 0; i < count; ++i) b[i] ^= KeyByte();
      crc = CrcUpdate(crc, b, count);
    }
    for (std::uint32_t k = crc & skip_mask_; k > 0; --k) gen_.OutputByte();
  }

 private:
  std::uint8_t KeyByte() { return std::uint8_t(byte_mode_ ? gen_.OutputByte() : gen_.Output(8)); }

  Mixture& gen_;
  std::vector<int> shared_;
  std::size_t block_size_;
  bool byte_mode_;
  std::uint8_t skip_mask_;
};

}  // namespace literal
