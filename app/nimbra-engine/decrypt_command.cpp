// decrypt --private F IN OUT

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "engine/keys/vrx_crypto.h"

namespace nimbra::engine_tool {

void RunDecrypt(const Args& args) {
  const Options options = ParseOptions(args, {"--private"}, {});
  if (options.positional.size() != 2) throw std::invalid_argument("decrypt needs IN and OUT");
  engine::TVRXCrypto crypto;
  MemoryStream private_stream(ReadFileBytes(options.Value("--private")));
  crypto.PrivateKey().LoadFromStream(private_stream);
  FileStream input(options.positional[0], FileMode::OpenRead);
  FileStream output(options.positional[1], FileMode::Create);
  std::printf("%08x\n", crypto.DecryptStream(output, input));
}

}  // namespace nimbra::engine_tool
