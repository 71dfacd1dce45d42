// Bit-array streams of any length load into an array of the length the
// first two bytes choose, or fail with EBitArrayStreamLoadFailure; a
// loaded array saves back to the same bytes.

#include "engine/bit_array.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/stream.h"
#include "engine/bit_queue.h"
#include "engine/errors.h"

using namespace nimbra::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int n = 1 + ((data[0] | data[1] << 8) % kMaxBitArrayLength);
  nimbra::MemoryStream in(data + 2, size - 2);
  TBitArray array(n);
  try {
    array.LoadFromStream(in);
    nimbra::MemoryStream out;
    array.SaveToStream(out);
    if (out.Data().size() != 4 + 4 * static_cast<std::size_t>(array.WordCount()) ||
        std::memcmp(out.Data().data(), data + 2, out.Data().size()) != 0)
      __builtin_trap();
  } catch (const EBitArrayStreamLoadFailure&) {
  }
  // The byte view reads every byte without leaving the array.
  for (int k = 0; k < array.ByteCount(); ++k) (void)array.GetByte(k);
  // A queue fed the same bytes (as many as it holds) gives them back in order.
  const std::size_t fed = std::min<std::size_t>(size, kMaxBitArrayLength / 8);
  TCustomBitQueue queue(8 * static_cast<int>(fed));
  for (std::size_t i = 0; i < fed; ++i) queue.Insert(data[i], 8);
  for (std::size_t i = 0; i < fed; ++i)
    if (queue.Extract(8) != data[i]) __builtin_trap();
  return 0;
}
