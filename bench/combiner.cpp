// Combiner EncryptBuffer on 64 MiB in byte and bit mode, next to OpenSSL's
// RC4 and AES-128-CTR on the same buffer in the same run. Each combiner run
// also reports its throughput as a multiple of RC4's (counter x_RC4, from
// processor time, when RC4 ran first).

#include "engine/keystream/combiner.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/keys/key.h"
#include "engine/keystream/mixture_generator.h"

namespace {

constexpr std::size_t kSize = 64u << 20;

std::vector<std::uint8_t>& Buffer() {
  static std::vector<std::uint8_t> data(kSize, 0x5A);
  return data;
}

// RC4's bytes per processor second in this run (0 until it has run).
double rc4_rate = 0;

double ProcessorSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void Combiner(benchmark::State& state, nimbra::engine::TGeneratorSizes sizes, bool byte_mode) {
  using namespace nimbra::engine;
  TS3MixtureGenerator gen(3, sizes);
  TCombiner combiner(gen);
  combiner.SetBlockSize(2048);
  combiner.SetByteMode(byte_mode);
  TKey key(sizes);
  const std::uint8_t seed[] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};
  key.MakeFromBytes(seed, 128);
  gen.LoadKey(key);
  gen.ExpandFirst();
  auto& data = Buffer();
  const double start = ProcessorSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(combiner.EncryptBuffer(data.size(), data.data()));
  const double seconds = ProcessorSeconds() - start;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  if (rc4_rate > 0 && seconds > 0)
    state.counters["x_RC4"] =
        static_cast<double>(state.iterations() * data.size()) / seconds / rc4_rate;
}

void OpenSSL(benchmark::State& state, const char* cipher_name, int key_length) {
  static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  static OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(nullptr, "default");
  (void)legacy;
  (void)deflt;
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, cipher_name, nullptr);
  if (cipher == nullptr) {
    state.SkipWithError("cipher not available");
    return;
  }
  const std::vector<std::uint8_t> key(static_cast<std::size_t>(key_length), 0x42);
  const std::uint8_t iv[16] = {};
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex2(ctx, cipher, key.data(), iv, nullptr);
  auto& data = Buffer();
  int out_length = 0;
  const double start = ProcessorSeconds();
  for (auto _ : state) {
    EVP_EncryptUpdate(ctx, data.data(), &out_length, data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out_length);
  }
  const double seconds = ProcessorSeconds() - start;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  if (std::string_view(cipher_name) == "RC4" && seconds > 0)
    rc4_rate = static_cast<double>(state.iterations() * data.size()) / seconds;
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
}

void BM_CombinerByteMode607(benchmark::State& s) {
  Combiner(s, 28, true);
}
void BM_CombinerBitMode607(benchmark::State& s) {
  Combiner(s, 28, false);
}
void BM_CombinerByteMode1279(benchmark::State& s) {
  Combiner(s, 44, true);
}
void BM_CombinerBitMode1279(benchmark::State& s) {
  Combiner(s, 44, false);
}
void BM_OpenSSL_RC4(benchmark::State& s) {
  OpenSSL(s, "RC4", 16);
}
void BM_OpenSSL_AES128CTR(benchmark::State& s) {
  OpenSSL(s, "AES-128-CTR", 16);
}

BENCHMARK(BM_OpenSSL_RC4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSSL_AES128CTR)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CombinerByteMode607)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CombinerBitMode607)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CombinerByteMode1279)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CombinerBitMode1279)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
