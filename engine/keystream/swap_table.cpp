#include "engine/keystream/swap_table.h"

#include <utility>

#include "core/secret_buffer.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine {

namespace {

// kInverse[r] = ceil(2^32 / r): with it, v mod r for 16-bit v and r is two
// multiplications, exact for every such pair.
constexpr std::array<std::uint32_t, 256> MakeInverseTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t r = 2; r < 256; ++r) t[r] = 0xFFFFFFFFu / r + 1;
  return t;
}
constexpr auto kInverse = MakeInverseTable();

}  // namespace

std::uint32_t TSwapTable::Mod16(std::uint32_t v, std::uint32_t r) {
  const std::uint32_t low = kInverse[r] * v;
  return static_cast<std::uint32_t>((std::uint64_t{low} * r) >> 32);
}

TSwapTable::TSwapTable(int size, TS3MixtureGenerator& generator)
    : generator_(&generator), size_(size < 1 || size > 256 ? 256 : size) {
  Shuffle();
}

void TSwapTable::Wipe() {
  SecureWipe(table_.data(), table_.size());
  for (int i = 0; i < size_; ++i) table_[i] = static_cast<std::uint8_t>(i);
}

void TSwapTable::Shuffle() {
  for (int i = 0; i < size_; ++i) table_[i] = static_cast<std::uint8_t>(i);
  // One 16-bit draw for each r = size - 1, size - 3, ... above 1, all drawn
  // at once: consecutive Output(16) calls are the output stream cut in 16s.
  const int draws = size_ > 2 ? (size_ - 1) / 2 : 0;
  std::array<std::uint8_t, 256> bits;
  generator_->OutputBits(bits.data(), 2 * static_cast<std::size_t>(draws));
  for (int d = 0; d < draws; ++d) {
    const std::uint32_t v = bits[2 * d] | std::uint32_t{bits[2 * d + 1]} << 8;
    const int i = 1 + 2 * d;
    const int j = i + static_cast<int>(Mod16(v, static_cast<std::uint32_t>(size_ - i)));
    std::swap(table_[i], table_[j]);
  }
}

}  // namespace nimbra::engine
