// decrypt --private F [--crc C] IN OUT

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "app/nimbra-engine/output_file.h"
#include "engine/keys/vrx_crypto.h"

namespace nimbra::engine_tool {

void RunDecrypt(const Args& args) {
  const Options options = ParseOptions(args, {"--private", "--crc"}, {});
  if (options.positional.size() != 2) throw std::invalid_argument("decrypt needs IN and OUT");
  const std::string& in = options.positional[0];
  const std::string& out = options.positional[1];
  RefuseSameFile(in, out);
  engine::TVRXCrypto crypto;
  const std::string& key_file = options.Value("--private");
  MemoryStream private_stream(ReadFileBytes(key_file));
  crypto.PrivateKey().LoadFromStream(private_stream);
  if (!IsPrivateHalf(crypto.PrivateKey()))
    throw std::runtime_error(key_file + " holds a public key; decrypt needs the private key");
  FileStream input(in, FileMode::OpenRead);
  std::uint32_t crc = 0;
  WriteOutputFile(out, [&](Stream& output) {
    crc = crypto.DecryptStream(output, input);
    CheckCrc(options, crc);
  });
  std::printf("%08x\n", crc);
}

}  // namespace nimbra::engine_tool
