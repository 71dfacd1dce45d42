#include "engine/field/chunk_array.h"

#include "engine/field/gf_expo.h"

namespace nimbra::engine {

int TChunkArray::WidthFor(int n, TChunkKind kind) {
  return kind == TChunkKind::Power ? field::PowerChunkWidth(n) : field::PowerOfXChunkWidth(n);
}

TChunkArray::TChunkArray(int n, const std::uint32_t* exponent, TChunkKind kind, int m)
    : chunks_(static_cast<std::size_t>((n - 1) / WidthFor(n, kind) + 1), 0),
      width_(WidthFor(n, kind)) {
  for (int t = 0; t < n; ++t) {
    const int p = (t + m) % n;
    if ((exponent[p >> 5] >> (31 - (p & 31))) & 1) {
      chunks_[static_cast<std::size_t>(t / width_)] |=
          static_cast<std::uint16_t>(1u << (t % width_));
    }
  }
}

int TChunkArray::TopNonZero() const {
  for (int k = Count() - 1; k >= 0; --k) {
    if (chunks_[static_cast<std::size_t>(k)] != 0) return k;
  }
  return -1;
}

}  // namespace nimbra::engine
