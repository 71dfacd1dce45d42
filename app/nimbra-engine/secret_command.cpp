#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/nimbra-engine/engine_commands.h"
#include "app/nimbra-engine/output_file.h"
#include "core/hex.h"
#include "core/stream.h"
#include "engine/keys/secret_key.h"

namespace nimbra::engine_tool {

// secret encrypt --pass P [--random-hex R] IN OUT
// secret decrypt --pass P [--crc C] IN OUT
void RunSecret(const Args& args) {
  const Options options = ParseOptions(args, {"--pass", "--random-hex", "--crc"}, {});
  if (options.positional.size() != 3 ||
      (options.positional[0] != "encrypt" && options.positional[0] != "decrypt"))
    throw std::invalid_argument("secret needs encrypt or decrypt, an input and an output file");
  const bool encrypt = options.positional[0] == "encrypt";
  if (encrypt && options.Has("--crc")) throw std::invalid_argument("--crc is for decrypt only");
  RefuseSameFile(options.positional[1], options.positional[2]);
  const std::string& pass = options.Value("--pass");
  std::vector<std::uint8_t> random;
  if (options.Has("--random-hex")) {
    if (!encrypt) throw std::invalid_argument("--random-hex is for encrypt only");
    random = HexToBytes(options.Value("--random-hex"));
    if (random.size() != engine::TSecretKey::kRandomSize)
      throw std::invalid_argument("--random-hex needs exactly 20 bytes");
  }
  engine::TSecretKey secret;
  if (!random.empty()) secret.RandomBytes = random.data();
  FileStream input(options.positional[1], FileMode::OpenRead);
  std::uint32_t crc = 0;
  WriteOutputFile(options.positional[2], [&](Stream& output) {
    crc = encrypt ? secret.EncryptWithPassword(output, input, pass)
                  : secret.DecryptWithPassword(output, input, 0, pass);
    CheckCrc(options, crc);
  });
  std::printf("%08x\n", crc);
}

}  // namespace nimbra::engine_tool
