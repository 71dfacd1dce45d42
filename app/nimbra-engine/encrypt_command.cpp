// encrypt --public G [--store-keyid] [--message-key-hex K] IN OUT

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "app/nimbra-engine/output_file.h"
#include "core/hex.h"
#include "engine/entropy/entropy.h"
#include "engine/keys/vrx_crypto.h"

namespace nimbra::engine_tool {

void RunEncrypt(const Args& args) {
  const Options options = ParseOptions(args, {"--public", "--message-key-hex"}, {"--store-keyid"});
  if (options.positional.size() != 2) throw std::invalid_argument("encrypt needs IN and OUT");

  const std::string& in = options.positional[0];
  const std::string& out = options.positional[1];
  RefuseSameFile(in, out);

  engine::TVRXCrypto crypto;
  const std::string& key_file = options.Value("--public");
  MemoryStream public_stream(ReadFileBytes(key_file));
  crypto.PublicKey().LoadFromStream(public_stream);
  if (IsPrivateHalf(crypto.PublicKey()))
    throw std::runtime_error(key_file + " holds a private key; encrypt needs the public key");

  // The per-message exponent's raw bits come from the generator: either the
  // given bytes, handed out in order through the output hook, or a generator
  // seeded from the operating system.
  engine::TRandomGen random;
  std::vector<std::uint8_t> given;
  std::size_t next = 0;
  if (options.Has("--message-key-hex")) {
    given = HexToBytes(options.Value("--message-key-hex"));
    const std::size_t needed =
        static_cast<std::size_t>((2 * crypto.LargestGeneratorLength() - 1) / 8 + 1);
    if (given.size() != needed) {
      throw std::invalid_argument("--message-key-hex must hold " + std::to_string(needed) +
                                  " bytes");
    }
    random.Seed();
    random.OnOutputRequest = [&](engine::TRandomGen&, std::uint8_t& out) { out = given[next++]; };
  } else {
    engine::SeedFromOs(random);
  }
  crypto.RandomGen = &random;

  FileStream input(in, FileMode::OpenRead);
  std::uint32_t crc = 0;
  WriteOutputFile(out, [&](Stream& output) {
    std::string key_id;
    crc = crypto.EncryptStream(output, input, options.Flag("--store-keyid"), key_id);
  });
  std::printf("%08x\n", crc);
}

}  // namespace nimbra::engine_tool
