#include <cstdio>
#include <stdexcept>
#include <string>

#include "app/nimbra-engine/engine_commands.h"
#include "app/nimbra-engine/keyed_options.h"
#include "core/hex.h"
#include "core/stream.h"
#include "engine/keys/key.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine_tool {

// keystream --sizes S --key-hex H [--spread] [--expand] --count N
//           [--output byte|bits8|dword]
void RunKeystream(const Args& args) {
  const Options options =
      ParseOptions(args, {"--sizes", "--key-hex", "--count", "--output"}, {"--spread", "--expand"});
  if (!options.positional.empty())
    throw std::invalid_argument("unexpected " + options.positional[0]);
  const KeyOptions k = ReadKeyOptions(options);
  const long count = ParseNumber("--count", options.Value("--count"), 0, 1L << 24);
  const std::string output = options.Has("--output") ? options.Value("--output") : "byte";
  if (output != "byte" && output != "bits8" && output != "dword")
    throw std::invalid_argument("--output is byte, bits8 or dword");

  engine::TKey key(k.sizes);
  MakeKey(k, key);
  engine::TS3MixtureGenerator generator(3, k.sizes);
  generator.LoadKey(key);
  if (k.expand) generator.ExpandFirst();

  std::string text;
  char digits[9];
  for (long i = 0; i < count; ++i) {
    if (output == "dword") {
      std::snprintf(digits, sizeof digits, "%08x", generator.OutputDWord());
    } else {
      const auto v = output == "byte" ? generator.OutputByte() : generator.Output(8);
      std::snprintf(digits, sizeof digits, "%02x", v & 0xFF);
    }
    text += digits;
  }
  std::printf("%s\n", text.c_str());
}

// key --sizes S --key-hex H [--spread] [--bits N] [--block-size B]
//     [--granularity byte|bit]: the key identifier, then the key stream.
void RunKey(const Args& args) {
  const Options options = ParseOptions(
      args, {"--sizes", "--key-hex", "--bits", "--block-size", "--granularity"}, {"--spread"});
  if (!options.positional.empty())
    throw std::invalid_argument("unexpected " + options.positional[0]);
  const KeyOptions k = ReadKeyOptions(options);
  engine::TKey key(k.sizes);
  MakeKey(k, key);
  if (k.has_block_size) key.SetBlockSize(k.block_size);
  if (k.has_granularity) key.SetGranularity(k.granularity);
  MemoryStream stream;
  key.SaveToStream(stream);
  std::printf("%s\n%s\n", key.KeyId().c_str(), HexLower(stream.Data()).c_str());
}

}  // namespace nimbra::engine_tool
