#include <cstring>

#include "engine/field/clmul.h"
#include "engine/field/gf_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define NIMBRA_KERNEL_TARGET __attribute__((target("pclmul,sse4.1")))
#endif

namespace nimbra::engine::field {

#if defined(NIMBRA_KERNEL_TARGET)

namespace {

using u64 = std::uint64_t;

// GF(2)[x] / (x^N + x^K + 1) with K + 63 < N, so that folding one limb
// never lands in the limb itself.
template <int N, int K>
struct Kernel {
  static constexpr int L = (N + 63) / 64;
  static constexpr int kTop = N - 64 * (L - 1);  // coefficients in the last limb
  static constexpr int kPairs = (L + 1) / 2;
  static_assert(K + 63 < N);

  NIMBRA_KERNEL_TARGET static inline void XorAt(u64* t, int pos, u64 w) {
    const int q = pos >> 6, s = pos & 63;
    t[q] ^= w << s;
    if (s != 0) t[q + 1] ^= w >> (64 - s);
  }

  // Limb j of t >> S, t having 2L limbs.
  template <int S>
  NIMBRA_KERNEL_TARGET static inline u64 Shifted(const u64* t, int j) {
    constexpr int q = S >> 6, s = S & 63;
    u64 v = q + j < 2 * L ? t[q + j] >> s : 0;
    if constexpr (s != 0) v |= q + j + 1 < 2 * L ? t[q + j + 1] << (64 - s) : 0;
    return v;
  }

  // g := sum over i of t >> (N + i (N - K)), the quotient bits of every fold.
  template <int S>
  NIMBRA_KERNEL_TARGET static inline void Quotient(const u64* t, u64* g) {
    if constexpr (S <= 2 * N - 2) {
#pragma GCC unroll 40
      for (int j = 0; j < L; ++j) g[j] ^= Shifted<S>(t, j);
      Quotient<S + N - K>(t, g);
    }
  }

  // t has 2L limbs holding a polynomial of degree <= 2N - 2 (a product of
  // reduced values); the reduced value ends in t[0 .. L-1]. x^N = x^K + 1
  // turns t = lo + x^N h into lo + g + (x^K g mod x^N) with g the sum of h,
  // h >> (N - K), ...: every term is a shift of t by a constant, with no
  // chain between folds.
  NIMBRA_KERNEL_TARGET static inline void Reduce(u64* t) {
    u64 g[L] = {};
    Quotient<N>(t, g);
    constexpr int q = K >> 6, s = K & 63;
#pragma GCC unroll 40
    for (int j = L - 1; j >= 0; --j) {
      u64 v = t[j] ^ g[j];
      if (j >= q) v ^= g[j - q] << s;
      if constexpr (s != 0) {
        if (j >= q + 1) v ^= g[j - q - 1] >> (64 - s);
      }
      t[j] = v;
    }
    if constexpr (kTop < 64) t[L - 1] &= (u64{1} << kTop) - 1;
  }

  // t[0 .. 2L-1] := t[0 .. L-1]^2 (unreduced): every limb is loaded before
  // the first store.
  NIMBRA_KERNEL_TARGET static inline void SquareInPlace(u64* t) {
    __m128i v[kPairs];
#pragma GCC unroll 40
    for (int i = 0; i + 1 < L; i += 2)
      v[i / 2] = _mm_load_si128(reinterpret_cast<const __m128i*>(t + i));
    if constexpr (L % 2 == 1) v[kPairs - 1] = _mm_cvtsi64_si128(static_cast<long long>(t[L - 1]));
#pragma GCC unroll 40
    for (int i = 0; i + 1 < L; i += 2) {
      _mm_store_si128(reinterpret_cast<__m128i*>(t + 2 * i),
                      _mm_clmulepi64_si128(v[i / 2], v[i / 2], 0x00));
      _mm_store_si128(reinterpret_cast<__m128i*>(t + 2 * i + 2),
                      _mm_clmulepi64_si128(v[i / 2], v[i / 2], 0x11));
    }
    if constexpr (L % 2 == 1) {
      _mm_store_si128(reinterpret_cast<__m128i*>(t + 2 * L - 2),
                      _mm_clmulepi64_si128(v[kPairs - 1], v[kPairs - 1], 0x00));
    }
  }

  NIMBRA_KERNEL_TARGET static void SqrTimes(u64* r, const u64* a, int count) {
    alignas(16) u64 t[2 * L + 2];
    std::memcpy(t, a, L * sizeof(u64));
    for (int c = 0; c < count; ++c) {
      SquareInPlace(t);
      Reduce(t);
    }
    std::memcpy(r, t, L * sizeof(u64));
  }

  NIMBRA_KERNEL_TARGET static void Sqr(u64* r, const u64* a) {
    SqrTimes(r, a, 1);
  }

  // t[0 .. 4P-1] := the product of two polynomials of P limb pairs (each
  // pair one 128-bit lane), with one Karatsuba step inside every pair
  // product: three carry-less multiplies per pair of pairs.
  template <int P>
  NIMBRA_KERNEL_TARGET static inline void PairProduct(const __m128i* pa, const __m128i* pb,
                                                      u64* t) {
    __m128i fa[P], fb[P];
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
      fa[i] = _mm_xor_si128(pa[i], _mm_unpackhi_epi64(pa[i], pa[i]));
      fb[i] = _mm_xor_si128(pb[i], _mm_unpackhi_epi64(pb[i], pb[i]));
    }
    // Column sums: lo at limb 2c, mid at 2c + 1, hi at 2c + 2 (each 128 bits).
    __m128i lo[2 * P - 1], hi[2 * P - 1], mid[2 * P - 1];
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      lo[c] = _mm_setzero_si128();
      hi[c] = _mm_setzero_si128();
      mid[c] = _mm_setzero_si128();
    }
#pragma GCC unroll 40
    for (int i = 0; i < P; ++i) {
#pragma GCC unroll 40
      for (int j = 0; j < P; ++j) {
        lo[i + j] = _mm_xor_si128(lo[i + j], _mm_clmulepi64_si128(pa[i], pb[j], 0x00));
        hi[i + j] = _mm_xor_si128(hi[i + j], _mm_clmulepi64_si128(pa[i], pb[j], 0x11));
        mid[i + j] = _mm_xor_si128(mid[i + j], _mm_clmulepi64_si128(fa[i], fb[j], 0x00));
      }
    }
    __m128i carry = _mm_setzero_si128();  // the upper half of the previous column
#pragma GCC unroll 80
    for (int c = 0; c < 2 * P - 1; ++c) {
      const __m128i m = _mm_xor_si128(mid[c], _mm_xor_si128(lo[c], hi[c]));
      const __m128i even = _mm_xor_si128(lo[c], _mm_unpacklo_epi64(_mm_setzero_si128(), m));
      const __m128i odd = _mm_xor_si128(hi[c], _mm_unpackhi_epi64(m, _mm_setzero_si128()));
      _mm_store_si128(reinterpret_cast<__m128i*>(t + 2 * c), _mm_xor_si128(even, carry));
      carry = odd;
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(t + 4 * P - 2), carry);
  }

  NIMBRA_KERNEL_TARGET static void Mul(u64* r, const u64* a, const u64* b) {
    __m128i pa[kPairs], pb[kPairs];
#pragma GCC unroll 40
    for (int i = 0; i < kPairs; ++i) {
      const u64 a1 = 2 * i + 1 < L ? a[2 * i + 1] : 0;
      const u64 b1 = 2 * i + 1 < L ? b[2 * i + 1] : 0;
      pa[i] = _mm_set_epi64x(static_cast<long long>(a1), static_cast<long long>(a[2 * i]));
      pb[i] = _mm_set_epi64x(static_cast<long long>(b1), static_cast<long long>(b[2 * i]));
    }
    alignas(16) u64 t[4 * kPairs + 2];
    if constexpr (kPairs >= 8 && kPairs % 2 == 0) {
      // One Karatsuba step on the halves first: a0 b0, a1 b1 and
      // (a0 + a1)(b0 + b1) give the middle term, three products in place of
      // four.
      constexpr int H = kPairs / 2;
      __m128i sa[H], sb[H];
#pragma GCC unroll 40
      for (int i = 0; i < H; ++i) {
        sa[i] = _mm_xor_si128(pa[i], pa[i + H]);
        sb[i] = _mm_xor_si128(pb[i], pb[i + H]);
      }
      alignas(16) u64 mid[4 * H];
      PairProduct<H>(pa, pb, t);
      PairProduct<H>(pa + H, pb + H, t + 4 * H);
      PairProduct<H>(sa, sb, mid);
#pragma GCC unroll 80
      for (int j = 0; j < 4 * H; ++j) mid[j] ^= t[j] ^ t[4 * H + j];
#pragma GCC unroll 80
      for (int j = 0; j < 4 * H; ++j) t[2 * H + j] ^= mid[j];
    } else {
      PairProduct<kPairs>(pa, pb, t);
    }
    Reduce(t);
    std::memcpy(r, t, L * sizeof(u64));
  }

  NIMBRA_KERNEL_TARGET static void MulX(u64* r, const u64* a, unsigned u) {
    u64 t[L + 2];
    if (u == 0) {
      std::memmove(r, a, L * sizeof(u64));
      return;
    }
    t[0] = a[0] << u;
#pragma GCC unroll 40
    for (int i = 1; i < L; ++i) t[i] = (a[i] << u) | (a[i - 1] >> (64 - u));
    t[L] = a[L - 1] >> (64 - u);
    t[L + 1] = 0;
    const u64 w = t[L];
    XorAt(t, 64 * L - N, w);
    XorAt(t, 64 * L - N + K, w);
    if constexpr (kTop < 64) {
      const u64 top = t[L - 1] >> kTop;
      t[L - 1] &= (u64{1} << kTop) - 1;
      t[0] ^= top;
      XorAt(t, K, top);
    }
    std::memcpy(r, t, L * sizeof(u64));
  }

  static constexpr GFKernel kOps{&Mul, &Sqr, &SqrTimes, &MulX};
};

}  // namespace

const GFKernel* PclmulKernelFor(int n, int m) {
  if (!detail::CpuHasPclmul()) return nullptr;
  switch (n) {
    case 87:
      return m == 74 ? &Kernel<87, 13>::kOps : nullptr;
    case 127:
      return m == 97 ? &Kernel<127, 30>::kOps : nullptr;
    case 521:
      return m == 158 ? &Kernel<521, 363>::kOps : nullptr;
    case 607:
      return m == 273 ? &Kernel<607, 334>::kOps : nullptr;
    case 1279:
      return m == 418 ? &Kernel<1279, 861>::kOps : nullptr;
    case 2281:
      return m == 915 ? &Kernel<2281, 1366>::kOps : nullptr;
    default:
      return nullptr;
  }
}

#else

const GFKernel* PclmulKernelFor(int, int) {
  return nullptr;
}

#endif

}  // namespace nimbra::engine::field
