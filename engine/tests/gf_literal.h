#pragma once

// The register-clocked field algorithms, step by step as the engine defines
// them: a trinomial register whose state is a most-significant-bit-first bit
// array, clocked up to 32 bits per step by shifting every word of the state;
// multiplication by clocking to each set coefficient; hyper-square tables
// built by clocking 2^w bits per entry; 2^w-ary exponentiation over freshly
// built tables. The tests hold the fast arithmetic to it, and the field
// benchmark times it as the baseline.

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "engine/field/gf_expo.h"
#include "engine/keystream/shift_reg.h"

namespace nimbra::engine::literal {

using Words = std::vector<std::uint32_t>;

inline int WordCount(int n) {
  return (n - 1) / 32 + 1;
}

// Bit p of an MSB-first bit array.
inline bool BitAt(const std::uint32_t* words, int p) {
  return (words[p >> 5] >> (31 - (p & 31))) & 1;
}

// Coefficient t of an element (or exponent bit t) in the field layout.
inline bool Coefficient(const std::uint32_t* e, int n, int m, int t) {
  return BitAt(e, (t + m) % n);
}
inline bool Coefficient(const Words& e, int n, int m, int t) {
  return Coefficient(e.data(), n, m, t);
}

// The state of an engine register as bit-array words.
inline Words StateWords(const TShiftReg& reg) {
  Words w(WordCount(reg.Length()));
  reg.StoreStateBuffer(w.data());
  return w;
}

// The trinomial register (n, m), m >= 32: state bits b_0 (newest) ..
// b_{n-1} (oldest) held MSB first, b_0 as the top bit of word 0. A step of k
// bits computes F := V xor M from the output and tap windows, moves every
// word k places toward the end and puts F's low k bits in front.
class ClockedRegister {
 public:
  ClockedRegister(int n, int m)
      : n_(n),
        m_(m),
        step_(std::min(32, m)),
        words_(static_cast<std::size_t>(WordCount(n)), 0),
        end_mask_(~0u << ((32 - n % 32) % 32)) {
    if (m < 32 || m >= n) throw std::invalid_argument("register tap outside 32 .. n-1");
  }

  int Length() const { return n_; }
  int MidTap() const { return m_; }
  std::uint32_t* State() { return words_.data(); }
  const std::uint32_t* State() const { return words_.data(); }
  const Words& StateWords() const { return words_; }

  void Clear() { std::fill(words_.begin(), words_.end(), 0u); }
  void Load(const std::uint32_t* w) {
    std::copy(w, w + words_.size(), words_.begin());
    words_.back() &= end_mask_;
  }
  void SetStateBit(int i) { words_[i >> 5] |= 0x80000000u >> (i & 31); }
  void SetToOne() {
    Clear();
    SetStateBit(m_);
  }

  // b_{top-32} .. b_{top-1} with b_{top-1} as bit 0: the word holding
  // b_{top-1} and the word before it, joined by a double-word shift.
  std::uint32_t Window(int top) const {
    const int last = (top - 1) >> 5;
    const int shift = (32 - top % 32) % 32;
    std::uint32_t v = words_[last] >> shift;
    if (shift != 0) v |= words_[last - 1] << (32 - shift);
    return v;
  }

  void ClockFeedback(int k) {  // 1 <= k <= 31
    const std::uint32_t f = Window(n_) ^ Window(m_);
    for (std::size_t i = words_.size() - 1; i > 0; --i)
      words_[i] = (words_[i] >> k) | (words_[i - 1] << (32 - k));
    words_[0] = (words_[0] >> k) | (f << (32 - k));
    words_.back() &= end_mask_;
  }

  void ClockWord() {
    const std::uint32_t f = Window(n_) ^ Window(m_);
    for (std::size_t i = words_.size() - 1; i > 0; --i) words_[i] = words_[i - 1];
    words_[0] = f;
    words_.back() &= end_mask_;
  }

  // k mod step bits first, then whole steps.
  void Clock(long k) {
    const int partial = static_cast<int>(k % step_);
    if (partial > 0) ClockFeedback(partial);
    for (long done = partial; done + step_ <= k; done += step_) {
      if (step_ == 32)
        ClockWord();
      else
        ClockFeedback(step_);
    }
  }

 private:
  int n_, m_, step_;
  Words words_;
  std::uint32_t end_mask_;
};

// Multiplication by register clocking: the register is loaded with a and
// clocked to every set coefficient t of b, where it holds a * x^t.
class ClockedMultiplier : public ClockedRegister {
 public:
  using ClockedRegister::ClockedRegister;

  // result := a * b; result must not be a or b. A zero b leaves result as is.
  void Multiply(std::uint32_t* result, const std::uint32_t* a, const std::uint32_t* b) {
    Load(a);
    const int n = Length(), m = MidTap(), words = WordCount(n);
    int last = 0;
    bool first = true;
    for (int t = 0; t < n; ++t) {
      if (!Coefficient(b, n, m, t)) continue;
      Clock(t - last);
      last = t;
      if (first) {
        std::copy(State(), State() + words, result);
        first = false;
      } else {
        for (int i = 0; i < words; ++i) result[i] ^= State()[i];
      }
    }
  }
};

// A block of count entries of the field's word size.
class EntryBlock {
 public:
  EntryBlock(int n, int count)
      : words_(WordCount(n)), block_(static_cast<std::size_t>(count) * words_) {}
  std::uint32_t* Entry(int i) { return block_.data() + static_cast<std::size_t>(i) * words_; }
  const std::uint32_t* Entry(int i) const {
    return block_.data() + static_cast<std::size_t>(i) * words_;
  }
  Words Copy(int i) const { return Words(Entry(i), Entry(i) + words_); }

 private:
  std::size_t words_;
  Words block_;
};

// Entry i = x^(i * 2^w), i < n, built by clocking 2^w bits per entry.
class ClockedHyperSquare {
 public:
  ClockedHyperSquare(int n, int w, int m) : n_(n), m_(m), entries_(n, n) {
    ClockedRegister reg(n, m);
    reg.SetToOne();
    const int words = WordCount(n);
    for (int i = 0; i < n; ++i) {
      if (i > 0) reg.Clock(1L << w);
      std::copy(reg.State(), reg.State() + words, entries_.Entry(i));
    }
  }

  const std::uint32_t* Entry(int i) const { return entries_.Entry(i); }
  Words Copy(int i) const { return entries_.Copy(i); }

  // result := input^(2^w) as the sum of the entries of input's set
  // coefficients; the buffers must differ.
  void Apply(std::uint32_t* result, const std::uint32_t* input) const {
    const int words = WordCount(n_);
    bool first = true;
    for (int i = 0; i < n_; ++i) {
      if (!Coefficient(input, n_, m_, i)) continue;
      const std::uint32_t* e = entries_.Entry(i);
      if (first) {
        std::copy(e, e + words, result);
        first = false;
      } else {
        for (int j = 0; j < words; ++j) result[j] ^= e[j];
      }
    }
    if (first) std::fill(result, result + words, 0u);
  }

 private:
  int n_, m_;
  EntryBlock entries_;
};

// Chunk k = exponent bits kw .. kw + w - 1, the lowest as bit 0.
inline std::vector<std::uint16_t> Chunks(int n, int m, const std::uint32_t* e, int w) {
  std::vector<std::uint16_t> chunks(static_cast<std::size_t>((n - 1) / w + 1), 0);
  for (int t = 0; t < n; ++t) {
    if (Coefficient(e, n, m, t)) chunks[t / w] |= static_cast<std::uint16_t>(1u << (t % w));
  }
  return chunks;
}

// x^e by 2^w-ary chunks: the register is set to x^(top chunk); for each lower
// chunk u its state is raised to 2^w through the table and clocked u bits.
inline Words PowerOfX(int n, int m, const Words& e) {
  const int w = field::PowerOfXChunkWidth(n);
  const ClockedHyperSquare table(n, w, m);
  const auto chunks = Chunks(n, m, e.data(), w);
  int top = static_cast<int>(chunks.size()) - 1;
  while (top > 0 && chunks[top] == 0) --top;
  if (chunks[top] == 0) top = static_cast<int>(chunks.size()) - 1;
  const int v = chunks[top];
  ClockedMultiplier reg(n, m);
  reg.Clear();
  if (v < n) {
    reg.SetStateBit((v + m) % n);
  } else {
    reg.SetStateBit((n - 1 + m) % n);
    reg.Clock(v - n + 1);
  }
  Words r = reg.StateWords();
  for (int k = top - 1; k >= 0; --k) {
    table.Apply(reg.State(), r.data());
    if (chunks[k] != 0) reg.Clock(chunks[k]);
    r = reg.StateWords();
  }
  return r;
}

// base^e by 2^w-ary chunks over the table of base^1 .. base^(2^w).
inline Words Power(int n, int m, const Words& e, const Words& base) {
  const int w = field::PowerChunkWidth(n);
  const auto chunks = Chunks(n, m, e.data(), w);
  int top = static_cast<int>(chunks.size()) - 1;
  while (top >= 0 && chunks[top] == 0) --top;
  if (top < 0) throw std::invalid_argument("zero exponent");
  const ClockedHyperSquare table(n, w, m);
  ClockedMultiplier mul(n, m);
  EntryBlock powers(n, 1 << w);
  std::copy(base.begin(), base.end(), powers.Entry(0));
  for (int j = 1; j < (1 << w); ++j)
    mul.Multiply(powers.Entry(j), powers.Entry(j - 1), base.data());
  Words r = powers.Copy(chunks[top] - 1), t(r.size());
  for (int k = top - 1; k >= 0; --k) {
    table.Apply(t.data(), r.data());
    if (chunks[k] != 0)
      mul.Multiply(r.data(), t.data(), powers.Entry(chunks[k] - 1));
    else
      r = t;
  }
  return r;
}

// result := a * b by register clocking.
inline Words Multiply(int n, int m, const Words& a, const Words& b) {
  ClockedMultiplier mul(n, m);
  Words r(a.size(), 0);
  mul.Multiply(r.data(), a.data(), b.data());
  return r;
}

// A random element of n bits with zero padding.
inline Words Random(int n, std::mt19937_64& rng) {
  Words w(WordCount(n));
  for (auto& x : w) x = static_cast<std::uint32_t>(rng());
  const int rest = n - 32 * (static_cast<int>(w.size()) - 1);
  if (rest < 32) w.back() &= ~0u << (32 - rest);
  return w;
}

}  // namespace nimbra::engine::literal
