#pragma once

#include <array>
#include <cstdint>

namespace nimbra::engine {

class TS3MixtureGenerator;

// A keyed permutation of 0..size-1 drawn from a generator; the combiner
// swaps byte pairs (table[0], table[1]), (table[2], table[3]), ... with it.
class TSwapTable {
 public:
  // A size outside 1..256 is taken as 256. Shuffles at once.
  TSwapTable(int size, TS3MixtureGenerator& generator);

  // Identity, then every odd position i swaps with a position at or after
  // it chosen by a 16-bit generator output.
  void Shuffle();

  int Size() const { return size_; }
  std::uint8_t operator[](int i) const { return table_[i]; }
  const std::array<std::uint8_t, 256>& Table() const { return table_; }

  // v mod r for v < 65536 and 2 <= r <= 255, without a division.
  static std::uint32_t Mod16(std::uint32_t v, std::uint32_t r);

  // Overwrites the keyed order; the table is the identity afterwards.
  void Wipe();

 private:
  TS3MixtureGenerator* generator_;
  int size_;
  std::array<std::uint8_t, 256> table_{};
};

}  // namespace nimbra::engine
