// Every header class loads arbitrary bytes or fails with an engine or
// stream error, never reading or seeking outside the input.

#include "engine/keys/vrx_header.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/error.h"
#include "core/stream.h"
#include "engine/errors.h"

using namespace nimbra::engine;

namespace {
template <typename H>
void Load(const std::uint8_t* data, std::size_t size) {
  nimbra::MemoryStream in(data, size);
  H header;
  try {
    header.LoadFromStream(in);
    // A loaded derived header is passed over whole, however long it says it is.
    if constexpr (!std::is_same_v<H, TVRXHeader>)
      if (in.Position() != static_cast<std::int64_t>(header.HeaderLength())) __builtin_trap();
    nimbra::MemoryStream out;
    header.SaveToStream(out);
  } catch (const EVRXHeader&) {
  } catch (const nimbra::StreamError&) {
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Load<TVRXHeader>(data, size);
  Load<TVRXPowerTableHeader>(data, size);
  Load<TKeyHeader>(data, size);
  Load<TCiphertextHeader>(data, size);
  return 0;
}
