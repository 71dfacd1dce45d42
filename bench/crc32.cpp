// CRC-32 of a 64 MiB buffer: the engine's TCRC32 next to zlib's crc32 and a
// plain one-lookup-per-byte table loop.

#include "engine/crc32.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kSize = 64u << 20;

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> d(kSize);
    std::uint32_t x = 2463534242u;
    for (auto& b : d) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = static_cast<std::uint8_t>(x);
    }
    return d;
  }();
  return data;
}

void BM_EngineTCRC32(benchmark::State& state) {
  const auto& d = Data();
  for (auto _ : state) benchmark::DoNotOptimize(nimbra::engine::TCRC32::Of(d.size(), d.data()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size()));
}

void BM_Zlib(benchmark::State& state) {
  const auto& d = Data();
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, d.data(), static_cast<uInt>(d.size())));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size()));
}

void BM_ByteTable(benchmark::State& state) {
  const auto& d = Data();
  const auto& table = nimbra::engine::CRCTable();
  for (auto _ : state) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (auto b : d) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    benchmark::DoNotOptimize(crc ^ 0xFFFFFFFFu);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size()));
}

BENCHMARK(BM_EngineTCRC32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ByteTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
