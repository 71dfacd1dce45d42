// The carry-less multiply instruction path. Everything here is compiled for
// processors that have it and reached only after the run-time check
// (engine/cpu_features.h).
#include <cstring>

#include "engine/field/clmul.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBRA_PCLMUL_TARGET __attribute__((target("pclmul,sse4.1")))
#endif

namespace nimbra::engine::field::detail {

using u64 = std::uint64_t;

#if defined(NIMBRA_PCLMUL_TARGET)

namespace {

constexpr std::size_t kMaxPairs = 72;  // 8192-bit operands: 128 limbs

}  // namespace

// Schoolbook over 128-bit limb pairs, summed column by column in registers;
// each pair product takes three carry-less multiplies (Karatsuba on the pair).
NIMBRA_PCLMUL_TARGET void PolyMulPclmul(const u64* a, const u64* b, std::size_t limbs, u64* out) {
  const std::size_t pairs = (limbs + 1) / 2;
  __m128i pa[kMaxPairs], pb[kMaxPairs], fa[kMaxPairs], fb[kMaxPairs];
  for (std::size_t i = 0; i < pairs; ++i) {
    const u64 a0 = a[2 * i], a1 = 2 * i + 1 < limbs ? a[2 * i + 1] : 0;
    const u64 b0 = b[2 * i], b1 = 2 * i + 1 < limbs ? b[2 * i + 1] : 0;
    pa[i] = _mm_set_epi64x(static_cast<long long>(a1), static_cast<long long>(a0));
    pb[i] = _mm_set_epi64x(static_cast<long long>(b1), static_cast<long long>(b0));
    fa[i] = _mm_cvtsi64_si128(static_cast<long long>(a0 ^ a1));
    fb[i] = _mm_cvtsi64_si128(static_cast<long long>(b0 ^ b1));
  }
  u64 acc[4 * kMaxPairs + 2];
  std::memset(acc, 0, (4 * pairs + 2) * sizeof(u64));
  for (std::size_t c = 0; c + 1 < 2 * pairs; ++c) {
    __m128i lo = _mm_setzero_si128(), hi = _mm_setzero_si128(), mid = _mm_setzero_si128();
    const std::size_t first = c + 1 > pairs ? c + 1 - pairs : 0;
    const std::size_t last = c < pairs - 1 ? c : pairs - 1;
    for (std::size_t i = first; i <= last; ++i) {
      const std::size_t j = c - i;
      lo = _mm_xor_si128(lo, _mm_clmulepi64_si128(pa[i], pb[j], 0x00));
      hi = _mm_xor_si128(hi, _mm_clmulepi64_si128(pa[i], pb[j], 0x11));
      mid = _mm_xor_si128(mid, _mm_clmulepi64_si128(fa[i], fb[j], 0x00));
    }
    mid = _mm_xor_si128(mid, _mm_xor_si128(lo, hi));
    // lo at limb 2c, mid at 2c + 1, hi at 2c + 2 (each 128 bits wide).
    const u64 lo0 = static_cast<u64>(_mm_cvtsi128_si64(lo));
    const u64 lo1 = static_cast<u64>(_mm_extract_epi64(lo, 1));
    const u64 mid0 = static_cast<u64>(_mm_cvtsi128_si64(mid));
    const u64 mid1 = static_cast<u64>(_mm_extract_epi64(mid, 1));
    const u64 hi0 = static_cast<u64>(_mm_cvtsi128_si64(hi));
    const u64 hi1 = static_cast<u64>(_mm_extract_epi64(hi, 1));
    acc[2 * c] ^= lo0;
    acc[2 * c + 1] ^= lo1 ^ mid0;
    acc[2 * c + 2] ^= mid1 ^ hi0;
    acc[2 * c + 3] ^= hi1;
  }
  std::memcpy(out, acc, 2 * limbs * sizeof(u64));
}

NIMBRA_PCLMUL_TARGET void PolySqrPclmul(const u64* a, std::size_t limbs, u64* out) {
  std::size_t i = 0;
  for (; i + 1 < limbs; i += 2) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_clmulepi64_si128(v, v, 0x00));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 2), _mm_clmulepi64_si128(v, v, 0x11));
  }
  if (i < limbs) {
    const __m128i v = _mm_cvtsi64_si128(static_cast<long long>(a[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_clmulepi64_si128(v, v, 0x00));
  }
}

#else

void PolyMulPclmul(const u64* a, const u64* b, std::size_t limbs, u64* out) {
  PolyMulPortable(a, b, limbs, out);
}

void PolySqrPclmul(const u64* a, std::size_t limbs, u64* out) {
  PolySqrPortable(a, limbs, out);
}

#endif

}  // namespace nimbra::engine::field::detail
