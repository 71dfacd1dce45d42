// The envelope reader takes arbitrary bytes: as a queued message text, as an
// envelope header and as a decrypted message with its trailer. Anything but
// a well-formed input ends in EnvelopeError.

#include "keys/mail_envelope.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

using namespace nimbra::keys;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  try {
    const auto envelope =
        EnvelopeBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const EnvelopeHeader header = ReadEnvelopeHeader(envelope);
    if (header.size > envelope.size()) __builtin_trap();
  } catch (const EnvelopeError&) {
  }
  try {
    const auto plain = OpenPreparedMessage(bytes, "ab12cd34");
    // A message that opens carries its own digest: it must compress back.
    if (DecompressMessage(CompressMessage(plain, 0)) != plain) __builtin_trap();
  } catch (const EnvelopeError&) {
  }
  try {
    DecompressMessage(bytes);
  } catch (const EnvelopeError&) {
  }
  return 0;
}
