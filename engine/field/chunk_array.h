#pragma once

#include <cstdint>
#include <vector>

namespace nimbra::engine {

// Which exponentiation the chunks are cut for: the width depends on it.
enum class TChunkKind { Power, PowerOfX };

// An exponent of the field layout cut into w-bit chunks, chunk 0 holding
// exponent bits 0 .. w-1 (exponent bit t is array bit (t + m) mod n).
class TChunkArray {
 public:
  TChunkArray(int n, const std::uint32_t* exponent, TChunkKind kind, int m);

  // The chunk width for a register length and kind.
  static int WidthFor(int n, TChunkKind kind);

  int Count() const { return static_cast<int>(chunks_.size()); }
  int Width() const { return width_; }
  int Range() const { return 1 << width_; }
  std::uint16_t Chunk(int k) const { return chunks_[static_cast<std::size_t>(k)]; }
  // The highest chunk that is not zero, or -1 when the exponent is zero.
  int TopNonZero() const;

 private:
  std::vector<std::uint16_t> chunks_;
  int width_;
};

}  // namespace nimbra::engine
