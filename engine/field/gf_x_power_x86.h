#pragma once

// x^e in the fields of the kernels: a squaring chain beside a square-root
// chain, the same through the reciprocal trinomial, and a table of
// x^(d 2^(8c)) for a process that computes many powers in one field.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/field/bit_reverse.h"
#include "engine/field/gf_kernel_x86.h"
#include "engine/field/gf_quad_kernel_x86.h"
#include "engine/field/gf_root.h"

#if defined(__x86_64__)
// Both squaring kernels inline into the chains: their instructions, AVX2
// and bit extraction (which only processors with AVX2 have).
#define NIMBRA_SPLIT_TARGET __attribute__((target("pclmul,sse4.1,avx,avx2,vpclmulqdq,bmi2")))

namespace nimbra::engine::field::x86 {

// r := x^e for e below 2^N given as L limbs, N and K odd. The low bits of
// e go through squarings on the vector units, the high ones through
// square roots on the integer units, the two chains interleaved, and x^e
// is their product. As x^(2^N) = x, the high part x^(sum e_t 2^t) equals
// x^(sum e_t 2^(t-N)), which roots build from the lowest of those bits up:
// for each six-bit window v, a multiplication by x^v, then six roots.
// Squarer is the kernel family of the squaring chain (PairKernel or QuadKernel).
template <int N, int K, int kRootWindows, template <int, int> class Squarer>
NIMBRA_SPLIT_TARGET void SplitXPower(u64* r, const u64* e) {
  using Root = RootOps<N, K>;
  using Sq = Squarer<N, K>;
  constexpr int L = Kernel<N, K>::L;
  constexpr int h = N - 6 * kRootWindows;  // bits below h go to the squarings
  constexpr int kSquareWindows = (h + 5) / 6;
  static_assert(h > 6 && kRootWindows > 0);
  constexpr int top_pos = 6 * (kSquareWindows - 1);
  const auto window = [e](int pos) {
    return Kernel<N, K>::Window6(e, L, static_cast<std::size_t>(pos));
  };
  typename Sq::Reg x[Sq::kRegs];
  u64 start[L] = {u64{1} << (window(top_pos) & ((1u << (h - top_pos)) - 1))};
  Sq::Load(start, x);
  u64 root[L] = {1}, spare[L];
  constexpr int steps = kSquareWindows - 1 > kRootWindows ? kSquareWindows - 1 : kRootWindows;
  // One squaring next to one root, so that the processor finds work of
  // both chains within its reordering window.
  for (int i = 0; i < steps; ++i) {
    if (i < kRootWindows && i < kSquareWindows - 1) {
      const unsigned w = window(h + 6 * i);
      if (w != 0) Root::MulX(root, w);
      for (int c = 0; c < 3; ++c) {
        Sq::SquareStep(x);
        Root::Sqrt(spare, root);
        Sq::SquareStep(x);
        Root::Sqrt(root, spare);
      }
      const unsigned u = window(top_pos - 6 * (i + 1));
      if (u != 0) Sq::MulXStep(x, u);
    } else if (i < kRootWindows) {
      const unsigned w = window(h + 6 * i);
      if (w != 0) Root::MulX(root, w);
      for (int c = 0; c < 3; ++c) {
        Root::Sqrt(spare, root);
        Root::Sqrt(root, spare);
      }
    } else {
      for (int c = 0; c < 6; ++c) Sq::SquareStep(x);
      const unsigned u = window(top_pos - 6 * (i + 1));
      if (u != 0) Sq::MulXStep(x, u);
    }
  }
  u64 low[L];
  Sq::Store(x, low);
  Kernel<N, K>::Mul(r, root, low);
}

// Copies an exponent below 2^N into L limbs; false when it is not below.
template <int N>
bool ExponentBelow(const u64* e, std::size_t limbs, u64* out) {
  constexpr std::size_t L = (N + 63) / 64;
  for (std::size_t i = L; i < limbs; ++i) {
    if (e[i] != 0) return false;
  }
  for (std::size_t i = 0; i < L; ++i) out[i] = i < limbs ? e[i] : 0;
  constexpr int top = N - 64 * (static_cast<int>(L) - 1);
  return top == 64 || (out[L - 1] >> (top % 64)) == 0;
}

template <int N, int K, int kRootWindows, template <int, int> class Squarer>
void SplitXPowerEntry(u64* r, const u64* e, std::size_t limbs) {
  u64 exponent[(N + 63) / 64];
  if (!ExponentBelow<N>(e, limbs, exponent)) return Kernel<N, K>::XPower(r, e, limbs);
  SplitXPower<N, K, kRootWindows, Squarer>(r, exponent);
}

// With K even, sqrt(x) is a dense element, so the roots are taken in the
// reciprocal field GF(2)[y] / (y^N + y^(N-K) + 1), y standing for 1/x. If b
// is y^(-c) there, the polynomial x^(N-1) b(1/x), which is b's coefficients
// in reverse order, is x^(N-1+c) in the field of x. So x^e is y^d reversed,
// for d = (N - 1) - e modulo 2^N - 1, the order of every non-zero element.
template <int N, int K, int kRootWindows, template <int, int> class Squarer>
void ReciprocalXPowerEntry(u64* r, const u64* e, std::size_t limbs) {
  constexpr int L = (N + 63) / 64;
  u64 d[L];
  if (!ExponentBelow<N>(e, limbs, d)) return Kernel<N, K>::XPower(r, e, limbs);
  bool high = false;
  for (int i = 1; i < L; ++i) high = high || d[i] != 0;
  if (!high && d[0] < static_cast<u64>(N - 1)) {
    d[0] = static_cast<u64>(N - 1) - d[0];
  } else {
    // d := e - (N - 1), then its complement in N bits: 2^N - 1 - (e - (N - 1)).
    u64 borrow = N - 1;
    for (int i = 0; i < L; ++i) {
      const u64 before = d[i];
      d[i] = before - borrow;
      borrow = before < borrow ? 1 : 0;
    }
    for (int i = 0; i < L; ++i) d[i] = ~d[i];
    constexpr int top = N - 64 * (L - 1);
    if constexpr (top < 64) d[L - 1] &= (u64{1} << top) - 1;
  }
  u64 y[L], reversed[L];
  SplitXPower<N, N - K, kRootWindows, Squarer>(y, d);
  // Reversing all 64 L bits puts coefficient N - 1 - i at bit i + 64 L - N.
  for (int i = 0; i < L; ++i) reversed[i] = Reverse64(y[L - 1 - i]);
  constexpr int s = 64 * L - N;
  for (int i = 0; i < L; ++i) {
    r[i] = s == 0 ? reversed[i] : reversed[i] >> (s % 64);
    if (s != 0 && i + 1 < L) r[i] |= reversed[i + 1] << ((64 - s) % 64);
  }
}

// The entries x^(d 2^(8c)) for every byte position c of an exponent below
// 2^N and every byte value d: x^e is the product of one entry per non-zero
// exponent byte, products that need not wait on each other. Built once per
// process: for N = 607 about 1.5 MB and 19,000 products.
template <int N, int K>
class XPowerTable {
 public:
  static constexpr int L = (N + 63) / 64;
  static constexpr int kBytes = (N + 7) / 8;

  static const XPowerTable& Get() {
    static const XPowerTable table;
    return table;
  }

  const u64* Entry(int c, unsigned d) const { return entries_.data() + Offset(c, d); }

 private:
  XPowerTable() : entries_(static_cast<std::size_t>(kBytes) * 256 * L) {
    u64 base[L] = {2};  // x^(2^(8c)) for the byte position at hand
    for (int c = 0; c < kBytes; ++c) {
      entries_[Offset(c, 0)] = 1;
      std::memcpy(&entries_[Offset(c, 1)], base, sizeof base);
      for (unsigned d = 2; d < 256; ++d)
        Kernel<N, K>::Mul(&entries_[Offset(c, d)], Entry(c, d - 1), base);
      SqrTimes<Kernel<N, K>>(base, base, 8);
    }
  }

  static std::size_t Offset(int c, unsigned d) {
    return (static_cast<std::size_t>(c) * 256 + d) * L;
  }

  std::vector<u64> entries_;
};

// r := x^e through the table, with two running products (wide ones with
// kWide).
template <int N, int K, bool kWide>
NIMBRA_KERNEL_TARGET void TableXPowerEntry(u64* r, const u64* e, std::size_t limbs) {
  using Kn = Kernel<N, K, kWide>;
  constexpr int L = Kn::L, kPairs = Kn::kPairs, kBytes = XPowerTable<N, K>::kBytes;
  u64 exponent[L];
  if (!ExponentBelow<N>(e, limbs, exponent)) return Kn::XPower(r, e, limbs);
  const XPowerTable<N, K>& table = XPowerTable<N, K>::Get();
  const u64* entries[kBytes];
  int count = 0;
  for (int c = 0; c < kBytes; ++c) {
    const unsigned d = static_cast<unsigned>(exponent[c / 8] >> (8 * (c % 8))) & 0xFF;
    if (d == 0) continue;
    entries[count] = table.Entry(c, d);
    __builtin_prefetch(entries[count]);
    __builtin_prefetch(entries[count] + L - 1);
    ++count;
  }
  if (count == 0) {
    std::memset(r, 0, L * sizeof(u64));
    r[0] = 1;
    return;
  }
  __m128i a[kPairs], b[kPairs];
  Kn::Load(entries[0], a);
  if (count == 1) return Kn::Store(a, r);
  Kn::Load(entries[1], b);
  int i = 2;
  for (; i + 1 < count; i += 2) {
    Kn::MulStep(a, entries[i]);
    Kn::MulStep(b, entries[i + 1]);
  }
  if (i < count) Kn::MulStep(a, entries[i]);
  u64 other[L];
  Kn::Store(b, other);
  Kn::MulStep(a, other);
  Kn::Store(a, r);
}

// Building the table costs about what it saves over a thousand x^e, so a
// process's first thousand take the chains and only later ones the table.
constexpr unsigned kTableAfterCalls = 1000;

template <int N, int K, auto Chain, bool kWide>
void TableAfterWarmUpEntry(u64* r, const u64* e, std::size_t limbs) {
  static std::atomic<unsigned> calls{0};
  if (calls.load(std::memory_order_relaxed) < kTableAfterCalls) {
    calls.fetch_add(1, std::memory_order_relaxed);
    return Chain(r, e, limbs);
  }
  TableXPowerEntry<N, K, kWide>(r, e, limbs);
}

}  // namespace nimbra::engine::field::x86

#endif
