#pragma once

// Field kernels on 128-bit registers for one trinomial each: squaring,
// multiplication and shifts by x^u as straight-line code, every limb count
// and shift a compile-time constant. Only reached after the run-time check
// for the instructions they use.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/field/gf_kernel.h"
#include "engine/field/sliding_windows.h"

#if defined(__x86_64__)
#include <immintrin.h>
// Three-operand (VEX) encodings spare the register copies that the long
// straight-line sequences would otherwise spend a third of their
// instructions on. The kernels run where AVX2 is present; only their wide
// products use the 256-bit carry-less multiply, after its own check.
#define NIMBRA_KERNEL_TARGET __attribute__((target("pclmul,sse4.1,avx,avx2,vpclmulqdq")))
// The steps of a chain are inlined into its loop, values staying in
// registers from one step to the next.
#define NIMBRA_INLINE __attribute__((always_inline)) inline

namespace nimbra::engine::field::x86 {

using u64 = std::uint64_t;

// r := a^(2^count) by a kernel Kn (either register width), the value
// staying in registers from one squaring to the next.
template <class Kn>
NIMBRA_KERNEL_TARGET void SqrTimes(u64* r, const u64* a, int count) {
  typename Kn::Reg x[Kn::kRegs];
  Kn::Load(a, x);
  for (int c = 0; c < count; ++c) Kn::SquareStep(x);
  Kn::Store(x, r);
}

// r := a * x^u for 0 <= u < 64 by a kernel Kn.
template <class Kn>
NIMBRA_KERNEL_TARGET void MulX(u64* r, const u64* a, unsigned u) {
  typename Kn::Reg x[Kn::kRegs];
  Kn::Load(a, x);
  if (u != 0) Kn::MulXStep(x, u);
  Kn::Store(x, r);
}

// GF(2)[x] / (x^N + x^K + 1), N > 64. Values live in 128-bit registers as
// pairs of 64-bit limbs. kWide: products take two pair products per
// 256-bit carry-less multiply.
template <int N, int K, bool kWide = false>
struct Kernel {
  static constexpr int L = (N + 63) / 64;
  static constexpr int kTop = N - 64 * (L - 1);  // coefficients in the last limb
  static constexpr int kPairs = (L + 1) / 2;
  // A reduced value as the chains of x^e hold it: kRegs registers.
  using Reg = __m128i;
  static constexpr int kRegs = kPairs;
  static_assert(N > 64 && K > 0 && K < N);

  // Limbs i and i + 1 of a value held as Count limb pairs (one pair per
  // 128-bit register, low limb in the low lane); limbs outside
  // 0 .. 2 Count - 1 read as zero. Called with indices that are constants
  // once the loops around are unrolled, so the branches fold away.
  template <int Count>
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static __m128i Limbs(const __m128i* v, int i) {
    if (i < -1 || i >= 2 * Count) return _mm_setzero_si128();
    if (i == -1) return _mm_slli_si128(v[0], 8);
    if (i % 2 == 0) return v[i / 2];
    const __m128i next = (i + 1) / 2 < Count ? v[(i + 1) / 2] : _mm_setzero_si128();
    return _mm_alignr_epi8(next, v[(i - 1) / 2], 8);
  }

  // r := t mod (x^N + x^K + 1), for t of degree <= 2N - 2 (a product of
  // reduced values) held as L limb pairs; r has kPairs pairs, padding zero.
  // x^N = x^K + 1 turns t = lo + x^N h into lo + g + (x^K g mod x^N), g being
  // h + (h >> (N - K)) + (h >> 2 (N - K)) + ...: shifts by constants on
  // registers, with no fold waiting on the one before. kSquare: t is a
  // square, so its coefficients at odd positions, among them bit 63 of every
  // limb, are zero.
  template <bool kSquare = false>
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void Reduce(const __m128i* t, __m128i* r) {
    __m128i g[kPairs];
    constexpr int d = N - K;
    if constexpr (d >= 128) {
      // g = h + (g >> d) from the top pair down: each pair of g needs only
      // higher ones.
      constexpr int qn = N >> 6, sn = N & 63, qd = d >> 6, sd = d & 63;
#pragma GCC unroll 40
      for (int p = kPairs - 1; p >= 0; --p) {
        __m128i v = Limbs<L>(t, qn + 2 * p);
        if constexpr (kSquare && sn == 63) {
          v = _mm_slli_epi64(Limbs<L>(t, qn + 2 * p + 1), 1);
        } else if constexpr (sn != 0) {
          v = _mm_or_si128(_mm_srli_epi64(v, sn),
                           _mm_slli_epi64(Limbs<L>(t, qn + 2 * p + 1), 64 - sn));
        }
        const int above = 2 * p + qd;
        if (above < 2 * kPairs) {
          __m128i w = Limbs<kPairs>(g, above);
          if constexpr (sd != 0) {
            w = _mm_or_si128(_mm_srli_epi64(w, sd),
                             _mm_slli_epi64(Limbs<kPairs>(g, above + 1), 64 - sd));
          }
          v = _mm_xor_si128(v, w);
        }
        g[p] = v;
      }
    } else {
      // Term by term: t >> (N + j d) for j = 0, 1, ...
#pragma GCC unroll 40
      for (int p = 0; p < kPairs; ++p) g[p] = _mm_setzero_si128();
#pragma GCC unroll 8
      for (int shift = N; shift <= 2 * N - 2; shift += d) {
        const int q = shift >> 6, s = shift & 63;
#pragma GCC unroll 40
        for (int p = 0; p < kPairs; ++p) {
          __m128i v = Limbs<L>(t, q + 2 * p);
          if (kSquare && s == 63) {
            v = _mm_slli_epi64(Limbs<L>(t, q + 2 * p + 1), 1);
          } else if (s != 0) {
            v = _mm_or_si128(_mm_srli_epi64(v, s),
                             _mm_slli_epi64(Limbs<L>(t, q + 2 * p + 1), 64 - s));
          }
          g[p] = _mm_xor_si128(g[p], v);
        }
      }
    }
    constexpr int qk = K >> 6, sk = K & 63;
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      __m128i v = Limbs<kPairs>(g, 2 * p - qk);
      if constexpr (sk != 0) {
        v = _mm_or_si128(_mm_slli_epi64(v, sk),
                         _mm_srli_epi64(Limbs<kPairs>(g, 2 * p - qk - 1), 64 - sk));
      }
      r[p] = _mm_xor_si128(_mm_xor_si128(t[p], g[p]), v);
    }
    // Drop what lies at x^N and above (also the limb past L when L is odd).
    constexpr u64 top = kTop < 64 ? (u64{1} << (kTop % 64)) - 1 : ~u64{0};
    const __m128i mask = L % 2 == 1 ? _mm_set_epi64x(0, static_cast<long long>(top))
                                    : _mm_set_epi64x(static_cast<long long>(top), -1);
    r[kPairs - 1] = _mm_and_si128(r[kPairs - 1], mask);
  }

  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void Load(const u64* a, __m128i* v) {
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      const u64 hi = 2 * p + 1 < L ? a[2 * p + 1] : 0;
      v[p] = _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(a[2 * p]));
    }
  }

  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void Store(const __m128i* v, u64* r) {
    alignas(16) u64 buf[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) _mm_store_si128(reinterpret_cast<__m128i*>(buf + 2 * p), v[p]);
    std::memcpy(r, buf, L * sizeof(u64));
  }

  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void SquareStep(__m128i* x) {
    __m128i t[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) {
      t[2 * p] = _mm_clmulepi64_si128(x[p], x[p], 0x00);
      t[2 * p + 1] = _mm_clmulepi64_si128(x[p], x[p], 0x11);
    }
    Reduce<true>(t, x);
  }

  // x := x * x^u for 0 < u < 64: the shifted value has at most one limb
  // above the field, well inside what Reduce takes.
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void MulXStep(__m128i* x, unsigned u) {
    const __m128i left = _mm_cvtsi32_si128(static_cast<int>(u));
    const __m128i right = _mm_cvtsi32_si128(static_cast<int>(64 - u));
    __m128i t[2 * kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < 2 * kPairs; ++p) {
      t[p] = _mm_or_si128(_mm_sll_epi64(Limbs<kPairs>(x, 2 * p), left),
                          _mm_srl_epi64(Limbs<kPairs>(x, 2 * p - 1), right));
    }
    Reduce(t, x);
  }

  // Exponent bits pos .. pos + 5 (bits past the limbs read as zero).
  static unsigned Window6(const u64* e, std::size_t limbs, std::size_t pos) {
    const std::size_t q = pos >> 6, s = pos & 63;
    u64 v = e[q] >> s;
    if (s > 58 && q + 1 < limbs) v |= e[q + 1] << (64 - s);
    return static_cast<unsigned>(v & 63);
  }

  // r := x^e for an exponent of `limbs` limbs, six exponent bits at a time:
  // six squarings, then a multiplication by x^v, all without leaving the
  // registers.
  NIMBRA_KERNEL_TARGET static void XPower(u64* r, const u64* e, std::size_t limbs) {
    __m128i x[kPairs];
#pragma GCC unroll 40
    for (int p = 0; p < kPairs; ++p) x[p] = _mm_setzero_si128();
    long top = -1;
    for (std::size_t i = limbs; i-- > 0;) {
      if (e[i] != 0) {
        top = static_cast<long>(64 * i) + 63 - __builtin_clzll(e[i]);
        break;
      }
    }
    if (top < 0) {
      x[0] = _mm_cvtsi64_si128(1);
      Store(x, r);
      return;
    }
    long pos = top / 6 * 6;
    x[0] = _mm_cvtsi64_si128(
        static_cast<long long>(u64{1} << Window6(e, limbs, static_cast<std::size_t>(pos))));
    for (pos -= 6; pos >= 0; pos -= 6) {
      for (int c = 0; c < 6; ++c) SquareStep(x);
      const unsigned v = Window6(e, limbs, static_cast<std::size_t>(pos));
      if (v != 0) MulXStep(x, v);
    }
    Store(x, r);
  }

  NIMBRA_KERNEL_TARGET static void Sqr(u64* r, const u64* a) {
    SqrTimes<Kernel>(r, a, 1);
  }

  // t[0 .. 2P-1] := the product of two polynomials of P limb pairs, with one
  // Karatsuba step inside every pair product: three carry-less multiplies
  // per pair of pairs (two pairs of pairs per multiply with kWide).
  template <int P>
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void PairProduct(const __m128i* pa, const __m128i* pb,
                                                             __m128i* t) {
    if constexpr (kWide) return WidePairProduct<P>(pa, pb, t);
    __m128i fa[P], fb[P];
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
      fa[i] = _mm_xor_si128(pa[i], _mm_unpackhi_epi64(pa[i], pa[i]));
      fb[i] = _mm_xor_si128(pb[i], _mm_unpackhi_epi64(pb[i], pb[i]));
    }
    // Column by column (i + j = c): lo lands at limb 2c, mid at 2c + 1 and
    // hi at 2c + 2, so only one column's three sums and the carry into the
    // next are live at a time.
    __m128i carry = _mm_setzero_si128();  // the upper half of the previous column
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      __m128i lo = _mm_setzero_si128(), hi = _mm_setzero_si128(), mid = _mm_setzero_si128();
#pragma GCC unroll 40
      for (int i = 0; i < P; ++i) {
        const int j = c - i;
        if (j < 0 || j >= P) continue;
        lo = _mm_xor_si128(lo, _mm_clmulepi64_si128(pa[i], pb[j], 0x00));
        hi = _mm_xor_si128(hi, _mm_clmulepi64_si128(pa[i], pb[j], 0x11));
        mid = _mm_xor_si128(mid, _mm_clmulepi64_si128(fa[i], fb[j], 0x00));
      }
      t[c] = Column(lo, hi, mid, carry);
    }
    t[2 * P - 1] = carry;
  }

  // Limbs 2c and 2c + 1 of a product from column c's sums of the low, high
  // and middle halves of its pair products; carry brings in the upper half
  // of the previous column and takes this one's.
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static __m128i Column(__m128i lo, __m128i hi, __m128i mid,
                                                           __m128i& carry) {
    const __m128i m = _mm_xor_si128(mid, _mm_xor_si128(lo, hi));
    const __m128i even = _mm_xor_si128(lo, _mm_unpacklo_epi64(_mm_setzero_si128(), m));
    const __m128i limbs = _mm_xor_si128(even, carry);
    carry = _mm_xor_si128(hi, _mm_unpackhi_epi64(m, _mm_setzero_si128()));
    return limbs;
  }

  // The sum of a register's two 128-bit lanes.
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static __m128i Fold(__m256i v) {
    return _mm_xor_si128(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  }

  // PairProduct with two terms of a column per 256-bit multiply: the lanes
  // hold a_i, a_(i+1) and b_(c-i), b_(c-i-1), and the column's two lane sums
  // are added at its end. A column of odd length meets a zero pair in its
  // last multiply.
  template <int P>
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void WidePairProduct(const __m128i* pa,
                                                                 const __m128i* pb, __m128i* t) {
    const __m128i zero = _mm_setzero_si128();
    __m256i a[P], fa[P], b[P + 1], fb[P + 1];
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
      a[i] = _mm256_set_m128i(i + 1 < P ? pa[i + 1] : zero, pa[i]);
      fa[i] = _mm256_xor_si256(a[i], _mm256_unpackhi_epi64(a[i], a[i]));
    }
#pragma GCC unroll 40
    for (int k = 0; k <= P; ++k) {
      b[k] = _mm256_set_m128i(k >= 1 ? pb[k - 1] : zero, k < P ? pb[k] : zero);
      fb[k] = _mm256_xor_si256(b[k], _mm256_unpackhi_epi64(b[k], b[k]));
    }
    __m128i carry = zero;
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      __m256i lo = _mm256_setzero_si256(), hi = lo, mid = lo;
      const int first = c > P - 1 ? c - (P - 1) : 0, last = c < P - 1 ? c : P - 1;
#pragma GCC unroll 40
      for (int i = first; i <= last; i += 2) {
        lo = _mm256_xor_si256(lo, _mm256_clmulepi64_epi128(a[i], b[c - i], 0x00));
        hi = _mm256_xor_si256(hi, _mm256_clmulepi64_epi128(a[i], b[c - i], 0x11));
        mid = _mm256_xor_si256(mid, _mm256_clmulepi64_epi128(fa[i], fb[c - i], 0x00));
      }
      t[c] = Column(Fold(lo), Fold(hi), Fold(mid), carry);
    }
    t[2 * P - 1] = carry;
  }

  // t[0 .. 2 kPairs - 1] := a * b.
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void Product(const __m128i* pa, const __m128i* pb,
                                                         __m128i* t) {
    if constexpr (kPairs >= 8 && kPairs % 2 == 0) {
      // One Karatsuba step on the halves first: a0 b0, a1 b1 and
      // (a0 + a1)(b0 + b1) give the middle term, three products in place of
      // four.
      constexpr int H = kPairs / 2;
      __m128i sa[H], sb[H], mid[2 * H];
#pragma GCC unroll 40
      for (int i = 0; i < H; ++i) {
        sa[i] = _mm_xor_si128(pa[i], pa[i + H]);
        sb[i] = _mm_xor_si128(pb[i], pb[i + H]);
      }
      PairProduct<H>(pa, pb, t);
      PairProduct<H>(pa + H, pb + H, t + 2 * H);
      PairProduct<H>(sa, sb, mid);
      // The middle term first: the sum overlaps both halves it is made of.
#pragma GCC unroll 80
      for (int j = 0; j < 2 * H; ++j)
        mid[j] = _mm_xor_si128(mid[j], _mm_xor_si128(t[j], t[2 * H + j]));
#pragma GCC unroll 80
      for (int j = 0; j < 2 * H; ++j) t[H + j] = _mm_xor_si128(t[H + j], mid[j]);
    } else {
      PairProduct<kPairs>(pa, pb, t);
    }
  }

  NIMBRA_KERNEL_TARGET static void Mul(u64* r, const u64* a, const u64* b) {
    __m128i pa[kPairs], pb[kPairs], t[2 * kPairs];
    Load(a, pa);
    Load(b, pb);
    Product(pa, pb, t);
    __m128i x[kPairs];
    Reduce(t, x);
    Store(x, r);
  }

  // x := x * b, x held in registers.
  NIMBRA_KERNEL_TARGET NIMBRA_INLINE static void MulStep(__m128i* x, const u64* b) {
    __m128i pb[kPairs], t[2 * kPairs];
    Load(b, pb);
    Product(x, pb, t);
    Reduce(t, x);
  }

  // r := b^e for e not zero (`limbs` limbs), by sliding windows over the
  // odd powers of b; the running value stays in registers throughout.
  NIMBRA_KERNEL_TARGET static void Power(u64* r, const u64* b, const u64* e, std::size_t limbs) {
    constexpr int width = SlidingWindowWidth(N);
    constexpr int count = 1 << (width - 1);
    u64 odd[count][L], square[L];
    Sqr(square, b);
    std::memcpy(odd[0], b, sizeof odd[0]);
    for (int i = 1; i < count; ++i) Mul(odd[i], odd[i - 1], square);
    SlidingWindows windows(e, limbs, width);
    __m128i x[kPairs];
    Load(odd[windows.First() >> 1], x);
    int squarings = 0;
    unsigned v = 0;
    while (windows.Next(squarings, v)) {
      for (int c = 0; c < squarings; ++c) SquareStep(x);
      if (v != 0) MulStep(x, odd[v >> 1]);
    }
    Store(x, r);
  }
};

// The 128-bit kernel with its plain products, in the two-parameter form the
// chains of x^e take their squaring kernel in.
template <int N, int K>
using PairKernel = Kernel<N, K>;

}  // namespace nimbra::engine::field::x86

#endif
