// keypair --sizes 28|44 --seed-hex H [--granularity byte|bit]
//         [--out-private F --out-public G]

#include <cstdio>
#include <stdexcept>

#include "app/nimbra-engine/crypto_commands.h"
#include "core/hex.h"
#include "engine/keys/vrx_crypto.h"

namespace nimbra::engine_tool {

void RunKeypair(const Args& args) {
  const Options options = ParseOptions(
      args, {"--sizes", "--seed-hex", "--granularity", "--out-private", "--out-public"}, {});
  const std::string& sizes = options.Value("--sizes");
  if (sizes != "28" && sizes != "44") throw std::invalid_argument("--sizes must be 28 or 44");
  const std::vector<std::uint8_t> seed = HexToBytes(options.Value("--seed-hex"));

  engine::TVRXCrypto crypto;
  crypto.SetGeneratorSizes(static_cast<engine::TGeneratorSizes>(sizes == "28" ? 28 : 44));
  if (options.Has("--granularity")) {
    const std::string& g = options.Value("--granularity");
    if (g != "byte" && g != "bit") throw std::invalid_argument("--granularity byte|bit");
    crypto.SetGranularity(g == "byte" ? engine::gByte : engine::gBit);
  }
  crypto.MakePrivateKey(seed.data(), static_cast<int>(seed.size()));
  crypto.ComputePublicKey(crypto.PublicKey(), crypto.PrivateKey());

  MemoryStream private_stream, public_stream;
  crypto.PrivateKey().SaveToStream(private_stream);
  crypto.PublicKey().SaveToStream(public_stream);
  if (options.Has("--out-private") || options.Has("--out-public")) {
    WriteFileBytes(options.Value("--out-private"), private_stream.Data());
    WriteFileBytes(options.Value("--out-public"), public_stream.Data());
    std::printf("%s\n", crypto.PublicKey().KeyId().c_str());
    return;
  }
  std::printf("%s\n%s\n%s\n", crypto.PublicKey().KeyId().c_str(),
              HexLower(private_stream.Data()).c_str(), HexLower(public_stream.Data()).c_str());
}

}  // namespace nimbra::engine_tool
