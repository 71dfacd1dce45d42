// Combiner EncryptBuffer on 64 MiB in byte and bit mode, next to OpenSSL's
// RC4 and AES-128-CTR on the same buffer in the same run.

#include "engine/combiner.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/key.h"
#include "engine/mixture_generator.h"

namespace {

constexpr std::size_t kSize = 64u << 20;

std::vector<std::uint8_t>& Buffer() {
  static std::vector<std::uint8_t> data(kSize, 0x5A);
  return data;
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
  for (auto _ : state) benchmark::DoNotOptimize(combiner.EncryptBuffer(data.size(), data.data()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
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
  for (auto _ : state) {
    EVP_EncryptUpdate(ctx, data.data(), &out_length, data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out_length);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
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
