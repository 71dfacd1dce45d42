// Key streams as received in messages: an empty key (taking the stream's
// size set), a key of a fixed set, and a public key must each load or fail
// with an engine error; whatever loads must save and load back unchanged.

#include <cstddef>
#include <cstdint>

#include "core/stream.h"
#include "engine/errors.h"
#include "engine/keys/key.h"

using namespace nimbra::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (TGeneratorSizes sizes : {TGeneratorSizes{0}, TGeneratorSizes{28}}) {
    nimbra::MemoryStream in(data, size);
    TKey key(sizes);
    try {
      key.LoadFromStream(in);
    } catch (const EKeyStreamLoadFailure&) {
      continue;
    }
    nimbra::MemoryStream out;
    key.SaveToStream(out);
    out.SetPosition(0);
    TKey again(0);
    again.LoadFromStream(out);
    if (!again.Equals(key)) __builtin_trap();
    if (key.Subkey(1) != nullptr) (void)key.KeyId();
  }
  nimbra::MemoryStream in(data, size);
  TPublicKey pub(44);
  try {
    pub.LoadFromStream(in);
  } catch (const EKeyStreamLoadFailure&) {
  }
  return 0;
}
