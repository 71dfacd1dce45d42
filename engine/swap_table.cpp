#include "engine/swap_table.h"

#include <utility>

#include "engine/mixture_generator.h"

namespace nimbra::engine {

TSwapTable::TSwapTable(int size, TS3MixtureGenerator& generator)
    : generator_(&generator), size_(size < 1 || size > 256 ? 256 : size) {
  Shuffle();
}

void TSwapTable::Shuffle() {
  for (int i = 0; i < size_; ++i) table_[i] = static_cast<std::uint8_t>(i);
  int i = 1;
  for (int r = size_ - 1; r > 1; r -= 2, i += 2) {
    const std::uint32_t v = generator_->Output(16) & 0xFFFF;
    const int j = i + static_cast<int>(v % static_cast<std::uint32_t>(r));
    if (j != i) std::swap(table_[i], table_[j]);
  }
}

}  // namespace nimbra::engine
