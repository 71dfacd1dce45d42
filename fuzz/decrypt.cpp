// DecryptStream on arbitrary input: a damaged ciphertext gives an engine
// exception or garbage plaintext, never a crash.

#include <cstddef>
#include <cstdint>

#include "core/error.h"
#include "core/stream.h"
#include "engine/keys/vrx_crypto.h"

namespace {

nimbra::engine::TVRXCrypto& Receiver() {
  static nimbra::engine::TVRXCrypto* crypto = [] {
    auto* c = new nimbra::engine::TVRXCrypto;
    c->SetGeneratorSizes(28);
    const std::uint8_t seed[] = "fuzz receiver";
    c->MakePrivateKey(seed, sizeof seed);
    return c;
  }();
  return *crypto;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nimbra::engine::TVRXCrypto& crypto = Receiver();
  nimbra::MemoryStream input(data, size), output;
  try {
    crypto.DecryptStream(output, input);
  } catch (const nimbra::Exception&) {
  }
  // A ciphertext of other sizes rebuilds the engine and empties the key.
  if (crypto.GeneratorSizes() != 28) {
    crypto.SetGeneratorSizes(28);
    const std::uint8_t seed[] = "fuzz receiver";
    crypto.MakePrivateKey(seed, sizeof seed);
  }
  return 0;
}
