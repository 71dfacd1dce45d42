// A complete EXTREME key pair beside the same work in OpenSSL in one run: a
// fresh private key and its public key x^key in GF(2^1279) (OpenSSL: a random
// 1279-bit exponent and BN_GF2m_mod_exp_arr of x). A 1 KiB encrypt-decrypt
// pair shows what a message costs on top. Each benchmark's label says what it
// does.

#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <vector>

#include "engine/keys/vrx_crypto.h"

namespace {

using nimbra::engine::TVRXCrypto;

constexpr nimbra::engine::TGeneratorSizes kExtreme = 44;

void BM_OpenSSL_KeyPair1279(benchmark::State& state) {
  const int poly[] = {1279, 1279 - 418, 0, -1};
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *x = BN_new(), *e = BN_new(), *r = BN_new();
  BN_set_bit(x, 1);
  for (auto _ : state) {
    BN_rand(e, 1279, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
    BN_GF2m_mod_exp_arr(r, x, e, poly, ctx);
    benchmark::DoNotOptimize(r);
  }
  BN_free(x);
  BN_free(e);
  BN_free(r);
  BN_CTX_free(ctx);
  state.SetLabel("OpenSSL: random 1279-bit exponent e, then x^e");
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
  state.SetLabel("engine: private key from a 50-byte seed, then x^key");
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
  state.SetLabel("engine: x^k and two powers for the message key, 1 KiB each way");
}

}  // namespace

BENCHMARK(BM_OpenSSL_KeyPair1279)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyPair_Extreme)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncryptDecrypt_1KiB_Extreme)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
