// The PGP toolkit stand-in's key pair (Ed25519 primary key, Curve25519
// encryption subkey, protected and written into fresh key rings on a
// machine) next to an RSA-2048 pair with an RSA-2048 subkey made by the same
// library in memory only, without protection: the other sound choice, and
// what OpenPGP tools long made by default.

#include <benchmark/benchmark.h>
#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstdlib>

#include "pgp/key_rings.h"
#include "testsupport/test_machine.h"

namespace {

void ToolkitKeyPair(benchmark::State& state) {
  nimbra::testsupport::TestMachine m;
  int n = 0;
  for (auto _ : state) {
    const std::string folder = "C:\\Rings" + std::to_string(n++) + "\\";
    benchmark::DoNotOptimize(
        nimbra::pgp::AddKeyPair(*m, {folder + "pubring.pkr", folder + "secring.pkr"},
                                "Ann <ann@x.example>", "0123456789ABCDEF012345", 365));
  }
}
BENCHMARK(ToolkitKeyPair)->Unit(benchmark::kMillisecond);

void Rsa2048KeyPairInMemory(benchmark::State& state) {
  for (auto _ : state) {
    rnp_ffi_t ffi = nullptr;
    if (rnp_ffi_create(&ffi, "GPG", "GPG") != RNP_SUCCESS) std::abort();
    rnp_key_handle_t key = nullptr;
    if (rnp_generate_key_rsa(ffi, 2048, 2048, "Ann <ann@x.example>", nullptr, &key) != RNP_SUCCESS)
      std::abort();
    rnp_key_handle_destroy(key);
    rnp_ffi_destroy(ffi);
  }
}
BENCHMARK(Rsa2048KeyPairInMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
