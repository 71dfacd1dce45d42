#include <cstdio>
#include <stdexcept>
#include <string>

#include "app/nimbra-engine/engine_commands.h"
#include "app/nimbra-engine/keyed_options.h"
#include "app/nimbra-engine/output_file.h"
#include "core/stream.h"
#include "engine/keys/key.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine_tool {

// cipher encrypt|decrypt --sizes S --key-hex H [--spread] [--expand]
//        [--block-size B] [--granularity byte|bit] [--crc C] IN OUT
void RunCipher(const Args& args) {
  const Options options =
      ParseOptions(args, {"--sizes", "--key-hex", "--block-size", "--granularity", "--crc"},
                   {"--spread", "--expand"});
  if (options.positional.size() != 3 ||
      (options.positional[0] != "encrypt" && options.positional[0] != "decrypt"))
    throw std::invalid_argument("cipher needs encrypt or decrypt, an input and an output file");
  const bool encrypt = options.positional[0] == "encrypt";
  if (encrypt && options.Has("--crc")) throw std::invalid_argument("--crc is for decrypt only");
  RefuseSameFile(options.positional[1], options.positional[2]);
  const KeyOptions k = ReadKeyOptions(options);

  // As the crypto component builds its engine: the combiner (whose swap
  // table draws from the generator) before the generator is keyed.
  engine::TS3MixtureGenerator generator(3, k.sizes);
  engine::TCombiner combiner(generator);
  combiner.SetBlockSize(k.has_block_size ? k.block_size : 2048);
  combiner.SetByteMode(!k.has_granularity || k.granularity == engine::gByte);
  engine::TKey key(k.sizes);
  MakeKey(k, key);
  generator.LoadKey(key);
  if (k.expand) generator.ExpandFirst();

  FileStream input(options.positional[1], FileMode::OpenRead);
  std::uint32_t crc = 0;
  WriteOutputFile(options.positional[2], [&](Stream& output) {
    crc = encrypt ? combiner.EncryptStream(output, input) : combiner.DecryptStream(output, input);
    CheckCrc(options, crc);
  });
  std::printf("%08x\n", crc);
}

}  // namespace nimbra::engine_tool
