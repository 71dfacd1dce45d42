// nimbra-engine: the crypto engine from the command line, for users and for
// checking the engine from outside.

#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "app/nimbra-engine/crypto_commands.h"
#include "app/nimbra-engine/engine_commands.h"

namespace {

using nimbra::engine_tool::Args;

struct Command {
  const char* name;
  void (*run)(const Args& args);
  const char* usage;
};

// One line per command.
const Command kCommands[] = {
    {"crc32", nimbra::engine_tool::RunCrc32, "crc32 [FILE]"},
    {"keystream", nimbra::engine_tool::RunKeystream,
     "keystream --sizes S --key-hex H [--spread] [--expand] --count N "
     "[--output byte|bits8|dword]"},
    {"cipher", nimbra::engine_tool::RunCipher,
     "cipher encrypt|decrypt --sizes S --key-hex H [--spread] [--expand] [--block-size B] "
     "[--granularity byte|bit] [--crc C] IN OUT"},
    {"key", nimbra::engine_tool::RunKey,
     "key --sizes S --key-hex H [--spread] [--bits N] [--block-size B] "
     "[--granularity byte|bit]"},
    {"secret", nimbra::engine_tool::RunSecret,
     "secret encrypt --pass P [--random-hex R] IN OUT | secret decrypt --pass P [--crc C] IN OUT"},
    {"field", nimbra::engine_tool::RunField,
     "field power-of-x --n N --exp-hex E | field power --n N --exp-hex E --base-hex B"},
    {"keypair", nimbra::engine_tool::RunKeypair,
     "keypair --sizes 28|44 --seed-hex H [--granularity byte|bit] "
     "[--out-private F --out-public G]"},
    {"encrypt", nimbra::engine_tool::RunEncrypt,
     "encrypt --public G [--store-keyid] [--message-key-hex K] IN OUT"},
    {"decrypt", nimbra::engine_tool::RunDecrypt, "decrypt --private F [--crc C] IN OUT"},
    {"random", nimbra::engine_tool::RunRandom, "random --seed-hex H --count N"},
};

int Usage(FILE* to) {
  std::fprintf(to, "usage: nimbra-engine COMMAND ...\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    Usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      c.run(Args(argv + 2, argv + argc));
      return 0;
    } catch (const std::invalid_argument& e) {
      std::fprintf(stderr, "nimbra-engine %s: %s (usage: %s)\n", c.name, e.what(), c.usage);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nimbra-engine %s: %s\n", c.name, e.what());
    }
    return 2;
  }
  std::fprintf(stderr, "nimbra-engine: unknown command '%s'\n", argv[1]);
  return Usage(stderr);
}
