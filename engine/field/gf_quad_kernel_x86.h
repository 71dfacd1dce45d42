#pragma once

// Squaring and shifts by x^u in GF(2)[x] / (x^N + x^K + 1) on 256-bit
// registers of four limbs: one carry-less multiply squares two limbs, and
// every shift and sum moves four. This halves the instructions of a
// squaring against the 128-bit kernel, which matters where the squaring
// chain shares the processor with a chain of square roots. Needs AVX2 and
// the 256-bit carry-less multiply, checked before use.

#include <cstdint>
#include <cstring>

#include "engine/field/gf_kernel_x86.h"

#if defined(__x86_64__)
#define NIMBRA_QUAD_TARGET NIMBRA_KERNEL_TARGET

namespace nimbra::engine::field::x86 {

template <int N, int K>
struct QuadKernel {
  using Reg = __m256i;
  static constexpr int L = (N + 63) / 64;
  static constexpr int kTop = N - 64 * (L - 1);  // coefficients in the last limb
  static constexpr int kRegs = (L + 3) / 4;      // registers of a reduced value
  static_assert(N > 256 && K > 0 && K < N);

  // Limbs i .. i + 3 of a value held in Count registers (low limb first);
  // limbs outside 0 .. 4 Count - 1 read as zero. With i a constant once the
  // loops around are unrolled: one exchange of 128-bit lanes and at most one
  // in-lane shift.
  template <int Count>
  NIMBRA_QUAD_TARGET NIMBRA_INLINE static __m256i View(const __m256i* v, int i) {
    const int q = i >= 0 ? i / 4 : -((3 - i) / 4);
    const int s = i - 4 * q;
    const __m256i lo = q >= 0 && q < Count ? v[q] : _mm256_setzero_si256();
    if (s == 0) return lo;
    const __m256i hi = q + 1 >= 0 && q + 1 < Count ? v[q + 1] : _mm256_setzero_si256();
    const __m256i mid = _mm256_permute2x128_si256(lo, hi, 0x21);
    if (s == 2) return mid;
    if (s == 1) return _mm256_alignr_epi8(mid, lo, 8);
    return _mm256_alignr_epi8(hi, mid, 8);
  }

  // Coefficients pos .. pos + 255 of the value.
  template <int Count>
  NIMBRA_QUAD_TARGET NIMBRA_INLINE static __m256i Bits(const __m256i* v, int pos) {
    const int i = pos >= 0 ? pos / 64 : -((63 - pos) / 64);
    const int s = pos - 64 * i;
    if (s == 0) return View<Count>(v, i);
    return _mm256_or_si256(_mm256_srli_epi64(View<Count>(v, i), s),
                           _mm256_slli_epi64(View<Count>(v, i + 1), 64 - s));
  }

  // r := t mod (x^N + x^K + 1), t of degree <= 2N - 2 held in 2 kRegs
  // registers. With t = lo + x^N h, x^N = x^K + 1 gives lo + g + (x^K g mod
  // x^N), g = h + (h >> d) + (h >> 2d) + ... for d = N - K. g is summed by
  // doubling, g += g >> s for s = d, 2d, 4d, ...: a few levels, where term
  // by term each fold would wait on the one before. kSquare: t is a square,
  // its odd coefficients zero.
  template <bool kSquare = false>
  NIMBRA_QUAD_TARGET NIMBRA_INLINE static void Reduce(const __m256i* t, __m256i* r) {
    __m256i g[kRegs];
#pragma GCC unroll 40
    for (int p = 0; p < kRegs; ++p) {
      // With N = 63 mod 64 the low part of each limb of h is bit 63, odd,
      // so a square's h is its limbs from x^(N+1) on, shifted by one.
      if constexpr (kSquare && N % 64 == 63)
        g[p] = _mm256_slli_epi64(View<2 * kRegs>(t, (N + 1) / 64 + 4 * p), 1);
      else
        g[p] = Bits<2 * kRegs>(t, N + 256 * p);
    }
    // h, hence g, has degree at most N - 2.
#pragma GCC unroll 8
    for (int s = N - K; s <= N - 2; s *= 2) {
      __m256i next[kRegs];
#pragma GCC unroll 40
      for (int p = 0; p < kRegs; ++p)
        next[p] = 256 * p + s <= N - 2 ? _mm256_xor_si256(g[p], Bits<kRegs>(g, 256 * p + s)) : g[p];
#pragma GCC unroll 40
      for (int p = 0; p < kRegs; ++p) g[p] = next[p];
    }
#pragma GCC unroll 40
    for (int p = 0; p < kRegs; ++p)
      r[p] = _mm256_xor_si256(_mm256_xor_si256(t[p], g[p]), Bits<kRegs>(g, 256 * p - K));
    // Drop what lies at x^N and above.
    r[kRegs - 1] = _mm256_and_si256(
        r[kRegs - 1], _mm256_set_epi64x(TopMask(3), TopMask(2), TopMask(1), TopMask(0)));
  }

  // The mask of limb j of the top register.
  static constexpr long long TopMask(int j) {
    const int limb = 4 * (kRegs - 1) + j;
    if (limb < L - 1) return -1;
    if (limb > L - 1) return 0;
    return kTop < 64 ? static_cast<long long>((u64{1} << (kTop % 64)) - 1) : -1;
  }

  NIMBRA_QUAD_TARGET NIMBRA_INLINE static void Load(const u64* a, __m256i* v) {
#pragma GCC unroll 40
    for (int p = 0; p < kRegs; ++p) {
      long long limb[4];
      for (int j = 0; j < 4; ++j)
        limb[j] = 4 * p + j < L ? static_cast<long long>(a[4 * p + j]) : 0;
      v[p] = _mm256_set_epi64x(limb[3], limb[2], limb[1], limb[0]);
    }
  }

  NIMBRA_QUAD_TARGET NIMBRA_INLINE static void Store(const __m256i* v, u64* r) {
    alignas(32) u64 buf[4 * kRegs];
#pragma GCC unroll 40
    for (int p = 0; p < kRegs; ++p)
      _mm256_store_si256(reinterpret_cast<__m256i*>(buf + 4 * p), v[p]);
    std::memcpy(r, buf, L * sizeof(u64));
  }

  // x := x^2. One instruction squares limbs 0 and 2 of a register and
  // another 1 and 3, so each register first trades its middle limbs: the
  // squares then come out as limbs 0 .. 3 and 4 .. 7 in order.
  NIMBRA_QUAD_TARGET NIMBRA_INLINE static void SquareStep(__m256i* x) {
    __m256i t[2 * kRegs];
#pragma GCC unroll 40
    for (int p = 0; p < kRegs; ++p) {
      const __m256i s = _mm256_permute4x64_epi64(x[p], 0xD8);
      t[2 * p] = _mm256_clmulepi64_epi128(s, s, 0x00);
      t[2 * p + 1] = _mm256_clmulepi64_epi128(s, s, 0x11);
    }
    Reduce<true>(t, x);
  }

  // x := x * x^u for 0 < u < 64: at most one limb lands above the field.
  NIMBRA_QUAD_TARGET NIMBRA_INLINE static void MulXStep(__m256i* x, unsigned u) {
    const __m128i left = _mm_cvtsi32_si128(static_cast<int>(u));
    const __m128i right = _mm_cvtsi32_si128(static_cast<int>(64 - u));
    __m256i t[2 * kRegs];
#pragma GCC unroll 40
    for (int p = 0; p < 2 * kRegs; ++p) {
      t[p] = p <= kRegs ? _mm256_or_si256(_mm256_sll_epi64(View<kRegs>(x, 4 * p), left),
                                          _mm256_srl_epi64(View<kRegs>(x, 4 * p - 1), right))
                        : _mm256_setzero_si256();
    }
    Reduce(t, x);
  }
};

}  // namespace nimbra::engine::field::x86

#endif
