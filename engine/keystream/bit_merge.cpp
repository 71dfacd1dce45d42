#include "engine/keystream/bit_merge.h"

#include <cstring>

#include "engine/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NIMBRA_X86_DEPOSIT 1
#endif

namespace nimbra::engine::bit_merge {

namespace {

#ifdef NIMBRA_X86_DEPOSIT
__attribute__((target("bmi2,popcnt"))) void MergeBytesDeposit(std::uint8_t* out,
                                                              const std::uint32_t* sel,
                                                              const std::uint32_t* a,
                                                              const std::uint32_t* b,
                                                              std::size_t count) {
  std::size_t pa = 0, pb = 0;
  for (std::size_t i = 0; i < count; i += 4) {
    const std::uint32_t s = sel[i >> 2];
    const std::uint32_t r = _pdep_u32(Bits32(a, pa), ~s) | _pdep_u32(Bits32(b, pb), s);
    const int ones = _mm_popcnt_u32(s);
    pa += 32 - ones;
    pb += ones;
    if (i + 4 <= count) {
      std::memcpy(out + i, &r, 4);  // x86 is little-endian
    } else {
      for (std::size_t j = 0; i + j < count; ++j)
        out[i + j] = static_cast<std::uint8_t>(r >> (8 * j));
    }
  }
}
#endif

void MergeBytesPortable(std::uint8_t* out, const std::uint32_t* sel, const std::uint32_t* a,
                        const std::uint32_t* b, std::size_t count) {
  std::size_t pa = 0, pb = 0;
  for (std::size_t j = 0; j < count; ++j) {
    const std::uint32_t s = (sel[j >> 2] >> (8 * (j & 3))) & 0xFF;
    const std::uint32_t zeros = s ^ 0xFF;
    out[j] = static_cast<std::uint8_t>(Deposit8(zeros, Bits32(a, pa)) | Deposit8(s, Bits32(b, pb)));
    pa += kPopCount8[zeros];
    pb += kPopCount8[s];
  }
}

}  // namespace

void MergeBytes(std::uint8_t* out, const std::uint32_t* sel, const std::uint32_t* a,
                const std::uint32_t* b, std::size_t count) {
#ifdef NIMBRA_X86_DEPOSIT
  if (cpu::Accelerated(cpu::Routine::kBitMerge)) {
    MergeBytesDeposit(out, sel, a, b, count);
    return;
  }
#endif
  MergeBytesPortable(out, sel, a, b, count);
}

}  // namespace nimbra::engine::bit_merge
