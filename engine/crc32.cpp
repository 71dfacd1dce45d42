#include "engine/crc32.h"

#include <zlib.h>

#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#define NIMBRA_CRC_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))
#endif

#include "engine/bit_array.h"
#include "engine/cpu_features.h"
#include "engine/errors.h"

namespace nimbra::engine {

namespace {

// Entry i is the remainder of i (as the eight lowest coefficients, reflected)
// divided by the polynomial: eight shift-and-reduce steps, each bit held in a
// TCRCBitArray addressed from its least significant end.
std::array<std::uint32_t, 256> BuildTable() {
  std::array<std::uint32_t, 256> table{};
  TCRCBitArray reg(32);
  for (std::uint32_t i = 0; i < 256; ++i) {
    reg.SetValue32(i);
    for (int step = 0; step < 8; ++step) {
      const int low = reg.GetBitLsb(1);
      reg.SetValue32(reg.Value32() >> 1);
      if (low) reg.SetValue32(reg.Value32() ^ 0xEDB88320u);
    }
    table[i] = reg.Value32();
  }
  return table;
}

#if defined(NIMBRA_CRC_FOLD_TARGET)

NIMBRA_CRC_FOLD_TARGET inline __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times x^(distance + 32) and x^(distance - 32), added to the next lane.
NIMBRA_CRC_FOLD_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// The bare update over a multiple of 16 bytes (at least 64) by folding four
// 128-bit lanes with carry-less multiplies, then a Barrett reduction to 32
// bits. The constants are x^k mod P for the fold distances (512+32, 512-32,
// 128+32, 128-32, 64), the bit-reflected P and floor(x^64 / P).
NIMBRA_CRC_FOLD_TARGET std::uint32_t FoldUpdate(std::uint32_t crc, const std::uint8_t* buf,
                                                std::size_t len) {
  alignas(16) static const std::uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
  alignas(16) static const std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
  alignas(16) static const std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
  alignas(16) static const std::uint64_t poly[] = {0x01db710641, 0x01f7011641};
  __m128i x1 = _mm_xor_si128(Load(buf), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(buf + 16), x3 = Load(buf + 32), x4 = Load(buf + 48);
  buf += 64;
  len -= 64;
  __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
  for (; len >= 64; buf += 64, len -= 64) {
    x1 = Fold(x1, k, Load(buf));
    x2 = Fold(x2, k, Load(buf + 16));
    x3 = Fold(x3, k, Load(buf + 32));
    x4 = Fold(x4, k, Load(buf + 48));
  }
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
  x1 = Fold(x1, k, x2);
  x1 = Fold(x1, k, x3);
  x1 = Fold(x1, k, x4);
  for (; len >= 16; buf += 16, len -= 16) x1 = Fold(x1, k, Load(buf));

  // 128 bits to 64.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
  k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k, 0x00), _mm_srli_si128(x, 4));
  // Barrett reduction to 32 bits.
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), k, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

#endif

}  // namespace

const std::array<std::uint32_t, 256>& CRCTable() {
  static const std::array<std::uint32_t, 256> table = BuildTable();
  return table;
}

std::uint32_t TCRC32::UpdateCRC(std::uint32_t crc, std::size_t count, const void* data) {
  if (count == 0) return crc;
  if (data == nullptr) throw ECRC32IllegalDataAccess(msg::kCRC32DataAccess);
  // zlib computes the same table recurrence with its initial and final
  // complement; undoing both gives the bare update, several bytes per step.
  auto bytes = static_cast<const Bytef*>(data);
#if defined(NIMBRA_CRC_FOLD_TARGET)
  if (count >= 64 && cpu::Accelerated(cpu::Routine::kCrc32)) {
    const std::size_t folded = count & ~std::size_t{15};
    crc = FoldUpdate(crc, bytes, folded);
    bytes += folded;
    count -= folded;
    if (count == 0) return crc;
  }
#endif
  uLong c = static_cast<uLong>(crc ^ 0xFFFFFFFFu);
  while (count > 0) {
    const auto piece =
        static_cast<uInt>(std::min<std::size_t>(count, std::numeric_limits<uInt>::max()));
    c = crc32(c, bytes, piece);
    bytes += piece;
    count -= piece;
  }
  return static_cast<std::uint32_t>(c) ^ 0xFFFFFFFFu;
}

std::uint32_t TCRC32::Digest() {
  return UpdateCRC(0xFFFFFFFFu, length_, data_) ^ 0xFFFFFFFFu;
}

}  // namespace nimbra::engine
