#pragma once

// The register-clocked field algorithms, step by step as the engine defines
// them: the oracle the fast arithmetic is checked against.

#include <cstdint>
#include <random>
#include <vector>

#include "engine/bit_array.h"
#include "engine/field/gf_expo.h"
#include "engine/shift_reg.h"

namespace nimbra::engine::literal {

using Words = std::vector<std::uint32_t>;

inline int WordCount(int n) {
  return (n - 1) / 32 + 1;
}

inline bool Coefficient(const Words& e, int n, int m, int t) {
  const int p = (t + m) % n;
  return (e[p >> 5] >> (31 - (p & 31))) & 1;
}

inline Words StateWords(const TShiftReg& reg) {
  Words w(WordCount(reg.Length()));
  reg.StoreStateBuffer(w.data());
  return w;
}

inline void XorInto(Words& r, const Words& a) {
  for (std::size_t i = 0; i < r.size(); ++i) r[i] ^= a[i];
}

// result := a * b by loading a into the register and clocking to every set
// coefficient of b. A zero b leaves the result zero here.
inline Words Multiply(int n, int m, const Words& a, const Words& b) {
  TShiftReg reg(n, m);
  reg.LoadStateBuffer(a.data());
  Words result(a.size(), 0);
  int last = 0;
  for (int t = 0; t < n; ++t) {
    if (!Coefficient(b, n, m, t)) continue;
    reg.Clock(t - last);
    last = t;
    XorInto(result, StateWords(reg));
  }
  return result;
}

// Entry i = x^(i * 2^w), built by clocking 2^w bits per entry.
inline std::vector<Words> HyperSquareTable(int n, int m, int w) {
  TShiftReg reg(n, m);
  reg.SetToOne();
  std::vector<Words> entries;
  for (int i = 0; i < n; ++i) {
    if (i > 0) reg.Clock(1 << w);
    entries.push_back(StateWords(reg));
  }
  return entries;
}

inline Words Apply(int n, int m, const std::vector<Words>& table, const Words& input) {
  Words result(input.size(), 0);
  for (int i = 0; i < n; ++i) {
    if (Coefficient(input, n, m, i)) XorInto(result, table[i]);
  }
  return result;
}

inline std::vector<unsigned> Chunks(int n, int m, const Words& e, int w) {
  std::vector<unsigned> chunks((n - 1) / w + 1, 0);
  for (int t = 0; t < n; ++t) {
    if (Coefficient(e, n, m, t)) chunks[t / w] |= 1u << (t % w);
  }
  return chunks;
}

inline Words PowerOfX(int n, int m, const Words& e) {
  const int w = field::PowerOfXChunkWidth(n);
  const auto table = HyperSquareTable(n, m, w);
  const auto chunks = Chunks(n, m, e, w);
  int top = static_cast<int>(chunks.size()) - 1;
  while (top > 0 && chunks[top] == 0) --top;
  if (chunks[top] == 0) top = static_cast<int>(chunks.size()) - 1;
  const unsigned v = chunks[top];
  TShiftReg reg(n, m);
  reg.Clear();
  if (v < static_cast<unsigned>(n)) {
    reg.SetBit((static_cast<int>(v) + m) % n + 1, 1);
  } else {
    reg.SetBit((n - 1 + m) % n + 1, 1);
    reg.Clock(static_cast<int>(v) - n + 1);
  }
  Words r = StateWords(reg);
  for (int k = top - 1; k >= 0; --k) {
    const Words t = Apply(n, m, table, r);
    reg.LoadStateBuffer(t.data());
    if (chunks[k] != 0) reg.Clock(static_cast<int>(chunks[k]));
    r = StateWords(reg);
  }
  return r;
}

// The exponent must not be zero.
inline Words Power(int n, int m, const Words& e, const Words& base) {
  const int w = field::PowerChunkWidth(n);
  const auto table = HyperSquareTable(n, m, w);
  std::vector<Words> powers{base};
  for (int j = 1; j < (1 << w); ++j) powers.push_back(Multiply(n, m, powers[j - 1], base));
  const auto chunks = Chunks(n, m, e, w);
  int top = static_cast<int>(chunks.size()) - 1;
  while (top >= 0 && chunks[top] == 0) --top;
  Words r = powers[chunks[top] - 1];
  for (int k = top - 1; k >= 0; --k) {
    const Words t = Apply(n, m, table, r);
    r = chunks[k] != 0 ? Multiply(n, m, t, powers[chunks[k] - 1]) : t;
  }
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
