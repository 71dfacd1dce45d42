#include "engine/field/clmul.h"

#include <cstring>

#include "engine/cpu_features.h"

namespace nimbra::engine::field {

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

// 64 x 64 -> 128 bit carry-less product with a 4-bit window over b.
u128 Clmul64(u64 a, u64 b) {
  u128 table[16];
  table[0] = 0;
  table[1] = a;
  for (int i = 2; i < 16; ++i) {
    table[i] = (i & 1) ? (table[i - 1] ^ a) : (table[i >> 1] << 1);
  }
  u128 r = 0;
  for (int shift = 60; shift >= 0; shift -= 4) {
    r = (r << 4) ^ table[(b >> shift) & 15];
  }
  return r;
}

// Moves the 32 bits of x to the even bit positions of the result.
u64 Spread32(u64 x) {
  x &= 0xFFFFFFFFull;
  x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
  x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
  x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
  x = (x | (x << 2)) & 0x3333333333333333ull;
  x = (x | (x << 1)) & 0x5555555555555555ull;
  return x;
}

bool UsePclmul() {
  return cpu::Accelerated(cpu::Routine::kPolyMul);
}

}  // namespace

namespace detail {

void PolyMulPortable(const u64* a, const u64* b, std::size_t limbs, u64* out) {
  std::memset(out, 0, 2 * limbs * sizeof(u64));
  for (std::size_t i = 0; i < limbs; ++i) {
    if (a[i] == 0) continue;
    for (std::size_t j = 0; j < limbs; ++j) {
      const u128 p = Clmul64(a[i], b[j]);
      out[i + j] ^= static_cast<u64>(p);
      out[i + j + 1] ^= static_cast<u64>(p >> 64);
    }
  }
}

void PolySqrPortable(const u64* a, std::size_t limbs, u64* out) {
  for (std::size_t i = 0; i < limbs; ++i) {
    out[2 * i] = Spread32(a[i]);
    out[2 * i + 1] = Spread32(a[i] >> 32);
  }
}

}  // namespace detail

void PolyMul(const u64* a, const u64* b, std::size_t limbs, u64* out) {
  if (UsePclmul()) {
    detail::PolyMulPclmul(a, b, limbs, out);
  } else {
    detail::PolyMulPortable(a, b, limbs, out);
  }
}

void PolySqr(const u64* a, std::size_t limbs, u64* out) {
  if (UsePclmul()) {
    detail::PolySqrPclmul(a, limbs, out);
  } else {
    detail::PolySqrPortable(a, limbs, out);
  }
}

}  // namespace nimbra::engine::field
