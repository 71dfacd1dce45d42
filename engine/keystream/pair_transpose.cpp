#include "engine/keystream/pair_transpose.h"

#include <cstring>
#include <utility>

#include "core/secret_buffer.h"
#include "engine/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBRA_X86_AVX2 1
#endif

namespace nimbra::engine::transpose {

void SwapPairs(const std::uint8_t* table, int count, std::uint8_t* bytes) {
  for (int i = 0; i < count - 1; i += 2) std::swap(bytes[table[i]], bytes[table[i + 1]]);
}

#ifdef NIMBRA_X86_AVX2

namespace {

// Eight 32-byte accumulators stay in registers while the sixteen source
// pieces are each broadcast to both halves of a vector and shuffled into
// every output vector; a shuffle places nothing where its control is 0x80.
__attribute__((target("avx2"))) void ApplyAvx2(const std::uint8_t* control, std::uint8_t* bytes) {
  const auto* c = reinterpret_cast<const __m256i*>(control);
  __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
          a7 = a0;
  for (int s = 0; s < 16; ++s, c += 8) {
    const __m256i src = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * s)));
    a0 = _mm256_or_si256(a0, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 0)));
    a1 = _mm256_or_si256(a1, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 1)));
    a2 = _mm256_or_si256(a2, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 2)));
    a3 = _mm256_or_si256(a3, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 3)));
    a4 = _mm256_or_si256(a4, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 4)));
    a5 = _mm256_or_si256(a5, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 5)));
    a6 = _mm256_or_si256(a6, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 6)));
    a7 = _mm256_or_si256(a7, _mm256_shuffle_epi8(src, _mm256_load_si256(c + 7)));
  }
  auto* out = reinterpret_cast<__m256i*>(bytes);
  _mm256_storeu_si256(out + 0, a0);
  _mm256_storeu_si256(out + 1, a1);
  _mm256_storeu_si256(out + 2, a2);
  _mm256_storeu_si256(out + 3, a3);
  _mm256_storeu_si256(out + 4, a4);
  _mm256_storeu_si256(out + 5, a5);
  _mm256_storeu_si256(out + 6, a6);
  _mm256_storeu_si256(out + 7, a7);
}

// The controls of source piece s are partner ^ 16s with 0x70 added, with
// saturation: a partner inside the piece leaves its index below 16, bit 7
// clear; any other has a nonzero high half, which the addition carries into
// bit 7. The shuffle reads only bit 7 and the low four bits.
__attribute__((target("avx2"))) void PrepareAvx2(const std::uint8_t* partner,
                                                 std::uint8_t* control) {
  const __m256i bias = _mm256_set1_epi8(0x70);
  for (int o = 0; o < 8; ++o) {
    const __m256i p = _mm256_load_si256(reinterpret_cast<const __m256i*>(partner) + o);
    for (int s = 0; s < 16; ++s) {
      const __m256i c =
          _mm256_adds_epu8(_mm256_xor_si256(p, _mm256_set1_epi8(static_cast<char>(16 * s))), bias);
      _mm256_store_si256(reinterpret_cast<__m256i*>(control + 256 * s) + o, c);
    }
  }
}

}  // namespace

#endif

bool BlockShuffle::Available() {
  return cpu::Accelerated(cpu::Routine::kBlockShuffle);
}

void BlockShuffle::Apply(std::uint8_t* bytes) const {
#ifdef NIMBRA_X86_AVX2
  if (cpu::Accelerated(cpu::Routine::kBlockShuffle)) {
    ApplyAvx2(control_.data(), bytes);
    return;
  }
#endif
  ApplyPortable(bytes);
}

void BlockShuffle::ApplyPortable(std::uint8_t* bytes) const {
  // What the vector shuffles compute, one output byte at a time.
  std::uint8_t out[256] = {};
  for (int s = 0; s < 16; ++s)
    for (int q = 0; q < 256; ++q) {
      const std::uint8_t c = control_[256 * s + q];
      if ((c & 0x80) == 0) out[q] |= bytes[16 * s + (c & 15)];
    }
  std::memcpy(bytes, out, sizeof out);
}

namespace {

// partner[q]: the position byte q is exchanged with.
void Partners(const std::uint8_t* table, std::uint8_t* partner) {
  for (int i = 0; i < 256; i += 2) {
    partner[table[i]] = table[i + 1];
    partner[table[i + 1]] = table[i];
  }
}

}  // namespace

void BlockShuffle::Prepare(const std::uint8_t* table) {
#ifdef NIMBRA_X86_AVX2
  if (cpu::Accelerated(cpu::Routine::kBlockShuffle)) {
    alignas(32) std::uint8_t partner[256];
    Partners(table, partner);
    PrepareAvx2(partner, control_.data());
    return;
  }
#endif
  PreparePortable(table);
}

void BlockShuffle::Wipe() {
  SecureWipe(control_.data(), control_.size());
}

void BlockShuffle::PreparePortable(const std::uint8_t* table) {
  std::uint8_t partner[256];
  Partners(table, partner);
  // Output byte q of a 32-byte vector sits at q mod 32 of its control, and
  // the vectors follow each other, so q is also the offset within the 256
  // control bytes of a source piece.
  for (int s = 0; s < 16; ++s)
    for (int q = 0; q < 256; ++q)
      control_[256 * s + q] =
          (partner[q] >> 4) == s ? static_cast<std::uint8_t>(partner[q] & 15) : 0x80;
}

}  // namespace nimbra::engine::transpose
