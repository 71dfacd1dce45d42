// Base64 and hex of the core library beside OpenSSL's block coder, on a
// 64 KiB buffer (the size of a typical attachment or key file).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "core/base64.h"
#include "core/hex.h"

namespace {

std::vector<std::uint8_t> Data() {
  std::vector<std::uint8_t> v(64 * 1024);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  return v;
}

void BM_Base64Encode_Core(benchmark::State& state) {
  const auto data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(nimbra::Base64Encode(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Base64Encode_OpenSSL(benchmark::State& state) {
  const auto data = Data();
  std::string out((data.size() + 2) / 3 * 4 + 1, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                             data.data(), static_cast<int>(data.size())));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Base64Decode_Core(benchmark::State& state) {
  const auto data = Data();
  const std::string text = nimbra::Base64Encode(data);
  for (auto _ : state) benchmark::DoNotOptimize(nimbra::Base64Decode(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Base64Decode_OpenSSL(benchmark::State& state) {
  const auto data = Data();
  const std::string text = nimbra::Base64Encode(data);
  std::vector<unsigned char> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(),
                                             reinterpret_cast<const unsigned char*>(text.data()),
                                             static_cast<int>(text.size())));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_HexUpper_Core(benchmark::State& state) {
  const auto data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(nimbra::HexUpper(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_HexToBytes_Core(benchmark::State& state) {
  const std::string text = nimbra::HexUpper(Data());
  for (auto _ : state) benchmark::DoNotOptimize(nimbra::HexToBytes(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() / 2));
}

}  // namespace

BENCHMARK(BM_Base64Encode_Core);
BENCHMARK(BM_Base64Encode_OpenSSL);
BENCHMARK(BM_Base64Decode_Core);
BENCHMARK(BM_Base64Decode_OpenSSL);
BENCHMARK(BM_HexUpper_Core);
BENCHMARK(BM_HexToBytes_Core);
BENCHMARK_MAIN();
