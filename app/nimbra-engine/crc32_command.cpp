#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/nimbra-engine/engine_commands.h"
#include "core/stream.h"
#include "engine/crc32.h"

namespace nimbra::engine_tool {

// crc32 [FILE]: the CRC-32 of the file, or of standard input.
void RunCrc32(const Args& args) {
  const Options options = ParseOptions(args, {}, {});
  if (options.positional.size() > 1) throw std::invalid_argument("crc32 takes at most one file");
  std::unique_ptr<FileStream> file;
  if (!options.positional.empty())
    file = std::make_unique<FileStream>(options.positional[0], FileMode::OpenRead);
  std::vector<std::uint8_t> chunk(1 << 20);
  std::uint32_t crc = 0xFFFFFFFFu;
  for (;;) {
    const std::size_t n = file ? file->Read(chunk.data(), chunk.size())
                               : std::fread(chunk.data(), 1, chunk.size(), stdin);
    crc = engine::TCRC32::UpdateCRC(crc, n, chunk.data());
    if (n < chunk.size()) break;
  }
  if (!file && std::ferror(stdin)) throw std::runtime_error("cannot read standard input");
  std::printf("%08x\n", crc ^ 0xFFFFFFFFu);
}

}  // namespace nimbra::engine_tool
