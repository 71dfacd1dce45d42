// A complete EXTREME key pair and one 1 KiB encrypt-decrypt pair, each set
// beside one OpenSSL BN_GF2m_mod_exp_arr at n = 1279 in the same run.

#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <vector>

#include "engine/keys/vrx_crypto.h"

namespace {

using nimbra::engine::TVRXCrypto;

constexpr nimbra::engine::TGeneratorSizes kExtreme = 44;

void BM_OpenSSL_Exp1279(benchmark::State& state) {
  const int poly[] = {1279, 1279 - 418, 0, -1};
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *a = BN_new(), *e = BN_new(), *r = BN_new();
  BN_rand(a, 1278, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
  BN_rand(e, 1279, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
  for (auto _ : state) {
    BN_GF2m_mod_exp_arr(r, a, e, poly, ctx);
    benchmark::DoNotOptimize(r);
  }
  BN_free(a);
  BN_free(e);
  BN_free(r);
  BN_CTX_free(ctx);
}

void BM_KeyPair_Extreme(benchmark::State& state) {
  TVRXCrypto crypto;
  crypto.SetGeneratorSizes(kExtreme);
  std::vector<std::uint8_t> seed(50, 0x5A);
  for (auto _ : state) {
    seed[0]++;
    crypto.MakePrivateKey(seed.data(), 50);
    crypto.ComputePublicKey(crypto.PublicKey(), crypto.PrivateKey());
    benchmark::DoNotOptimize(crypto.PublicKey().Subkey(1)->Words());
  }
}

void BM_EncryptDecrypt_1KiB_Extreme(benchmark::State& state) {
  TVRXCrypto receiver;
  receiver.SetGeneratorSizes(kExtreme);
  const std::vector<std::uint8_t> seed(50, 0x33);
  receiver.MakePrivateKey(seed.data(), 50);
  receiver.ComputePublicKey(receiver.PublicKey(), receiver.PrivateKey());
  nimbra::MemoryStream public_stream;
  receiver.PublicKey().SaveToStream(public_stream);
  public_stream.SetPosition(0);

  TVRXCrypto sender;
  sender.PublicKey().LoadFromStream(public_stream);
  nimbra::engine::TRandomGen random;
  random.Seed();
  sender.RandomGen = &random;

  const std::vector<std::uint8_t> plain(1024, 0x42);
  for (auto _ : state) {
    nimbra::MemoryStream in(plain), cipher, out;
    std::string key_id;
    sender.EncryptStream(cipher, in, true, key_id);
    cipher.SetPosition(0);
    receiver.DecryptStream(out, cipher);
    benchmark::DoNotOptimize(out.Data().data());
  }
}

}  // namespace

BENCHMARK(BM_OpenSSL_Exp1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyPair_Extreme)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncryptDecrypt_1KiB_Extreme)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
