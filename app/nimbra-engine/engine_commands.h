#pragma once

#include "app/nimbra-engine/crypto_commands.h"

// The engine tool's commands for CRC-32, keystreams, the combiner, keys and
// pass-phrase protection. All byte strings are lowercase hexadecimal; key
// material is a key made from the given bytes.
namespace nimbra::engine_tool {

void RunCrc32(const Args& args);
void RunKeystream(const Args& args);
void RunCipher(const Args& args);
void RunKey(const Args& args);
void RunSecret(const Args& args);

}  // namespace nimbra::engine_tool
