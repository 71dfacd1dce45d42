#pragma once

// Square roots and shifts in GF(2)[x] / (x^N + x^K + 1) on 64-bit limbs in
// general-purpose registers, for N and K odd. They run on the integer units
// while the carry-less multiplies of a squaring run on the vector units, so
// an exponentiation can drive one chain of each side by side.
//
// sqrt(a) = even(a) + sqrt(x) odd(a), where even and odd gather the
// coefficients at even and odd positions, and sqrt(x) = x^((N+1)/2) +
// x^((K+1)/2): its square x^(N+1) + x^(K+1) = x (x^N + x^K) is x. Both
// products stay below x^N, so a root needs no reduction.

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#define NIMBRA_ROOT_TARGET __attribute__((target("bmi2")))
#define NIMBRA_ROOT_INLINE __attribute__((always_inline)) inline

namespace nimbra::engine::field {

template <int N, int K>
struct RootOps {
  static_assert(N % 2 == 1 && K % 2 == 1 && K + 64 <= N);
  using u64 = std::uint64_t;
  static constexpr int L = (N + 63) / 64;
  static constexpr int H = (L + 1) / 2;  // limbs of even(a) and odd(a)

  // r := sqrt(a); r must not be a.
  NIMBRA_ROOT_TARGET NIMBRA_ROOT_INLINE static void Sqrt(u64* r, const u64* a) {
    constexpr u64 kEven = 0x5555555555555555ull;
    u64 odd[H];
#pragma GCC unroll 40
    for (int i = 0; i < H; ++i) {
      const u64 lo = a[2 * i], hi = 2 * i + 1 < L ? a[2 * i + 1] : 0;
      r[i] = _pext_u64(lo, kEven) | (_pext_u64(hi, kEven) << 32);
      odd[i] = _pext_u64(lo, ~kEven) | (_pext_u64(hi, ~kEven) << 32);
    }
#pragma GCC unroll 40
    for (int i = H; i < L; ++i) r[i] = 0;
    AddShifted<(N + 1) / 2>(r, odd);
    AddShifted<(K + 1) / 2>(r, odd);
  }

  // a := a x^u for 0 < u < 64: the bits pushed past x^N fold back as
  // x^K + 1 (K + 63 < N, so once).
  NIMBRA_ROOT_INLINE static void MulX(u64* a, unsigned u) {
    const unsigned from = N - u;  // a's bits from here on move past x^N
    const unsigned q = from >> 6, s = from & 63;
    u64 spill = a[q] >> s;
    if (s != 0 && q + 1 < L) spill |= a[q + 1] << (64 - s);
#pragma GCC unroll 40
    for (int j = L - 1; j > 0; --j) a[j] = (a[j] << u) | (a[j - 1] >> (64 - u));
    a[0] <<= u;
    constexpr int top = N - 64 * (L - 1);
    if constexpr (top < 64) a[L - 1] &= (u64{1} << top) - 1;
    a[0] ^= spill;
    constexpr int qk = K >> 6, sk = K & 63;
    a[qk] ^= spill << sk;
    if constexpr (sk != 0) a[qk + 1] ^= spill >> (64 - sk);
  }

 private:
  // r ^= v x^S for v of H limbs, the sum staying below x^N.
  template <int S>
  NIMBRA_ROOT_INLINE static void AddShifted(u64* r, const u64* v) {
    constexpr int q = S / 64, b = S % 64;
#pragma GCC unroll 40
    for (int j = 0; j < H; ++j) {
      if (q + j < L) r[q + j] ^= b == 0 ? v[j] : v[j] << b;
      if (b != 0 && q + j + 1 < L) r[q + j + 1] ^= v[j] >> ((64 - b) & 63);
    }
  }
};

}  // namespace nimbra::engine::field

#endif
