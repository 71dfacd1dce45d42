#include "engine/keystream/byte_interleave.h"

#include <array>

#include "engine/cpu_features.h"
#include "engine/keystream/bit_merge.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBRA_X86_SHUFFLE 1
#endif

namespace nimbra::engine::interleave {

namespace {

std::uint32_t SelByte(const std::uint32_t* sel, std::size_t i) {
  return (sel[i >> 5] >> (i & 31)) & 0xFF;
}

// Positions begin .. count - 1, the runs' next bytes at from2 and from3.
void XorFrom(std::uint8_t* data, const std::uint32_t* sel, const std::uint8_t* from2,
             const std::uint8_t* from3, std::size_t begin, std::size_t count) {
  // Selections are random: choose with masks, not branches.
  std::size_t j3 = 0;
  for (std::size_t i = begin; i < count; ++i) {
    const auto s = static_cast<std::uint8_t>((sel[i >> 5] >> (i & 31)) & 1);
    const auto m = static_cast<std::uint8_t>(-s);
    data[i] ^= static_cast<std::uint8_t>((from3[j3] & m) | (from2[i - begin - j3] & ~m));
    j3 += s;
  }
}

#ifdef NIMBRA_X86_SHUFFLE
// kExpand[m]: byte-shuffle indices that place bytes 0, 1, .. of a source at
// the set bits of m, and zero elsewhere.
constexpr std::array<std::array<std::uint8_t, 8>, 256> MakeExpandTable() {
  std::array<std::array<std::uint8_t, 8>, 256> t{};
  for (int m = 0; m < 256; ++m) {
    int next = 0;
    for (int j = 0; j < 8; ++j) t[m][j] = static_cast<std::uint8_t>(((m >> j) & 1) ? next++ : 0x80);
  }
  return t;
}
constexpr auto kExpand = MakeExpandTable();

// The offsets into the two runs follow from a running count of the
// selections' ones (one popcnt and one add per 8 bytes), so the loads of
// successive steps do not wait on each other.
__attribute__((target("ssse3,popcnt"))) void XorInterleavedShuffle(std::uint8_t* data,
                                                                   const std::uint32_t* sel,
                                                                   const std::uint8_t* from2,
                                                                   const std::uint8_t* from3,
                                                                   std::size_t count) {
  std::size_t i = 0, taken3 = 0;
  for (; i + 8 <= count; i += 8) {
    const std::uint32_t s = SelByte(sel, i);
    const std::uint32_t zeros = s ^ 0xFF;
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from2 + (i - taken3)));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from3 + taken3));
    const __m128i spread_a = _mm_shuffle_epi8(
        a, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kExpand[zeros].data())));
    const __m128i spread_b =
        _mm_shuffle_epi8(b, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kExpand[s].data())));
    auto* at = reinterpret_cast<__m128i*>(data + i);
    _mm_storel_epi64(at, _mm_xor_si128(_mm_loadl_epi64(at), _mm_or_si128(spread_a, spread_b)));
    taken3 += static_cast<std::size_t>(_mm_popcnt_u32(s));
  }
  XorFrom(data, sel, from2 + (i - taken3), from3 + taken3, i, count);
}
#endif

}  // namespace

void XorInterleaved(std::uint8_t* data, const std::uint32_t* sel, const std::uint8_t* from2,
                    const std::uint8_t* from3, std::size_t count) {
#ifdef NIMBRA_X86_SHUFFLE
  if (cpu::Accelerated(cpu::Routine::kByteInterleave)) {
    XorInterleavedShuffle(data, sel, from2, from3, count);
    return;
  }
#endif
  XorFrom(data, sel, from2, from3, 0, count);
}

}  // namespace nimbra::engine::interleave
